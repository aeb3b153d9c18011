# Writes the summary of a collect.yml run: DUMPLOG_FETCH_DIR/summary.csv and
# summary.json, one row per inventory host and item of its dumplog_drives, and
# prints it as a table after the play recap. Ansible loads it by itself from
# this folder beside the playbook; it needs nothing beyond Python's standard
# library. It follows collect.yml's run and fetch loops drive by drive, so a
# host that drops and a run cut short keep the rows they finished; fetched
# archives are checked here and only then take their names.
from __future__ import annotations

import atexit
import bz2
import contextlib
import csv
import fcntl
import hashlib
import json
import os
import re
import tarfile
from datetime import datetime, timedelta

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = """
name: dumplog_summary
type: aggregate
short_description: summary.csv and summary.json of a collect.yml run
description:
  - One row per inventory host and drive with the status of its collection,
    the fetched archive's size, sha256 and save-log page count.
"""

FIELDS = ("host", "device", "port", "status", "serial", "archive", "bytes", "sha256", "pages", "seconds", "message",
          "made")
PAGES, PAGE_BYTES = 128, 16384
PAGE_NAME = re.compile(r"(^|/)[0-9]{3}\.raw$")
# Far above a save-log archive (about 133 members, 2.2 MB unpacked), so that a
# hostile one is refused within a second instead of stalling the controller.
MAX_MEMBERS, MAX_UNPACKED = 1000, 64 << 20
# Exit statuses of the run script that come with its own one-line account on
# stderr: no archive of this run, and the timeout.
SCRIPT_ACCOUNTS = (3, 124, 137)


class NotSaveLog(Exception):
    pass


class Bounded:
    """An archive's bytes as bzip2 unpacks them, refused past MAX_UNPACKED."""

    def __init__(self, unpacked):
        self.unpacked, self.left = unpacked, MAX_UNPACKED

    def read(self, size):
        data = self.unpacked.read(size)
        self.left -= len(data)
        if self.left < 0:
            raise NotSaveLog(f"more than {MAX_UNPACKED >> 20} MiB unpacked")
        return data


def measure(path):
    """bytes, sha256 and the number of whole save-log pages of an archive, its members streamed, not kept."""
    digest = hashlib.sha256()
    with open(path, "rb") as archive:
        for block in iter(lambda: archive.read(1 << 20), b""):
            digest.update(block)
    pages = 0
    with bz2.open(path) as unpacked, tarfile.open(fileobj=Bounded(unpacked), mode="r|") as archive:
        for count, member in enumerate(archive, 1):
            if count > MAX_MEMBERS:
                raise NotSaveLog(f"more than {MAX_MEMBERS} members")
            pages += member.isfile() and member.size == PAGE_BYTES and bool(PAGE_NAME.search(member.name))
    return os.path.getsize(path), digest.hexdigest(), pages


def seconds(delta):
    """'0:00:07.512345' (the command module's delta) as seconds."""
    match = re.fullmatch(r"(\d+):(\d+):(\d+(?:\.\d+)?)", str(delta or ""))
    if not match:
        return None
    hours, minutes, secs = match.groups()
    return round(timedelta(hours=int(hours), minutes=int(minutes), seconds=float(secs)).total_seconds(), 1)


def drive_fields(drive):
    if isinstance(drive, dict):
        port = drive.get("port")
        return str(drive.get("device", "")), "" if port is None else str(port)
    return ("" if drive is None else str(drive)), ""


def one_line(result):
    """A failed task's reason in one line; a module that died says why on its stderr, not in msg."""
    msg = str(result.get("msg") or "failed")
    if msg.startswith("MODULE FAILURE"):
        why = str(result.get("module_stderr") or "").strip().splitlines()[-1:]
        msg = f"MODULE FAILURE, exit status {result.get('rc')}" + "".join(": " + line for line in why)
    msg = " ".join(msg.split())
    return msg if len(msg) <= 300 else msg[:297] + "..."


def discard(path):
    with contextlib.suppress(OSError):
        os.remove(path)


def run_error(run):
    """Why a drive's run failed."""
    rc, err = run.get("rc"), run.get("stderr_lines") or []
    if rc in SCRIPT_ACCOUNTS and err:
        return err[-1]
    if rc:
        lines = [line for line in err if line.startswith(("dumplog: ", "warning: "))]
        return "; ".join(lines) or f"dumplog exited with status {rc}: {''.join(err[-1:])}"
    if rc == 0:
        named = "".join((run.get("stdout_lines") or [])[-1:]).partition("archive=")[2]
        return f"dumplog's archive {named!r} is not named SN<serial>.tar.bz2; nothing was fetched"
    return one_line(run)


