# Thin wrapper around CMake/CTest.  `make test` works on a fresh Debian 12 machine.
BUILD      ?= build
BUILD_TYPE ?= Release
JOBS       ?= $(shell nproc)

# Debian packages the build, the tests and `make run` need.
PACKAGES = cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev \
           qt6-base-dev qt6-base-dev-tools libgl-dev xvfb xauth

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	./tools/run-desktop.sh $(BUILD)

bench: build
	./bench/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
