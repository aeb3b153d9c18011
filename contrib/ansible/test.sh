#!/usr/bin/env bash
# Runs collect.yml for real against localhost with the simulated drive:
# first two drives that collect (one MegaRAID, one typed at the prompt),
# then a rerun, then a drive that makes dumplog fail, a bad drive item, a
# working folder that is a link, two inventory names for this one machine
# (only one run at a time in their working folder), and, as root, the .deb
# path: apt installs the package built from this build, dumplog runs from
# /usr/sbin, a rerun leaves the package as it is; the package is purged after.
#
# usage: contrib/ansible/test.sh BUILD_DIR
set -euo pipefail

if [ "$#" -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi

here=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")" && pwd)
root=$(cd -- "$here/../.." && pwd)
build=$(cd -- "$1" && pwd)
started=$SECONDS

"$root/scripts/deps.sh" ansible-playbook=ansible-core tar=tar bzip2=bzip2 \
    gzip=gzip sha256sum=coreutils cmake=cmake cpack=cmake \
    /usr/lib/python3/dist-packages/apt/__init__.py=python3-apt

for f in "$build/dumplog" "$build/sim/dumplog-sim" "$build/tests/e2e_tests"; do
    if [ ! -x "$f" ]; then
        echo "test-ansible: $f is missing; build first (make build)" >&2
        exit 2
    fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/dumplog-ansible.XXXXXX")
passed=0
failed=0
installed=no
holder=
cleanup() {
    if [ -n "$holder" ]; then kill "$holder" 2>/dev/null || true; fi
    if [ "$installed" = yes ]; then dpkg -P dumplog >/dev/null 2>&1 || true; fi
    if [ "$failed" -eq 0 ]; then
        rm -rf -- "$scratch"
    else
        echo "test-ansible: scratch folder kept: $scratch" >&2
    fi
}
trap cleanup EXIT

ok()   { passed=$((passed + 1)); echo "ok - $1"; }
fail() { failed=$((failed + 1)); echo "FAIL - $1"; }
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then ok "$what"; else fail "$what"; fi
}

# --- The bundle, laid out as a release bundle is -----------------------------
version=$(sed -n 's/^project(dumplog VERSION \([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt" | head -n 1)
[ -n "$version" ] || { echo "test-ansible: no version in CMakeLists.txt" >&2; exit 2; }
case $(uname -m) in
    x86_64) arch=x86_64 ;;
    aarch64 | arm64) arch=aarch64 ;;
    i?86) arch=i686 ;;
    *) echo "test-ansible: no bundle name for processor $(uname -m)" >&2; exit 2 ;;
esac
top=dumplog-$version-linux-$arch
mkdir -p "$scratch/stage/$top" "$scratch/dist"
cp -- "$build/dumplog" "$scratch/stage/$top/dumplog"
if [ -f "$root/doc/dumplog.8" ]; then
    cp -- "$root/doc/dumplog.8" "$scratch/stage/$top/"
fi
if [ -f "$root/README.md" ]; then
    cp -- "$root/README.md" "$scratch/stage/$top/"
else
    echo "dumplog test bundle" >"$scratch/stage/$top/README.md"
fi
(cd "$scratch/stage/$top" && sha256sum -- * >SHA256SUMS)
tar -czf "$scratch/dist/$top.tar.gz" -C "$scratch/stage" "$top"

# --- The operator's tool folders, with the simulator in them -----------------
"$root/sim/lay-out-workdir.sh" "$scratch/tools" "$build/sim/dumplog-sim"

# --- Ansible, kept away from the user's settings and home --------------------
while IFS= read -r name; do
    unset "$name"
done < <(compgen -e | grep '^ANSIBLE_' || true)
mkdir -p "$scratch/ansible/home" "$scratch/ansible/local" "$scratch/ansible/remote"
: >"$scratch/ansible/ansible.cfg"
export ANSIBLE_CONFIG="$scratch/ansible/ansible.cfg"
export ANSIBLE_HOME="$scratch/ansible/home"
export ANSIBLE_LOCAL_TEMP="$scratch/ansible/local"
export ANSIBLE_REMOTE_TEMP="$scratch/ansible/remote"
export ANSIBLE_NOCOLOR=1
export ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_LOCALHOST_WARNING=0

