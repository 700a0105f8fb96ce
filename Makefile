# The two commands, `make demo` and `make test`, and a few more, over CMake.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local
# Seconds each fuzz target runs in `make test` (when clang's fuzzer runtime is
# present) and in `make fuzz`.
FUZZ_SMOKE_SECONDS ?= 20
FUZZ_SECONDS ?= 600

.PHONY: all build sanitize-build test demo fuzz bench install clean deps

all: build

deps:
	@tools/check-deps test

$(BUILD)/CMakeCache.txt:
	@tools/check-deps build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

$(SANITIZE_BUILD)/CMakeCache.txt:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRAWSTATS_SANITIZE=ON

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

sanitize-build: $(SANITIZE_BUILD)/CMakeCache.txt
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)

# Every test twice: in the normal build, then under AddressSanitizer and
# UndefinedBehaviorSanitizer (any report fails the run); then a short fuzzing
# run of each target from its seed corpus. The build is configured again first,
# so that it finds GoogleTest when a demo configured it before GoogleTest was
# installed.
test: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DRAWSTATS_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)
	@tools/fuzz-run $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS) smoke

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
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) demo
