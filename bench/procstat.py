"""What a running process holds and does, read from /proc without disturbing it."""

import os
from typing import NamedTuple


class ThreadActivity(NamedTuple):
    name: str
    cpu_ns: int  # time on a CPU so far
    switches: int  # voluntary + involuntary context switches so far


def resident_kib(pid):
    """Resident set size, the whole process."""
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError(f"no VmRSS for process {pid}")


def _thread_activity(task):
    with open(f"{task}/comm") as comm:
        name = comm.read().strip()
    with open(f"{task}/schedstat") as schedstat:
        cpu_ns = int(schedstat.read().split()[0])
    switches = 0
    with open(f"{task}/status") as status:
        for line in status:
            if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                switches += int(line.split()[1])
    return ThreadActivity(name, cpu_ns, switches)


def threads(pid):
    """{thread id: ThreadActivity} for every thread of the process now."""
    found = {}
    base = f"/proc/{pid}/task"
    for tid in os.listdir(base):
        try:
            found[int(tid)] = _thread_activity(f"{base}/{tid}")
        except FileNotFoundError:
            pass  # the thread ended while it was read
    return found


def activity_between(before, after):
    """{thread name: (cpu ns, switches)} done between two threads() snapshots; a
    thread that started meanwhile counts from zero."""
    done = {}
    for tid, now in after.items():
        then = before.get(tid, ThreadActivity(now.name, 0, 0))
        cpu, switches = done.get(now.name, (0, 0))
        done[now.name] = (cpu + now.cpu_ns - then.cpu_ns, switches + now.switches - then.switches)
    return done


def cpu_ms(activity):
    """Milliseconds on a CPU in an activity_between() result, all threads."""
    return sum(cpu for cpu, _ in activity.values()) / 1e6


def switches(activity):
    """Context switches in an activity_between() result, all threads: each time
    a thread went to sleep or was preempted, so at least its wake-ups."""
    return sum(count for _, count in activity.values())
