#!/usr/bin/env python3
"""collect.yml beside a plain ssh script that does the same work (bench_plain.sh), side by side in one run: N sshd
hosts on loopback addresses (the fleet test's set-up), one simulated drive each, all hosts at once. Prints per host
the wall, the time inside dumplog and the overhead; the controller's CPU per host (user+sys of ansible-playbook or of
the scripts and all their children, ssh included) and the ratios; the same with one host, and for the playbook's
tasks with nothing to do (bench_floor.yml: what Ansible itself costs); then the cost task by task.
usage: contrib/ansible/bench_fleet.py BUILD_DIR [HOSTS]   (as root; HOSTS: default 16)"""
import contextlib, ctypes, json, os, resource, shutil, signal, subprocess as sp, sys, tempfile, time  # noqa: E401
from pathlib import Path

import test_fleet as tf

HERE = Path(__file__).resolve().parent
DRIVE = {"device": "/dev/sda", "port": 8}
GOAL_CPU, GOAL_RATE, GOAL_HOSTS = 2.0, 15.0, 16
SSH_CONFIG = ("Host *\nUser {user}\nPort {port}\nIdentityFile {s}/id\nUserKnownHostsFile {s}/known_hosts\n"
              "GlobalKnownHostsFile /dev/null\nStrictHostKeyChecking yes\nBatchMode yes\n")


def measured(cmd, **kw):
    """Runs CMD through this script's --cpu mode: its wall and CPU, its children's included."""
    with tempfile.NamedTemporaryFile("r") as cpu:
        began = time.time()
        proc = sp.run([sys.executable, __file__, "--cpu", cpu.name, *map(str, cmd)], **kw)
        return proc, time.time() - began, float(cpu.read() or "nan")


def cpu_mode(out, cmd):
    """Runs CMD as the subreaper of all it starts (ssh connection masters outlive ansible-playbook): when it is
    done, ends what is left, reaps it and writes the CPU of them all to OUT. Its exit status is CMD's. Runs apart
    from the bench, whose sshd hosts' sessions would otherwise come to it too."""
    ctypes.CDLL(None).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
    rc = sp.call(cmd)
    me = str(os.getpid())
    for stat in Path("/proc").glob("[0-9]*/stat"):
        with contextlib.suppress(OSError, IndexError):
            if stat.read_text().rsplit(")", 1)[1].split()[1] == me:
                os.kill(int(stat.parent.name), signal.SIGTERM)
    with contextlib.suppress(ChildProcessError):
        while True:
            os.wait()
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    Path(out).write_text(str(usage.ru_utime + usage.ru_stime))
    return rc


def playbook(fleet, hosts, tag, book="collect.yml"):
    """Runs BOOK on HOSTS at once: wall, CPU, each host's wall and time inside dumplog, and the timing plugin's
    record. collect.yml must collect every drive."""
    s = fleet.s
    (inventory := s / f"{tag}.json").write_text(json.dumps({"all": {"vars": fleet.common, "hosts": {
        h: {"ansible_host": tf.NET + str(tf.HOSTS[h]), "dumplog_drives": [DRIVE]} for h in hosts}}}))
    env = {**fleet.env, "ANSIBLE_CALLBACK_PLUGINS": str(HERE / "bench_plugins"),
           "ANSIBLE_CALLBACKS_ENABLED": "bench_timing", "DUMPLOG_BENCH_TIMING": str(s / f"{tag}.timing.json")}
    shutil.rmtree(s / "fetch", ignore_errors=True)
    began = time.time()
    with open(s / f"{tag}.out", "w") as out:
        proc, wall, cpu = measured(["ansible-playbook", "-f", len(hosts), "-i", inventory, "-e",
                                    f"bench_fetch_dir={s}/fetch", HERE / book], cwd=s, env=env, stdin=sp.DEVNULL,
                                   stdout=out, stderr=sp.STDOUT)
    summary = s / "fetch/summary.json"
    rows = json.loads(summary.read_text()) if book == "collect.yml" and summary.exists() else []
    if proc.returncode or book == "collect.yml" and [r["status"] for r in rows] != ["collected"] * len(hosts):
        sys.exit(f"bench-fleet: the {tag} run of {book} failed (exit {proc.returncode}); see {s}/{tag}.out")
    timing = json.loads((s / f"{tag}.timing.json").read_text())
    dumplog = {r["host"]: r["seconds"] for r in rows}
    return wall, cpu, {h: (max(end for host, _, _, end in timing["spans"] if host == h) - began, dumplog.get(h))
                       for h in hosts}, timing