# The interpreter ansible-playbook itself runs under has Ansible's modules'
# needs; a python3 found first on PATH may not.
python=$(head -n 1 "$(command -v ansible-playbook)" | sed -n 's/^#! *\(\/[^ ]*python[0-9.]*\).*/\1/p')
[ -n "$python" ] || python=/usr/bin/python3

write_inventory() {  # write_inventory FILE DRIVE-LINE...
    local file=$1
    shift
    {
        echo "all:"
        echo "  hosts:"
        echo "    localhost:"
        echo "      ansible_connection: local"
        echo "      ansible_python_interpreter: $python"
        echo "      dumplog_become: false"
        echo "      dumplog_workdir: $scratch/host/work"
        echo "      dumplog_drives:"
        printf '        - %s\n' "$@"
    } >"$file"
}

run_playbook() {  # run_playbook INVENTORY FETCH_DIR LOG [EXTRA...]; sets rc
    local inventory=$1 fetch=$2 log=$3
    shift 3
    rc=0
    (cd "$scratch" && ansible-playbook -i "$inventory" "$here/collect.yml" \
        -e "dumplog_dist_dir=$scratch/dist" \
        -e "dumplog_zerbo_dir=$scratch/tools/Zerbo" \
        -e "dumplog_smartctl_dir=$scratch/tools/SmartCtl" \
        -e "dumplog_fetch_dir=$fetch" \
        -e "dumplog_version=$version" \
        "$@") </dev/null >"$log" 2>&1 || rc=$?
}

show_log() {
    echo "---- $1"
    cat -- "$1"
    echo "----"
}

fetched() {  # fetched DIR: the names of the files fetched there, one a line
    if [ -d "$1" ]; then find "$1" -mindepth 1 -printf '%P\n' | sort; fi
}

# --- 1: a MegaRAID drive and a drive typed at the prompt ---------------------
write_inventory "$scratch/inventory.yml" \
    "{device: /dev/sda, port: 8}" "{device: /dev/sdb}"
run_playbook "$scratch/inventory.yml" "$scratch/fetch" "$scratch/run1.log"
if [ "$rc" -eq 0 ]; then
    ok "playbook collects /dev/sda (port 8) and /dev/sdb (typed)"
else
    fail "playbook collects /dev/sda (port 8) and /dev/sdb (typed): exit $rc"
    show_log "$scratch/run1.log"
fi

sda=$scratch/fetch/localhost/SNS3K7N019X200.tar.bz2
sdb=$scratch/fetch/localhost/SNWD7H2K01PQ.tar.bz2
check "fetched exactly the two archives, flat in the host's folder" \
    test "$(fetched "$scratch/fetch")" = "$(printf '%s\n' localhost localhost/SNS3K7N019X200.tar.bz2 localhost/SNWD7H2K01PQ.tar.bz2)"
# What the archives hold is checked by the end-to-end suite's own archive check.
if DUMPLOG_E2E_ARCHIVES="$sda=family $sdb=other" "$build/tests/e2e_tests" --gtest_filter='FetchedArchive.*' \
        >"$scratch/archives.log" 2>&1; then
    ok "both archives hold one whole collection each (128 pages for the MegaRAID drive, reports only for the other)"
else
    fail "both archives hold one whole collection each"
    show_log "$scratch/archives.log"
fi
check "fetched archives are the ones left on the host" \
    cmp -s "$sda" "$scratch/host/work/SNS3K7N019X200.tar.bz2"

# --- 2: a rerun overwrites an archive of the same name -----------------------
# Only a run-time stamp tells the new archive from the old one here: its name
# was already there before the run.
sleep 1
before=$(stat -c %Y "$scratch/host/work/SNWD7H2K01PQ.tar.bz2")
run_playbook "$scratch/inventory.yml" "$scratch/fetch" "$scratch/run2.log" \
    -e '{"dumplog_drives": [{"device": "/dev/sdb"}]}'
