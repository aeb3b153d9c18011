#!/usr/bin/env bash
# Runs one complete collection against the simulated drive in a scratch
# working folder under the build tree.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work="$build/demo"
rm -rf "$work"
"$(dirname "$0")/../sim/lay-out-workdir.sh" "$work" "$build/sim/dumplog-sim"
cp "$build/dumplog" "$work/dumplog"

echo "== working folder: $work"
echo "== running: ./dumplog /dev/sda 8   (simulated MegaRAID drive, port 8)"
(cd "$work" && ./dumplog /dev/sda 8)
echo "== exit status: 0"
archive=$(ls "$work"/SN*.tar.bz2)
echo "== archive: $archive"
tar -tvjf "$archive" | sed -n '1,4p;$p'
echo "   ($(tar -tjf "$archive" | wc -l) members)"
