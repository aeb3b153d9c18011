#!/usr/bin/env bash
# Writes the seed inputs of the fuzz targets into tests/fuzz/seeds/:
# answers of the simulated drive (whole identification dumps and SMART
# reports; the E2 page cut down to its header and the rows around 04C0).
#
# usage: scripts/fuzz-seeds.sh SIMBINARY     (e.g. build/sim/dumplog-sim)
set -euo pipefail

if [ "$#" -ne 1 ]; then
    echo "usage: $0 SIMBINARY" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
sim=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
seeds=$here/../tests/fuzz/seeds
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
"$here/../sim/lay-out-workdir.sh" "$work" "$sim" >/dev/null
cd "$work"

rm -rf -- "$seeds"
mkdir -p -- "$seeds"/{model_report,e2_report,smart_report}

zerbo() { SIM_NO_SCRATCH=1 ./Zerbo/zerbo64 "$@"; }
# Header and the rows 04A0..04E0 of an E2 page dump.
e2_rows() { sed -n '1p;/^04A0 /,/^04E0 /p'; }

zerbo -d /dev/sdc -f vucmd cdb=21 in=512 >"$seeds/model_report/sdc"
zerbo -d /dev/sda,8 -f vucmd cdb=21 in=512 >"$seeds/model_report/sda-port8"
zerbo -d /dev/sdb -f vucmd cdb=21 in=512 >"$seeds/model_report/sdb-other-family"
SIM_MODEL='QLX-2.2 58 1' zerbo -d /dev/sdc -f vucmd cdb=21 in=512 >"$seeds/model_report/dash-dot-blank"

zerbo -d /dev/sdc -f vucmd cdb=2D in=8192 | e2_rows >"$seeds/e2_report/sdc"
zerbo -d /dev/sda,8 -f vucmd cdb=2D in=8192 | e2_rows >"$seeds/e2_report/sda-port8"
zerbo -d /dev/sdd -f vucmd cdb=2D in=8192 | e2_rows >"$seeds/e2_report/sdd-blank-row"
zerbo -d /dev/sde -f vucmd cdb=2D in=8192 | e2_rows >"$seeds/e2_report/sde-no-row"
SIM_E2_SERIAL='ab-c.d e	f' zerbo -d /dev/sdc -f vucmd cdb=2D in=8192 | e2_rows >"$seeds/e2_report/odd-serial"
SIM_E2_ROW_TEXT='04C0  7A 78 34 31-  .. zx4 1' zerbo -d /dev/sdc -f vucmd cdb=2D in=8192 |
    e2_rows >"$seeds/e2_report/row-text"
SIM_E2_ROW_TEXT=$'04C0  61 62 09 63  ab\tc\r' zerbo -d /dev/sdc -f vucmd cdb=2D in=8192 | e2_rows >"$seeds/e2_report/tab-cr"

./SmartCtl/smartctl -a -d megaraid,8 /dev/sda >"$seeds/smart_report/sda-port8"
./SmartCtl/smartctl -a /dev/sdd >"$seeds/smart_report/sdd-blank-in-serial"
./SmartCtl/smartctl -a /dev/sde >"$seeds/smart_report/sde-no-serial"
SIM_SMART_STYLE=sas ./SmartCtl/smartctl -a /dev/sdc >"$seeds/smart_report/sdc-sas"
SIM_SMART_SERIAL=$'a\tb:c \r' ./SmartCtl/smartctl -a /dev/sdc >"$seeds/smart_report/tab-colon-cr"
