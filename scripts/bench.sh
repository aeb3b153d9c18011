#!/usr/bin/env bash
# Measures complete family-drive collections against the simulated drive:
# wall time, the floor no run can beat (the 128 pauses of 0.05 s plus the
# time of the external commands, as the tool waited for them), the time the
# two syncs of the archive and the working folder took, the tool's own CPU
# time without its children, and its peak resident memory. A baseline
# program that only starts as many commands and sleeps as often shows what
# this machine charges for that alone. Each run works in a fresh scratch
# folder (BENCH_DIR=... to measure on another disk).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${RUNS:-3}
probe="$build/bench/libdumplog_run_probe.so"
scratch=$(mktemp -d "${BENCH_DIR:-${TMPDIR:-/tmp}}/dumplog-bench.XXXXXX")
trap 'rm -rf -- "$scratch"' EXIT
echo "bench: working folders under $scratch ($(df --output=fstype "$scratch" | tail -n 1))"

printf '%-4s %9s %9s %8s %9s %6s %8s %8s %8s %13s\n' \
  run wall_s floor_s over_% commands syncs sync_ms cpu_ms rss_kib baseline_cpu_ms
# shellcheck disable=SC2154  # the probe file sourced in the loop sets the run's figures
for n in $(seq 1 "$runs"); do
  work="$scratch/run-$n"
  "$(dirname "$0")/../sim/lay-out-workdir.sh" "$work" "$build/sim/dumplog-sim"
  start=$EPOCHREALTIME
  (cd "$work" && DUMPLOG_PROBE_OUT="$scratch/probe.txt" LD_PRELOAD="$probe" "$build/dumplog" /dev/sda 8 >/dev/null)
  end=$EPOCHREALTIME
  # shellcheck source=/dev/null  # written by the probe: commands, command_seconds, cpu_seconds, ...
  source "$scratch/probe.txt"
  baseline=$("$build/bench/dumplog_spawn_baseline" "$commands")
  awk -v n="$n" -v s="$start" -v e="$end" -v c="$command_seconds" -v k="$commands" -v cpu="$cpu_seconds" \
      -v rss="$maxrss_kib" -v base="$baseline" -v syncs="$syncs" -v sync="$sync_seconds" 'BEGIN {
        wall = e - s; floor = 128 * 0.05 + c;
        printf "%-4s %9.3f %9.3f %8.2f %9d %6d %8.2f %8.1f %8d %13.1f\n", n, wall, floor, 100 * (wall - floor) / floor,
               k, syncs, sync * 1000, cpu * 1000, rss, base * 1000 }'
done
echo "targets: own CPU < 20 ms per run, peak memory < 8192 KiB, wall within 2 % of the floor"

# Whatever arrives at the prompt, the tool reads no more than a command line
# can hold: its peak memory stays flat from a short line to a gigabyte.
echo
echo "standard input at the prompt (each run lists the drives, then reads what the command gives):"
printf '%-44s %6s %8s\n' input status rss_kib
work="$scratch/stdin"
"$(dirname "$0")/../sim/lay-out-workdir.sh" "$work" "$build/sim/dumplog-sim"
while IFS='|' read -r name command; do
  status=$(set +e; cd "$work" && eval "$command" | DUMPLOG_PROBE_OUT="$scratch/probe.txt" LD_PRELOAD="$probe" \
    "$build/dumplog" >/dev/null 2>&1; echo "${PIPESTATUS[1]}")
  # shellcheck source=/dev/null
  source "$scratch/probe.txt"
  printf '%-44s %6s %8d\n' "$name" "$status" "$maxrss_kib"
done <<'INPUTS'
nothing (end of input)|true
/dev/sdz (no such drive)|echo /dev/sdz
the longest line, 131071 bytes|{ printf /dev/sdz; head -c 131063 /dev/zero | tr '\0' ' '; echo; }
1 GiB of a, no line feed|head -c 1G /dev/zero | tr '\0' a
1 GiB of blanks|head -c 1G /dev/zero | tr '\0' ' '
1 GiB of random bytes|head -c 1G /dev/urandom
INPUTS
echo "target: peak memory < 16384 KiB whatever the input"
