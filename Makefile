# Orvel: the everyday commands. CMake does the building; this file only
# strings the steps together. See README.md for what each one does.

JOBS  ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE ?= cmake
FUZZ_SECONDS ?= 60
WEB_PORT ?= 8000

.PHONY: all deps build arm web serve-web test check run bench preview asan fuzz fuzz-build clean

all: build

deps:
	@scripts/install-deps

build: deps
	@$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(CMAKE) --build build -j $(JOBS)

# The handheld programs, cross-built for the console (ARMv4T, soft float,
# static, its Linux 2.4 system calls), and the SD-card package
# build-arm/orvel-gp2x.zip, which carries the data set the host build
# generates (only that is built in build/), and the handheld bench program
# (bench/arm), whose frames the suite checks against the frozen list. The
# test suite runs the programs under qemu-arm, so `test` builds them first.
arm: deps
	@$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(CMAKE) --build build -j $(JOBS) --target orvel_data
	@$(CMAKE) -S . -B build-arm -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/armv4t-linux24.cmake -DORVEL_HOST_BUILD=$(CURDIR)/build \
		-DORVEL_ARM_BENCH=ON >/dev/null
	@$(CMAKE) --build build-arm -j $(JOBS)

# The browser build: the engine compiled to WebAssembly by Debian's emcc in
# build-wasm/, the page (static files, the data set packaged) in build-web/.
# The data set comes from the host build.
web: deps
	@command -v emcc >/dev/null 2>&1 || { echo "make web needs emcc (Debian emscripten, which scripts/install-deps installs)"; exit 1; }
	@$(CMAKE) -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
	@$(CMAKE) --build build -j $(JOBS) --target orvel_data
	@$(CMAKE) -S . -B build-wasm -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/emscripten.cmake \
		-DORVEL_HOST_BUILD=$(CURDIR)/build -DORVEL_WEB_OUT=$(CURDIR)/build-web >/dev/null
	@$(CMAKE) --build build-wasm -j $(JOBS)
	@echo "the page is in build-web/: $$(du -sb build-web | cut -f1) bytes (make serve-web shows it)"

serve-web: web
	@echo "Orvel in a browser: http://127.0.0.1:$(WEB_PORT)/  (Ctrl-C stops the server)"
	@cd build-web && python3 -m http.server $(WEB_PORT) --bind 127.0.0.1

# The suite, then a few seconds of every fuzzer (the fuzz build's ctest). The
# browser tests need the page; without emcc it is not built and they skip.
# ctest prints the tests that skipped (a missing tool, no network for the
# real songs) in its summary as "Skipped".
test: build arm fuzz-build
	@if command -v emcc >/dev/null 2>&1; then $(MAKE) --no-print-directory web; \
	else echo "no emcc (Debian emscripten): the web page is not built, its tests skip"; fi
	@scripts/get-test-modules build/test-modules
	@ctest --test-dir build --output-on-failure -j $(JOBS)
	@ctest --test-dir build-fuzz --output-on-failure -j $(JOBS)

# The fast tier alone (ctest label fast): the unit and component tests,
# under a minute and a half on two cores.
check: build
	@ctest --test-dir build --output-on-failure -j $(JOBS) -L fast

# The demo in a window when a display is there, else rendered headless to a
# video file. The programs read ./data, which the build generates in build/.
run: build
	@if [ -n "$$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then \
		cd build && ./Orvel_win; \
	else \
		echo "no display: rendering the whole demo to build/orvel.mp4 (orvel-capture --video)"; \
		cd build && ./orvel-capture --video orvel.mp4 && echo "wrote build/orvel.mp4"; \
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
	@echo "the whole demo under the sanitizers (orvel-capture --wav, 5 fps):"
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		./orvel-capture --wav capture.wav --fps 5

# The loaders' fuzzers: clang's libFuzzer with address and undefined-
# behaviour sanitizers, in build-fuzz/. `make fuzz` runs each for
# FUZZ_SECONDS (FUZZ_JOBS at a time, default 1); see tests/fuzz/fuzz-run.
fuzz-build: deps
	@CC=clang CXX=clang++ $(CMAKE) -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEL_FUZZ=ON >/dev/null
	@$(CMAKE) --build build-fuzz -j $(JOBS) --target fuzzers

fuzz: fuzz-build
	@scripts/get-test-modules build/test-modules
	@tests/fuzz/fuzz-run build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-arm build-arm-bench build-fuzz build-wasm build-web
