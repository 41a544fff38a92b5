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
  "実行", sent with xdotool, to the moment a tiny target program has started.

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
from xwatch import FirstWindowWatch

LIST_ENTRIES = 99
SETTINGS_NAME = "設定.ini"
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


def write_cp932_lines(path, lines):
    with open(path, "wb") as file:
        file.write("".join(line + "\r\n" for line in lines).encode("cp932"))


def prepare_launcher(arguments, folder):
    """A copy of the launcher with a settings file beside it, whose start-up list
    has 99 Japanese names; the first entry is the launch target."""
    os.makedirs(folder, exist_ok=True)
    program = os.path.join(folder, "tovlan")
    shutil.copy2(arguments.launcher, program)
    list_path = os.path.join(folder, "ベンチマーク①.xxa")
    lines = ["計測用ターゲット", os.path.abspath(arguments.target)]
    for number in range(2, LIST_ENTRIES + 1):
        lines += [f"アプリケーション～{number:02d}号 ﾒﾓ", f"/opt/ツール/道具{number:02d}/起動"]
    write_cp932_lines(list_path, lines)
    write_cp932_lines(os.path.join(folder, SETTINGS_NAME), [list_path, "", " 4 "] * 4)
    return program


class Run:
    """One start of a program: its start-up, memory and idle figures."""

    def __init__(self, command, folder, log):
        self.command, self.folder, self.log = command, folder, log
        self.process = None
        self.window = 0

    def start(self):
        pointer(*NEUTRAL_POINTER)
        with FirstWindowWatch() as watch:
            started = time.monotonic_ns()
            self.process = subprocess.Popen(self.command, cwd=self.folder, stdout=self.log,
                                            stderr=subprocess.STDOUT)
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

    def idle_unfocused(self, other_window, seconds):
        """Activity while another program's window has the focus, as all day long."""
        subprocess.run(["xdotool", "windowactivate", "--sync", str(other_window)], check=True)
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
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def sleep_until(monotonic_ns):
    left = (monotonic_ns - time.monotonic_ns()) / 1e9
    if left > 0:
        time.sleep(left)


def pointer(x, y):
    subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)


def window_origin(window):
    out = subprocess.run(["xwininfo", "-id", str(window)], check=True, capture_output=True,
                         text=True).stdout
    fields = dict(line.strip().split(": ", 1) for line in out.splitlines() if ": " in line)
    return int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"])


def measure_launches(run, stamps, count):
    """Picks the first entry with the Down key, then clicks "実行" count times; answers
    the milliseconds from each button release to the target's own start."""
    driver = subprocess.Popen(["xdotool", "-"], stdin=subprocess.PIPE, text=True)

    def send(line):
        driver.stdin.write(line + "\n")
        driver.stdin.flush()
    try:
        send(f"windowactivate --sync {run.window}")
        send("key Down")
        x, y = window_origin(run.window)
        send(f"mousemove {x + RUN_BUTTON_CENTRE[0]} {y + RUN_BUTTON_CENTRE[1]}")
        time.sleep(0.3)
        latencies = []
        for _ in range(count):
            send("mousedown 1")
            time.sleep(0.05)
            clicked = time.clock_gettime_ns(time.CLOCK_REALTIME)
            send("mouseup 1")
            started = wait_for_stamp(stamps, len(latencies) + 1)
            latencies.append((started - clicked) / 1e6)
            time.sleep(0.2)
        return latencies
    finally:
        driver.stdin.close()
        driver.wait(5)


def wait_for_stamp(stamps, count, timeout=5.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(stamps):
            with open(stamps) as file:
                lines = file.read().split()
            if len(lines) >= count:
                return int(lines[count - 1])
        time.sleep(0.002)
    raise RuntimeError("the click on 実行 did not start the target: no entry picked, "
                       "or the button is not where the benchmark clicks")


def one_run(command, folder, log, arguments, other_window, after=None):
    run = Run(command, folder, log)
    try:
        run.start()
        run.idle(arguments.idle_seconds)
        run.idle_unfocused(other_window, arguments.unfocused_seconds)
        if after:
            after(run)
    finally:
        run.stop()
    return run


def open_other_window():
    """Another program's window, to take the focus away as the user's work does."""
    other = subprocess.Popen(["xmessage", "-name", "tovlan-bench-other", "-geometry", "+600+300",
                              "another program"])
    found = subprocess.run(["xdotool", "search", "--sync", "--classname", "^tovlan-bench-other$"],
                           check=True, capture_output=True, text=True, timeout=10)
    return other, int(found.stdout.split()[0])


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
    other, other_window = open_other_window()
    load_before = os.getloadavg()
    latencies = []

    def launches(run):
        latencies.extend(measure_launches(run, stamps, arguments.launches_per_run))
        os.remove(stamps)

    try:
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
                run = one_run(command, folder, log, arguments, other_window, after)
                runs.append(run)
                print(f"run {number + 1:2d} {name:7s}: start-up {run.startup_ms:6.1f} ms, "
                      f"RSS {run.rss_kib / 1024:5.1f} MiB, idle {run.wakeups:3d} wake-ups "
                      f"{run.cpu_ms:5.1f} ms CPU, unfocused {procstat.switches(run.unfocused_activity)}",
                      file=sys.stderr, flush=True)
    finally:
        other.terminate()
        other.wait()
    launcher_starts += launcher_runs
    baseline_starts += baseline_runs
    print(benchreport.table(launcher_runs, baseline_runs, (launcher_starts, baseline_starts),
                            latencies, arguments, (load_before, os.getloadavg())))


if __name__ == "__main__":
    main()
