# Thin wrapper around CMake/CTest.  `make test` works on a fresh Debian 12 machine;
# `make check` is the quick loop.
BUILD      ?= build
BUILD_TYPE ?= Release
CHECK_BUILD ?= build-check
JOBS       ?= $(shell nproc)

# Debian packages the build, the tests and `make run` need.
PACKAGES = cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev \
           qt6-base-dev qt6-base-dev-tools libgl-dev xvfb xauth libdtl-dev python3 python3-jsonschema parallel jq
# The checks of the manual pages and of the shell completions.
PACKAGES += groff-base bash-completion zsh fish
# What building the Debian packages needs besides those (`make package` and the
# package test of `make test`).
DEB_PACKAGES = debhelper dpkg-dev fakeroot lintian
# Where `make package` puts the .deb files.
DEB_OUT ?= build-deb

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Sanitizer and fuzz builds, each in its own folder.
ASAN_BUILD   ?= build-asan
TSAN_BUILD   ?= build-tsan
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_PACKAGES = clang-14 libclang-rt-14-dev
# The tools `make bench` measures against.
BENCH_PACKAGES = gawk mawk perl sed coreutils diffutils

.PHONY: all deps configure build check test test-asan test-tsan fuzz run bench package clean

all: build

# The only target that installs packages; run, test, bench and fuzz call it first.
deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The edit-build-test loop: one build without link-time optimisation and the
# tests that take seconds (not those labelled slow, nor the sanitizer builds).
check:
	cmake -S . -B $(CHECK_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(CHECK_BUILD) -j $(JOBS)
	cd $(CHECK_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -LE slow

# Everything: the release build's tests, then the sanitizer builds'.  CI runs this.
test:
	$(MAKE) deps PACKAGES="$(PACKAGES) $(DEB_PACKAGES)"
	$(MAKE) build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-asan
	$(MAKE) test-tsan

# The core and CLI tests under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVISK_GUI=OFF -DTAVISK_SANITIZE=address,undefined
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test, the desktop program's worker thread included, under ThreadSanitizer.
test-tsan:
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVISK_SANITIZE=thread
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="suppressions=$(CURDIR)/tests/hardening/tsan.supp" \
	  ctest --output-on-failure -j $(JOBS)

# libFuzzer with clang: builds the fuzz targets and runs each for FUZZ_SECONDS.
fuzz:
	$(MAKE) deps PACKAGES="$(FUZZ_PACKAGES) cmake ninja-build libgtest-dev libdtl-dev"
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DTAVISK_GUI=OFF -DTAVISK_FUZZ=ON -DTAVISK_SANITIZE=address,undefined
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_parser fuzz_engine fuzz_lists fuzz_glob
	./fuzz/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

run: deps
	$(MAKE) build
	./tools/run-desktop.sh $(BUILD)

bench:
	$(MAKE) deps PACKAGES="$(PACKAGES) $(BENCH_PACKAGES)"
	$(MAKE) build
	./bench/run-bench.sh $(BUILD)

# The Debian packages tavisk-cli and tavisk, built by dpkg-buildpackage from a
# copy of the tree (without running the tests) into DEB_OUT, then checked by lintian.
package:
	$(MAKE) deps PACKAGES="$(PACKAGES) $(DEB_PACKAGES)"
	rm -f $(DEB_OUT)/tavisk*_*.deb $(DEB_OUT)/tavisk*_*.ddeb $(DEB_OUT)/tavisk_*.changes $(DEB_OUT)/tavisk_*.buildinfo
	JOBS=$(JOBS) ./tools/build-debs.sh $(DEB_OUT)
	lintian --allow-root --fail-on error,warning $(DEB_OUT)/tavisk_*.changes

clean:
	rm -rf $(BUILD) $(CHECK_BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(DEB_OUT)
