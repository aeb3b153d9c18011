#!/usr/bin/env python3
"""Runs collect.yml for real over ssh against hosts on this machine, as root.

Each host is an sshd on its own loopback address, in its own mount namespace
with its own /var/tmp, reached as a throw-away user with a key, sudo for
become and a known-hosts file written here. One run with every host healthy
(a .deb host through apt, bundle hosts, MegaRAID and typed drives), one with
faults. Checks every summary row against the fetched files, the archives with
the end-to-end suite's archive check, and the exit status; prints each host's
collection time against the playbook's overhead. Everything lives in one
scratch folder; processes, the user and the sudoers file go on every exit.

usage: contrib/ansible/test_fleet.py BUILD_DIR
"""
import fcntl
import hashlib
import json
import os
import pwd
import re
import shutil
import signal
import socket
import subprocess as sp
import sys
import tarfile
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
NET = "127.0.83."
HOSTS = {"alpha": 2, "bravo": 3, "charlie": 4, "delta": 5}  # echo (.9) is down
SSHD = """ListenAddress {addr}:{port}
HostKey {d}/key
PidFile none
AuthorizedKeysFile {s}/id.pub
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
AllowUsers {user}
Subsystem sftp internal-sftp
"""
WRAPPER = '#!/bin/sh\n{pre}{env} exec "${{0%/*}}/zerbo.sim" "$@"\n'
counts = {"passed": 0, "failed": 0}


def check(ok, what, detail=""):
    counts["passed" if ok else "failed"] += 1
    print(("ok - " if ok else "FAIL - ") + what + ("" if ok or not detail else "\n    " + str(detail)[-3000:]))


def run(*cmd, **kw):
    return sp.run([str(c) for c in cmd], check=True, **kw)


def drives(*names):  # "sda8" is /dev/sda behind MegaRAID port 8, "sdc" a plain drive
    return [{"device": "/dev/" + n[:3], **({"port": int(n[3:])} if n[3:] else {})} for n in names]


