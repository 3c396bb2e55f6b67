# make run   builds and starts Pelorin
# make test  installs what is missing, builds, and runs every test
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test run clean

all: build

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

# Without a display, say so and show the program's job on the sample file from the terminal.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD_DIR)/pelorin; \
	else \
	  echo "No display: showing the report of $(BUILD_DIR)/sample.wav from pelorin-cli instead of the window."; \
	  $(BUILD_DIR)/pelorin-cli $(BUILD_DIR)/sample.wav; \
	fi

clean:
	rm -rf $(BUILD_DIR)
