# Orvel: the everyday commands. CMake does the building; this file only
# strings the steps together. See README.md for what each one does.

JOBS  ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE ?= cmake

.PHONY: all deps build arm test run bench preview asan clean

all: build

deps:
	@scripts/install-deps

build: deps
	@$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(CMAKE) --build build -j $(JOBS)

# The handheld programs, cross-built (armv5te, soft float, static). The test
# suite runs them under qemu-arm, so `test` builds them first.
arm: deps
	@$(CMAKE) -S . -B build-arm -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/arm-linux-gnueabi.cmake >/dev/null
	@$(CMAKE) --build build-arm -j $(JOBS)

test: build arm
	@scripts/get-test-modules build/test-modules
	@ctest --test-dir build --output-on-failure -j $(JOBS)

# The demo in a window when a display is there, else rendered headless to a
# video file.
run: build
	@if [ -n "$$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then \
		./build/Orvel_win; \
	else \
		echo "no display: rendering the whole demo to build/orvel.mp4 (orvel-capture --video)"; \
		./build/orvel-capture --video build/orvel.mp4 && echo "wrote build/orvel.mp4"; \
	fi

bench: build
	@$(CMAKE) --build build --target bench

preview: build
	@$(CMAKE) --build build --target preview
	@echo "previews in build/preview/"

asan: deps arm
	@$(CMAKE) -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVEL_SANITIZE=ON >/dev/null
	@$(CMAKE) --build build-asan -j $(JOBS)
	@scripts/get-test-modules build-asan/test-modules
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir build-asan --output-on-failure -j $(JOBS)

clean:
	rm -rf build build-asan build-arm
