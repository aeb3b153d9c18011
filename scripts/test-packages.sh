#!/usr/bin/env bash
# Checks the packages that make packages left in dist/:
#   every .deb  control fields; files, owners and modes; lintian without
#               error or warning (overrides shown with their reasons); installs
#               into a scratch root, where the binary is a static one of the
#               right processor and byte for byte the release bundle's;
#   the .deb of this machine's architecture, on the machine itself: dpkg -i,
#               dumplog --version and --help (nothing made in the folder),
#               man -w dumplog, dpkg -i again over itself, dpkg -r, dpkg -P,
#               then install and purge at once; after each removal every path
#               the package holds is as it was before the first install;
#   every .rpm  rpm -qp name, requires, provides and file list; installs
#               into a scratch root (--initdb, -i --nodeps --noscripts) with
#               the right files and modes, passes rpm -V, binary as above;
#               rpm -e leaves no file;
#   all         a second packaging run from the same binaries gives the same bytes.
# Prints PASS/FAIL per check and "test-packages: N passed, N failed"; exits
# non-zero when a check failed. Must run as root (it installs the package).
set -euo pipefail

cd "$(dirname "$0")/.."
[[ $(id -u) -eq 0 ]] || { echo "test-packages: run as root: it installs and removes the .deb" >&2; exit 2; }
scripts/deps.sh dpkg-deb=dpkg lintian=lintian rpm=rpm file=file man=man-db cmp=diffutils
source scripts/release-env.sh test-packages
pkgver=$(sed -n '1s/^dumplog (\([^)]*\)).*/\1/p' packaging/changelog)   # version-revision

scratch=$(mktemp -d "${TMPDIR:-/tmp}/dumplog-packages.XXXXXX")
installed=no
passed=0
failed=0
finish() {
  [[ $installed == no ]] || dpkg -P dumplog >/dev/null 2>&1 || true
  if [[ $failed -eq 0 ]]; then rm -rf -- "$scratch"; else echo "test-packages: scratch folder kept: $scratch"; fi
}
trap finish EXIT

# check DESCRIPTION COMMAND...: PASS when the command succeeds; else FAIL and its output.
check() {
  local what=$1
  shift
  if "$@" >"$scratch/check.log" 2>&1; then
    echo "PASS  $what"; passed=$((passed + 1))
  else
    echo "FAIL  $what"; failed=$((failed + 1)); sed 's/^/      /' "$scratch/check.log" | head -30
  fi
}
# same EXPECTED COMMAND...: the command prints exactly EXPECTED.
same() { local want=$1; shift; diff -u <(printf '%s\n' "$want") <("$@"); }
# sorted COMMAND...: its output sorted by the path after mode, owner and group.
sorted() { "$@" | LC_ALL=C sort -k4; }

# What each package must hold (the .rpm leaves the shared folders to the system).
files_of() {  # files_of deb|rpm: "mode owner group path" under a root
  printf '%s\n' 'drwxr-xr-x root root usr' 'drwxr-xr-x root root usr/sbin' \
    '-rwxr-xr-x root root usr/sbin/dumplog' 'drwxr-xr-x root root usr/share' \
    'drwxr-xr-x root root usr/share/doc' 'drwxr-xr-x root root usr/share/doc/dumplog' \
    '-rw-r--r-- root root usr/share/doc/dumplog/changelog.Debian.gz' \
    '-rw-r--r-- root root usr/share/doc/dumplog/copyright'
  [[ $1 == rpm ]] || printf '%s\n' 'drwxr-xr-x root root usr/share/lintian' \
    'drwxr-xr-x root root usr/share/lintian/overrides' \
    '-rw-r--r-- root root usr/share/lintian/overrides/dumplog'
  printf '%s\n' 'drwxr-xr-x root root usr/share/man' 'drwxr-xr-x root root usr/share/man/man8' \
    '-rw-r--r-- root root usr/share/man/man8/dumplog.8.gz'
}
tree_of() { find "$1/usr" -printf '%M %u %g %P\n' | sed 's| | usr/|3; s|/$||'; }
# binary_ok BINARY ARCH WHAT-FILE-SAYS: static, right processor, the bundle's bytes.
binary_ok() {
  local info
  info=$(file -b "$1")
  echo "$info"
  [[ $info == *"$3"* && $info == *"statically linked"* ]] &&
    tar -xzOf "dist/dumplog-$version-linux-$2.tar.gz" "dumplog-$version-linux-$2/dumplog" | cmp - "$1"
}

