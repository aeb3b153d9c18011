#!/usr/bin/env bash
# End-to-end collections with the static AArch64 and i686 binaries against
# the simulated drive on /dev/sda port 8:
#   aarch64  runs under qemu-aarch64-static, so the tool sees machine
#            "aarch64" and must pick Zerbo/zerbo64a and SmartCtl/smartctla;
#   i686     runs under `setarch i686` where the kernel executes 32-bit x86
#            programs, else under qemu-i386-static; either way the tool
#            sees machine "i686" and must pick Zerbo/zerbo86 and
#            SmartCtl/smartctl. TEST_ARCH_I686=qemu takes qemu in any case.
# The simulator stays a native x86-64 program: the commands the tool starts
# go through /bin/sh on the host, whatever the tool's own processor.
#
# Prints PASS/FAIL per check and a closing "test-arch: N passed, N failed"
# line counting collections; exits non-zero when any check failed.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$PWD

scripts/deps.sh c++=g++ cmake=cmake /usr/include/gtest/gtest.h=libgtest-dev \
    tar=tar bzip2=bzip2 find=findutils file=file timeout=coreutils \
    qemu-aarch64-static=qemu-user-static qemu-i386-static=qemu-user-static \
    setarch=util-linux \
    aarch64-linux-gnu-g++=g++-aarch64-linux-gnu \
    i686-linux-gnu-g++=g++-i686-linux-gnu

# One stream, so the notes on failed checks stay next to their FAIL lines.
exec 2>&1

jobs=${JOBS:-2}
top=build-arch
mkdir -p "$top"

# Configures (once) and builds one target; the output goes to a log that is
# shown only when something fails.
build() {
  local dir=$1 target=$2
  shift 2
  local log=$top/$(basename "$dir").build.log
  { { [[ -f $dir/CMakeCache.txt ]] || cmake -S . -B "$dir" "$@"; } &&
    cmake --build "$dir" --target "$target" -j "$jobs"; } >"$log" 2>&1 || {
    cat "$log" >&2
    echo "test-arch: building $target in $dir failed" >&2
    exit 1
  }
}

cross=(-DDUMPLOG_TESTS=OFF -DDUMPLOG_STATIC=ON -DCMAKE_BUILD_TYPE=Release)
echo "test-arch: building the simulator and the static cross binaries"
build "$top/native" dumplog-sim
build "$top/aarch64" dumplog "${cross[@]}" \
    "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/toolchain-aarch64-linux-gnu.cmake"
build "$top/i686" dumplog "${cross[@]}" \
    "-DCMAKE_TOOLCHAIN_FILE=$root/cmake/toolchain-i686-linux-gnu.cmake"
sim=$root/$top/native/sim/dumplog-sim

checks_passed=0
checks_failed=0
runs_passed=0
runs_failed=0
run_failed=0

check() {
  local what=$1 ok=$2
  if [[ $ok == yes ]]; then
    echo "PASS  $what"
    checks_passed=$((checks_passed + 1))
  else
    echo "FAIL  $what"
    checks_failed=$((checks_failed + 1))
    run_failed=1
  fi
}

