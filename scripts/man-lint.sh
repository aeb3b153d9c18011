#!/usr/bin/env bash
# Checks that the manual page formats without a single warning, with mandoc's
# linter, with groff at full warning level and, where man is installed, the
# way an operator reads it. Usage: scripts/man-lint.sh [PAGE]
set -euo pipefail

page=$(realpath -m -- "${1:-$(dirname "$0")/../doc/dumplog.8}")
cd "$(dirname "$0")/.."

scripts/deps.sh mandoc=mandoc groff=groff-base

[[ -f $page ]] || { echo "man-lint: $page is missing" >&2; exit 1; }

failed=0

# Runs one checker; any message on standard error, or a non-zero status, fails.
check() {
  local name=$1; shift
  local output status=0
  output=$("$@" 2>&1 >/dev/null) || status=$?
  if [[ $status -ne 0 || -n $output ]]; then
    echo "man-lint: $name (status $status):" >&2
    [[ -n $output ]] && printf '%s\n' "$output" | sed 's/^/  /' >&2
    failed=1
  fi
}

# mandoc -Tlint writes its messages to standard output.
check_mandoc() {
  local output status=0
  output=$(mandoc -Tlint -W warning "$page" 2>&1) || status=$?
  if [[ $status -ne 0 || -n $output ]]; then
    echo "man-lint: mandoc -Tlint -W warning (status $status):" >&2
    [[ -n $output ]] && printf '%s\n' "$output" | sed 's/^/  /' >&2
    failed=1
  fi
}

check_mandoc
check "groff -man -Tutf8 -ww -z" groff -man -Tutf8 -ww -z "$page"
if command -v man >/dev/null 2>&1; then
  check "man -l (80 columns)" env MANWIDTH=80 man -l "$page"
fi

[[ $failed -eq 0 ]] || exit 1
echo "man page: clean"