# processor | Debian arch | RPM arch | RPM ISA name | what file(1) says
targets=("x86_64|amd64|x86_64|x86-64|x86-64" "aarch64|arm64|aarch64|aarch-64|ARM aarch64"
         "i686|i386|i686|x86-32|Intel 80386")

deb_fields() { dpkg-deb -f "$1" Package Version Architecture Section Priority Depends Maintainer | sed 's/^[^:]*: //'; }
deb_tree() { dpkg-deb -c "$1" | awk '{ sub("/", " ", $2); sub("^\\./", "", $6); sub("/$", "", $6); print $1, $2, $6 }'; }
# Every file and folder carries the time SOURCE_DATE_EPOCH, whatever the checkout's times.
deb_times() { dpkg-deb --fsys-tarfile "$1" | tar -tv --full-time --utc | awk '{ print $4 "T" $5 }' | sort -u; }
rpm_times() { rpm -qp --qf '[%{FILEMTIMES}\n]' "$1" | sort -u; }
rpm_requires() { rpm -qp --requires "$1" | grep -v '^rpmlib(' | sort; }
deb_root_install() {  # deb_root_install ROOT DEB
  mkdir -p "$1/var/lib/dpkg/info" "$1/var/lib/dpkg/updates" && : >"$1/var/lib/dpkg/status" &&
    dpkg --root="$1" --force-architecture --force-depends -i "$2"
}
rpm_root_install() {  # rpm_root_install ROOT RPM
  mkdir -p "$1" && rpm --root "$1" --initdb &&
    rpm --root "$1" -i --nodeps --noscripts --ignorearch "$2" && rpm --root "$1" -V --nodeps dumplog
}
rpm_root_erase() { rpm --root "$1" -e --nodeps --noscripts dumplog && [[ -z $(find "$1/usr" ! -type d) ]]; }

summary=$(head -n 1 packaging/description)
description=$(tail -n +2 packaging/description)

for target in "${targets[@]}"; do
  IFS='|' read -r arch debarch rpmarch isa machine <<<"$target"
  deb=dist/dumplog_${pkgver}_$debarch.deb
  rpm=dist/dumplog-$pkgver.$rpmarch.rpm
  echo; echo "== $arch: $deb, $rpm"
  [[ -f $deb && -f $rpm ]] || { check "$arch: both packages exist" false; continue; }

  check "$deb: control fields" same "$(printf '%s\n' dumplog "$pkgver" "$debarch" admin optional 'tar, bzip2' \
    'Seed 59ff3edf maintainers <maintainers@users.noreply.c-seed-59ff3edf.example>')" deb_fields "$deb"
  check "$deb: description" same "$summary
$(sed 's/^$/./; s/^/ /' <<<"$description")" dpkg-deb -f "$deb" Description
  check "$deb: files, owners, modes" same "$(files_of deb)" sorted deb_tree "$deb"
  check "$deb: every time is SOURCE_DATE_EPOCH" same "$(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%T)" deb_times "$deb"
  # Judged by its lines: with --show-overrides, this lintian's --fail-on counts
  # overridden tags too. Status 1 means lintian itself failed.
  lint=0
  lintian -I --show-overrides "$deb" >"$scratch/lintian.log" 2>&1 || lint=$?
  check "$deb: lintian reports no error and no warning" \
    sh -c "test $lint -ne 1 && ! grep '^[EW]: ' '$scratch/lintian.log'"
  grep -v 'running with root privileges' "$scratch/lintian.log" | sed 's/^/      lintian: /'
  check "$deb: installs into a scratch root" deb_root_install "$scratch/deb-$arch" "$deb"
  check "$deb: installed files and modes" same "$(files_of deb)" sorted tree_of "$scratch/deb-$arch"
  check "$deb: installed binary is the bundle's static $machine one" \
    binary_ok "$scratch/deb-$arch/usr/sbin/dumplog" "$arch" "$machine"

  check "$rpm: name, version, release, architecture" same "dumplog $version ${pkgver#*-} $rpmarch" \
    rpm -qp --qf '%{NAME} %{VERSION} %{RELEASE} %{ARCH}\n' "$rpm"
  check "$rpm: summary and description" same "$summary
