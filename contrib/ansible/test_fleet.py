#!/usr/bin/env python3
"""collect.yml over real ssh, as root: hosts are sshd on loopback addresses, each in its own mount namespace,
reached as a throw-away user with a key, sudo and strict host keys. A healthy run and a run with faults; prints
each host's collection time against the playbook's overhead. usage: contrib/ansible/test_fleet.py BUILD_DIR"""
import fcntl, hashlib, json, os, re, shutil, signal, socket, subprocess as sp, sys, tarfile, tempfile, time  # noqa: E401
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
NET = "127.0.83."
HOSTS = {"alpha": 2, "bravo": 3, "charlie": 4, "delta": 5}  # echo (.9) is down
SSHD = ("ListenAddress {addr}:{port}\nHostKey {d}/key\nPidFile none\nAuthorizedKeysFile {s}/id.pub\nStrictModes no\n"
        "UsePAM no\nAllowUsers {user}\nSubsystem sftp internal-sftp\n")  # the user's password is locked
CSV_HEADER = "host,device,port,status,serial,archive,bytes,sha256,pages,seconds,message,made\n"
GOOD = {"sda": ("collected", "S3K7N019X200", 128), "sdc": ("collected", "ZX41B0C7K2", 128),  # a drive's row untouched:
        "sdb": ("other-family", "WD7H2K01PQ", 0), "sdd": ("collected", "Z4K1A0B9C7", 128)}  # status, serial, pages
counts = {"passed": 0, "failed": 0}


def check(ok, what, detail=""):
    counts["passed" if ok else "failed"] += 1
    print(("ok - " if ok else "FAIL - ") + what + ("" if ok or not detail else "\n    " + str(detail)[-3000:]))


def run(*cmd, **kw):
    return sp.run([str(c) for c in cmd], check=True, **kw)


def drives(*names):  # "sda8" is /dev/sda behind MegaRAID port 8, "sdc" a plain drive
    return [{"device": "/dev/" + n[:3], **({"port": int(n[3:])} if n[3:] else {})} for n in names]


def deb_status():
    return sp.getoutput("dpkg-query -W -f='${Status} ${Version} ${db-fsys:Last-Modified}' dumplog")