def plain(fleet, hosts):
    """Runs bench_plain.sh for every host at once: wall, CPU and each host's wall and time inside dumplog."""
    s = fleet.s
    (config := s / "ssh_config").write_text(SSH_CONFIG.format(user=fleet.user, port=fleet.port, s=s))
    top = next(p for p in (s / "dist").iterdir() if p.is_dir())
    tf.run("tar", "-cf", s / "tools.tar", "--owner=0", "--group=0", "--numeric-owner", "-C", s / "tools", "Zerbo",
           "SmartCtl", "-C", top.parent, top.name)
    for h in hosts:
        (s / "plain" / h).mkdir(parents=True)
    # One script per host, all at once, each line of output prefixed with its host.
    each = ('c=$1 net=$2 t=$3 d=$4 drive=$5; shift 5\n'
            'for h; do n=${h#*=} h=${h%%=*}; "$0" "$c" "$net$n" "$t" "$d/$h" "$drive" | sed "s/^/$h /" & done; wait')
    began = time.time()
    proc, wall, cpu = measured(["bash", "-c", each, HERE / "bench_plain.sh", config, tf.NET, s / "tools.tar",
                                s / "plain", f"{DRIVE['device']} {DRIVE['port']}", *[f"{h}={tf.HOSTS[h]}" for h in hosts]],
                               stdout=sp.PIPE, text=True)
    lines = [line.split() for line in proc.stdout.splitlines()]
    out = {h: {line[1]: line[2:] for line in lines if line[0] == h} for h in hosts}
    if proc.returncode or any(len(o) != 2 for o in out.values()):
        sys.exit(f"bench-fleet: the plain script failed: {proc.stdout}")
    return wall, cpu, {h: (float(o["end"][0]) - began, float(o["drive"][0])) for h, o in out.items()}


def main():
    if sys.argv[1:2] == ["--cpu"]:
        return cpu_mode(sys.argv[2], sys.argv[3:])
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.rsplit("\n", 1)[1])
    if os.geteuid() != 0:
        sys.exit("bench-fleet: it brings up sshd hosts, a user and sudo on this machine: run as root")
    tf.run(tf.ROOT / "scripts/deps.sh", "ansible-playbook=ansible-core", "/usr/sbin/sshd=openssh-server", "sudo=sudo",
           "cpack=cmake")
    if tf.deb_status().startswith("install"):  # the set-up's clean-up would remove it
        sys.exit("bench-fleet: dumplog is installed on this machine; remove it (dpkg -P dumplog) first")
    n = int(sys.argv[2]) if len(sys.argv) > 2 else GOAL_HOSTS
    tf.NET, tf.HOSTS = "127.0.84.", {f"h{i:02}": 10 + i for i in range(n)}  # apart from a fleet test's hosts
    fleet = tf.Fleet(Path(sys.argv[1]).resolve())
    try:
        fleet.up()
        hosts = list(tf.HOSTS)
        print(f"bench-fleet: {n} hosts, one drive each ({DRIVE['device']} {DRIVE['port']}), all at once, "
              f"on {os.cpu_count()} CPUs; ansible-core {sp.getoutput('ansible --version').split()[2].rstrip(']')}")
        runs = {"plain script": plain(fleet, hosts), "playbook": playbook(fleet, hosts, "all"),
                "playbook on 1 host": playbook(fleet, hosts[:1], "one"),
                "same tasks, nothing to do": playbook(fleet, hosts, "floor", "bench_floor.yml"),
                "same on 1 host": playbook(fleet, hosts[:1], "floor-one", "bench_floor.yml")}
    except BaseException:
        tf.counts["failed"] += 1  # keeps the scratch folder
        raise
    finally:
        fleet.down()
    report(n, runs)
    return 0


