#!/bin/sh
# Runs as root on a host, sent by collect.yml with a gzip'd tar file appended
# that holds Zerbo/, SmartCtl/ and the release bundle's top folder or the
# package (pack-tools.sh makes it): one transfer and one command for the
# working folder's check, the unpacking and the bundle's checksums. Prints
# TOP last.
# usage: FILE WORKDIR TOP VERIFY   (TOP: the bundle's top folder; VERIFY: 1
#        to check its SHA256SUMS)
set -u
work=$1 top=$2 verify=$3

# dumplog and the vendor tool run as root from this folder. In a shared
# folder such as /var/tmp someone else may have made it first, or made it a
# link to elsewhere: then stop, before anything is changed there. mkdir
# without -p fails on a folder made since the test, which is then checked
# like any other. dumplog refuses a folder that others may write to.
if [ ! -e "$work" ] && [ ! -L "$work" ]; then mkdir -m 0755 -- "$work" && echo made; fi
if [ -L "$work" ] || [ ! -d "$work" ] || [ "$(stat -c %u -- "$work")" != "$(id -u)" ]; then
  echo "$work must be a folder (not a link) owned by uid $(id -u)" >&2
  exit 1
fi
if [ "$(stat -c %a -- "$work")" != 755 ]; then chmod 00755 -- "$work" && echo made || exit; fi

# The tar file starts on the line after the last line of this script; grep
# stops there, before the tar's bytes.
at=$(grep -a -n -x -m 1 -e '#__TOOLS_TAR__' -- "$0") || exit
tail -n "+$((${at%%:*} + 1))" -- "$0" | tar -xz -C "$work" || exit

# A truncated copy is caught here, before anything runs as root.
if [ "$verify" = 1 ]; then
  (cd -- "$work/$top" && sha256sum --check --strict SHA256SUMS) || exit
fi
echo "$top"
exit 0
#__TOOLS_TAR__
