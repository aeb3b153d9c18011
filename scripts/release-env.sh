# shellcheck shell=bash
# Sourced by the release scripts (dist.sh, packages.sh): the settings that
# make a release build give the same bytes every time. Sets $version (from
# CMakeLists.txt) and exports SOURCE_DATE_EPOCH (as given, else the time of
# the last commit). Expects to run from the top of the source tree; $1 names
# the calling script in messages.

# Nothing from the caller's environment may change the bytes.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS
export LC_ALL=C TZ=UTC
umask 022

version=$(sed -n 's/^project(dumplog VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
if [[ -z $version ]]; then
  echo "$1: no 'project(dumplog VERSION x.y.z)' line in CMakeLists.txt" >&2
  exit 1
fi

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || SOURCE_DATE_EPOCH=
  if [[ -z $SOURCE_DATE_EPOCH ]]; then
    echo "$1: set SOURCE_DATE_EPOCH or run from a git clone (release builds take the last commit time)" >&2
    exit 1
  fi
fi
if [[ ! $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]]; then
  echo "$1: SOURCE_DATE_EPOCH must be a whole number of seconds, got '$SOURCE_DATE_EPOCH'" >&2
  exit 1
fi
export SOURCE_DATE_EPOCH