if [ "$rc" -eq 0 ] && [ "$(stat -c %Y "$scratch/host/work/SNWD7H2K01PQ.tar.bz2")" -gt "$before" ] \
        && cmp -s "$sdb" "$scratch/host/work/SNWD7H2K01PQ.tar.bz2"; then
    ok "rerun in the same working folder fetches the rewritten archive"
else
    fail "rerun in the same working folder fetches the rewritten archive: exit $rc"
    show_log "$scratch/run2.log"
fi

# --- 3: dumplog fails ---------------------------------------------------------
# /dev/sde has no serial anywhere: dumplog exits 1. The host fails there, and
# /dev/sdb after it is not collected.
write_inventory "$scratch/inventory-fail.yml" "{device: /dev/sde}" "{device: /dev/sdb}"
run_playbook "$scratch/inventory-fail.yml" "$scratch/fetch-fail" "$scratch/run3.log"
# The host must fail at the dumplog task itself, not at a later check.
if [ "$rc" -eq 2 ] && grep -q 'dumplog: .* failed: ' "$scratch/run3.log" \
        && grep -A1 -F 'TASK [Run dumplog on /dev/sde]' "$scratch/run3.log" | grep -q '^fatal: .*"rc": 1,' \
        && grep -qE 'localhost +: .*failed=1 .*ignored=0' "$scratch/run3.log"; then
    ok "failing dumplog fails the host and the playbook"
else
    fail "failing dumplog fails the host and the playbook: exit $rc"
    show_log "$scratch/run3.log"
fi
check "nothing fetched after the failure" test -z "$(fetched "$scratch/fetch-fail")"

# --- 4: a bad drive entry is refused before anything runs --------------------
write_inventory "$scratch/inventory-bad.yml" "{device: /dev/sdb, port: '8 x'}"
rm -f -- "$scratch/host/work/.dumplog-stamp"
run_playbook "$scratch/inventory-bad.yml" "$scratch/fetch-bad" "$scratch/run4.log"
if [ "$rc" -eq 2 ] && [ ! -e "$scratch/host/work/.dumplog-stamp" ] \
        && grep -q 'Each dumplog_drives item needs device' "$scratch/run4.log"; then
    ok "a port that is not a number is refused"
else
    fail "a port that is not a number is refused: exit $rc"
    show_log "$scratch/run4.log"
fi

# --- 5: a working folder that is a link is refused ---------------------------
mkdir -p "$scratch/elsewhere"
chmod 0700 "$scratch/elsewhere"
ln -s "$scratch/elsewhere" "$scratch/host/link"
sed "s|dumplog_workdir: .*|dumplog_workdir: $scratch/host/link|" \
    "$scratch/inventory.yml" >"$scratch/inventory-link.yml"
run_playbook "$scratch/inventory-link.yml" "$scratch/fetch-link" "$scratch/run5.log"
if [ "$rc" -eq 2 ] && [ -z "$(ls -A "$scratch/elsewhere")" ] \
        && [ "$(stat -c %a "$scratch/elsewhere")" = 700 ] \
        && grep -q 'must be a folder (not a link)' "$scratch/run5.log"; then
    ok "a working folder that is a link is refused before anything is copied or changed"
else
    fail "a working folder that is a link is refused before anything is copied or changed: exit $rc"
    show_log "$scratch/run5.log"
fi

# --- 6: one machine under two inventory names, one working folder ----------
# Both hosts reach "Run dumplog" together; dumplog's lock on the folder lets
# one run (about 7 s for 128 pages) and ends the other at once with status 1.
{
    echo "all:"
    echo "  vars:"
    echo "    ansible_connection: local"
    echo "    ansible_python_interpreter: $python"
    echo "    dumplog_become: false"
    echo "    dumplog_workdir: $scratch/host/shared"
    echo "    dumplog_drives: [{device: /dev/sda, port: 8}]"
    echo "  hosts: {localhost: {}, this-machine-again: {}}"
} >"$scratch/inventory-twice.yml"
run_playbook "$scratch/inventory-twice.yml" "$scratch/fetch-twice" "$scratch/run6.log"
if [ "$rc" -eq 2 ] && [ "$(grep -c 'another run of dumplog is using the working folder' "$scratch/run6.log")" -ge 1 ] \
        && [ "$(fetched "$scratch/fetch-twice" | grep -c 'SNS3K7N019X200.tar.bz2$')" -eq 1 ] \
        && grep -qE '(localhost|this-machine-again) +: .*failed=0' "$scratch/run6.log"; then
    ok "two names for one machine: one run in the working folder, the other refused by dumplog"
