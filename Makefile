# Thin wrapper. `make run`: build and start rvconf on the virtual unit. `make test`: every test, sanitized.
BUILD      ?= build
TESTBUILD  ?= build-asan
FUZZBUILD  ?= build-fuzz
FUZZ_SECONDS ?= 30
MINUTES    ?= 10
JOBS       ?= $(shell nproc)

.PHONY: all deps build run test fuzz fuzz-build fuzz-long bench package windows clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRVCONF_TESTS=ON >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run-demo $(BUILD)

test: deps
	cmake -S . -B $(TESTBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRVCONF_SANITIZE=ON >/dev/null
	cmake --build $(TESTBUILD) -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz
	cd $(TESTBUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# libFuzzer targets, built with clang and run briefly each, one per core at a time; skipped where clang is missing.
# `make fuzz-long MINUTES=N` runs each for N minutes. What the runs find is kept in $(FUZZBUILD)/corpus.
fuzz: fuzz-build
	@if command -v clang++ >/dev/null 2>&1; then scripts/run-fuzzers $(FUZZBUILD) $(FUZZ_SECONDS) $(JOBS); fi

fuzz-long: fuzz-build
	@if command -v clang++ >/dev/null 2>&1; then scripts/run-fuzzers $(FUZZBUILD) $$(( $(MINUTES) * 60 )) $(JOBS); fi

fuzz-build: deps
	@if command -v clang++ >/dev/null 2>&1; then \
	  launcher=$$(command -v ccache || true); \
	  CXX=clang++ cmake -S . -B $(FUZZBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRVCONF_FUZZ=ON \
	    $${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER=$$launcher} >/dev/null && \
	  cmake --build $(FUZZBUILD) -j $(JOBS); \
	else echo "fuzz: clang++ not found, fuzzers skipped"; fi

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DRVCONF_TESTS=OFF -DRVCONF_BENCH=ON >/dev/null
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# The Debian package: a Release tree without the tests, and the .deb in build-package/.
package: deps
	cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DRVCONF_TESTS=OFF -DRVCONF_PACKAGE=ON >/dev/null
	cmake --build build-package -j $(JOBS)
	cd build-package && cpack -G DEB

# Windows (MinGW-w64, Qt cross-built from Debian's source; packages from install-deps --windows only):
# build-windows/rvconf-VERSION-win64.zip and rvconf-VERSION-setup.exe. scripts/check-windows tries them
# under wine.
windows:
	@scripts/install-deps --windows
	JOBS=$(JOBS) scripts/build-windows build-windows

clean:
	rm -rf $(BUILD) $(TESTBUILD) $(FUZZBUILD) build-bench build-package build-windows
