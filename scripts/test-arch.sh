#!/usr/bin/env bash
# The end-to-end suite once more for each other processor, its static cross-built tool under a runner that the
# tool must see as that machine: qemu-aarch64-static; `setarch i686` where the kernel runs 32-bit x86 programs,
# else (or with TEST_ARCH_I686=qemu) qemu-i386-static. The suite and the simulated drive stay native.
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
build native "e2e_tests dumplog-sim"
for arch in aarch64 i686; do build $arch dumplog -DDUMPLOG_TESTS=OFF -DDUMPLOG_STATIC=ON -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/toolchain-$arch-linux-gnu.cmake"; done

# Some kernels cannot execute 32-bit x86 programs at all: a static do-nothing one tells.
echo 'int main(void) { return 0; }' | i686-linux-gnu-gcc -static -x c -o "$top/i686/probe" -
i686=qemu-i386-static
if [[ ${TEST_ARCH_I686:-} != qemu ]] && setarch i686 "$top/i686/probe" 2>/dev/null; then i686="setarch i686"; fi

failed=()
for run in "aarch64|qemu-aarch64-static|ARM aarch64" "i686|$i686|Intel 80386"; do
  IFS='|' read -r arch runner processor <<<"$run"
  info=$(file -b "$top/$arch/dumplog")
  echo; echo "== $arch under $runner: $info"
  [[ $info == *"$processor, "*"statically linked"* ]] || { failed+=("$arch (not a static $processor program)"); continue; }
  DUMPLOG_E2E_TOOL=$PWD/$top/$arch/dumplog DUMPLOG_E2E_RUNNER=$runner DUMPLOG_E2E_MACHINE=$arch \
    ctest --test-dir "$top/native" -R '^EndToEnd\.' -j "${JOBS:-2}" --output-on-failure || failed+=("$arch")
done
echo
[[ ${#failed[@]} -eq 0 ]] || { echo "test-arch: failed for: ${failed[*]}"; exit 1; }
echo "test-arch: the end-to-end suite passed for aarch64 and i686 ($i686)"