$description" rpm -qp --qf '%{SUMMARY}\n%{DESCRIPTION}\n' "$rpm"
  check "$rpm: requires tar and bzip2 (and rpmlib features) only" same "$(printf '%s\n' bzip2 tar)" \
    rpm_requires "$rpm"
  check "$rpm: provides" same "$(printf '%s\n' "dumplog = $pkgver" "dumplog($isa) = $pkgver")" \
    rpm -qp --provides "$rpm"
  check "$rpm: every time is SOURCE_DATE_EPOCH" same "$SOURCE_DATE_EPOCH" rpm_times "$rpm"
  check "$rpm: file list" same "$(files_of rpm | awk '$4 ~ /dumplog/ { print "/" $4 }')" rpm -qpl "$rpm"
  check "$rpm: installs into a scratch root, rpm -V clean" rpm_root_install "$scratch/rpm-$arch" "$rpm"
  check "$rpm: installed files and modes" same "$(files_of rpm)" sorted tree_of "$scratch/rpm-$arch"
  check "$rpm: installed binary is the bundle's static $machine one" \
    binary_ok "$scratch/rpm-$arch/usr/sbin/dumplog" "$arch" "$machine"
  check "$rpm: rpm -e leaves no file" rpm_root_erase "$scratch/rpm-$arch"
done

# --- On this machine: install, run, reinstall, remove, purge ---------------
hostarch=$(dpkg --print-architecture)
deb=dist/dumplog_${pkgver}_$hostarch.deb
echo; echo "== this machine ($hostarch): $deb"
# Where dpkg.cfg.d excludes manual pages and docs (slim images), take ours back.
dpkg_i() { dpkg --path-include=/usr/share/man/man8/dumplog.8.gz --path-include='/usr/share/doc/dumplog/*' -i "$deb"; }
paths=$(files_of deb | awk '{ print "/" $4 }')
state() { local p; for p in $paths; do stat -c '%A %U %G %n' "$p" 2>/dev/null || echo "absent $p"; done; }
is_installed() {
  same "install ok installed $pkgver" dpkg-query -W -f='${Status} ${Version}\n' dumplog &&
    dpkg -V dumplog && [[ $(command -v dumplog) == /usr/sbin/dumplog ]]
}
runs() {  # dumplog --version and --help in an empty folder, which stays empty
  local dir
  dir=$(mktemp -d "$scratch/run.XXXXXX")
  (cd "$dir" && same "dumplog $version" dumplog --version && [[ $(dumplog --help) == "usage: dumplog "* ]]) &&
    [[ -z $(ls -A "$dir") ]]
}
known() { dpkg-query -W -f='${db:Status-Status}\n' dumplog 2>/dev/null | grep -qv '^not-installed$'; }
gone() {
  ! known && ! man -w dumplog && same "$before" state &&
    [[ -z $(find /var/lib/dpkg/info -name 'dumplog[.:]*') ]]
}
reinstall() { dpkg_i && is_installed; }
install_purge() { dpkg_i && is_installed && dpkg -P dumplog; }

if [[ ! -f $deb ]]; then
  check "a package for this machine's architecture ($hostarch)" false
elif known; then
  check "dumplog is not installed on this machine before the test (remove it: dpkg -P dumplog)" false
else
  before=$(state)
  installed=yes
  check "dpkg -i $deb" dpkg_i
  check "installed: status, dpkg -V, /usr/sbin/dumplog on PATH" is_installed
  check "dumplog --version prints 'dumplog $version', --help its usage; nothing made" runs
  check "man -w dumplog finds /usr/share/man/man8/dumplog.8.gz" same /usr/share/man/man8/dumplog.8.gz man -w dumplog
  check "dpkg -i again over the installed package" reinstall
  check "after reinstalling: dumplog --version, --help" runs
  check "dpkg -r dumplog" dpkg -r dumplog
  check "after dpkg -r: package, manual, files and folders as before the install" gone
  check "dpkg -P dumplog after dpkg -r" dpkg -P dumplog
  check "dpkg -i, then dpkg -P at once" install_purge
  check "after dpkg -P: package, manual, files and folders as before the install" gone
  installed=no
fi

# --- Reproducible: the same binaries packaged again give the same bytes ----
echo
if scripts/packages.sh "$scratch/again" "$scratch/again-work" >"$scratch/again.log" 2>&1; then
  for f in "$scratch"/again/*; do
    check "packaged again in another folder, same bytes: $(basename "$f")" cmp "$f" "dist/$(basename "$f")"
  done
else
  check "packaging again" sh -c "cat '$scratch/again.log'; false"
fi

echo
echo "test-packages: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
