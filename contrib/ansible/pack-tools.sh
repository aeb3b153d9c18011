#!/bin/sh
# Makes on the controller the file collect.yml sends to a host: unpack-tools.sh
# followed by a gzip'd tar file of the vendor tool folder (as Zerbo/), the smartctl
# folder (as SmartCtl/) and the release bundle's top folder or the package
# (in .dumplog-install/), root the owner of every file: a vendor tool that
# runs as root must not stay writable by the controller user's uid on the
# host. One file per distinct set of these, made once in CACHE and shared by
# the hosts with that set (the first one makes it, the others wait for it).
# Prints the file, then the top folder (the bundle's own, not taken from its
# file name, which an operator may have changed; .dumplog-install for a
# package); or one line that says why not (Ansible's pipe lookup drops stderr).
# usage: pack-tools.sh CACHE ZERBO_DIR SMARTCTL_DIR bundle|deb|rpm BUNDLE_OR_PACKAGE
set -u
cache=$1 zerbo=$2 smartctl=$3 install=$4 source=$5

fail() {
  echo "cannot pack the tool folders and dumplog: $*"
  exit 0
}

# Runs a command in the scratch folder $d; its first line on stderr says why it failed.
run() {
  "$@" 2>"$d/err" || fail "$(head -n 1 "$d/err")"
}

pack() {
  d=$key.d t=$key.d/tools.tar
  rm -rf -- "$d"
  mkdir -- "$d" "$d/b" || fail "cannot make $d"
  run tar -cf "$t" --owner=0 --group=0 --numeric-owner -C "$zerbo" --transform='s,^\.,Zerbo,S' .
  run tar -rf "$t" --owner=0 --group=0 --numeric-owner -C "$smartctl" --transform='s,^\.,SmartCtl,S' .
  if [ "$install" = bundle ]; then
    run tar -xf "$source" -C "$d/b"
    top=$(find "$d/b" -mindepth 1 -maxdepth 1 -printf '%f\n')
    if [ "$(find "$d/b" -mindepth 1 -maxdepth 1 | wc -l)" != 1 ] || [ ! -f "$d/b/$top/dumplog" ]; then
      fail "$source must hold one top folder with the dumplog binary in it"
    fi
  else
    top=.dumplog-install
    run mkdir -- "$d/b/$top"
    run cp -- "$source" "$d/b/$top/"
  fi
  run tar -rf "$t" --owner=0 --group=0 --numeric-owner -C "$d/b" "$top"
  run cp -- "$(dirname -- "$0")/unpack-tools.sh" "$d/file"
  run gzip -c -- "$t" >>"$d/file"
  echo "$top" >"$key.top" || fail "cannot write $key.top"
  run mv -- "$d/file" "$key.sh"
  rm -rf -- "$d"
}

locked() {
  flock 9 || fail "cannot lock $key.lock"
  [ -f "$key.sh" ] || pack
}

mkdir -p -- "$cache" || fail "cannot make $cache"
key=$cache/$(printf '%s\n' "$zerbo" "$smartctl" "$install" "$source" | sha256sum | cut -c 1-32)
locked 9>"$key.lock" || fail "cannot open $key.lock"
printf '%s\n' "$key.sh" "$(cat -- "$key.top")"
