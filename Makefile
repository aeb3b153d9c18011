# Front door for building, testing and trying dumplog. Every target first
# checks its Debian packages (scripts/deps.sh installs them when run as root).

BUILD ?= build
JOBS ?= 2
CMAKE_ARGS ?=
BUILD_DEPS := c++=g++ cmake=cmake tar=tar bzip2=bzip2 find=findutils \
              /usr/include/gtest/gtest.h=libgtest-dev

.PHONY: all deps build test demo bench clean

all: build

deps:
	@scripts/deps.sh $(BUILD_DEPS)

build: deps
	@cmake -S . -B $(BUILD) $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DCMAKE_BUILD_TYPE=RelWithDebInfo) $(CMAKE_ARGS)
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

bench: build
	@scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
