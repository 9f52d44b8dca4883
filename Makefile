# Vimbo: `make run` builds and opens the app, `make test` builds and runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test deps build test-sanitize test-tsan bench bench-build harness-build fuzz clean

deps:
	@scripts/deps

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Only what the app needs.
run: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target vimbo
	@scripts/run-app $(BUILD)/src/vimbo

test: build
	@cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 120

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVIMBO_SANITIZE=address,undefined -DVIMBO_BUILD_BENCHMARKS=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest -j $(JOBS) --output-on-failure --timeout 300

# The tests that use worker threads, under ThreadSanitizer.
test-tsan: deps
	@cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVIMBO_SANITIZE=thread -DVIMBO_BUILD_BENCHMARKS=OFF -DVIMBO_BUILD_DESKTOP=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target $$(ninja -C build-tsan -t targets all | sed -n 's/^\([A-Za-z0-9_]*_threaded\): .*/\1/p' | sort -u)
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest -j $(JOBS) -L threads --output-on-failure --timeout 300

# The libFuzzer targets of fuzz/, built with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (not part of `make test`; the README's developer section says how to run them).
fuzz: deps
	@scripts/deps clang libclang-rt-dev
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVIMBO_BUILD_FUZZERS=ON -DVIMBO_SANITIZE=address,undefined -DVIMBO_WARNINGS_AS_ERRORS=OFF \
	  -DVIMBO_BUILD_DESKTOP=OFF -DVIMBO_BUILD_BENCHMARKS=OFF -DBUILD_TESTING=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $$(cd fuzz && ls *_fuzzer.cpp | sed 's/\.cpp$$//')

# The benchmarks, compiled but not run: CI builds them so that they cannot stop building unnoticed.
bench-build: build
	@cmake --build $(BUILD) -j $(JOBS) --target benchmarks

# The person harness, compiled but not run, in the same build folder (outside its `all`, so that
# `make test` never compiles it): CI builds it so that it cannot stop building unnoticed either.
# scripts/person-harness builds and runs it in an optimised folder of its own.
harness-build: build
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DVIMBO_BUILD_HARNESS=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target person_harness

bench: bench-build
	@for b in $(BUILD)/benchmarks/*; do [ -x "$$b" ] && [ -f "$$b" ] && "$$b"; done; true

clean:
	rm -rf build build-asan build-tsan build-fuzz build-harness
