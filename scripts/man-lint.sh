#!/usr/bin/env bash
# The manual page formats without a single warning: with mandoc's linter, with groff at full warning level and,
# where man is installed, the way an operator reads it. Usage: scripts/man-lint.sh [PAGE]
set -euo pipefail
page=$(realpath -m -- "${1:-$(dirname "$0")/../doc/dumplog.8}")
cd "$(dirname "$0")/.."
scripts/deps.sh mandoc=mandoc groff=groff-base

failed=0
check() {  # NAME COMMAND...: a message on standard error, or a non-zero status, fails
  local output status=0
  output=$("${@:2}" 2>&1 >/dev/null) || status=$?
  [[ $status -eq 0 && -z $output ]] || { printf 'man-lint: %s (status %s):\n%s\n' "$1" "$status" "$output"; failed=1; }
} >&2
mandoc_lint() { mandoc -Tlint -W warning "$page" >&2; }  # it reports on standard output
check "mandoc -Tlint -W warning" mandoc_lint
check "groff -man -Tutf8 -ww -z" groff -man -Tutf8 -ww -z "$page"
if command -v man >/dev/null; then check "man -l (80 columns)" env MANWIDTH=80 man -l "$page"; fi
[[ $failed -eq 0 ]] && echo "man page: clean"
