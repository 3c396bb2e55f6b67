# make run   builds and starts Pelorin
# make test  installs what is missing, builds, and runs every test
# make package  builds the Debian package, build/pelorin_1.00_<architecture>.deb
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test run clean sanitize fuzz package install

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

package: build
	@cd $(BUILD_DIR) && cpack --config CPackConfig.cmake

# Installs under PREFIX (/usr/local unless given); DESTDIR works as usual.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR)

# The core and command-line tests built with AddressSanitizer, LeakSanitizer and UBSan.
SANITIZE_DIR ?= build-sanitize
sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DPELORIN_SANITIZE=ON -DPELORIN_BUILD_GUI=OFF >/dev/null
	@cmake --build $(SANITIZE_DIR) -j$(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j$(JOBS)

# Fuzzes the probe for FUZZ_SECONDS (ten minutes unless given), from seeds the build writes.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 600
fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DPELORIN_FUZZ=ON -DPELORIN_BUILD_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) -j$(JOBS) --target pelorin_probe_fuzzer pelorin-fuzz-seeds
	@rm -rf $(FUZZ_DIR)/seeds && mkdir -p $(FUZZ_DIR)/seeds $(FUZZ_DIR)/corpus
	@$(FUZZ_DIR)/pelorin-fuzz-seeds $(FUZZ_DIR)/seeds
	$(FUZZ_DIR)/pelorin_probe_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=16384 \
	  -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/ $(FUZZ_DIR)/corpus $(FUZZ_DIR)/seeds