class Fleet:
    def __init__(self, build):
        self.build, self.s = build, Path(tempfile.mkdtemp(prefix="dumplog-fleet."))
        self.user, self.procs, self.sudoers = f"dlfleet{os.getpid()}", [], Path(f"/etc/sudoers.d/dlfleet{os.getpid()}")
        with socket.create_server((NET + "2", 0)) as probe:
            self.port = probe.getsockname()[1]

    def up(self):
        (s := self.s).chmod(0o711)  # the user's home is in here
        run("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", s / "id")
        run("useradd", "-m", "-d", s / "home", "-p", "*", "-s", "/bin/sh", self.user)
        self.sudoers.write_text(f"{self.user} ALL=(ALL:ALL) NOPASSWD: ALL\n")
        Path("/run/sshd").mkdir(exist_ok=True)
        for name, n in HOSTS.items():
            (d := s / name).joinpath("var-tmp").mkdir(parents=True)
            run("ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", d / "key")
            (d / "sshd_config").write_text(SSHD.format(addr=NET + str(n), port=self.port, d=d, s=s, user=self.user))
            self.procs.append(sp.Popen(["unshare", "--mount", "--propagation", "private", "sh", "-c",
                                        'mount --bind "$0/var-tmp" /var/tmp && exec /usr/sbin/sshd -D -e -f "$0/sshd_config"',
                                        d], stderr=open(d / "sshd.log", "w")))
            (s / "known_hosts").open("a").write(f"[{NET}{n}]:{self.port} " + (d / "key.pub").read_text())
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and not all("listening" in (s / h / "sshd.log").read_text() for h in HOSTS):
            time.sleep(0.1)
        (s / "ansible.cfg").write_text(f"[defaults]\nhome = {s}/ansible\nlog_path = {s}/ansible.log\nnocolor = true\n"
                                       f"retry_files_enabled = false\n[ssh_connection]\ncontrol_path_dir = {s}/cp\n")
        self.env = {**{k: v for k, v in os.environ.items() if not k.startswith(("ANSIBLE_", "SSH_AUTH"))},
                    "ANSIBLE_CONFIG": str(s / "ansible.cfg"), "TMPDIR": str(s)}
        # The release bundle and the .deb of this build, and the tool folders.
        self.version = re.search(r"project\(dumplog VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())[1]
        arch = {"x86_64": "x86_64", "aarch64": "aarch64"}.get(os.uname().machine, "i686")
        (top := s / "dist" / f"dumplog-{self.version}-linux-{arch}").mkdir(parents=True)
        run("sh", "-c", 'cp "$1" . && sha256sum -- * >SHA256SUMS && tar -czf "../$0.tar.gz" -C .. "$0"', top.name,
            self.build / "dumplog", cwd=top)
        run("cmake", "-S", ROOT / "packaging", "-B", s / "pkg-build", f"-DDUMPLOG_BINARY={self.build}/dumplog",
            f"-DDUMPLOG_ARCH={arch}", stdout=sp.DEVNULL)
        run("cpack", "-G", "DEB", "-B", s / "packages", cwd=s / "pkg-build", stdout=sp.DEVNULL)
        run(ROOT / "sim/lay-out-workdir.sh", s / "tools", self.build / "sim/dumplog-sim")
        self.common = {"ansible_user": self.user, "ansible_port": self.port, "ansible_python_interpreter": "/usr/bin/python3",
                       "ansible_ssh_private_key_file": str(s / "id"),
                       "ansible_ssh_common_args": f"-F /dev/null -o UserKnownHostsFile={s}/known_hosts "
                                                  "-o GlobalKnownHostsFile=/dev/null -o StrictHostKeyChecking=yes",
                       "dumplog_dist_dir": str(s / "dist"), "dumplog_version": self.version, "dumplog_fetch_dir": str(s / "fetch"),
                       "dumplog_zerbo_dir": str(s / "tools/Zerbo"), "dumplog_smartctl_dir": str(s / "tools/SmartCtl")}
        return s

    def down(self):
        for sock in (self.s / "cp").glob("*"):
            out = sp.run(["ssh", "-O", "check", "-o", f"ControlPath={sock}", "x"], capture_output=True, text=True)
            for pid in re.findall(r"pid=(\d+)", out.stderr):
                os.kill(int(pid), signal.SIGTERM)
        for proc in self.procs:
            proc.terminate()
            proc.wait(10)
        sp.run(["dpkg", "-P", "dumplog"], capture_output=True)  # main() refuses to run when it was installed before
        sp.run(["userdel", "-f", self.user], stderr=sp.DEVNULL)
        self.sudoers.unlink(missing_ok=True)
        print(f"test-fleet: scratch folder kept: {self.s}", file=sys.stderr) if counts["failed"] else shutil.rmtree(self.s)

    def zerbo(self, name, env, pre=""):
        """A vendor tool folder whose tool runs the simulator with ENV (sudo clears the environment)."""
        (d := self.s / f"zerbo-{name}").mkdir()
        shutil.copy(self.s / "tools/Zerbo/zerbo64", d / "zerbo.sim")
        for tool in ("zerbo64", "zerbo64a", "zerbo86"):
            (d / tool).write_text(f'#!/bin/sh\n{pre}{env} exec "${{0%/*}}/zerbo.sim" "$@"\n')
            (d / tool).chmod(0o755)
        return str(d)

    def playbook(self, tag, want_rc, hosts, want):
        """Runs the playbook on HOSTS and checks its exit status, the summary against WANT, and the fetched files."""
        s = self.s
        (s / f"{tag}.json").write_text(json.dumps({"all": {"vars": self.common, "hosts": {
            name: {"ansible_host": NET + str(HOSTS.get(name.split("-")[0], 9)), **v} for name, v in hosts.items()}}}))
        out = sp.run(["ansible-playbook", "-i", s / f"{tag}.json", ROOT / "contrib/ansible/collect.yml"], cwd=s, text=True,
                     env=self.env, stdin=sp.DEVNULL, stdout=sp.PIPE, stderr=sp.STDOUT)
        rc, text = out.returncode, out.stdout
        print(f"--- {tag} run: exit {rc}\n" + text[text.find("PLAY RECAP"):])
        csv, js = s / "fetch/summary.csv", s / "fetch/summary.json"
        rows = json.loads(js.read_text()) if js.exists() and csv.exists() else []
        got = [(r["host"], r["device"], r["status"], r["serial"], r["pages"]) for r in rows]
        check(rc == want_rc and got == [w[:5] for w in want] and csv.read_text().startswith(CSV_HEADER)
              and all(re.search(w[5], r["message"]) for r, w in zip(rows, want)),
              f"{tag}: exit {want_rc} (got {rc}); summary.csv; one row per host and drive, in order, status, message",
              text[-1500:] + "\n    ".join(f"{g} {r['message']}" for g, r in zip(got, rows)))
        wrong = [r for r in rows if r["archive"] and (r["bytes"], r["sha256"], r["pages"], r["seconds"] is None) != (
            (f := s / "fetch" / r["archive"]).stat().st_size, hashlib.sha256(f.read_bytes()).hexdigest(),
            sum(m.size == 16384 and bool(re.search(r"/\d{3}\.raw$", m.name)) for m in tarfile.open(f)), False)]
        archives = " ".join(f"{s / 'fetch' / r['archive']}={'family' if r['status'] == 'collected' else 'other'}"
                            for r in rows if r["status"] in ("collected", "other-family"))
        e2e = sp.run([self.build / "tests/e2e_tests", "--gtest_filter=FetchedArchive.*"], capture_output=True, text=True,
                     env={**os.environ, "DUMPLOG_E2E_ARCHIVES": archives})
        check(not wrong and e2e.returncode == 0 and "1 test" in e2e.stdout,
              f"{tag}: bytes, sha256 and pages match the fetched files; collected and other-family archives whole",
              wrong or e2e.stdout)
        return rows, text


def main():
    if os.geteuid() != 0:
        print("test-fleet: skipped: it brings up sshd hosts, a user and sudo on this machine: run as root")
        return 0
    run(ROOT / "scripts/deps.sh", "ansible-playbook=ansible-core", "/usr/sbin/sshd=openssh-server", "sudo=sudo",
        "cpack=cmake", "flock=util-linux", "/usr/lib/python3/dist-packages/apt/__init__.py=python3-apt")
    if deb_status().startswith("install"):
        sys.exit("test-fleet: dumplog is installed on this machine; remove it (dpkg -P dumplog) first")
    started = time.monotonic()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    signal.signal(signal.SIGHUP, lambda *_: sys.exit(129))
    fleet = Fleet(Path(sys.argv[1]).resolve())
    try:
        s = fleet.up()
        work = lambda host, *rest: s.joinpath(host, "var-tmp", *rest)  # noqa: E731
        run("install", "-d", "-m", "777", work("alpha", "dumplog"))  # the playbook makes it 0755, or dumplog refuses it
        deb = {"dumplog_package_dir": str(s / "packages")}
        good = lambda host, name: (host, "/dev/" + name, *GOOD[name], "^$")  # noqa: E731

        # Healthy: bravo lists alpha's drives the other way round.
        hosts = {"alpha": ["sda8", "sdc"], "bravo": ["sdc", "sda8"], "charlie": ["sdb", "sdd"], "delta": ["sdc"]}
        healthy, _ = fleet.playbook("healthy", 0, {h: {**(deb if h == "alpha" else {}), "dumplog_drives": drives(*d)}
                                                   for h, d in hosts.items()},
                                    [good(h, d[:3]) for h, ds in hosts.items() for d in ds])
        mtime = lambda host, sn: (s / "fetch" / host / f"SN{sn}.tar.bz2").stat().st_mtime  # noqa: E731
        check(mtime("bravo", "ZX41B0C7K2") < mtime("bravo", "S3K7N019X200"), "bravo's drives ran in bravo's order")
        status = deb_status()
        check(status.startswith(f"install ok installed {fleet.version}-") and not list(work("alpha", "dumplog").glob("dumplog-*")),
              "alpha: apt installed the .deb and /usr/sbin/dumplog ran, not a bundle", status)
        # A host's time: from the start of the playbook to its last result (the log holds only this run so far).
        stamps = [(time.mktime(time.strptime(line[:19], "%Y-%m-%d %H:%M:%S")) + int(line[20:23]) / 1000, line)
                  for line in (s / "ansible.log").read_text().splitlines() if line[:2] == "20"]
        print(f"{'host':8} {'collect_s':>9} {'overhead_s':>10} {'overhead_%':>10}   (overhead: host's time minus collection)")
        for host in hosts:
            collect = sum(r["seconds"] or 0 for r in healthy if r["host"] == host)
            span = max(at for at, line in stamps if f"[{host}" in line) - stamps[0][0]
            print(f"{host:8} {collect:9.1f} {span - collect:10.1f} {100 * (span - collect) / collect:10.0f}")

        # Faults. charlie's vendor tool hangs at page 0 and leaves a helper that ignores TERM; charlie-again is
        # charlie under a second name, in a folder another process holds; delta-link's working folder is a link.
        work("charlie", "dumplog-again").mkdir(mode=0o755)
        fcntl.flock(os.open(work("charlie", "dumplog-again"), os.O_RDONLY), fcntl.LOCK_EX)  # held while this test runs
        work("delta", "elsewhere").mkdir(mode=0o700)
        work("delta", "link").symlink_to("/var/tmp/elsewhere")
        rows, text = fleet.playbook("faults", 4, {
            "alpha": {**deb, "dumplog_drives": drives("sde", "sdc")},
            "bravo": {"dumplog_zerbo_dir": fleet.zerbo("pages", "SIM_FAIL_PAGES=3,17"), "dumplog_drives": drives("sdc", "sdb")},
            "charlie": {"dumplog_timeout": 8, "dumplog_drives": drives("sda8", "sdb"), "dumplog_zerbo_dir": fleet.zerbo(
                "hang", "SIM_SLOW_PAGE=0:600", "case $* in *outfile=*) (trap '' TERM; exec sleep 601) & esac\n")},
            "charlie-again": {"dumplog_workdir": "/var/tmp/dumplog-again", "dumplog_drives": drives("sdc")},
            "delta": {"dumplog_zerbo_dir": fleet.zerbo("model", "SIM_FAIL=model"),
                      "dumplog_drives": drives("sda8") + [{"device": "/dev/sdb", "port": "8 x"}]},
            "delta-link": {"dumplog_workdir": "/var/tmp/link", "dumplog_drives": drives("sdc")},
            "echo": {"dumplog_drives": drives("sda8", "sdc")}}, [
            ("alpha", "/dev/sde", "failed", "", None, r"^dumplog: .* failed: "), good("alpha", "sdc"),
            ("bravo", "/dev/sdc", "incomplete", "ZX41B0C7K2", 126, r"^warning: 2 of 128 save-log"), good("bravo", "sdb"),
            ("charlie", "/dev/sda", "failed", "", None, r"^timed out after 8 s$"), good("charlie", "sdb"),
            ("charlie-again", "/dev/sdc", "failed", "", None,
             rf"^dumplog: start-up failed: another run of dumplog .* held by pid {os.getpid()} \(python3, user root\)"),
            ("delta", "/dev/sda", "incomplete", "S3K7N019X200", 0, r"^warning: CheckModel.txt holds no model identification"),
            ("delta", "/dev/sdb", "failed", "", None, r"^Each dumplog_drives item needs device"),
            ("delta-link", "/dev/sdc", "not-run", "", None, r"the host failed at: Check that the working folder is a fo"),
            *[("echo", d, "unreachable", "", None, r"127\.0\.83\.9") for d in ("/dev/sda", "/dev/sdc")]])
        check(all(re.search(rf"\n{h} +:.* failed=1 ", text) for h in ("alpha", "charlie", "delta")),
              "faults: a host with a failed drive is failed once its drives were tried")
        rerun = [r["archive"] for r in rows if r["host"] == "alpha" and r["archive"]]
        check(rerun and rows[1]["sha256"] not in {r["sha256"] for r in healthy} and status == deb_status() and
              (s / "fetch" / rerun[0]).read_bytes() == work("alpha", "dumplog", Path(rerun[0]).name).read_bytes(),
              "alpha: the rerun fetched the new archive of sdc, the one left on the host; the same .deb is left as it is")
        check(not any(work("delta", "elsewhere").iterdir()) and oct(work("delta", "elsewhere").stat().st_mode)[-3:] == "700",
              "delta-link: nothing was made or changed behind the link")
    finally:
        fleet.down()
    print(f"test-fleet: {counts['passed']} passed, {counts['failed']} failed, {time.monotonic() - started:.0f} s")
    return 1 if counts["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
