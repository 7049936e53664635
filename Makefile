# Corvane: two commands for a fresh machine.
#   make run   install what the programs need, build them, start Corvane
#   make test  install what the tests need, build everything, run every test
#   make soak  ten minutes of a busy window: memory, stalls and log files
BUILD_DIR ?= build
RUN_DIR ?= build-run
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: deps deps-run deps-fuzz programs build run install uninstall test soak format clean

# The package sets of scripts/install-deps: "test" (the default) builds everything.
deps:
	@bash scripts/install-deps test
deps-run:
	@bash scripts/install-deps run
deps-fuzz:
	@bash scripts/install-deps fuzz

# Only the two programs: no tests, benchmarks or fuzz targets.
programs: deps-run
	cmake -S . -B $(RUN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_FUZZ=OFF
	cmake --build $(RUN_DIR) -j $(JOBS) --target corvane corvane-radiosim

run: programs
	./$(RUN_DIR)/corvane

install: programs
	DESTDIR="$(DESTDIR)" cmake --install $(RUN_DIR) --prefix "$(PREFIX)"

# Removes what the last install from $(RUN_DIR) put in place (give the same DESTDIR).
uninstall:
	DESTDIR="$(DESTDIR)" cmake -DMANIFEST=$(RUN_DIR)/install_manifest.txt -P cmake/Uninstall.cmake

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# A series at 100 messages a second and a peer, through the window, for ten
# minutes (bench/LongRunBench.cpp); give SOAK_SECONDS for another length.
SOAK_SECONDS ?= 600
soak: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS) --target bench_long_run
	./$(BUILD_DIR)/bench/bench_long_run $(SOAK_SECONDS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Build products only: settings files (*.set) in the build folders stay.
clean:
	bash scripts/clean-keeping-settings $(BUILD_DIR) $(RUN_DIR)

include checks.mk
