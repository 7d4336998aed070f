# Quick start: `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Builds go through ccache when it is there (install-deps brings it): paths are
# taken relative to the checkout, so every clone on the machine shares the cache.
ifneq ($(shell command -v ccache 2>/dev/null),)
export CMAKE_CXX_COMPILER_LAUNCHER := ccache
export CMAKE_C_COMPILER_LAUNCHER := ccache
export CCACHE_BASEDIR := $(abspath $(CURDIR)/..)
export CCACHE_NOHASHDIR := 1
endif

.PHONY: run test deps build clean bench asan fuzz fuzz-long package

deps:
	@./scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/app/orvalis

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Core tests built with AddressSanitizer and UndefinedBehaviorSanitizer. The
# slow ones (the same code on big random worlds) take minutes each under the
# sanitizers: `make asan ASAN_CTEST=-Lcore` runs them too.
ASAN_CTEST ?= -L core -LE slow
asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVALIS_SANITIZE=ON
	cmake --build build-asan -j $(JOBS) --target core_tests
	cd build-asan && ctest --output-on-failure -j $(JOBS) $(ASAN_CTEST)

# Each fuzz target for FUZZ_SECONDS seconds (default 300), every target tried.
fuzz: deps
	./scripts/fuzz.sh $(or $(FUZZ_SECONDS),300)

# Each fuzz target for FUZZ_SECONDS seconds (default 600), stopping at the
# first fault with the input that makes it.
fuzz-long: deps
	./scripts/fuzz.sh --stop-at-first-fault $(or $(FUZZ_SECONDS),600)

# A .deb of the program (build-package/orvalis_<version>-1_amd64.deb): its own
# configuration, without tests or benchmarks, with Debian's hardening flags.
PACKAGE_BUILD ?= build-package
package: deps
	DEB_BUILD_MAINT_OPTIONS=hardening=+all cmake -S . -B $(PACKAGE_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALIS_BUILD_TESTS=OFF -DORVALIS_BUILD_BENCH=OFF \
	  -DCMAKE_POSITION_INDEPENDENT_CODE=ON \
	  "-DCMAKE_CXX_FLAGS=$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)" \
	  "-DCMAKE_SHARED_LINKER_FLAGS=$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB

bench: build
	./scripts/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-fuzz $(PACKAGE_BUILD)
