#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in a build folder of their own, then runs each,
# one after the other with a single worker, for FUZZ_SECONDS seconds.
#
# Seeds: tests/fuzz/seeds/TARGET and tests/fuzz/regressions/TARGET, and for
# the SMART report the real smartctl reports beside the project when present.
# New inputs collect in BUILD/corpus/TARGET; an input that fails a target is
# kept in BUILD/artifacts/TARGET/ until the next run (once fixed, copy it to
# tests/fuzz/regressions/TARGET/ so `make test` replays it). Exits 1 when a
# target failed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-build-fuzz}
jobs=${JOBS:-2}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz: FUZZ_SECONDS must be a whole number of seconds above 0, not '$seconds'" >&2
  exit 2
fi

scripts/deps.sh clang++=clang cmake=cmake
# libFuzzer comes with the compiler runtime of the clang that is installed.
version=$(clang++ -dumpversion)
scripts/deps.sh "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-$(uname -m).a=libclang-rt-${version%%.*}-dev"

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDUMPLOG_FUZZ=ON -DDUMPLOG_TESTS=OFF
cmake --build "$build" -j "$jobs"

reports=../shared/data/smartctl/reports
targets=(model_report e2_report smart_report)
failed=()
echo
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  log=$build/logs/$target.log
  rm -rf "$artifacts"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  seeds=(tests/fuzz/seeds/"$target")
  [[ -d tests/fuzz/regressions/$target ]] && seeds+=(tests/fuzz/regressions/"$target")
  if [[ $target == smart_report ]]; then
    if [[ -d $reports ]]; then
      seeds+=("$reports")
    else
      echo "fuzz: $target: no real smartctl reports at $reports (a clone standing alone): seeds from the simulator only"
    fi
  fi

  status=0
  "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" </dev/null >"$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [[ $status -eq 0 ]]; then
    printf 'fuzz: %-13s %10s executions in %s s: ok\n' "$target" "${runs:-?}" "$seconds"
  else
    failed+=("$target")
    printf 'fuzz: %-13s %10s executions: FAILED (status %d), log %s\n' "$target" "${runs:-?}" "$status" "$log"
    grep -E '^(property failed|  value|  from|==[0-9]+==ERROR|SUMMARY)' "$log" | head -n 8 | sed 's/^/  /' || true
    for input in "$artifacts"/*; do
      [[ -f $input ]] && echo "  input kept: $input"
    done
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets ran clean"
