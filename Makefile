# Corvane: two commands for a fresh machine.
#   make run   install what is missing, build, start Corvane
#   make test  install what is missing, build, run every test
BUILD_DIR ?= build
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 30
JOBS ?= $(shell nproc)

.PHONY: deps build run test fuzz format clean

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/corvane

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The codec's parsers under libFuzzer with ASan and UBSan, for a bounded time.
fuzz: deps
	CXX=clang++ CC=clang cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_received_chunk
	mkdir -p fuzz/corpus-run
	./$(FUZZ_DIR)/fuzz/fuzz_received_chunk -max_total_time=$(FUZZ_SECONDS) fuzz/corpus-run fuzz/corpus

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR)
