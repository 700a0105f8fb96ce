# The two commands, `make demo` and `make test`, and a few more, over CMake.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
# The programs of the Windows package.
WINDOWS_PROGRAMS ?= quorva veldix reportplot ptcfit
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

# The builds are the CMake presets release, sanitize and fuzz (CMakePresets.json).
$(BUILD)/CMakeCache.txt:
	@tools/check-deps build
	cmake --preset release -B $(BUILD) -DFUZZ_SMOKE_SECONDS=$(FUZZ_SMOKE_SECONDS) \
	  -DFUZZ_BUILD_DIR=$(CURDIR)/$(FUZZ_BUILD) -DRAWSTATS_WINDOWS_BUILD=$(abspath $(WINDOWS_BUILD))

$(SANITIZE_BUILD)/CMakeCache.txt:
	cmake --preset sanitize -B $(SANITIZE_BUILD) -DRAWSTATS_WINDOWS_TESTS=OFF

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
# label windows), then under AddressSanitizer and UndefinedBehaviorSanitizer
# (any report fails the run); then a short fuzzing run of each target from its
# seed corpus (label fuzz). The builds are configured again first, so that the
# release build finds GoogleTest when a demo configured it before GoogleTest was
# installed.
test: deps
	cmake --preset release -B $(BUILD) -DFUZZ_SMOKE_SECONDS=$(FUZZ_SMOKE_SECONDS) \
	  -DFUZZ_BUILD_DIR=$(CURDIR)/$(FUZZ_BUILD) -DRAWSTATS_WINDOWS_BUILD=$(abspath $(WINDOWS_BUILD))
	cmake --build $(BUILD) -j $(JOBS)
	cmake --preset sanitize -B $(SANITIZE_BUILD) -DRAWSTATS_WINDOWS_TESTS=OFF
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@$(MAKE) --no-print-directory windows-for-tests
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE fuzz
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS) -LE 'fuzz|windows'
	cd $(BUILD) && ctest --output-on-failure -L fuzz

fuzz:
	@tools/fuzz-run $(FUZZ_BUILD) $(FUZZ_SECONDS) long

# The demo builds only the programs it runs: no test suite, no GoogleTest.
DEMO_PROGRAMS = quorva veldix rawgen reportplot ptcfit

demo: $(BUILD)/CMakeCache.txt
	@echo "Building $(DEMO_PROGRAMS) (log: $(BUILD)/demo-build.log) ..."
	@cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_PROGRAMS) > $(BUILD)/demo-build.log 2>&1 || \
	  { cat $(BUILD)/demo-build.log; exit 1; }
	@tools/demo $(BUILD)

bench: build
	@bench/run $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD) demo
