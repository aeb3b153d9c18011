# Front door for building, testing and trying dumplog. Every target first
# checks its Debian packages (scripts/deps.sh installs them when run as root).

BUILD ?= build
BENCH_HOSTS ?= 16
JOBS ?= 2
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 60
BUILD_DEPS := c++=g++ cmake=cmake tar=tar bzip2=bzip2 find=findutils \
              /usr/include/gtest/gtest.h=libgtest-dev

PREFIX ?= /usr/local
DESTDIR ?=

# Ninja when it is installed (quiet, and a new build folder only), else Make.
GENERATOR := $(if $(shell command -v ninja 2>/dev/null),Ninja,Unix Makefiles)
CONFIGURE = cmake --log-level=WARNING -S . -B $(BUILD) $(if $(wildcard $(BUILD)/CMakeCache.txt),,-G "$(GENERATOR)" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo) $(CMAKE_ARGS) >/dev/null
# The build tool's own arguments, known once configured: Make's recursion is
# otherwise chatty.
QUIET_TOOL = $$(test -f $(BUILD)/build.ninja || echo -- --no-print-directory)

.PHONY: all deps build test demo bench install dist packages test-packages test-arch test-sanitize \
        test-fleet bench-fleet lint man-lint fuzz clean

all: build

deps:
	@scripts/deps.sh $(BUILD_DEPS)

build: deps
	@$(CONFIGURE)
	@cmake --build $(BUILD) -j $(JOBS) $(QUIET_TOOL)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Only the tool and the simulated drive: the tests are not needed to try it.
demo: deps
	@$(CONFIGURE)
	@cmake --build $(BUILD) -j $(JOBS) --target dumplog dumplog-sim $(QUIET_TOOL)
	@scripts/demo.sh $(BUILD)

bench: build
	@scripts/bench.sh $(BUILD)

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# Release bundles per processor (static binaries, cross-compiled).
dist:
	@scripts/dist.sh

# Debian and RPM packages per processor, made from the binaries of make dist.
packages: dist
	@scripts/packages.sh

# Lintian, files, processor, install/upgrade/removal, same bytes when packaged again.
test-packages: packages
	@scripts/test-packages.sh

# End-to-end collections with the AArch64 and i686 static binaries.
test-arch:
	@scripts/test-arch.sh

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	@scripts/deps.sh $(BUILD_DEPS)
	@$(MAKE) --no-print-directory test BUILD=build-sanitize CMAKE_ARGS="-DDUMPLOG_SANITIZE=ON -DDUMPLOG_WERROR=ON"

# The libFuzzer targets (clang, build-fuzz/), each run for FUZZ_SECONDS seconds.
fuzz: BUILD = build-fuzz
fuzz: CMAKE_ARGS += -DCMAKE_CXX_COMPILER=clang++ -DDUMPLOG_FUZZ=ON -DDUMPLOG_TESTS=OFF -DFUZZ_SECONDS=$(FUZZ_SECONDS)
fuzz:
	@scripts/deps.sh clang++=clang cmake=cmake
	@scripts/deps.sh "$$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-$$(uname -m).a=libclang-rt-$$(clang++ -dumpversion | cut -d. -f1)-dev"
	@$(CONFIGURE)
	@cmake --build $(BUILD) -j $(JOBS) $(QUIET_TOOL)
	@ctest --test-dir $(BUILD) -L fuzz -j $(JOBS) --output-on-failure

# The fleet playbook run for real over ssh against sshd hosts on this machine (root only).
test-fleet: build
	@python3 contrib/ansible/test_fleet.py $(BUILD)

# The fleet playbook beside a plain ssh script doing the same work, on BENCH_HOSTS sshd hosts on this machine
# at once (root only): wall, overhead and controller CPU per host, and the playbook's cost task by task.
bench-fleet: build
	@python3 contrib/ansible/bench_fleet.py $(BUILD) $(BENCH_HOSTS)

# ansible-lint (production profile) on the playbook, shellcheck on every shell script.
lint:
	@scripts/deps.sh shellcheck=shellcheck ansible-lint=ansible-lint
	@shellcheck -x .ci/run scripts/*.sh sim/*.sh contrib/ansible/*.sh
	@ansible-lint -q --profile production contrib/ansible

# The manual page renders without warnings.
man-lint:
	@scripts/man-lint.sh

clean:
	rm -rf $(BUILD) build-* dist
