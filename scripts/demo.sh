#!/usr/bin/env bash
# Runs one complete collection against the simulated drive in a fresh
# scratch working folder, and says where the archive is.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/dumplog-demo.XXXXXX")
"$(dirname "$0")/../sim/lay-out-workdir.sh" "$work" "$build/sim/dumplog-sim"
cp "$build/dumplog" "$work/dumplog"

echo "== working folder: $work (Zerbo/ and SmartCtl/ hold the simulated drive)"
echo "== running: ./dumplog /dev/sda 8   (simulated MegaRAID drive, port 8)"
(cd "$work" && ./dumplog /dev/sda 8)
echo "== exit status: 0"
archive=$(ls "$work"/SN*.tar.bz2)
echo "== archive: $archive"
tar -tvjf "$archive" | sed -n '1,4p;$p'
echo "   ($(tar -tjf "$archive" | wc -l) members; remove the folder with: rm -rf $work)"
