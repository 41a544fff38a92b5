"""Measures the launcher against a bare Qt window on the desktop that
tests/e2e/desktop.sh starts, alternating the two programs run by run:

- start-up: from just before the process is started to its window mapped and
  first drawn on the X server, seen from outside through X events. Qt maps a
  window as soon as it is shown, but draws it only once the event loop runs,
  so "drawn" also covers the launcher loading its list after showing itself;
- idle memory: resident set size one second after the window is mapped;
- idle activity: CPU time and context switches (wake-ups) of all threads over
  the next idle seconds, first while the new window has the focus (where the
  text caret blinks), then while another program's window has it;
- launch latency (launcher only): from the release of the mouse button on
  "実行", sent with xdotool, to the moment a tiny program has started: the
  target itself, or the handler that the bench's own mimeapps.list names for
  a document, a folder, a URL, and the program a desktop entry describes;
- answer time: from the same release to the launcher's window drawn again;
- xdg-open: from its start to the same handler started, for the document.

Run through `make bench`; prints a Markdown table of medians, ratios and targets.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

import benchreport
import procstat
from desktop import Program, geometry, other_window, write_lines, write_settings
from desktop import run as run_command
from xwatch import DamageWatch, FirstWindowWatch

LIST_ENTRIES = 99
# The first entries of the list, in order: one target of each kind.
LAUNCH_KINDS = ["program", "document", "folder", "URL", "desktop entry"]
URL_SCHEME = "tovlan-bench"
# Where the run button sits in the launcher's window, in pixels at 96 dpi:
# left 3045 twips, width 600, height 285.
RUN_BUTTON_CENTRE = (203 + 20, 9)
NEUTRAL_POINTER = (5, 400)


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--target", required=True, help="the program that records its start")
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--extra-startups", type=int, default=30,
                        help="start-ups of each program measured beside the full runs")
    parser.add_argument("--launches-per-run", type=int, default=3)
    parser.add_argument("--idle-seconds", type=float, default=10.0)
    parser.add_argument("--unfocused-seconds", type=float, default=5.0)
    parser.add_argument("--scratch", default=os.environ.get("TOVLAN_E2E_SCRATCH", "/tmp"))
    return parser.parse_args()


def prepare_desktop(folder, target):
    """XDG folders of the bench's own, whose mimeapps.list names the target as the
    handler of text documents, folders and the bench's URL scheme; answers the
    launch targets of each kind, in the order of LAUNCH_KINDS."""
    config, data = os.path.join(folder, "xdg-config"), os.path.join(folder, "xdg-data")
    os.makedirs(os.path.join(data, "applications"), exist_ok=True)
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(data, "applications", "tovlan-bench-handler.desktop"), "w") as entry:
        entry.write("[Desktop Entry]\nType=Application\nName=Bench handler\n"
                    f"Exec={target} %U\n"
                    f"MimeType=text/plain;inode/directory;x-scheme-handler/{URL_SCHEME};\n")
    with open(os.path.join(config, "mimeapps.list"), "w") as defaults:
        defaults.write("[Default Applications]\n" + "".join(
            f"{kind}=tovlan-bench-handler.desktop\n"
            for kind in ("text/plain", "inode/directory", f"x-scheme-handler/{URL_SCHEME}")))
    os.environ.update(XDG_CONFIG_HOME=config, XDG_DATA_HOME=data)
    os.environ.pop("XDG_CURRENT_DESKTOP", None)
    document = os.path.join(folder, "議事録 ベンチ.txt")
    with open(document, "w", encoding="utf-8") as text:
        text.write("計測用の文書\n")
    documents = os.path.join(folder, "書類 フォルダ")
    os.makedirs(documents, exist_ok=True)
    desktop_entry = os.path.join(folder, "計測用.desktop")
    with open(desktop_entry, "w", encoding="utf-8") as entry:
        entry.write(f"[Desktop Entry]\nType=Application\nName=計測用\nExec={target}\n")
    return [target, document, documents, f"{URL_SCHEME}:page?q=1", desktop_entry]


def prepare_launcher(arguments, folder):
    """A copy of the launcher with a settings file beside it, whose start-up list
    has 99 Japanese names; the first entries are the launch targets."""
    os.makedirs(folder, exist_ok=True)
    program = os.path.join(folder, "tovlan")
    shutil.copy2(arguments.launcher, program)
    list_path = os.path.join(folder, "ベンチマーク①.xxa")
    targets = prepare_desktop(folder, os.path.abspath(arguments.target))
    lines = []
    for number, target in enumerate(targets, 1):
        lines += [f"計測用ターゲット{number}", target]
    for number in range(len(targets) + 1, LIST_ENTRIES + 1):
        lines += [f"アプリケーション～{number:02d}号 ﾒﾓ", f"/opt/ツール/道具{number:02d}/起動"]
    write_lines(list_path, lines)
    write_settings(folder, list_path, corner=4)
    return program


class Run:
    """One start of a program: its start-up, memory and idle figures."""

    def __init__(self, command, folder, log):
        self.program = Program(folder, command[0], dict(os.environ), stdout=log,
                               stderr=subprocess.STDOUT)
        self.window = 0

    @property
    def process(self):
        return self.program.process

    def start(self):
        run_command("xdotool", "mousemove", *NEUTRAL_POINTER)
        with FirstWindowWatch() as watch:
            started = time.monotonic_ns()
            self.program.launch()
            self.window, mapped, drawn = watch.wait(self.process.pid)
        self.startup_ms = (drawn - started) / 1e6
        self.map_ms = (mapped - started) / 1e6
        self.mapped = mapped

    def idle(self, seconds):
        """Memory one second after mapping, then activity while the window keeps
        the focus it got at start-up."""
        sleep_until(self.mapped + 1_000_000_000)
        self.rss_kib = procstat.resident_kib(self.process.pid)
        self.activity = self._activity_over(seconds)

    def idle_unfocused(self, other_id, seconds):
        """Activity while another program's window has the focus, as all day long."""
        run_command("xdotool", "windowactivate", "--sync", other_id)
        time.sleep(0.5)
        self.unfocused_activity = self._activity_over(seconds)

    def _activity_over(self, seconds):
        before = procstat.threads(self.process.pid)
        time.sleep(seconds)
        return procstat.activity_between(before, procstat.threads(self.process.pid))

    @property
    def cpu_ms(self):
        return procstat.cpu_ms(self.activity)

    @property
    def wakeups(self):
        return procstat.switches(self.activity)

    def stop(self):
        self.program.stop()


