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
# A dumplog that names a file outside its folder (sda) and makes archives of 1001 members (sdb), of 65 MiB of zeros
# (sdc), too big for a 1 MiB fetch folder (sdd) and small (sde); and a python whose slurp of sde's archive dies.
FAKE_DUMPLOG = r"""#!/bin/sh
d=SN${1#/dev/} && mkdir -p "$d" && case $1 in
  */sda) : >../leak.tar.bz2; d=$d/../../leak ;;
  */sdb) (cd "$d" && seq 1001 | xargs touch) ;;
  */sdc) truncate -s 65M "$d/zeros" ;;
  */sdd) head -c 3000000 /dev/urandom >"$d/big" ;;
esac
[ -e "$d.tar.bz2" ] || tar -cjf "$d.tar.bz2" "$d"
printf '[0] make dir:./%s\n[0] Dump Log done!!\n' "$d"
"""
FAKE_PYTHON = r"""#!/bin/sh
p=$(cat); case $p in *slurp*SNsde.tar.bz2*) echo MemoryError >&2; exit 1; esac; printf '%s\n' "$p" | /usr/bin/python3 "$@"
"""
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
        if (hang := self.s / "hang").exists():  # delta-cut's hung vendor tool, with its dumplog
            os.killpg(os.getpgid(int(hang.read_text())), signal.SIGKILL)
        for sock in (self.s / "cp").glob("*"):
            out = sp.run(["ssh", "-O", "check", "-o", f"ControlPath={sock}", "x"], capture_output=True, text=True)
            for pid in re.findall(r"pid=(\d+)", out.stderr):
                os.kill(int(pid), signal.SIGTERM)
        for proc in self.procs:
            proc.terminate()
            proc.wait(10)
        sp.run(["umount", self.s / "fetch/bravo-fake"], stderr=sp.DEVNULL)
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

    def playbook(self, tag, want_rc, hosts, want, limit="all", during=lambda proc, out: None):
        """Runs the playbook on HOSTS, calls DURING meanwhile, checks its exit status, summary (WANT) and fetched files."""
        s = self.s
        (s / f"{tag}.json").write_text(json.dumps({"all": {"vars": self.common, "hosts": {
            name: {"ansible_host": NET + str(HOSTS.get(name.split("-")[0], 9)), **v} for name, v in hosts.items()}}}))
        began = time.monotonic()
        with open(s / f"{tag}.out", "w") as out:  # its own session, as at a terminal, for Ctrl-C
            proc = sp.Popen(["ansible-playbook", "-f", "10", "-l", limit, "-i", s / f"{tag}.json",
                             ROOT / "contrib/ansible/collect.yml"], cwd=s, env=self.env, stdin=sp.DEVNULL, stdout=out,
                            stderr=sp.STDOUT, start_new_session=True)
            during(proc, s / f"{tag}.out")
        rc, text = proc.wait(), (s / f"{tag}.out").read_text()
        print(f"--- {tag} run: exit {rc}, {time.monotonic() - began:.0f} s\n"
              + text[re.search(r"PLAY RECAP|.*User interrupted|$", text).start():])
        csv, js = s / "fetch/summary.csv", s / "fetch/summary.json"
        rows = json.loads(js.read_text()) if js.exists() and csv.exists() else []
        got = [(r["host"], r["device"], r["status"], r["serial"], r["pages"]) for r in rows]
        check(rc == want_rc and got == [w[:5] for w in want] and csv.read_text().startswith(CSV_HEADER) and all(
              re.fullmatch(r"20\d\d-.*T.*[+-]\d\d:\d\d", r["made"]) and re.search(w[5], r["message"])
              for r, w in zip(rows, want)), f"{tag}: exit {want_rc} (got {rc}); summary.csv; one row per host and drive, "
              "in order, status, message, made", text[-1500:] + "\n    ".join(f"{g} {r['message']}" for g, r in zip(got, rows)))
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
        "cpack=cmake", "flock=util-linux", "pgrep=procps", "/usr/lib/python3/dist-packages/apt/__init__.py=python3-apt")
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

        # Faults. alpha drops once its first archive is fetched. bravo's older archive and charlie's other drive's
        # pose as the newest (a newline in a name, a clock ahead). charlie's vendor tool hangs at page 0 and leaves a
        # helper that ignores TERM; charlie-again is charlie under a second name, in a folder another process holds.
        # bravo-fake runs FAKE_DUMPLOG into 1 MiB. delta, left out, keeps its row; delta-cut hangs till Ctrl-C, taken
        # while another run holds the summary; delta-link's working folder is a link; delta-twice lists a drive twice,
        # and its fetch folder's summary.json is a folder.
        os.utime(work("charlie", "dumplog", "SNZ4K1A0B9C7.tar.bz2"), (time.time() + 3600,) * 2)
        older = work("bravo", "dumplog", "SNS3K7N019X200.tar.bz2")
        os.utime(shutil.copy(older, f"{older}\n.tar.bz2"), (time.time() + 3600,) * 2)
        work("charlie", "dumplog-again").mkdir(mode=0o755)
        fcntl.flock(os.open(work("charlie", "dumplog-again"), os.O_RDONLY), fcntl.LOCK_EX)  # held while this test runs
        work("delta", "elsewhere").mkdir(mode=0o700)
        work("delta", "link").symlink_to("/var/tmp/elsewhere")
        (s / "other/summary.json").mkdir(parents=True)
        (s / "other/summary.csv").write_text("earlier\n")
        run("mount", "--mkdir", "-t", "tmpfs", "-o", "size=1m", "tmpfs", s / "fetch/bravo-fake")
        for path, text in ((s / "fake/dumplog-fake/dumplog", FAKE_DUMPLOG), (s / "fake/python", FAKE_PYTHON)):
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
            path.chmod(0o755)
        run("tar", "-czf", s / "fake.tar.gz", "-C", s / "fake", "dumplog-fake")

        def cut(proc, out):  # alpha drops mid-fetch; Ctrl-C once only delta-cut's hang is left; the summary is held
            children = lambda pid: [int(p) for p in sp.getoutput(f"pgrep -P {pid} -r D,R,S").split()]  # noqa: E731
            held, quiet, end = work("alpha", "dumplog", "SNWD7H2K01PQ.tar.bz2"), 0, time.monotonic() + 240
            part, sshd = s / "fetch/alpha" / f"{held.name}.part", fleet.procs[0]
            while quiet < 15 and proc.poll() is None and time.monotonic() < end:
                time.sleep(0.2)
                if sshd.poll() is None and part.exists() and part.stat().st_size == held.stat().st_size:
                    for pid in children(sshd.pid):  # alpha's connections, then its sshd
                        os.killpg(pid, signal.SIGKILL)
                    sshd.kill()
                quiet = quiet + 1 if (s / "hang").exists() and len(children(proc.pid)) == 1 else 0
            fcntl.flock(lock := os.open(s / "fetch", os.O_RDONLY), fcntl.LOCK_EX)
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGINT)
            while proc.poll() is None and "waiting for another run" not in out.read_text():
                time.sleep(0.2)
            os.close(lock)

        rows, text = fleet.playbook("faults", 99, {
            "alpha": {**deb, "dumplog_drives": drives("sdb", "sdc")},
            "bravo": {"dumplog_drives": drives("sdc", "sdb"), "dumplog_zerbo_dir": fleet.zerbo(
                "pages", "SIM_FAIL_PAGES=3,17", "case $* in */dev/sdb*) export SIM_FAIL=model; esac\n")},
            "bravo-fake": {"dumplog_workdir": "/var/tmp/dumplog-fake", "dumplog_bundle": str(s / "fake.tar.gz"),
                           "dumplog_verify_bundle": False, "ansible_python_interpreter": str(s / "fake/python"),
                           "dumplog_drives": drives("sda8", "sdb8", "sdc8", "sdd8", "sde8")},
            "charlie": {"dumplog_timeout": 8, "dumplog_drives": drives("sda8", "sdb"), "dumplog_zerbo_dir": fleet.zerbo(
                "hang", "SIM_SLOW_PAGE=0:600", "case $* in *outfile=*) (trap '' TERM; exec sleep 601) & esac\n")},
            "charlie-again": {"dumplog_workdir": "/var/tmp/dumplog-again", "dumplog_drives": drives("sdc")},
            "delta": {"dumplog_drives": drives("sdc")},
            "delta-cut": {"dumplog_drives": [{"device": "/dev/sdb", "port": "8 x"}] + drives("sdd"), "dumplog_zerbo_dir":
                          fleet.zerbo("cut", "", f"case $* in */dev/sdd*) echo $$ >{s}/hang; exec sleep 600; esac\n")},
            "delta-link": {"dumplog_workdir": "/var/tmp/link", "dumplog_drives": drives("sdc")},
            "delta-twice": {"dumplog_fetch_dir": str(s / "other"), "dumplog_drives": drives("sda8", "sdc", "sda8")},
            "echo": {"dumplog_drives": drives("sda8", "sdc")}}, [
            good("alpha", "sdb"), ("alpha", "/dev/sdc", "unreachable", "", None, "^the connection to the host was lost: "),
            ("bravo", "/dev/sdc", "incomplete", "ZX41B0C7K2", 126, r"^warning: 2 of 128 save-log"),
            ("bravo", "/dev/sdb", "incomplete", "WD7H2K01PQ", 0, r"^warning: CheckModel.txt holds no model identification"),
            *[("bravo-fake", "/dev/" + d, "failed", "", None, m) for d, m in (
                ("sda", r"^dumplog's archive 'SNsda/\.\./\.\./leak\.tar\.bz2' is not named SN<serial>"),
                ("sdb", "^not a save-log archive: more than 1000 members$"), ("sdc", "^not a save-log archive: more than 64 MiB"),
                ("sdd", r"^fetching the archive failed: [^\n]*No space left on device[^\n]*$"),
                ("sde", r"^fetching the archive failed: MODULE FAILURE, exit status 1: MemoryError$"))],
            ("charlie", "/dev/sda", "failed", "", None, r"^timed out after 8 s$"), good("charlie", "sdb"),
            ("charlie-again", "/dev/sdc", "failed", "", None, rf"^dumplog: start-up failed: .* pid {os.getpid()} \('python3'"),
            ("delta-cut", "/dev/sdb", "failed", "", None, r"^Each dumplog_drives item needs device"),
            ("delta-cut", "/dev/sdd", "not-run", "", None, "^the run was interrupted$"),
            ("delta-link", "/dev/sdc", "not-run", "", None, r"the host failed at: Check that the working folder is a fo"),
            *[("echo", d, "unreachable", "", None, r"^Data could not be sent .*127\.0\.83\.9") for d in ("/dev/sda", "/dev/sdc")],
            good("delta", "sdc")], limit="all:!delta", during=cut)
        check(not list((s / "fetch").glob("*leak*")) and not any((s / "fetch/bravo-fake").iterdir()) and re.search(
              r"fatal: \[bravo-fake\]: FAILED! => .*3 of 5 drives failed", text), "bravo-fake: failed; nothing fetched but "
              "archives it made, nothing left of those refused or of a failed fetch")
        check(rows[-1]["made"] == [r for r in healthy if r["host"] == "delta"][0]["made"] < rows[0]["made"]
              and "dumplog summary: the run was interrupted" in text and "waiting for another run" in text,
              "faults: Ctrl-C writes the summary, says so, in turn with another run; delta, left out, keeps its row")
        check((s / "other/summary.csv").read_text() == "earlier\n" and len(list((s / "other").rglob("*"))) == 2
              and f"cannot write the summary in {s}/other" in text and "lists /dev/sda 8 more than once" in text,
              "delta-twice: a drive listed twice is refused; a summary that cannot be written is said, the earlier kept")
        check(status == deb_status(), "alpha: the same .deb again is left as it is")
        check(not any(work("delta", "elsewhere").iterdir()) and oct(work("delta", "elsewhere").stat().st_mode)[-3:] == "700",
              "delta-link: nothing was made or changed behind the link")
    finally:
        fleet.down()
    print(f"test-fleet: {counts['passed']} passed, {counts['failed']} failed, {time.monotonic() - started:.0f} s")
    return 1 if counts["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
