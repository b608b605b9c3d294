# Orvel: the everyday commands. CMake does the building; this file only
# strings the steps together. See README.md for what each one does.

JOBS  ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE ?= cmake

.PHONY: all deps build test run bench asan clean

all: build

deps:
	@scripts/install-deps

build: deps
	@$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(CMAKE) --build build -j $(JOBS)

test: build
	@scripts/get-test-modules build/test-modules
	@ctest --test-dir build --output-on-failure -j $(JOBS)

run: build
	@echo "the demo is not assembled yet"

bench: build
	@$(CMAKE) --build build --target bench

asan: deps
	@$(CMAKE) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=ON >/dev/null
	@$(CMAKE) --build build-asan -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir build-asan --output-on-failure -j $(JOBS)

clean:
	rm -rf build build-asan build-arm