def sleep_until(monotonic_ns):
    left = (monotonic_ns - time.monotonic_ns()) / 1e9
    if left > 0:
        time.sleep(left)


def measure_launches(run, stamps, count):
    """Picks each launch target in turn with the Down key, then clicks "実行" count
    times; answers, by kind, the milliseconds from each button release to the
    handler's start, and from the release to the window drawn again."""
    driver = subprocess.Popen(["xdotool", "-"], stdin=subprocess.PIPE, text=True)

    def send(line):
        driver.stdin.write(line + "\n")
        driver.stdin.flush()
    latencies, answers, launched = {}, [], 0
    try:
        send(f"windowactivate --sync {run.window}")
        x, y = geometry(run.window)[:2]
        with DamageWatch(run.window) as drawing:
            for kind in LAUNCH_KINDS:
                send("key Down")
                send(f"mousemove {x + RUN_BUTTON_CENTRE[0]} {y + RUN_BUTTON_CENTRE[1]}")
                time.sleep(0.3)
                for _ in range(count):
                    send("mousedown 1")
                    time.sleep(0.05)
                    drawing.forget()
                    clicked = time.clock_gettime_ns(time.CLOCK_REALTIME)
                    released = time.monotonic_ns()
                    send("mouseup 1")
                    drawn = drawing.next_drawn()
                    answers.append((drawn - released) / 1e6 if drawn else float("inf"))
                    launched += 1
                    started = wait_for_stamp(stamps, launched)
                    latencies.setdefault(kind, []).append((started - clicked) / 1e6)
                    if answers[-1] > benchreport.ANSWER_TARGET_MS:
                        print(f"  slow answer, {kind} launch {launched}: answered "
                              f"{answers[-1]:.1f} ms, started {latencies[kind][-1]:.1f} ms, "
                              f"load {os.getloadavg()[0]:.1f}", file=sys.stderr, flush=True)
                    time.sleep(0.2)
        return latencies, answers
    finally:
        driver.stdin.close()
        driver.wait(5)