def judge(run, part):
    """status, message and the archive's fields of a drive whose archive was fetched to PART."""
    final = part[: -len(".part")]
    try:
        size, digest, pages = measure(part)
        os.replace(part, final)
    except NotSaveLog as error:
        discard(part)
        return "failed", f"not a save-log archive: {error}", {}
    except (OSError, tarfile.TarError, EOFError) as error:
        discard(part)
        return "failed", f"fetched archive {final} cannot be read: {error}", {}
    serial = re.fullmatch(r"SN(.+)\.tar\.bz2", os.path.basename(final)).group(1)
    out = {"serial": serial, "archive": os.path.join(*final.split(os.sep)[-2:]), "bytes": size, "sha256": digest,
           "pages": pages}
    warnings = [line for line in run.get("stderr_lines") or [] if line.startswith("warning:")]
    if warnings:
        return "incomplete", "; ".join(warnings), out
    if pages == PAGES:
        return "collected", "", out
    if pages == 0:
        return "other-family", "", out
    return "incomplete", f"the archive holds {pages} of {PAGES} save-log pages of {PAGE_BYTES} bytes", out


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = "aggregate"
    CALLBACK_NAME = "dumplog_summary"

    def __init__(self):
        super().__init__()
        self._play, self._done = None, False
        self._items, self._reached, self._unreachable, self._failed_at = {}, set(), {}, {}
        # Ctrl-C ends ansible-playbook without the stats: the summary is then
        # written on the way out, with the drives not finished as not-run.
        atexit.register(lambda: self._play is None or self._done or self._summarise(finished=False))

    def v2_playbook_on_play_start(self, play):
        self._play = play

    def v2_runner_on_ok(self, result):
        self._reached.add(result._host.get_name())

    def v2_runner_on_failed(self, result, ignore_errors=False):
        if not ignore_errors:  # the task, and why: a command says it on stderr
            res = result._result
            why = one_line({"msg": res["stderr_lines"][-1]} if res.get("stderr_lines") else res)
            self._failed_at[result._host.get_name()] = f"{result._task.get_name()}: {why}"

    def v2_runner_on_unreachable(self, result):
        host, res = result._host.get_name(), result._result
        # A loop's own message is "All items completed"; the item that lost the host says how.
        msg = next((r.get("msg") for r in res.get("results") or [] if r.get("unreachable")), res.get("msg"))
        lost = "the connection to the host was lost: " if host in self._reached else ""
        self._unreachable[host] = lost + one_line({"msg": msg})

    # Each drive's run (loop variable dl_drive) and fetch (dl_run), by the drive's index.
    def _item(self, result, kind):
        res = result._result
        if res.get("ansible_loop_var") in ("dl_drive", "dl_run") and "dl_index" in res:
            kind = "unreachable" if res.get("unreachable") else kind
            self._items[(result._host.get_name(), res["ansible_loop_var"], res["dl_index"])] = (kind, res)

    def v2_runner_item_on_ok(self, result):
        self._item(result, "ok")

    def v2_runner_item_on_failed(self, result):
        self._item(result, "failed")

    def v2_runner_item_on_skipped(self, result):
        self._item(result, "skipped")

    def _judge(self, host, index, drive, fetch_dir, finished):
        run_kind, run = self._items.get((host, "dl_drive", index), (None, {}))
        fetch_kind, fetch = self._items.get((host, "dl_run", index), (None, {}))
        if run_kind == "skipped":
            return "failed", ("Each dumplog_drives item needs device (a path such as /dev/sda, without blanks) and, "
                              f"for a drive behind MegaRAID, port (a number); got {drive}"), {}
        if run_kind == "failed":
            return "failed", run_error(run), {}
        if fetch_kind == "ok":
            return judge(run, fetch["dest"])
        if run_kind == "ok" and fetch_dir:  # a fetch that failed or was cut short leaves no part behind
            discard(os.path.join(fetch_dir, host, run["stdout_lines"][-1].partition("archive=")[2] + ".part"))
        if fetch_kind == "failed":
            return "failed", "fetching the archive failed: " + one_line(fetch), {}
        if host in self._unreachable:
            return "unreachable", self._unreachable[host], {}
        if host in self._failed_at or finished:
            return "not-run", f"the host failed at: {self._failed_at.get(host, 'an earlier task')}", {}
        return "not-run", "the run was interrupted", {}

    def _summarise(self, finished):
        """Writes the summary; True when it could not be written or holds a failure the play did not see."""
        self._done = True
        play_vars = self._play.get_variable_manager().get_vars(play=self._play)
        hostvars, loader, hosts = play_vars["hostvars"], self._play.get_loader(), play_vars["ansible_play_hosts_all"]
        made = datetime.now().astimezone().isoformat(timespec="seconds")
        by_dir = {}
        for host in hosts:
            try:
                drives = hostvars[host].get("dumplog_drives")
                fetch_dir = hostvars[host].get("dumplog_fetch_dir")
                fetch_dir = loader.path_dwim(str(fetch_dir)) if fetch_dir else None
            except Exception as error:  # an inventory value that does not template
                drives, fetch_dir = None, None
                self._failed_at.setdefault(host, f"reading its settings: {error}")
            if not isinstance(drives, list) or not drives:
                drives = [None]
            for index, drive in enumerate(drives):
                device, port = drive_fields(drive)
                status, message, fields = self._judge(host, index, drive, fetch_dir, finished)
                run = self._items.get((host, "dl_drive", index), (None, {}))[1]
                row = {"host": host, "device": device, "port": port, "status": status, "serial": "", "archive": "",
                       "bytes": None, "sha256": "", "pages": None, "seconds": seconds(run.get("delta")),
                       "message": message, "made": made}
                by_dir.setdefault(fetch_dir, []).append({**row, **fields})
        trouble = any(row["status"] == "failed" for rows in by_dir.values() for row in rows)
        for fetch_dir, rows in by_dir.items():
            self._show(rows)
            if not fetch_dir:
                self._display.warning("dumplog summary: no dumplog_fetch_dir, so no summary file was written")
                continue
            try:
                self._write(fetch_dir, rows, set(hosts))
            except (OSError, ValueError) as error:
                trouble = True
                self._display.error(f"dumplog summary: cannot write the summary in {fetch_dir}: {error}; "
                                    "the summary there is left as it was", wrap_text=False)
        if not finished:
            self._display.display("dumplog summary: the run was interrupted; the drives it had not finished are "
                                  "not-run")
        return trouble

    def _write(self, fetch_dir, rows, hosts):
        """Replaces FETCH_DIR's summary by ROWS and the earlier rows of hosts not in HOSTS, whole or not at all."""
        os.makedirs(fetch_dir, exist_ok=True)
        lock = os.open(fetch_dir, os.O_RDONLY)
        temps = []
        try:
            # Two plays on one fetch folder take turns: each keeps the other's rows.
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            except BlockingIOError:
                self._display.display(f"dumplog summary: waiting for another run to write its summary in {fetch_dir}")
                fcntl.flock(lock, fcntl.LOCK_EX)
            try:
                with open(os.path.join(fetch_dir, "summary.json"), encoding="utf-8") as earlier:
                    kept = [{key: row.get(key) for key in FIELDS} for row in json.load(earlier)
                            if row.get("host") not in hosts]
            except FileNotFoundError:
                kept = []
            except (AttributeError, TypeError) as error:
                raise ValueError(f"summary.json is not a list of rows: {error}") from error
            for name in ("summary.json", "summary.csv"):
                temps.append(os.path.join(fetch_dir, f".{name}.tmp"))
                with open(temps[-1], "w", newline="", encoding="utf-8") as out:
                    if name.endswith(".json"):
                        json.dump(rows + kept, out, indent=1)
                        out.write("\n")
                    else:
                        writer = csv.DictWriter(out, fieldnames=FIELDS)
                        writer.writeheader()
                        writer.writerows({k: "" if v is None else v for k, v in row.items()} for row in rows + kept)
                    out.flush()
                    os.fsync(out.fileno())
            for temp in temps:
                os.replace(temp, os.path.join(fetch_dir, os.path.basename(temp)[1:-4]))
        finally:
            for temp in temps:
                discard(temp)
            os.close(lock)
        others = len({row["host"] for row in kept})
        also = f", with the earlier rows of {others} host{'s' * (others > 1)} this run did not include" if kept else ""
        self._display.display(f"summary: {os.path.join(fetch_dir, 'summary.csv')} and summary.json{also}")

    def v2_playbook_on_stats(self, stats):
        if self._play is None:
            return
        # A callback cannot set the exit status otherwise: a summary that was
        # not written, or a failed row the play passed, must not end in 0.
        if self._summarise(finished=True) and not (stats.failures or stats.dark):
            raise SystemExit(2)

    def _show(self, rows):
        self._display.banner("DUMPLOG SUMMARY")
        table = [("host", "device", "status", "serial", "pages", "seconds", "message")]
        for row in rows:
            drive = row["device"] + (f" {row['port']}" if row["port"] else "")
            pages, secs = ("" if row[k] is None else str(row[k]) for k in ("pages", "seconds"))
            table.append((row["host"], drive, row["status"], row["serial"], pages, secs, row["message"]))
        widths = [max(len(line[i]) for line in table) for i in range(6)]
        for line in table:
            self._display.display("  ".join(cell.ljust(width) for cell, width in zip(line, widths)) + "  " + line[6])
        counts = {}
        for row in rows:
            counts[row["status"]] = counts.get(row["status"], 0) + 1
        self._display.display(f"{len(rows)} drives: " + ", ".join(f"{n} {status}" for status, n in counts.items()))
