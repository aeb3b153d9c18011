#!/usr/bin/env bash
# The yardstick of bench_fleet.py: what collect.yml does for one host, done
# with plain ssh and nothing else. One scp of the tool folders and dumplog,
# one ssh that unpacks them and runs dumplog on each drive in turn, one scp
# back per archive, then its sha256sum. Prints per drive "drive SECONDS
# ARCHIVE SHA256" (SECONDS: inside dumplog), then "end EPOCHSECONDS".
# usage: bench_plain.sh SSH_CONFIG HOST TOOLS_TAR FETCH_DIR DRIVE...
#        (DRIVE: "/dev/sda 8" behind MegaRAID, or "/dev/sdc")
set -euo pipefail
config=$1 host=$2 tools=$3 fetch=$4
shift 4
work=/var/tmp/dumplog-plain

# Runs as root on the host (the hosts may share a home): $1 is the tool tar, then the drives, each split
# at its blank into dumplog's arguments.
# shellcheck disable=SC2016  # expanded on the host
script='set -e
mkdir -p -m 0755 '$work' && cd '$work' && tar -xf "$1" && rm -f "$1" && shift
for drive; do
  start=$(date +%s.%N)
  out=$(./dumplog-*/dumplog $drive </dev/null)
  end=$(date +%s.%N)
  echo "$start $end $(printf "%s\n" "$out" | sed -n "s|.*make dir:\./||p" | tail -n 1).tar.bz2"
done'
drives=$(printf " '%s'" "$@")

scp -q -F "$config" "$tools" "$host:tools-$host.tar"
runs=$(ssh -F "$config" "$host" "sudo -n sh -c '$script' plain \"\$HOME/tools-$host.tar\"$drives" </dev/null)
while read -r start end archive; do
  scp -q -F "$config" "$host:$work/$archive" "$fetch/" </dev/null
  sum=$(sha256sum -- "$fetch/$archive")
  echo "drive $(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", e - s }') $archive ${sum%% *}"
done <<<"$runs"
echo "end $EPOCHREALTIME"
