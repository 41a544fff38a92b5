"""The benchmark's result: a Markdown table of medians, ratios and targets."""

import datetime
import os
import statistics
import subprocess

import procstat

STARTUP_RATIO_TARGET = 1.10
MEMORY_RATIO_TARGET = 1.10
LAUNCH_TARGET_MS = 20.0
PROGRAM_LAUNCH_TARGET_MS = 5.0
ANSWER_TARGET_MS = 16.0


def machine():
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    qt = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libqt6core6"],
                        capture_output=True, text=True).stdout or "?"
    return f"{cpu}, {os.cpu_count()} cores, Linux {os.uname().release}, Qt {qt}"


def _median(runs, figure):
    return statistics.median(figure(run) for run in runs)


def _row(label, ours, theirs, target, met):
    return f"| {label} | {ours} | {theirs} | {target} | {'yes' if met else '**no**'} |"


def _ratio_row(label, ours, theirs, target, unit_format):
    return _row(label, f"{unit_format.format(ours)} (×{ours / theirs:.2f})",
                unit_format.format(theirs), f"≤ {target:.2f} × bare", ours <= target * theirs)


def _threads(run, activity):
    return ", ".join(f"{thread} {switches}"
                     for thread, (_, switches) in sorted(activity(run).items()))


def _median_run(runs, figure):
    return sorted(runs, key=figure)[len(runs) // 2]


def _launch_rows(latencies, answers, xdg_open):
    rows = []
    for kind, figures in latencies.items():
        target = PROGRAM_LAUNCH_TARGET_MS if kind == "program" else LAUNCH_TARGET_MS
        median = statistics.median(figures)
        rows.append(_row(f"Launch latency, {kind}: release on 実行 to its handler started, "
                         f"{len(figures)} launches (ms)", f"{median:.1f}",
                         f"xdg-open {statistics.median(xdg_open):.1f}" if kind == "document"
                         else "–", f"≤ {target:.0f}", median <= target))
    slowest = max(answers)
    rows.append(_row(f"Answer: release on 実行 to the window drawn again, slowest of "
                     f"{len(answers)} (ms)", f"{slowest:.1f}", "–",
                     f"≤ {ANSWER_TARGET_MS:.0f}", slowest <= ANSWER_TARGET_MS))
    return rows


def table(launcher_runs, baseline_runs, startups, launches, arguments, loads):
    """startups: every start of the launcher and of the bare window, the full
    runs' included, for the start-up figures. launches: the launch latencies by
    kind, the answer times, and xdg-open's times for the document."""
    latencies, answers, xdg_open = launches
    every_launch = [figure for figures in latencies.values() for figure in figures]
    def idle(run):
        return procstat.switches(run.activity)

    def unfocused(run):
        return procstat.switches(run.unfocused_activity)

    def unfocused_cpu(run):
        return procstat.cpu_ms(run.unfocused_activity)

    wake_l, wake_b = _median(launcher_runs, idle), _median(baseline_runs, idle)
    away_l, away_b = _median(launcher_runs, unfocused), _median(baseline_runs, unfocused)
    idle_s, away_s = f"{arguments.idle_seconds:g}", f"{arguments.unfocused_seconds:g}"
    lines = [
        f"{datetime.date.today().isoformat()}, {machine()}; Xvfb, openbox, session D-Bus.",
        f"Medians of {len(launcher_runs)} runs of each program, alternating (start-up: of "
        f"{len(startups[0])} starts); load average {loads[0][0]:.1f} before, "
        f"{loads[1][0]:.1f} after.",
        "",
        "| Figure | Tovlan | bare Qt window | Target | Met |",
        "|---|---|---|---|---|",
        _ratio_row("Start-up: process start to window mapped and drawn (ms)",
                   _median(startups[0], lambda r: r.startup_ms),
                   _median(startups[1], lambda r: r.startup_ms),
                   STARTUP_RATIO_TARGET, "{:.1f}"),
        _ratio_row("Idle memory: RSS 1 s after mapping (MiB)",
                   _median(launcher_runs, lambda r: r.rss_kib / 1024),
                   _median(baseline_runs, lambda r: r.rss_kib / 1024), MEMORY_RATIO_TARGET,
                   "{:.1f}"),
        _row(f"Idle {idle_s} s after start-up, focused: wake-ups / CPU ms",
             f"{wake_l:g} / {_median(launcher_runs, lambda r: r.cpu_ms):.1f}",
             f"{wake_b:g} / {_median(baseline_runs, lambda r: r.cpu_ms):.1f}",
             "as bare ±10 % (its caret blinks)", abs(wake_l - wake_b) <= 0.1 * wake_b),
        _row(f"Idle {away_s} s, another window focused: wake-ups / CPU ms",
             f"{away_l:g} / {_median(launcher_runs, unfocused_cpu):.2f}",
             f"{away_b:g} / {_median(baseline_runs, unfocused_cpu):.2f}", "0: none of its own",
             away_l == 0),
        *_launch_rows(latencies, answers, xdg_open),
        "",
        "Wake-ups by thread in the median run, focused:",
    ]
    for name, runs in (("Tovlan", launcher_runs), ("bare Qt window", baseline_runs)):
        lines.append(f"- {name}: {_threads(_median_run(runs, idle), lambda r: r.activity)}")
    lines += [
        "",
        f"Window mapped, not yet drawn (ms): Tovlan "
        f"{_median(startups[0], lambda r: r.map_ms):.1f}, bare "
        f"{_median(startups[1], lambda r: r.map_ms):.1f}. Launch latency: min "
        f"{min(every_launch):.1f}, max {max(every_launch):.1f} ms; answer: median "
        f"{statistics.median(answers):.1f} ms. xdg-open for the document: min "
        f"{min(xdg_open):.1f}, max {max(xdg_open):.1f} ms.",
    ]
    return "\n".join(lines)