def measure_xdg_open(document, stamps, log, count):
    """Milliseconds from starting xdg-open on the document to the handler started."""
    times = []
    for number in range(1, count + 1):
        started = time.clock_gettime_ns(time.CLOCK_REALTIME)
        opener = subprocess.Popen(["xdg-open", document], stdout=log, stderr=subprocess.STDOUT)
        times.append((wait_for_stamp(stamps, number) - started) / 1e6)
        opener.wait(10)
        time.sleep(0.2)
    os.remove(stamps)
    return times


def wait_for_stamp(stamps, count, timeout=5.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(stamps):
            with open(stamps) as file:
                lines = file.read().split()
            if len(lines) >= count:
                return int(lines[count - 1])
        time.sleep(0.002)
    raise RuntimeError("the target did not start: no entry picked, the button is not "
                       "where the benchmark clicks, or the handler was not found")


def one_run(command, folder, log, arguments, other_id, after=None):
    run = Run(command, folder, log)
    try:
        run.start()
        run.idle(arguments.idle_seconds)
        run.idle_unfocused(other_id, arguments.unfocused_seconds)
        if after:
            after(run)
    finally:
        run.stop()
    return run


def main():
    arguments = parse_arguments()
    # A desktop without a screen reader: no accessibility bridge in either program.
    for variable in ("QT_ACCESSIBILITY", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"):
        os.environ.pop(variable, None)
    os.environ["QT_QPA_PLATFORM"] = "xcb"
    folder = os.path.join(arguments.scratch, "bench")
    launcher = prepare_launcher(arguments, folder)
    baseline = os.path.abspath(arguments.baseline)
    stamps = os.path.join(folder, "launch-stamps")
    os.environ["TOVLAN_BENCH_STAMPS"] = stamps
    log = open(os.path.join(folder, "programs.log"), "w")
    # Another program's window, to take the focus away as the user's work does; it
    # goes with the desktop.
    other_id = other_window((600, 300, 200, 60))
    load_before = os.getloadavg()
    latencies, answers = {}, []

    def launches(run):
        by_kind, answered = measure_launches(run, stamps, arguments.launches_per_run)
        for kind, figures in by_kind.items():
            latencies.setdefault(kind, []).extend(figures)
        answers.extend(answered)
        os.remove(stamps)

    # One unmeasured start of each, so neither pays for a cold page cache.
    for command in ([launcher], [baseline]):
        warm = Run(command, folder, log)
        warm.start()
        warm.stop()
    # Start-up varies most from run to run, and costs least to repeat.
    launcher_starts, baseline_starts = [], []
    for number in range(arguments.extra_startups):
        pair = [([launcher], launcher_starts), ([baseline], baseline_starts)]
        for command, starts in pair if number % 2 == 0 else reversed(pair):
            start = Run(command, folder, log)
            start.start()
            start.stop()
            starts.append(start)
    launcher_runs, baseline_runs = [], []
    for number in range(arguments.runs):
        pair = [("Tovlan", [launcher], launcher_runs, launches),
                ("bare Qt", [baseline], baseline_runs, None)]
        for name, command, runs, after in pair if number % 2 == 0 else reversed(pair):
            run = one_run(command, folder, log, arguments, other_id, after)
            runs.append(run)
            print(f"run {number + 1:2d} {name:7s}: start-up {run.startup_ms:6.1f} ms, "
                  f"RSS {run.rss_kib / 1024:5.1f} MiB, idle {run.wakeups:3d} wake-ups "
                  f"{run.cpu_ms:5.1f} ms CPU, unfocused {procstat.switches(run.unfocused_activity)}",
                  file=sys.stderr, flush=True)
    xdg_open = measure_xdg_open(os.path.join(folder, "議事録 ベンチ.txt"), stamps, log,
                                arguments.launches_per_run * 3)
    launcher_starts += launcher_runs
    baseline_starts += baseline_runs
    print(benchreport.table(launcher_runs, baseline_runs, (launcher_starts, baseline_starts),
                            (latencies, answers, xdg_open), arguments,
                            (load_before, os.getloadavg())))


if __name__ == "__main__":
    main()
