# For bench_fleet.py only: when each host began and ended each task, and the
# controller CPU taken between one task's start and the next (task by task
# when the play has one host), written as JSON to $DUMPLOG_BENCH_TIMING when
# the play ends.
from __future__ import annotations

import json
import multiprocessing
import os
import resource
import time

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = """
name: bench_timing
type: aggregate
short_description: task times for bench_fleet.py
description: [Task times per host and controller CPU per task, as JSON.]
"""


def cpu():
    multiprocessing.active_children()  # reaps the workers that are done, so that their CPU counts
    usage = [resource.getrusage(who) for who in (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN)]
    return sum(u.ru_utime + u.ru_stime for u in usage)


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = "aggregate"
    CALLBACK_NAME = "bench_timing"
    CALLBACK_NEEDS_ENABLED = True

    def __init__(self):
        super().__init__()
        self.tasks, self.started, self.spans = [], {}, []

    def v2_playbook_on_task_start(self, task, is_conditional):
        if all(task._uuid != seen[0] for seen in self.tasks):  # the free strategy says it for each host
            self.tasks.append((task._uuid, task.get_name(), cpu()))

    def v2_runner_on_start(self, host, task):
        self.started[(host.get_name(), task._uuid)] = time.time()

    def _end(self, result, *_, **__):
        host, task = result._host.get_name(), result._task
        began = self.started.pop((host, task._uuid), None)
        if began is not None:
            self.spans.append((host, task.get_name(), began, time.time()))

    v2_runner_on_ok = v2_runner_on_failed = v2_runner_on_skipped = v2_runner_on_unreachable = _end

    def v2_playbook_on_stats(self, stats):
        with open(os.environ["DUMPLOG_BENCH_TIMING"], "w", encoding="utf-8") as out:
            json.dump({"tasks": [t[1:] for t in self.tasks], "end_cpu": cpu(), "spans": self.spans}, out)