else
    fail "two names for one machine: one run in the working folder, the other refused by dumplog: exit $rc"
    show_log "$scratch/run6.log"
fi

# --- 7: the .deb path ---------------------------------------------------------
# The package is made by packaging/ from this build's dumplog; the working
# folder exists already with mode 0777, which dumplog would refuse.
if [ "$(id -u)" -ne 0 ]; then
    echo "skip - the .deb path installs a package: run as root to cover it"
elif dpkg-query -W -f='${db:Status-Status}\n' dumplog 2>/dev/null | grep -qv '^not-installed$'; then
    fail "the .deb path: dumplog is installed on this machine already; remove it (dpkg -P dumplog) first"
else
    pkgver=$(sed -n '1s/^dumplog (\([^)]*\)).*/\1/p' "$root/packaging/changelog")
    { cmake -S "$root/packaging" -B "$scratch/pkg-build" -DDUMPLOG_BINARY="$build/dumplog" -DDUMPLOG_ARCH="$arch" \
        && (cd "$scratch/pkg-build" && cpack -G DEB -B "$scratch/packages"); } >"$scratch/pkg.log" 2>&1 \
        || { cat "$scratch/pkg.log"; fail "the .deb path: making the package"; }
    mkdir -p "$scratch/host/pkg-work"
    chmod 0777 "$scratch/host/pkg-work"
    sed "s|dumplog_workdir: .*|dumplog_workdir: $scratch/host/pkg-work|" \
        "$scratch/inventory.yml" >"$scratch/inventory-deb.yml"
    installed=yes
    run_playbook "$scratch/inventory-deb.yml" "$scratch/fetch-deb" "$scratch/run7.log" \
        -e "dumplog_package_dir=$scratch/packages" -e dumplog_dist_dir=/nonexistent
    if [ "$rc" -eq 0 ] && grep -A1 -F 'TASK [Install the .deb with apt]' "$scratch/run7.log" | grep -q '^changed:' \
            && [ "$(dpkg-query -W -f='${Status} ${Version}' dumplog)" = "install ok installed $pkgver" ] \
            && [ "$(fetched "$scratch/fetch-deb")" = "$(fetched "$scratch/fetch")" ] \
            && [ "$(stat -c %a "$scratch/host/pkg-work")" = 755 ] \
            && [ -z "$(find "$scratch/host/pkg-work" -maxdepth 1 -name 'dumplog-*')" ]; then
        ok "apt host with a package given: the .deb is installed and /usr/sbin/dumplog collects both drives"
    else
        fail "apt host with a package given: the .deb is installed and /usr/sbin/dumplog collects both drives: exit $rc"
        show_log "$scratch/run7.log"
    fi
    run_playbook "$scratch/inventory-deb.yml" "$scratch/fetch-deb" "$scratch/run8.log" \
        -e "dumplog_package_dir=$scratch/packages" -e dumplog_dist_dir=/nonexistent
    if [ "$rc" -eq 0 ] && grep -A1 -F 'TASK [Install the .deb with apt]' "$scratch/run8.log" | grep -q '^ok:'; then
        ok "a rerun with the same package leaves it installed as it is and collects again"
    else
        fail "a rerun with the same package leaves it installed as it is and collects again: exit $rc"
        show_log "$scratch/run8.log"
    fi
    dpkg -P dumplog >/dev/null && installed=no
fi

echo "test-ansible: $((SECONDS - started)) s"
echo "test-ansible: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
