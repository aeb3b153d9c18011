#!/usr/bin/env bash
# Builds the release bundles: one static, stripped dumplog per processor,
# packed with its manual page, README.md and SHA256SUMS into
#   dist/dumplog-<version>-linux-<arch>.tar.gz     (arch: x86_64, aarch64, i686)
#
# The same source gives the same bytes: every build starts in a fresh folder
# under build-dist/, the binaries hold no build paths, and the archives carry
# fixed names, owners, modes and times. The time is SOURCE_DATE_EPOCH when set,
# else the time of the last commit.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$PWD

scripts/deps.sh c++=g++ cmake=cmake strip=binutils tar=tar gzip=gzip \
    sha256sum=coreutils file=file \
    aarch64-linux-gnu-g++=g++-aarch64-linux-gnu \
    i686-linux-gnu-g++=g++-i686-linux-gnu

source scripts/release-env.sh dist
epoch=$SOURCE_DATE_EPOCH

for f in doc/dumplog.8 README.md; do
  if [[ ! -f $f ]]; then
    echo "dist: $f is missing; every bundle ships it" >&2
    exit 1
  fi
done

# arch | toolchain file | strip program | what `file` says about the processor
targets=(
  "x86_64||strip|x86-64"
  "aarch64|cmake/toolchain-aarch64-linux-gnu.cmake|aarch64-linux-gnu-strip|ARM aarch64"
  "i686|cmake/toolchain-i686-linux-gnu.cmake|i686-linux-gnu-strip|Intel 80386"
)

mkdir -p dist build-dist
stage_root="build-dist/stage"
rm -rf "$stage_root"

for target in "${targets[@]}"; do
  IFS='|' read -r arch toolchain strip_prog machine <<<"$target"
  build=build-dist/$arch
  name=dumplog-$version-linux-$arch
  echo "dist: building $name"

  rm -rf "$build"
  cmake_args=(-S . -B "$build" -DDUMPLOG_TESTS=OFF -DDUMPLOG_STATIC=ON -DCMAKE_BUILD_TYPE=Release)
  [[ -n $toolchain ]] && cmake_args+=("-DCMAKE_TOOLCHAIN_FILE=$root/$toolchain")
  cmake "${cmake_args[@]}" >"build-dist/$arch.configure.log" 2>&1 || {
    cat "build-dist/$arch.configure.log" >&2
    echo "dist: configuring $arch failed" >&2
    exit 1
  }
  log=build-dist/$arch.build.log
  cmake --build "$build" --target dumplog -j "${JOBS:-2}" >"$log" 2>&1 || {
    cat "$log" >&2
    echo "dist: building $arch failed" >&2
    exit 1
  }
  # A release build is expected to be warning-free (static glibc warns about
  # name-service calls, for one); show any that came up.
  if grep -i 'warning' "$log" >&2; then
    echo "dist: $arch build printed the warnings above (full log: $log)" >&2
  fi

  stage=$stage_root/$name
  mkdir -p "$stage"
  cp "$build/dumplog" "$stage/dumplog"
  "$strip_prog" --strip-all "$stage/dumplog"
  cp doc/dumplog.8 "$stage/dumplog.8"
  cp README.md "$stage/README.md"
  chmod 0755 "$stage" "$stage/dumplog"
  chmod 0644 "$stage/dumplog.8" "$stage/README.md"

  info=$(file -b "$stage/dumplog")
  if [[ $info != *"statically linked"* || $info != *"$machine"* ]]; then
    echo "dist: $arch binary is not a static $machine executable: $info" >&2
    exit 1
  fi
  if leaked=$(strings -a "$stage/dumplog" | grep -F -e "$root" -e build-dist); then
    echo "dist: $arch binary holds build paths:" >&2
    echo "$leaked" >&2
    exit 1
  fi

  (cd "$stage" && sha256sum README.md dumplog dumplog.8 >SHA256SUMS)
  chmod 0644 "$stage/SHA256SUMS"

  tar --create --format=gnu --sort=name --mtime="@$epoch" \
      --owner=0 --group=0 --numeric-owner --mode='u+rwX,go+rX,go-w' \
      -C "$stage_root" "$name" | gzip -n -9 >"dist/$name.tar.gz.tmp"
  mv "dist/$name.tar.gz.tmp" "dist/$name.tar.gz"
done

echo "dist: bundles in $root/dist:"
(cd dist && for target in "${targets[@]}"; do
  arch=${target%%|*}
  sha256sum "dumplog-$version-linux-$arch.tar.gz"
done)
