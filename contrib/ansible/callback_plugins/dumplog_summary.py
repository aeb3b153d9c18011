# Writes the summary of a collect.yml run: DUMPLOG_FETCH_DIR/summary.csv and
# summary.json, one row per inventory host and item of its dumplog_drives, and
# prints it as a table after the play recap. Ansible loads it by itself from
# this folder beside the playbook; it needs nothing beyond Python's standard
# library. collect.yml records the drives it tried as the fact dumplog_rows;
# the archives it fetched are measured here, on the controller.
from __future__ import annotations

import csv
import hashlib
import json
import os
import re
import tarfile
from datetime import timedelta

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = """
name: dumplog_summary
type: aggregate
short_description: summary.csv and summary.json of a collect.yml run
description:
  - One row per inventory host and drive with the status of its collection,
    the fetched archive's size, sha256 and save-log page count.
"""

FIELDS = ("host", "device", "port", "status", "serial", "archive", "bytes", "sha256", "pages", "seconds", "message")
PAGES, PAGE_BYTES = 128, 16384
PAGE_NAME = re.compile(r"(^|/)[0-9]{3}\.raw$")


def measure(path):
    """bytes, sha256 and the number of whole save-log pages of an archive."""
    digest = hashlib.sha256()
    with open(path, "rb") as archive:
        for block in iter(lambda: archive.read(1 << 20), b""):
            digest.update(block)
    with tarfile.open(path, "r:bz2") as archive:
        pages = sum(1 for m in archive if m.isfile() and m.size == PAGE_BYTES and PAGE_NAME.search(m.name))
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


def judge(record, fetch_dir):
    """status, message and the archive's fields for a drive that was tried."""
    out = {"serial": "", "archive": "", "bytes": None, "sha256": "", "pages": None}
    if record.get("error"):
        return "failed", record["error"], out
    path = record.get("archive") or ""
    name = re.fullmatch(r"SN(.+)\.tar\.bz2", os.path.basename(path))
    if not (name and os.path.isfile(path)):
        return "failed", "no archive was fetched", out
    try:
        size, digest, pages = measure(path)
    except (OSError, tarfile.TarError, EOFError) as error:
        return "failed", f"fetched archive {path} cannot be read: {error}", out
    out.update(serial=name.group(1), archive=os.path.relpath(path, fetch_dir), bytes=size, sha256=digest, pages=pages)
    warnings = [line for line in record.get("lines") or [] if line.startswith("warning:")]
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
        self._play = None
        self._records = {}
        self._unreachable = {}
        self._failed_at = {}

    def v2_playbook_on_play_start(self, play):
        self._play = play

    def v2_runner_on_ok(self, result):
        for row in result._result.get("ansible_facts", {}).get("dumplog_rows") or []:
            self._records[(result._host.get_name(), int(row["index"]))] = row

    def v2_runner_on_failed(self, result, ignore_errors=False):
        if not ignore_errors:
            self._failed_at[result._host.get_name()] = result._task.get_name()

    def v2_runner_on_unreachable(self, result):
        self._unreachable[result._host.get_name()] = str(result._result.get("msg", "")).strip()

    def _rows(self):
        play_vars = self._play.get_variable_manager().get_vars(play=self._play)
        hostvars, loader = play_vars["hostvars"], self._play.get_loader()
        for host in play_vars["ansible_play_hosts_all"]:
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
                row = {"host": host, "device": device, "port": port, "seconds": None}
                record = self._records.get((host, index))
                if record is not None:
                    row["status"], row["message"], fields = judge(record, fetch_dir)
                    row.update(fields, seconds=seconds(record.get("delta")))
                elif host in self._unreachable:
                    row.update(status="unreachable", message=self._unreachable[host])
                else:
                    task = self._failed_at.get(host, "an earlier task")
                    row.update(status="not-run", message=f"the host failed at: {task}")
                row.setdefault("pages", None)
                row.setdefault("bytes", None)
                yield fetch_dir, {key: row.get(key, "") for key in FIELDS}

    def v2_playbook_on_stats(self, stats):
        if self._play is None:
            return
        by_dir = {}
        for fetch_dir, row in self._rows():
            by_dir.setdefault(fetch_dir, []).append(row)
        for fetch_dir, rows in by_dir.items():
            self._show(rows)
            if not fetch_dir:
                self._display.warning("dumplog summary: no dumplog_fetch_dir, so no summary file was written")
                continue
            os.makedirs(fetch_dir, exist_ok=True)
            with open(os.path.join(fetch_dir, "summary.csv"), "w", newline="", encoding="utf-8") as out:
                writer = csv.DictWriter(out, fieldnames=FIELDS)
                writer.writeheader()
                writer.writerows({k: "" if v is None else v for k, v in row.items()} for row in rows)
            with open(os.path.join(fetch_dir, "summary.json"), "w", encoding="utf-8") as out:
                json.dump(rows, out, indent=1)
                out.write("\n")
            self._display.display(f"summary: {os.path.join(fetch_dir, 'summary.csv')} and summary.json")

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
