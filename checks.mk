# The checks beyond `make test`; each instrumented build has its own folder.
#   make check-sanitize  every test under ASan + UBSan + LSan, any report fatal
#   make check-tsan      serial and end-to-end tests under ThreadSanitizer
#   make fuzz            every fuzz target for FUZZ_SECONDS each
#   make stress-test     make test beside two busy loops, STRESS_ROUNDS times
#   make soak-series     a long series through the window against the radio program
#   make coverage        line and branch coverage per folder
SANITIZE_DIR ?= build-sanitize
TSAN_DIR ?= build-tsan
COVERAGE_DIR ?= build-coverage
FUZZ_SECONDS ?= 60
STRESS_ROUNDS ?= 3
SOAK_MESSAGES ?= 10000
# Extra ctest arguments for the sanitizer stages, e.g. -L 'serial|radio'.
CHECK_TESTS ?=
# The thread check leaves out the one serial test that starts a child
# program through QProcess: the checker aborts in the clone Qt makes for it.
TSAN_TESTS ?= -L 'serial|files|session|endtoend' -E 'BusyDeviceNamesTheProgramThatHoldsIt'

CCACHE_LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Paths relative to the clone, so that a clone in another folder (CI's)
# reuses what an earlier build of the same sources left in the cache.
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1
CLANG_CONFIGURE = CC=clang CXX=clang++ cmake -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    $(CCACHE_LAUNCHER) -DCORVANE_BENCH=OFF

.PHONY: check-sanitize sanitize-build check-tsan fuzz stress-test soak-series coverage clean-checks

# The fuzz targets are built in the same folder: one instrumented compile
# serves the tests and the fuzzers.
sanitize-build: deps deps-fuzz
	$(CLANG_CONFIGURE) -S . -B $(SANITIZE_DIR) -DCORVANE_SANITIZE=address -DCORVANE_FUZZ=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)

check-sanitize: sanitize-build
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	    ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS) $(CHECK_TESTS)

check-tsan: deps deps-fuzz
	$(CLANG_CONFIGURE) -S . -B $(TSAN_DIR) -DCORVANE_SANITIZE=thread
	cmake --build $(TSAN_DIR) -j $(JOBS) --target corvane_tsan_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/sanitizers/tsan.supp \
	    ctest --test-dir $(TSAN_DIR) --output-on-failure -j $(JOBS) $(TSAN_TESTS)

fuzz: sanitize-build
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	    bash scripts/run-fuzz $(SANITIZE_DIR) $(FUZZ_SECONDS)

# Two CPU-bound loops take both cores' spare time while the suite runs.
stress-test: build
	bash scripts/stress-test $(BUILD_DIR) $(STRESS_ROUNDS) $(STRESS_EXCLUDE)

soak-series: build
	cmake --build $(BUILD_DIR) -j $(JOBS) --target corvane_soak corvane-radiosim
	SOAK_MESSAGES=$(SOAK_MESSAGES) ./$(BUILD_DIR)/tests/soak/corvane_soak

coverage: deps
	cmake -S . -B $(COVERAGE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug $(CCACHE_LAUNCHER) \
	    -DCORVANE_COVERAGE=ON -DCORVANE_BENCH=OFF
	cmake --build $(COVERAGE_DIR) -j $(JOBS)
	find $(COVERAGE_DIR) -name '*.gcda' -delete
	-ctest --test-dir $(COVERAGE_DIR) -j $(JOBS) > $(COVERAGE_DIR)/ctest.log 2>&1
	bash scripts/coverage-report $(COVERAGE_DIR)

clean: clean-checks
clean-checks:
	bash scripts/clean-keeping-settings $(SANITIZE_DIR) $(TSAN_DIR) $(COVERAGE_DIR)
