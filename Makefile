# Corvane: two commands for a fresh machine.
#   make run   install what the programs need, build them, start Corvane
#   make test  install what the tests need, build everything, run every test
BUILD_DIR ?= build
RUN_DIR ?= build-run
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 30
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: deps deps-run deps-fuzz programs build run install uninstall test fuzz format clean

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

# The receive path under libFuzzer with ASan and UBSan, for a bounded time.
fuzz: deps-fuzz
	CXX=clang++ CC=clang cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_received_chunk fuzz_etsi_classification
	mkdir -p fuzz/corpus-run fuzz/corpus-run-etsi
	./$(FUZZ_DIR)/fuzz/fuzz_etsi_classification -max_total_time=$(FUZZ_SECONDS) \
	    fuzz/corpus-run-etsi fuzz/corpus/fuzz_etsi_classification
	# A leak check after every input would stop the world each time (the
	# window allocates as it goes); leaks are checked once, at exit.
	LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan-suppressions.txt \
	    ./$(FUZZ_DIR)/fuzz/fuzz_received_chunk -detect_leaks=0 -max_total_time=$(FUZZ_SECONDS) \
	    fuzz/corpus-run fuzz/corpus

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# Build products only: settings files (*.set) in the build folders stay.
clean:
	bash scripts/clean-keeping-settings $(BUILD_DIR) $(RUN_DIR) $(FUZZ_DIR)
