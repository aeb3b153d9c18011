#!/usr/bin/env python3
"""collect.yml beside a plain ssh script that does the same work (bench_plain.sh), side by side in one run: N sshd
hosts on loopback addresses (the fleet test's set-up), one simulated drive each, all hosts at once. Prints per host
the wall, the time inside dumplog and the overhead; the controller's CPU per host (user+sys of ansible-playbook or of
the scripts and all their children, ssh included); the ratios; then the playbook's cost task by task.
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


def playbook(fleet, hosts, tag):
    """Runs collect.yml on HOSTS at once: wall, CPU, summary rows and the timing plugin's record."""
    s = fleet.s
    (inventory := s / f"{tag}.json").write_text(json.dumps({"all": {"vars": fleet.common, "hosts": {
        h: {"ansible_host": tf.NET + str(tf.HOSTS[h]), "dumplog_drives": [DRIVE]} for h in hosts}}}))
    env = {**fleet.env, "ANSIBLE_CALLBACK_PLUGINS": str(HERE / "bench_plugins"),
           "ANSIBLE_CALLBACKS_ENABLED": "bench_timing", "DUMPLOG_BENCH_TIMING": str(s / f"{tag}.timing.json")}
    shutil.rmtree(s / "fetch", ignore_errors=True)
    began = time.time()
    with open(s / f"{tag}.out", "w") as out:
        proc, wall, cpu = measured(["ansible-playbook", "-f", len(hosts), "-i", inventory, HERE / "collect.yml"],
                                   cwd=s, env=env, stdin=sp.DEVNULL, stdout=out, stderr=sp.STDOUT)
    rc = proc.returncode
    rows = json.loads((s / "fetch/summary.json").read_text()) if (s / "fetch/summary.json").exists() else []
    if rc or [r["status"] for r in rows] != ["collected"] * len(hosts):
        sys.exit(f"bench-fleet: the playbook's {tag} run failed (exit {rc}); see {s}/{tag}.out")
    timing = json.loads((s / f"{tag}.timing.json").read_text())
    hosts_wall = {h: max(end for host, _, _, end in timing["spans"] if host == h) - began for h in hosts}
    return wall, cpu, {r["host"]: (hosts_wall[r["host"]], r["seconds"]) for r in rows}, timing


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
    if sys.argv[1] == "--cpu":
        return cpu_mode(sys.argv[2], sys.argv[3:])
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
        p_wall, p_cpu, p_hosts = plain(fleet, hosts)
        a_wall, a_cpu, a_hosts, timing = playbook(fleet, hosts, "all")
        o_wall, o_cpu, _, one = playbook(fleet, hosts[:1], "one")
    except BaseException:
        tf.counts["failed"] += 1  # keeps the scratch folder
        raise
    finally:
        fleet.down()

    print(f"\n{'host':6} {'playbook: wall_s':>16} {'dumplog_s':>9} {'overhead_s':>10}   {'plain: wall_s':>13} "
          f"{'dumplog_s':>9} {'overhead_s':>10}   {'overhead ratio':>14}")
    mean = lambda values: sum(values) / len(values)  # noqa: E731
    for h in hosts + ["mean"]:
        (aw, ad), (pw, pd) = (a_hosts[h], p_hosts[h]) if h != "mean" else [
            (mean([v[0] for v in d.values()]), mean([v[1] for v in d.values()])) for d in (a_hosts, p_hosts)]
        print(f"{h:6} {aw:16.1f} {ad:9.1f} {aw - ad:10.1f}   {pw:13.1f} {pd:9.1f} {pw - pd:10.1f}   "
              f"{(aw - ad) / max(pw - pd, 0.1):14.1f}")
    rate = lambda wall: 60 * n / wall  # noqa: E731
    print(f"\n{'':24} {'wall_s':>7} {'hosts/min':>9} {'cpu_s/host':>10}")
    for name, wall, cpu, hosts_n in (("playbook", a_wall, a_cpu, n), ("plain script", p_wall, p_cpu, n),
                                     ("playbook on 1 host", o_wall, o_cpu, 1)):
        print(f"{name:24} {wall:7.1f} {rate(wall) * hosts_n / n:9.1f} {cpu / hosts_n:10.2f}")
    print(f"{'playbook / plain script':24} {a_wall / p_wall:7.2f} {p_wall / a_wall:9.2f} {a_cpu / p_cpu:10.2f}")
    cpu_ok, rate_ok = a_cpu / n <= GOAL_CPU, rate(a_wall) >= GOAL_RATE
    print(f"goal{'' if n == GOAL_HOSTS else f' (set for {GOAL_HOSTS} hosts)'}: controller CPU per host at most "
          f"{GOAL_CPU:.0f} s: {a_cpu / n:.2f} s, {'met' if cpu_ok else 'NOT met'}; at least {GOAL_RATE:.0f} hosts a "
          f"minute: {rate(a_wall):.1f}, {'met' if rate_ok else 'NOT met'}")

    # Task by task: the wall each task took on each host, summed over the hosts of the run with all of them; and
    # the controller CPU from one task's start to the next in the run with one host.
    walls = {}
    for _, task, start, end in timing["spans"]:
        walls[task] = walls.get(task, 0) + end - start
    marks = one["tasks"] + [["(summary, exit, ssh connection master)", one["end_cpu"]]]
    cpus = {task: after - at for (task, at), (_, after) in zip(marks, marks[1:] + [[None, o_cpu]])}
    print(f"\n{'task':64} {f'wall_s, {n} hosts':>16} {'cpu_s, 1 host':>13}")
    print(f"{'(start-up)':64} {'':>16} {one['tasks'][0][1]:13.2f}")
    for task in dict.fromkeys([t for t, _ in marks] + list(walls)):
        wall = f"{walls[task]:16.1f}" if task in walls else f"{'':16}"
        print(f"{task[:64]:64} {wall} {cpus[task]:13.2f}" if task in cpus else f"{task[:64]:64} {wall}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
