#!/usr/bin/env bash
# The end-to-end suite once more for each other processor the tool is built for, with its static cross-built
# binary under a runner: aarch64 under qemu-aarch64-static; i686 under `setarch i686` where the kernel runs
# 32-bit x86 programs, else (or with TEST_ARCH_I686=qemu) under qemu-i386-static. The tool must see that machine
# and pick its programs; the suite and the simulated drive stay native (the tool's commands go through /bin/sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh c++=g++ cmake=cmake /usr/include/gtest/gtest.h=libgtest-dev tar=tar bzip2=bzip2 find=findutils \
  file=file qemu-aarch64-static=qemu-user-static qemu-i386-static=qemu-user-static setarch=util-linux \
  aarch64-linux-gnu-g++=g++-aarch64-linux-gnu i686-linux-gnu-g++=g++-i686-linux-gnu
top=build-arch
mkdir -p "$top"

build() {  # FOLDER "TARGET..." CMAKE-ARG...: configured once; its output shown only when it fails
  local dir=$top/$1 targets; read -ra targets <<<"$2"; shift 2
  { { [[ -f $dir/CMakeCache.txt ]] || cmake -S . -B "$dir" "$@"; } &&
    cmake --build "$dir" -j "${JOBS:-2}" --target "${targets[@]}"; } >"$dir.log" 2>&1 ||
    { cat "$dir.log"; echo "test-arch: building $1 failed"; exit 1; } >&2
}
echo "test-arch: building the suite, the simulated drive and the static cross binaries"
cross=(-DDUMPLOG_TESTS=OFF -DDUMPLOG_STATIC=ON -DCMAKE_BUILD_TYPE=Release)
build native "e2e_tests dumplog-sim"
build aarch64 dumplog "${cross[@]}" "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/toolchain-aarch64-linux-gnu.cmake"
build i686 dumplog "${cross[@]}" "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/toolchain-i686-linux-gnu.cmake"

# Some kernels cannot execute 32-bit x86 programs at all: a static do-nothing one tells.
echo 'int main(void) { return 0; }' | i686-linux-gnu-gcc -static -x c -o "$top/i686/probe" -
i686=qemu-i386-static
if [[ ${TEST_ARCH_I686:-} != qemu ]] && setarch i686 "$top/i686/probe" 2>/dev/null; then i686="setarch i686"; fi

failed=()
for run in "aarch64|qemu-aarch64-static|ARM aarch64" "i686|$i686|Intel 80386"; do
  IFS='|' read -r arch runner processor <<<"$run"
  binary=$PWD/$top/$arch/dumplog info=$(file -b "$top/$arch/dumplog")
  echo; echo "== $arch under $runner: $info"
  if [[ $info != *"$processor, "*"statically linked"* ]]; then
    echo "test-arch: $arch: not a static $processor program" >&2; failed+=("$arch"); continue
  fi
  DUMPLOG_E2E_TOOL=$binary DUMPLOG_E2E_RUNNER=$runner DUMPLOG_E2E_MACHINE=$arch \
    ctest --test-dir "$top/native" -R '^EndToEnd\.' -j "${JOBS:-2}" --output-on-failure || failed+=("$arch")
done
echo
[[ ${#failed[@]} -eq 0 ]] || { echo "test-arch: failed for: ${failed[*]}"; exit 1; }
echo "test-arch: the end-to-end suite passed for aarch64 and i686 ($i686)"
