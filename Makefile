# Corvane: two commands for a fresh machine.
#   make run   install what is missing, build, start Corvane
#   make test  install what is missing, build, run every test
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: deps build run test format clean

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/corvane

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR)

include checks.mk
