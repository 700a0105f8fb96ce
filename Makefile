# The two commands, `make demo` and `make test`, and a few more, over CMake.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
# The programs of the Windows package. ptcfit joins them once src/ptc builds
# for Windows (it calls open_memstream, mkdir and stat today).
WINDOWS_PROGRAMS ?= quorva veldix reportplot
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local
# Seconds each fuzz target runs in `make test` (when clang's fuzzer runtime is
# present) and in `make fuzz`.
FUZZ_SMOKE_SECONDS ?= 20
FUZZ_SECONDS ?= 600

.PHONY: all build sanitize-build test demo fuzz bench install clean deps windows windows-for-tests

all: build

deps:
	@tools/check-deps test

$(BUILD)/CMakeCache.txt:
	@tools/check-deps build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DRAWSTATS_WINDOWS_BUILD=$(abspath $(WINDOWS_BUILD))

$(SANITIZE_BUILD)/CMakeCache.txt:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRAWSTATS_SANITIZE=ON -DRAWSTATS_WINDOWS_TESTS=OFF

$(WINDOWS_BUILD)/CMakeCache.txt:
	@tools/check-deps windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DRAWSTATS_TESTS=OFF

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

sanitize-build: $(SANITIZE_BUILD)/CMakeCache.txt
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)

# The Windows programs, cross-built with mingw-w64 and statically linked, and
# their package $(WINDOWS_BUILD)/rawstats-windows.zip. files_helper serves the
# Windows tests and is not packed.
windows: $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target $(WINDOWS_PROGRAMS) files_helper
	@tools/pack-windows $(WINDOWS_BUILD) $(WINDOWS_PROGRAMS)

windows-for-tests:
	@if command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then \
	  $(MAKE) --no-print-directory windows; \
	else \
	  echo "No mingw-w64 cross compiler: the Windows build is not made, and its tests are skipped."; \
	fi

# Every test twice: in the normal build (with the Windows programs under Wine,
# label "windows"), then under AddressSanitizer and UndefinedBehaviorSanitizer
# (any report fails the run); then a short fuzzing run of each target from its
# seed corpus.
test: deps build sanitize-build windows-for-tests
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS) -LE windows
	@tools/fuzz-run $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS) smoke

fuzz:
	@tools/fuzz-run $(FUZZ_BUILD) $(FUZZ_SECONDS) long

demo: build
	@tools/demo $(BUILD)

bench: build
	@bench/run $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD) demo
