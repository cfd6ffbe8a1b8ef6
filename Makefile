# Thin front end over CMake and CTest. `make run` and `make test` do all set-up themselves.
BUILD ?= build
WINDOWS_BUILD ?= build-windows
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local
DESTDIR ?=
SECONDS ?= 60

.PHONY: setup configure build run test test-core test-sanitizers fuzz fuzz-build bench install package format clean \
	windows test-windows

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) > $(BUILD).configure.log || (cat $(BUILD).configure.log; exit 1)

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@bash scripts/run-viewer.sh $(BUILD)

# Everything: the normal build's tests (engine, interface, end to end), then the engine's tests
# again under AddressSanitizer with UndefinedBehaviorSanitizer and under ThreadSanitizer, then
# each fuzz target for a minute.
test: build
	@cd $(BUILD) && TESSARO_SLOW_TESTS=1 ctest --output-on-failure -j 2
	@$(MAKE) --no-print-directory test-sanitizers
	@$(MAKE) --no-print-directory fuzz SECONDS=60

test-sanitizers: setup
	@cmake -S . -B $(BUILD)-asan -DTESSARO_SANITIZE=address -DTESSARO_GUI=OFF > /dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS) --target tessaro-core-tests
	@cd $(BUILD)-asan && ctest --output-on-failure -L core -j 2
	@cmake -S . -B $(BUILD)-tsan -DTESSARO_SANITIZE=thread -DTESSARO_GUI=OFF > /dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS) --target tessaro-core-tests
	@cd $(BUILD)-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -L core -j 2

# libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) in their own build folder;
# `make fuzz SECONDS=N` runs each for N seconds and keeps crashing inputs in $(BUILD)-fuzz/fuzz/crashes.
fuzz-build: setup
	@cmake -S . -B $(BUILD)-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
		-DTESSARO_SANITIZE=fuzzer -DTESSARO_GUI=ON > $(BUILD)-fuzz.configure.log || (cat $(BUILD)-fuzz.configure.log; exit 1)
	@cmake --build $(BUILD)-fuzz -j $(JOBS) --target tessaro-fuzzers

fuzz: fuzz-build
	@bash tests/fuzz/run-fuzzers.sh $(BUILD)-fuzz $(SECONDS)

# The Windows x86-64 program, cross-built with MinGW-w64: $(WINDOWS_BUILD)/tessaro-windows-x86_64.zip.
windows:
	@bash scripts/build-windows.sh $(WINDOWS_BUILD)

# The Windows build under wine: its engine tests, its query tool against the Linux one on real files,
# and the viewer under Xvfb.
test-windows: build windows
	@bash tests/windows/test_windows.sh $(BUILD) $(WINDOWS_BUILD)

bench: build
	@$(BUILD)/bench/tessaro-bench --generate 100

# DESTDIR stages the files for a package; PREFIX is where they will live.
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian package tessaro_VERSION-1_ARCH.deb, in the build folder.
package: build
	@bash packaging/build-deb.sh $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz $(WINDOWS_BUILD)
