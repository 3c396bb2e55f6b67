# make run      builds and starts Pelorin
# make test     installs what is missing, builds, and runs every test
# make package  builds the Debian package, build/pelorin_<version>_<architecture>.deb
# make windows  cross-builds the Windows programs and build-windows/pelorin-<version>-windows-x64.zip
# make windows-test  builds them with their tests and runs those under Wine
#
# Each job has its own build folder, so that going from one to another rebuilds nothing:
# build/ holds the programs alone (run, install, package), build-test/ the programs with the
# tests and benchmarks, build-sanitize/ and build-fuzz/ the instrumented builds, build-windows/
# the Windows programs (with their tests after make windows-test).
# WERROR=1 turns compiler warnings into errors (CI does).
BUILD_DIR ?= build
TEST_DIR ?= build-test
SANITIZE_DIR ?= build-sanitize
FUZZ_DIR ?= build-fuzz
WINDOWS_DIR ?= build-windows
JOBS ?= $(shell nproc)
WERROR ?= 0
CMAKE_ARGS ?=

WERROR_OPTION := -DPELORIN_WERROR=$(if $(filter 1 ON on yes,$(WERROR)),ON,OFF)
PROGRAMS_ONLY := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DPELORIN_BUILD_BENCH=OFF

# $(call build_in,FOLDER,ROLE,CMAKE OPTIONS): installs the role's packages, configures, builds.
define build_in
	@tools/install-deps $(2)
	@cmake -S . -B $(1) $(3) $(WERROR_OPTION) $(CMAKE_ARGS) >/dev/null
	@cmake --build $(1) -j$(JOBS)
endef

.PHONY: all build test run clean sanitize fuzz package install windows windows-test

all: build

build:
	$(call build_in,$(BUILD_DIR),build,$(PROGRAMS_ONLY))

test:
	$(call build_in,$(TEST_DIR),test,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON \
	  -DPELORIN_BUILD_BENCH=ON)
	@ctest --test-dir $(TEST_DIR) --output-on-failure -j$(JOBS)

# Without a display, say so and show the program's job on the sample file from the terminal.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD_DIR)/pelorin; \
	else \
	  echo "No display: showing the report of $(BUILD_DIR)/sample.wav from pelorin-cli instead of the window."; \
	  $(BUILD_DIR)/pelorin-cli $(BUILD_DIR)/sample.wav; \
	fi

package:
	$(call build_in,$(BUILD_DIR),package,$(PROGRAMS_ONLY))
	@cd $(BUILD_DIR) && cpack --config CPackConfig.cmake

# Installs under PREFIX (/usr/local unless given); DESTDIR works as usual.
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR) $(TEST_DIR) $(SANITIZE_DIR) $(FUZZ_DIR) $(WINDOWS_DIR)

# The core and command-line tests built with AddressSanitizer, LeakSanitizer and UBSan.
sanitize:
	$(call build_in,$(SANITIZE_DIR),sanitize,-DCMAKE_BUILD_TYPE=Debug -DPELORIN_SANITIZE=ON \
	  -DPELORIN_BUILD_GUI=OFF)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j$(JOBS)

# Fuzzes the probe for FUZZ_SECONDS (ten minutes unless given), from seeds the build writes.
FUZZ_SECONDS ?= 600
fuzz:
	@tools/install-deps fuzz
	@cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DPELORIN_FUZZ=ON -DPELORIN_BUILD_GUI=OFF -DBUILD_TESTING=OFF \
	  $(WERROR_OPTION) $(CMAKE_ARGS) >/dev/null
	@cmake --build $(FUZZ_DIR) -j$(JOBS) --target pelorin_probe_fuzzer pelorin-fuzz-seeds
	@rm -rf $(FUZZ_DIR)/seeds && mkdir -p $(FUZZ_DIR)/seeds $(FUZZ_DIR)/corpus
	@$(FUZZ_DIR)/pelorin-fuzz-seeds $(FUZZ_DIR)/seeds
	$(FUZZ_DIR)/pelorin_probe_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=16384 \
	  -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/ $(FUZZ_DIR)/corpus $(FUZZ_DIR)/seeds

# The Windows programs, cross-built with mingw-w64 and linked statically, and the zip they are
# handed out in. The tests run under Wine with a prefix of their own, on a virtual display.
WINDOWS_CMAKE := -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DPELORIN_BUILD_BENCH=OFF
windows:
	$(call build_in,$(WINDOWS_DIR),windows,$(WINDOWS_CMAKE) -DBUILD_TESTING=OFF)

windows-test:
	$(call build_in,$(WINDOWS_DIR),windows-test,$(WINDOWS_CMAKE) -DBUILD_TESTING=ON)
	@tests/windows/with_wine.sh ctest --test-dir $(WINDOWS_DIR) --output-on-failure -j$(JOBS)