# yes when the text $1 holds the lines of $2, in that order (other lines may
# come between them); otherwise no, and the first missing line goes to stderr.
lines_in_order() {
  local text=$1 wanted=$2 line rest=$1
  while IFS= read -r line; do
    local found=no
    while [[ -n $rest ]]; do
      local head=${rest%%$'\n'*}
      if [[ $rest == *$'\n'* ]]; then rest=${rest#*$'\n'}; else rest=; fi
      if [[ $head == "$line" ]]; then found=yes; break; fi
    done
    if [[ $found == no ]]; then
      echo "      missing or out of order: $line" >&2
      echo no
      return
    fi
  done <<<"$wanted"
  echo yes
}

# collect ARCH FILE-MACHINE TOOL SMARTCTL RUNNER...
collect() {
  local arch=$1 machine=$2 tool=$3 smart=$4
  shift 4
  local runner=("$@")
  local binary=$root/$top/$arch/dumplog
  local work=$root/$top/run-$arch
  local serial=SNS3K7N019X200
  run_failed=0

  echo
  echo "== $arch: ${runner[*]} ./dumplog /dev/sda 8   (in $work)"
  rm -rf "$work"
  sim/lay-out-workdir.sh "$work/wd" "$sim"
  cp "$binary" "$work/wd/dumplog"
  local info
  info=$(file -b "$binary")
  check "$arch: binary is a static $machine executable ($info)" \
    "$([[ $info == *"statically linked"* && $info == *"$machine"* ]] && echo yes || echo no)"

  local status=0 start elapsed
  start=${EPOCHREALTIME/[.,]/}
  (cd "$work/wd" && SIM_LOG="$work/sim.log" timeout 300 "${runner[@]}" ./dumplog /dev/sda 8 \
     </dev/null >"$work/stdout" 2>"$work/stderr") || status=$?
  elapsed=$(( (${EPOCHREALTIME/[.,]/} - start) / 100000 ))
  echo "      collection took $((elapsed / 10)).$((elapsed % 10)) s"

  check "$arch: exit status 0 (got $status)" "$([[ $status -eq 0 ]] && echo yes || echo no)"
  check "$arch: nothing on stderr" "$([[ ! -s $work/stderr ]] && echo yes || echo no)"
  if [[ -s $work/stderr ]]; then sed 's/^/      stderr: /' "$work/stderr" | head -5; fi

  # Messages start with "[YYYY-MM-DD HH:MM:SS.mmm] "; the checks below look
  # at those lines only, with the prefix taken off.
  local stamp='^\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}\] '
  local console
  console=$(grep -E "$stamp" "$work/stdout" | sed -E "s/$stamp//" || true)

  local d="/dev/sda,8"
  local expected
  expected=$(cat <<EOF
././Zerbo/$tool -d $d -f vucmd cdb=21 in=512 >CheckModel.txt
ModelName:QLX22581
././Zerbo/$tool -d $d -f vucmd cdb=2D in=8192 >E2.txt
././SmartCtl/$smart -a -d megaraid,8 /dev/sda  > SMARTInfo.txt
make dir:./$serial
===Dump Save Log Start===
././Zerbo/$tool -d $d -f vucmd cdb=1C,BE,10,00,00 in=16384 outfile=./$serial/000.raw >log.txt
Dump Log done!!
EOF
)
  check "$arch: console shows $tool, $smart, the model, the folder and the page-0 command" \
    "$(lines_in_order "$console" "$expected")"

  local pages="" page line
  for ((page = 0; page < 128; page++)); do
    printf -v line '././Zerbo/%s -d %s -f vucmd cdb=1C,BE,10,%02x,00 in=16384 outfile=./%s/%03d.raw >log.txt' \
      "$tool" "$d" "$page" "$serial" "$page"
    pages+=$line$'\n'
  done
  local page_lines
  page_lines=$(grep -c -- '-f vucmd cdb=1C,BE,10,' <<<"$console" || true)
  check "$arch: exactly 128 page commands, 000 to 127 in order ($page_lines seen)" \
    "$([[ $page_lines -eq 128 ]] && lines_in_order "$console" "${pages%$'\n'}" || echo no)"

  local archive=$work/wd/$serial.tar.bz2 members=0 full=0
  if [[ -f $archive ]]; then
    members=$(tar -tjf "$archive" | grep -Ec "^$serial/[0-9]{3}\.raw$" || true)
    full=$(tar -tvjf "$archive" | awk -v s="$serial/" '$6 ~ "^" s "[0-9][0-9][0-9]\\.raw$" && $3 == 16384' | wc -l)
  fi
  check "$arch: $serial.tar.bz2 holds 128 .raw pages of 16384 bytes ($members pages, $full full)" \
    "$([[ $members -eq 128 && $full -eq 128 ]] && echo yes || echo no)"

  local programs="" tool_runs=0 smart_runs=0
  if [[ -f $work/sim.log ]]; then
    programs=$(cut -d' ' -f1 "$work/sim.log" | sort -u | tr '\n' ' ')
    tool_runs=$(grep -c "^$tool " "$work/sim.log" || true)
    smart_runs=$(grep -c "^$smart " "$work/sim.log" || true)
  fi
  programs=${programs% }
  local want_programs
  want_programs=$(printf '%s\n' "$tool" "$smart" | sort | tr '\n' ' ')
  check "$arch: the simulator ran as [$programs] only ($tool $tool_runs times, $smart $smart_runs)" \
    "$([[ "$programs " == "$want_programs" && $tool_runs -eq 130 && $smart_runs -eq 1 ]] && echo yes || echo no)"

  if [[ $run_failed -eq 0 ]]; then
    runs_passed=$((runs_passed + 1))
  else
    runs_failed=$((runs_failed + 1))
    echo "      console: $work/stdout  stderr: $work/stderr  simulator log: $work/sim.log"
  fi
}

# Some kernels cannot execute 32-bit x86 programs at all ("Exec format
# error"); a static do-nothing i686 program tells which kind this one is.
i686_runner() {
  local probe=$top/i686/runs-here
  echo 'int main(void) { return 0; }' | i686-linux-gnu-gcc -static -x c -o "$probe" - >/dev/null 2>&1 || true
  if [[ ${TEST_ARCH_I686:-} != qemu ]] && [[ -x $probe ]] && setarch i686 "$probe" 2>/dev/null; then
    echo "setarch i686"
  else
    echo "qemu-i386-static"
  fi
}

collect aarch64 "ARM aarch64" zerbo64a smartctla qemu-aarch64-static
runner=$(i686_runner)
echo
echo "test-arch: the i686 binary runs under $runner" \
  "($([[ $runner == setarch* ]] && echo "this kernel runs 32-bit x86 programs" ||
      echo "this kernel cannot run 32-bit x86 programs, or TEST_ARCH_I686=qemu"))"
# shellcheck disable=SC2086
collect i686 "Intel 80386" zerbo86 smartctl $runner

echo
echo "test-arch: $checks_passed checks passed, $checks_failed checks failed"
echo "test-arch: $runs_passed passed, $runs_failed failed"
[[ $runs_failed -eq 0 && $checks_failed -eq 0 ]]
