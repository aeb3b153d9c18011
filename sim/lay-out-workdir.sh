#!/bin/bash
# Lays out a working folder in which the simulator stands in for the vendor
# tool and smartctl under every name the tool may run them as.
#
# usage: lay-out-workdir.sh DIR SIMBINARY
set -euo pipefail

if [ "$#" -ne 2 ]; then
    echo "usage: $0 DIR SIMBINARY" >&2
    exit 2
fi
dir=$1
sim=$2
if [ ! -f "$sim" ] || [ ! -x "$sim" ]; then
    echo "$0: $sim is not an executable file" >&2
    exit 2
fi

mkdir -p -- "$dir/Zerbo" "$dir/SmartCtl"
for name in zerbo64 zerbo64a zerbo86; do
    cp -- "$sim" "$dir/Zerbo/$name"
    chmod 755 -- "$dir/Zerbo/$name"
done
for name in smartctl smartctla; do
    cp -- "$sim" "$dir/SmartCtl/$name"
    chmod 755 -- "$dir/SmartCtl/$name"
done
