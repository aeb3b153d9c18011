#!/usr/bin/env bash
# Builds the Debian and RPM packages with CPack (packaging/CMakeLists.txt),
# one of each per processor, from the static binaries that scripts/dist.sh
# staged for the release bundles (make packages runs make dist first):
#   OUTDIR/dumplog_<version>-<rev>_<amd64|arm64|i386>.deb
#   OUTDIR/dumplog-<version>-<rev>.<x86_64|aarch64|i686>.rpm
#
# usage: scripts/packages.sh [OUTDIR [WORKDIR]]   (default: dist, build-dist/packages)
#
# The same binaries give the same bytes: CPack's DEB writer and rpmbuild take
# every time from SOURCE_DATE_EPOCH (the last commit's, as for the bundles).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m -- "${1:-dist}")
work=$(realpath -m -- "${2:-build-dist/packages}")

scripts/deps.sh cmake=cmake gzip=gzip sha256sum=coreutils rpmbuild=rpm
source scripts/release-env.sh packages

mkdir -p "$out"
rm -rf "$work"
files=()
for arch in x86_64 aarch64 i686; do
  stage=$root/build-dist/stage/dumplog-$version-linux-$arch
  # The binary must still be the one the bundle's checksums name.
  if ! (cd "$stage" 2>/dev/null && grep ' dumplog$' SHA256SUMS | sha256sum --check --status --strict); then
    echo "packages: no $arch binary of version $version staged in $stage: run make dist first" >&2
    exit 1
  fi

  echo "packages: packaging $arch"
  log=$work/$arch.log
  mkdir -p "$work"
  { cmake -S packaging -B "$work/$arch" -DDUMPLOG_BINARY="$stage/dumplog" -DDUMPLOG_ARCH="$arch" &&
    (cd "$work/$arch" && cpack -B "$work/$arch/out"); } >"$log" 2>&1 || {
    cat "$log" >&2
    echo "packages: packaging $arch failed" >&2
    exit 1
  }
  for f in "$work/$arch/out"/*.deb "$work/$arch/out"/*.rpm; do
    mv -f -- "$f" "$out/"
    files+=("$(basename -- "$f")")
  done
done

echo "packages: in $out:"
(cd "$out" && for f in "${files[@]}"; do
  printf '%s  %8d  %s\n' "$(sha256sum <"$f" | cut -d' ' -f1)" "$(stat -c %s -- "$f")" "$f"
done)
