#!/usr/bin/env bash
# The packages in dist/ as a packager sees them: lintian clean; files, owners, modes; the processor each names
# and the bundle's binary for it; install, upgrade and removal leave nothing (the .rpm in a scratch root,
# this machine's .deb on the machine); the same bytes when packaged again elsewhere. Run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
[[ $(id -u) -eq 0 ]] || { echo "test-packages: run as root: it installs and removes the .deb" >&2; exit 2; }
scripts/deps.sh dpkg-deb=dpkg lintian=lintian rpm=rpm rpm2cpio=rpm2cpio cpio=cpio cmp=diffutils
source scripts/release-env.sh test-packages
pkgver=$(sed -n '1s/^dumplog (\([^)]*\)).*/\1/p' packaging/changelog)   # version-revision
next=$version-$((${pkgver#*-} + 1))
known() { dpkg-query -W -f='${db:Status-Status}\n' dumplog 2>/dev/null | grep -qv '^not-installed$'; }
! known || { echo "test-packages: dumplog is installed here; remove it first (dpkg -P dumplog)" >&2; exit 2; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/dumplog-packages.XXXXXX")
failed=0 installed=no
trap '[[ $installed == no ]] || dpkg -P dumplog >/dev/null 2>&1
  [[ $failed -eq 0 ]] && rm -rf -- "$scratch" || echo "test-packages: scratch folder kept: $scratch"' EXIT

check() {  # check WHAT COMMAND...: PASS when the command succeeds, else FAIL with its output
  if "${@:2}" >"$scratch/log" 2>&1; then echo "PASS  $1"; else
    echo "FAIL  $1"; failed=$((failed + 1)); sed 's/^/      /' "$scratch/log" | head -30; fi; }
same() { local want=$1; shift; diff -u <(printf '%s\n' "$want") <("$@"); }
files_ok() {  # PACKAGE [MORE FILES UNDER /usr/share]: "mode owner/group path", folders unless drwxr-xr-x root/root
  diff -u <({ echo '-rwxr-xr-x root/root /usr/sbin/dumplog'; printf -- '-rw-r--r-- root/root /usr/share/%s\n' \
    doc/dumplog/changelog.Debian.gz doc/dumplog/copyright man/man8/dumplog.8.gz "${@:2}"; } | sort -k3) <(case $1 in
    *.deb) dpkg-deb -c "$1" | awk '{ print $1, $2, $6 }' ;;
    *.rpm) rpm -qp --qf '[%{FILEMODES:perms} %{FILEUSERNAME}/%{FILEGROUPNAME} %{FILENAMES}\n]' "$1" ;;
  esac | awk '$1 != "drwxr-xr-x" || $2 != "root/root" { sub("^\\.", "", $3); sub("/$", "", $3); print }' | sort -k3)
}
# PACKAGE ITS-ARCH PROCESSOR: names it, holds the bundle's binary for it (dist.sh made that one static and for it)
processor_ok() {
  case $1 in
    *.deb) same "$2" dpkg-deb -f "$1" Architecture && dpkg-deb --fsys-tarfile "$1" | tar -xO ./usr/sbin/dumplog ;;
    *.rpm) same "$2" rpm -qp --qf '%{ARCH}\n' "$1" && rpm2cpio "$1" | cpio -i --quiet --to-stdout ./usr/sbin/dumplog ;;
  esac >"$scratch/dumplog" || { cat "$scratch/dumplog"; return 1; }
  tar -xzOf "dist/dumplog-$version-linux-$3.tar.gz" "dumplog-$version-linux-$3/dumplog" | cmp - "$scratch/dumplog"
}
rpm_cycle() {  # RPM NEXT-RPM: install, upgrade, verify, erase in a scratch root
  local root=$scratch/root-${1##*/} opts=(--nodeps --noscripts)
  rpm --root "$root" --initdb && rpm --root "$root" -i "${opts[@]}" --ignorearch "$1" &&
    rpm --root "$root" -U "${opts[@]}" --ignorearch "$2" && rpm --root "$root" -V --nodeps dumplog &&
    same "$next" rpm --root "$root" -q --qf '%{VERSION}-%{RELEASE}\n' dumplog &&
    rpm --root "$root" -e "${opts[@]}" dumplog && [[ -z $(find "$root/usr" ! -type d) ]]
}

# The same sources copied elsewhere, packaged again; then with the next revision, for the upgrades.
mkdir -p "$scratch/src/build-dist"
cp -r scripts packaging doc CMakeLists.txt "$scratch/src/" && cp -r build-dist/stage "$scratch/src/build-dist/"
"$scratch/src/scripts/packages.sh" "$scratch/again" "$scratch/work" >/dev/null
sed -i "1s/($pkgver)/($next)/" "$scratch/src/packaging/changelog"
"$scratch/src/scripts/packages.sh" "$scratch/next" "$scratch/work" >/dev/null

for target in x86_64:amd64:x86_64 aarch64:arm64:aarch64 i686:i386:i686; do  # processor:Debian arch:RPM arch
  IFS=: read -r arch debarch rpmarch <<<"$target"
  deb=dumplog_${pkgver}_$debarch.deb rpm=dumplog-$pkgver.$rpmarch.rpm
  check "$deb: lintian without error or warning" lintian --fail-on error,warning "dist/$deb"
  check "$deb: files, owners, modes" files_ok "dist/$deb" lintian/overrides/dumplog
  check "$rpm: files, owners, modes" files_ok "dist/$rpm"
  check "$deb: $debarch, the bundle's $arch binary" processor_ok "dist/$deb" "$debarch" "$arch"
  check "$rpm: $rpmarch, the bundle's $arch binary" processor_ok "dist/$rpm" "$rpmarch" "$arch"
  check "$rpm: installs, upgrades to $next, verifies, erases" rpm_cycle "dist/$rpm" "$scratch/next/${rpm/$pkgver/$next}"
  for f in "$deb" "$rpm"; do check "$f: packaged again elsewhere, same bytes" cmp "dist/$f" "$scratch/again/$f"; done
done

# On this machine: install, run, upgrade, remove; then every path is as before and dpkg knows nothing.
name=dumplog_${pkgver}_$(dpkg --print-architecture).deb
paths=$(dpkg-deb -c "dist/$name" | awk '{ sub("^\\.", "", $6); print $6 }')
state() { local p; for p in $paths; do stat -c '%A %U %G %n' "$p" 2>/dev/null || echo "absent $p"; done; }
# shellcheck disable=SC2016  # dpkg-query's own ${fields}
dpkg_install() {  # DEB VERSION: dpkg -i, dpkg -V clean, /usr/sbin/dumplog --version in a folder left empty
  local dir; dir=$(mktemp -d "$scratch/run.XXXXXX"); installed=yes
  # Where dpkg.cfg.d leaves manual pages and docs out (slim images), take ours back.
  dpkg --path-include=/usr/share/man/man8/dumplog.8.gz --path-include='/usr/share/doc/dumplog/*' -i "$1" &&
    same "install ok installed $2" dpkg-query -W -f='${Status} ${Version}\n' dumplog && dpkg -V dumplog &&
    (cd "$dir" && same "dumplog $version" /usr/sbin/dumplog --version) && [[ -z $(ls -A "$dir") ]]
}
dpkg_remove() { dpkg -r dumplog && installed=no && ! known && same "$before" state; }
before=$(state)
check "$name: dpkg -i, runs" dpkg_install "dist/$name" "$pkgver"
check "dpkg -i of $next over it, runs" dpkg_install "$scratch/next/${name/$pkgver/$next}" "$next"
check "dpkg -r: every path as before, nothing left to purge" dpkg_remove
echo "test-packages: $failed failed"
[[ $failed -eq 0 ]]
