#!/usr/bin/env bash
# Checks the Debian packages a make target needs and installs the missing
# ones when run as root; otherwise prints the one command to run.
# Usage: scripts/deps.sh CHECK=PACKAGE ...   where CHECK is a command name,
# or a path (starting with /) that must exist.
set -euo pipefail

missing=()
for pair in "$@"; do
  check=${pair%%=*}
  package=${pair#*=}
  if [[ $check == /* ]]; then
    [[ -e $check ]] && continue
  else
    command -v "$check" >/dev/null 2>&1 && continue
  fi
  [[ " ${missing[*]-} " == *" $package "* ]] || missing+=("$package")
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null 2>&1; then
  echo "deps: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
  exit 0
fi

echo "deps: missing Debian packages: ${missing[*]}" >&2
echo "deps: run: sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
exit 1