def report(n, runs):
    """Prints the runs side by side, the goal, and the playbook's cost task by task."""
    mean = lambda values: sum(values) / len(values)  # noqa: E731
    (a_wall, a_cpu, a_hosts, timing), (p_wall, p_cpu, p_hosts) = runs["playbook"], runs["plain script"]
    print(f"\n{'host':6} {'playbook: wall_s':>16} {'dumplog_s':>9} {'overhead_s':>10}   {'plain: wall_s':>13} "
          f"{'dumplog_s':>9} {'overhead_s':>10}   {'overhead ratio':>14}")
    for h in list(a_hosts) + ["mean"]:
        (aw, ad), (pw, pd) = (a_hosts[h], p_hosts[h]) if h != "mean" else [
            (mean([v[0] for v in d.values()]), mean([v[1] for v in d.values()])) for d in (a_hosts, p_hosts)]
        print(f"{h:6} {aw:16.1f} {ad:9.1f} {aw - ad:10.1f}   {pw:13.1f} {pd:9.1f} {pw - pd:10.1f}   "
              f"{(aw - ad) / max(pw - pd, 0.1):14.1f}")

    print(f"\n{'':26} {'wall_s':>7} {'hosts/min':>9} {'cpu_s/host':>10}")
    for name, (wall, cpu, hosts, *_) in runs.items():
        print(f"{name:26} {wall:7.1f} {60 * len(hosts) / wall:9.1f} {cpu / len(hosts):10.2f}")
        if name == "playbook":
            print(f"{'  / plain script':26} {a_wall / p_wall:7.2f} {p_wall / a_wall:9.2f} {a_cpu / p_cpu:10.2f}")
    rate = 60 * n / a_wall
    print(f"goal{'' if n == GOAL_HOSTS else f' (set for {GOAL_HOSTS} hosts)'}: controller CPU per host at most "
          f"{GOAL_CPU:.0f} s: {a_cpu / n:.2f}, {'met' if a_cpu / n <= GOAL_CPU else 'NOT met'}; at least "
          f"{GOAL_RATE:.0f} hosts a minute: {rate:.1f}, {'met' if rate >= GOAL_RATE else 'NOT met'}")

    # Task by task: the wall each task took on each host, summed over the hosts of the run with all of them, and
    # the controller CPU from one task's start to the next in the runs with one host: the playbook's, and that of
    # its tasks with nothing to do, which is what Ansible itself costs.
    print(f"\n{'task':62} {f'wall_s, {n} hosts':>16} {'cpu_s, 1 host':>13} {'nothing to do':>13}")
    walls = {}
    for _, task, start, end in timing["spans"]:
        walls[task] = walls.get(task, 0) + end - start
    columns = []
    for name in ("playbook on 1 host", "same on 1 host"):
        _, cpu, _, one = runs[name]
        marks = [["(start-up)", 0]] + one["tasks"] + [["(summary, exit, ssh connection master)", one["end_cpu"]]]
        columns.append([(task, after - at) for (task, at), (_, after) in zip(marks, marks[1:] + [[None, cpu]])])
    real, floor = columns
    if len(real) != len(floor):  # a playbook of another shape: no column of its own
        floor = [(task, None) for task, _ in real]
    for (task, cpu), (_, nothing) in zip(real, floor):
        wall = f"{walls[task]:16.1f}" if task in walls else ""
        print(f"{task[:62]:62} {wall:>16} {cpu:13.2f} {'' if nothing is None else f'{nothing:13.2f}':>13}")
    print(f"{'total':62} {'':16} {sum(c for _, c in real):13.2f} "
          f"{'' if floor[0][1] is None else f'{sum(c for _, c in floor):13.2f}':>13}")


if __name__ == "__main__":
    sys.exit(main())
