#!/usr/bin/env bash
# The end-to-end suite (tests/e2e_test.cpp) once more for each other
# processor the tool is built for, with the static cross-built binary:
#   aarch64  under qemu-aarch64-static: the tool sees machine "aarch64" and
#            must pick Zerbo/zerbo64a and SmartCtl/smartctla;
#   i686     under `setarch i686` where the kernel executes 32-bit x86
#            programs, else under qemu-i386-static (TEST_ARCH_I686=qemu
#            takes qemu in any case): the tool sees machine "i686" and must
#            pick Zerbo/zerbo86 and SmartCtl/smartctl.
# The suite and the simulated drive stay native programs: the commands the
# tool starts go through /bin/sh on the host, whatever the tool's processor.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh c++=g++ cmake=cmake /usr/include/gtest/gtest.h=libgtest-dev \
    tar=tar bzip2=bzip2 find=findutils file=file \
    qemu-aarch64-static=qemu-user-static qemu-i386-static=qemu-user-static setarch=util-linux \
    aarch64-linux-gnu-g++=g++-aarch64-linux-gnu i686-linux-gnu-g++=g++-i686-linux-gnu

jobs=${JOBS:-2}
top=build-arch
mkdir -p "$top"

# Configures (once) and builds targets; the output goes to a log shown only
# when something fails.
build() {
  local dir=$1 targets=$2
  shift 2
  local log=$top/$(basename "$dir").build.log
  # shellcheck disable=SC2086
  { { [[ -f $dir/CMakeCache.txt ]] || cmake -S . -B "$dir" "$@"; } &&
    cmake --build "$dir" -j "$jobs" $(printf -- '--target %s ' $targets); } >"$log" 2>&1 || {
    cat "$log" >&2
    echo "test-arch: building $targets in $dir failed" >&2
    exit 1
  }
}

echo "test-arch: building the suite, the simulator and the static cross binaries"
cross=(-DDUMPLOG_TESTS=OFF -DDUMPLOG_STATIC=ON -DCMAKE_BUILD_TYPE=Release)
build "$top/native" "e2e_tests dumplog-sim"
build "$top/aarch64" dumplog "${cross[@]}" "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/toolchain-aarch64-linux-gnu.cmake"
build "$top/i686" dumplog "${cross[@]}" "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/toolchain-i686-linux-gnu.cmake"

# Some kernels cannot execute 32-bit x86 programs at all ("Exec format
# error"); a static do-nothing i686 program tells which kind this one is.
i686_runner() {
  local probe=$top/i686/runs-here
  echo 'int main(void) { return 0; }' | i686-linux-gnu-gcc -static -x c -o "$probe" - >/dev/null 2>&1 || true
  if [[ ${TEST_ARCH_I686:-} != qemu && -x $probe ]] && setarch i686 "$probe" 2>/dev/null; then
    echo "setarch i686"
  else
    echo "qemu-i386-static"
  fi
}

failed=()
# suite ARCH RUNNER "WHAT FILE SAYS OF THE PROCESSOR"
suite() {
  local arch=$1 runner=$2 processor=$3 binary=$PWD/$top/$1/dumplog info
  info=$(file -b "$binary")
  echo
  echo "== $arch: $runner $binary"
  echo "   $info"
  if [[ $info != *"statically linked"* || $info != *"$processor"* ]]; then
    echo "test-arch: $arch: not a static $processor executable" >&2
    failed+=("$arch")
    return
  fi
  DUMPLOG_E2E_TOOL=$binary DUMPLOG_E2E_RUNNER=$runner DUMPLOG_E2E_MACHINE=$arch \
    ctest --test-dir "$top/native" -R '^EndToEnd\.' -j "$jobs" --output-on-failure || failed+=("$arch")
}

suite aarch64 qemu-aarch64-static "ARM aarch64"
runner=$(i686_runner)
[[ $runner == setarch* ]] || echo "test-arch: this kernel does not run 32-bit x86 programs, or TEST_ARCH_I686=qemu"
suite i686 "$runner" "Intel 80386"

echo
if [[ ${#failed[@]} -eq 0 ]]; then
  echo "test-arch: the end-to-end suite passed for aarch64 and i686 ($runner)"
else
  echo "test-arch: failed for: ${failed[*]}"
  exit 1
fi