class Fleet:
    def __init__(self, build):
        self.build, self.s = build, Path(tempfile.mkdtemp(prefix="dumplog-fleet."))
        self.user, self.procs, self.deb = f"dlfleet{os.getpid()}", [], False
        self.sudoers = Path("/etc/sudoers.d") / self.user
        with socket.socket() as probe:
            probe.bind((NET + "2", 0))
            self.port = probe.getsockname()[1]

    def up(self):
        s = self.s
        s.chmod(0o711)  # the user's home is in here
        run("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", s / "id")
        run("useradd", "-M", "-d", s / "home", "-p", "*", "-s", "/bin/sh", self.user)
        (s / "home").mkdir()
        os.chown(s / "home", pwd.getpwnam(self.user).pw_uid, -1)
        self.sudoers.write_text(f"{self.user} ALL=(ALL:ALL) NOPASSWD: ALL\n")
        Path("/run/sshd").mkdir(exist_ok=True)
        for name, n in HOSTS.items():
            d = s / name
            (d / "var-tmp").mkdir(parents=True)
            run("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", d / "key")
            (d / "sshd_config").write_text(SSHD.format(addr=NET + str(n), port=self.port, d=d, s=s, user=self.user))
            with open(d / "sshd.log", "w") as log:
                self.procs.append(sp.Popen(["unshare", "--mount", "--propagation", "private", "sh", "-c",
                                            'mount --bind "$0/var-tmp" /var/tmp && exec /usr/sbin/sshd -D -e -f "$0/sshd_config"',
                                            d], stderr=log))
            with open(s / "known_hosts", "a") as known:
                known.write(f"[{NET}{n}]:{self.port} " + (d / "key.pub").read_text())
        for n in HOSTS.values():
            for _ in range(100):
                try:
                    socket.create_connection((NET + str(n), self.port), 0.2).close()
                    break
                except OSError:
                    time.sleep(0.1)
        self.env = {k: v for k, v in os.environ.items() if not k.startswith(("ANSIBLE_", "SSH_AUTH"))}
        (s / "ansible.cfg").write_text("")
        (s / "tmp").mkdir()
        self.env.update(ANSIBLE_CONFIG=str(s / "ansible.cfg"), ANSIBLE_HOME=str(s / "ansible"), TMPDIR=str(s / "tmp"),
                        ANSIBLE_SSH_CONTROL_PATH_DIR=str(s / "cp"), ANSIBLE_NOCOLOR="1", ANSIBLE_RETRY_FILES_ENABLED="0")

    def down(self):
        for sock in (self.s / "cp").glob("*"):
            out = sp.run(["ssh", "-O", "check", "-o", f"ControlPath={sock}", "x"], capture_output=True, text=True)
            for pid in re.findall(r"pid=(\d+)", out.stderr):
                os.kill(int(pid), signal.SIGTERM)
        for proc in self.procs:
            proc.terminate()
            proc.wait(10)
        if self.deb:
            sp.run(["dpkg", "-P", "dumplog"], stdout=sp.DEVNULL)
        sp.run(["userdel", "-f", self.user], stderr=sp.DEVNULL)
        self.sudoers.unlink(missing_ok=True)
        if counts["failed"] == 0:
            shutil.rmtree(self.s)
        else:
            print(f"test-fleet: scratch folder kept: {self.s}", file=sys.stderr)

    def payload(self):
        """The release bundle and the .deb of this build, and the tool folders."""
        s, b = self.s, self.build
        version = re.search(r"project\(dumplog VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())[1]
        arch = {"x86_64": "x86_64", "aarch64": "aarch64"}.get(os.uname().machine, "i686")
        top = s / "stage" / f"dumplog-{version}-linux-{arch}"
        top.mkdir(parents=True)
        for f in (b / "dumplog", ROOT / "doc/dumplog.8", ROOT / "README.md"):
            shutil.copy(f, top)
        run("sh", "-c", "sha256sum -- * >SHA256SUMS", cwd=top)
        (s / "dist").mkdir()
        run("tar", "-czf", s / "dist" / f"{top.name}.tar.gz", "-C", top.parent, top.name)
        run("cmake", "-S", ROOT / "packaging", "-B", s / "pkg-build", f"-DDUMPLOG_BINARY={b}/dumplog",
            f"-DDUMPLOG_ARCH={arch}", stdout=sp.DEVNULL)
        run("cpack", "-G", "DEB", "-B", s / "packages", cwd=s / "pkg-build", stdout=sp.DEVNULL)
        run(ROOT / "sim/lay-out-workdir.sh", s / "tools", b / "sim/dumplog-sim")
        self.common = {"ansible_user": self.user, "ansible_port": self.port, "ansible_python_interpreter": "/usr/bin/python3",
                       "ansible_ssh_private_key_file": str(s / "id"),
                       "ansible_ssh_common_args": f"-F /dev/null -o UserKnownHostsFile={s}/known_hosts "
                                                  "-o GlobalKnownHostsFile=/dev/null -o StrictHostKeyChecking=yes",
                       "dumplog_dist_dir": str(s / "dist"), "dumplog_version": version, "dumplog_fetch_dir": str(s / "fetch"),
                       "dumplog_zerbo_dir": str(s / "tools/Zerbo"), "dumplog_smartctl_dir": str(s / "tools/SmartCtl")}
        self.version = version

    def zerbo(self, name, env, pre=""):
        """A vendor tool folder whose tool runs the simulator with ENV (sudo clears the environment)."""
        d = self.s / f"zerbo-{name}"
        d.mkdir(parents=True)
        shutil.copy(self.s / "tools/Zerbo/zerbo64", d / "zerbo.sim")
        for tool in ("zerbo64", "zerbo64a", "zerbo86"):
            (d / tool).write_text(WRAPPER.format(pre=pre, env=env))
            (d / tool).chmod(0o755)
        return str(d)

    def playbook(self, tag, hosts):
        inventory = {"all": {"vars": self.common, "hosts": {
            name: {"ansible_host": NET + str(HOSTS.get(name.split("-")[0], 9)), **v} for name, v in hosts.items()}}}
        (self.s / f"{tag}.json").write_text(json.dumps(inventory))
        started = time.monotonic()
        with open(self.s / f"{tag}.log", "w") as log:
            rc = sp.run(["ansible-playbook", "-i", self.s / f"{tag}.json", HERE / "collect.yml"], cwd=self.s,
                        env={**self.env, "ANSIBLE_LOG_PATH": str(self.s / f"{tag}.timed.log")}, stdin=sp.DEVNULL, stdout=log, stderr=sp.STDOUT).returncode
        wall = time.monotonic() - started
        text = (self.s / f"{tag}.log").read_text()
        print(f"--- {tag} run: exit {rc}, {wall:.1f} s\n" + text[text.find("PLAY RECAP"):])
        summary = self.s / "fetch/summary.json"
        rows = json.loads(summary.read_text()) if summary.exists() else []
        check(summary.exists() and (self.s / "fetch/summary.csv").read_text().startswith(
            "host,device,port,status,serial,archive,bytes,sha256,pages,seconds,message\n"), f"{tag}: summary written", text)
        return rc, rows, wall, text

    def check_rows(self, tag, rows, want):
        got = [(r["host"], r["device"], r["status"], r["serial"], r["pages"]) for r in rows]
        check(got == [w[:5] for w in want], f"{tag}: one row per host and drive, in order, with its status",
              "\n    ".join(map(str, got)))
        wrong = [(r["host"], r["device"], r["message"]) for r, w in zip(rows, want) if not re.search(w[5], r["message"])]
        check(not wrong, f"{tag}: every row's message", wrong)
        measured = []
        for r in rows:
            if r["archive"]:
                f = self.s / "fetch" / r["archive"]
                with tarfile.open(f) as t:
                    pages = sum(m.size == 16384 and bool(re.search(r"/\d{3}\.raw$", m.name)) for m in t)
                measured.append((r["bytes"], r["sha256"], r["pages"], r["seconds"] is not None) ==
                                (f.stat().st_size, hashlib.sha256(f.read_bytes()).hexdigest(), pages, True))
        check(all(measured), f"{tag}: bytes, sha256 and pages of every row match the fetched file", measured)
        whole = " ".join(f"{self.s / 'fetch' / r['archive']}={'family' if r['status'] == 'collected' else 'other'}"
                         for r in rows if r["status"] in ("collected", "other-family"))
        e2e = sp.run([self.build / "tests/e2e_tests", "--gtest_filter=FetchedArchive.*"], capture_output=True, text=True,
                     env={**os.environ, "DUMPLOG_E2E_ARCHIVES": whole})
        check(e2e.returncode == 0 and "1 test" in e2e.stdout, f"{tag}: archive check of collected and other-family",
              e2e.stdout)


def main():
    if os.geteuid() != 0:
        print("test-fleet: skipped: it brings up sshd hosts, a user and sudo on this machine: run as root")
        return 0
    build = Path(sys.argv[1]).resolve()
    run(ROOT / "scripts/deps.sh", "ansible-playbook=ansible-core", "/usr/sbin/sshd=openssh-server", "sudo=sudo",
        "cpack=cmake", "flock=util-linux", "/usr/lib/python3/dist-packages/apt/__init__.py=python3-apt")
    if sp.run(["dpkg-query", "-W", "-f=${Status}", "dumplog"], capture_output=True, text=True).stdout.startswith("install"):
        sys.exit("test-fleet: dumplog is installed on this machine; remove it (dpkg -P dumplog) first")
    started = time.monotonic()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    signal.signal(signal.SIGHUP, lambda *_: sys.exit(129))
    fleet = Fleet(build)
    try:
        fleet.up()
        fleet.payload()
        s = fleet.s
        work = lambda host, *rest: s.joinpath(host, "var-tmp", *rest)  # noqa: E731
        work("alpha", "dumplog").mkdir(mode=0o777)
        work("alpha", "dumplog").chmod(0o777)  # the playbook makes it 0755, or dumplog would refuse it
        fleet.deb = True
        deb = {"dumplog_package_dir": str(s / "packages")}

        # Healthy: bravo lists alpha's drives the other way round.
        rc, rows, wall, _ = fleet.playbook("healthy", {
            "alpha": {**deb, "dumplog_drives": drives("sda8", "sdc")}, "bravo": {"dumplog_drives": drives("sdc", "sda8")},
            "charlie": {"dumplog_drives": drives("sdb", "sdd")}, "delta": {"dumplog_drives": drives("sdc")}})
        check(rc == 0, "healthy: ansible-playbook exits 0")
        fam, oth = ("collected", 128, ""), ("other-family", 0, "")
        fleet.check_rows("healthy", rows, [(h, "/dev/" + d, st, sn, p, m) for h, d, sn, (st, p, m) in [
            ("alpha", "sda", "S3K7N019X200", fam), ("alpha", "sdc", "ZX41B0C7K2", fam),
            ("bravo", "sdc", "ZX41B0C7K2", fam), ("bravo", "sda", "S3K7N019X200", fam),
            ("charlie", "sdb", "WD7H2K01PQ", oth), ("charlie", "sdd", "Z4K1A0B9C7", fam),
            ("delta", "sdc", "ZX41B0C7K2", fam)]])
        mtime = lambda host, sn: (s / "fetch" / host / f"SN{sn}.tar.bz2").stat().st_mtime  # noqa: E731
        check(mtime("bravo", "ZX41B0C7K2") < mtime("bravo", "S3K7N019X200"), "bravo's drives ran in bravo's order")
        status = sp.run(["dpkg-query", "-W", "-f=${Status} ${Version} ${db-fsys:Last-Modified}", "dumplog"],
                        capture_output=True, text=True).stdout
        check(status.startswith(f"install ok installed {fleet.version}-") and oct(work("alpha", "dumplog").stat().st_mode)[-3:]
              == "755" and not list(work("alpha", "dumplog").glob("dumplog-*")),
              "alpha: apt installed the .deb, /usr/sbin/dumplog ran, the working folder is 0755", status)
        # A host's time: from the start of the playbook to its last result.
        stamps = [(time.mktime(time.strptime(line[:19], "%Y-%m-%d %H:%M:%S")) + int(line[20:23]) / 1000, line)
                  for line in (s / "healthy.timed.log").read_text().splitlines() if line[:2] == "20"]
        print(f"{'host':8} {'collect_s':>9} {'overhead_s':>10} {'overhead_%':>10}   (overhead: host's time minus collection)")
        for host in ("alpha", "bravo", "charlie", "delta"):
            collect = sum(r["seconds"] or 0 for r in rows if r["host"] == host)
            span = max(at for at, line in stamps if f"[{host}" in line) - stamps[0][0]
            print(f"{host:8} {collect:9.1f} {span - collect:10.1f} {100 * (span - collect) / collect:10.0f}")
        sha_before = {r["archive"]: r["sha256"] for r in rows}

        # Faults. charlie's vendor tool hangs at page 0 and leaves a helper that
        # ignores TERM; charlie-again is charlie under a second name, in a
        # folder another process holds; delta-link's working folder is a link.
        work("charlie", "dumplog-again").mkdir(mode=0o755)
        held = os.open(work("charlie", "dumplog-again"), os.O_RDONLY)
        fcntl.flock(held, fcntl.LOCK_EX)
        work("delta", "elsewhere").mkdir(mode=0o700)
        work("delta", "link").symlink_to("/var/tmp/elsewhere")
        rc, rows, wall, text = fleet.playbook("faults", {
            "alpha": {**deb, "dumplog_drives": drives("sde", "sdc")},
            "bravo": {"dumplog_zerbo_dir": fleet.zerbo("pages", "SIM_FAIL_PAGES=3,17"), "dumplog_drives": drives("sdc", "sdb")},
            "charlie": {"dumplog_zerbo_dir": fleet.zerbo("hang", "SIM_SLOW_PAGE=0:600", "case $* in *outfile=*)"
                                                         " (trap '' TERM; exec sleep 601) & esac\n"),
                        "dumplog_timeout": 8, "dumplog_drives": drives("sda8", "sdb")},
            "charlie-again": {"dumplog_workdir": "/var/tmp/dumplog-again", "dumplog_drives": drives("sdc")},
            "delta": {"dumplog_zerbo_dir": fleet.zerbo("model", "SIM_FAIL=model"),
                      "dumplog_drives": drives("sda8") + [{"device": "/dev/sdb", "port": "8 x"}]},
            "delta-link": {"dumplog_workdir": "/var/tmp/link", "dumplog_drives": drives("sdc")},
            "echo": {"dumplog_drives": drives("sda8", "sdc")}})
        check(rc == 4, f"faults: ansible-playbook exits 4 (a host unreachable, others failed), got {rc}")
        fleet.check_rows("faults", rows, [
            ("alpha", "/dev/sde", "failed", "", None, r"^dumplog: .* failed: "),
            ("alpha", "/dev/sdc", "collected", "ZX41B0C7K2", 128, r"^$"),
            ("bravo", "/dev/sdc", "incomplete", "ZX41B0C7K2", 126, r"^warning: 2 of 128 save-log pages"),
            ("bravo", "/dev/sdb", "other-family", "WD7H2K01PQ", 0, r"^$"),
            ("charlie", "/dev/sda", "failed", "", None, r"^timed out after 8 s$"),
            ("charlie", "/dev/sdb", "other-family", "WD7H2K01PQ", 0, r"^$"),
            ("charlie-again", "/dev/sdc", "failed", "", None,
             rf"^dumplog: start-up failed: another run of dumplog .* held by pid {os.getpid()} \(python3, user root\)"),
            ("delta", "/dev/sda", "incomplete", "S3K7N019X200", 0, r"^warning: CheckModel.txt holds no model identification"),
            ("delta", "/dev/sdb", "failed", "", None, r"^Each dumplog_drives item needs device"),
            ("delta-link", "/dev/sdc", "not-run", "", None, r"the host failed at: Check that the working folder is a fo"),
            ("echo", "/dev/sda", "unreachable", "", None, r"127\.0\.83\.9"),
            ("echo", "/dev/sdc", "unreachable", "", None, r"127\.0\.83\.9")])
        leftovers = [p for p in Path("/proc").glob("[0-9]*") if (p / "cmdline").exists()
                     and (p / "cmdline").read_bytes() == b"sleep\x00601\x00"]
        check(not leftovers, "the timed-out run left no process behind", leftovers)
        rerun = [r for r in rows if r["host"] == "alpha" and r["archive"]]
        check(rerun and rerun[0]["sha256"] != sha_before[rerun[0]["archive"]] and
              (s / "fetch" / rerun[0]["archive"]).read_bytes() == work("alpha", "dumplog", Path(rerun[0]["archive"]).name)
              .read_bytes(), "alpha: the rerun fetched the new archive of sdc, the one left on the host")
        check(status == sp.run(["dpkg-query", "-W", "-f=${Status} ${Version} ${db-fsys:Last-Modified}", "dumplog"],
                               capture_output=True, text=True).stdout, "alpha: the same .deb again is left as it is")
        check(not any(work("delta", "elsewhere").iterdir()) and oct(work("delta", "elsewhere").stat().st_mode)[-3:] == "700",
              "delta-link: nothing was made or changed behind the link")
    finally:
        fleet.down()
    print(f"test-fleet: {time.monotonic() - started:.0f} s")
    print(f"test-fleet: {counts['passed']} passed, {counts['failed']} failed")
    return 1 if counts["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
