#!/usr/bin/env python3
"""Turns what bench/run.sh measured into the one table `make bench` prints.

Every input file holds "name value" lines; a name that appears several times
is a series (one value per run or per sample). Usage: report.py RESULTS_DIR
"""
import math
import os
import sys
from dataclasses import dataclass
from typing import Dict, List, Optional

MIB = 1024 * 1024
IDEAL_FLAME_MS = 67.0


def read_values(path: str) -> Dict[str, List[float]]:
    """The series of a "name value" file; other lines are ignored."""
    series: Dict[str, List[float]] = {}
    if not os.path.exists(path):
        return series
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            parts = line.split()
            if len(parts) != 2:
                continue
            try:
                value = float(parts[1])
            except ValueError:
                continue
            series.setdefault(parts[0], []).append(value)
    return series


def median(values: List[float]) -> Optional[float]:
    if not values:
        return None
    ordered = sorted(values)
    middle = len(ordered) // 2
    if len(ordered) % 2:
        return ordered[middle]
    return (ordered[middle - 1] + ordered[middle]) / 2


def percentile(values: List[float], share: float) -> Optional[float]:
    """Nearest rank: the smallest value that at least `share` of all are at or below."""
    if not values:
        return None
    ordered = sorted(values)
    # The small allowance keeps 0.95 * 20 at rank 19 whatever the rounding.
    rank = max(1, math.ceil(share * len(ordered) - 1e-9))
    return ordered[rank - 1]


def intervals(times: List[float]) -> List[float]:
    return [later - earlier for earlier, later in zip(times, times[1:])]


def core_percent(ticks: float, seconds: float, clock_ticks: float) -> float:
    """Processor time as a share of one core, in units of 1/clock_ticks s."""
    return 100.0 * ticks / clock_ticks / seconds


@dataclass
class Row:
    figure: str
    value: Optional[float]
    baseline: Optional[float]
    unit: str
    goal: str
    met: Optional[bool]
    runs: str

    def ratio(self) -> Optional[float]:
        if self.value is None or not self.baseline:
            return None
        return self.value / self.baseline


def number(value: Optional[float], unit: str) -> str:
    if value is None:
        return "n/a"
    if abs(value) >= 100:
        text = f"{value:.0f}"
    elif abs(value) >= 10:
        text = f"{value:.1f}"
    else:
        text = f"{value:.2f}"
    return f"{text} {unit}".rstrip()


def format_table(rows: List[Row]) -> str:
    header = ["figure", "value", "baseline", "ratio", "goal", "met?", "runs"]
    lines = [header]
    for row in rows:
        ratio = row.ratio()
        lines.append([
            row.figure,
            number(row.value, row.unit),
            number(row.baseline, row.unit),
            "n/a" if ratio is None else f"{ratio:.3f}",
            row.goal,
            "-" if row.met is None else ("yes" if row.met else "NO"),
            row.runs,
        ])
    widths = [max(len(line[i]) for line in lines) for i in range(len(header))]
    out = []
    for n, line in enumerate(lines):
        out.append("  ".join(cell.ljust(widths[i]) for i, cell in enumerate(line)).rstrip())
        if n == 0:
            out.append("  ".join("-" * w for w in widths))
    return "\n".join(out)


def met(value: Optional[float], test) -> Optional[bool]:
    return None if value is None else bool(test(value))


def idle_shares(idle: Dict[str, List[float]], prefix: str, part: str) -> List[float]:
    """Each run's processor time as a share of one core: part "proc", "server"
    or "sum" (both, run by run)."""
    clock = (idle.get("cpu_time_per_s") or [100.0])[0]
    seconds = idle.get(f"{prefix}_seconds", [])
    if part == "sum":
        return [p + s for p, s in zip(idle_shares(idle, prefix, "proc"),
                                      idle_shares(idle, prefix, "server"))]
    return [core_percent(t, s, clock) for t, s in zip(idle.get(f"{prefix}_{part}_ticks", []), seconds)]


def flame_drawing_percent(paint: Dict[str, List[float]]) -> Optional[float]:
    """The calls of one flame advance, as timed one by one, made once each 67 ms."""
    frame_us = median(paint.get("step_flame_frame_us", []))
    return None if frame_us is None else 100.0 * frame_us / 1000.0 / IDEAL_FLAME_MS


def idle_rows(idle: Dict[str, List[float]]) -> List[Row]:
    rows = []
    runs = f"{len(idle.get('launcher_seconds', []))} x 10 s / {len(idle.get('spin_seconds', []))} x 10 s"
    for part, label in (("proc", "launcher process"), ("server", "wineserver")):
        rows.append(Row(f"idle CPU, {label}", median(idle_shares(idle, "launcher", part)),
                        median(idle_shares(idle, "spin", part)), "%", "-", None, runs))
    value = median(idle_shares(idle, "launcher", "sum"))
    rows.append(Row("idle CPU, sum", value, median(idle_shares(idle, "spin", "sum")), "%",
                    "<= 1 % of a core", met(value, lambda v: v <= 1.0), runs))
    floor = Row("idle CPU, sum against its floor", value, median(idle_shares(idle, "floor", "sum")),
                "%", "<= 1.5 x", None,
                f"{len(idle.get('launcher_seconds', []))} / {len(idle.get('floor_seconds', []))}")
    floor.met = met(floor.ratio(), lambda r: r <= 1.5)
    return rows + [floor]


def wake_rows(wakes: Dict[str, List[float]]) -> List[Row]:
    """How often the idle loop wakes: once for each flame advance, and not at
    all on a disc without flames."""
    flames = median(wakes.get("flames_wakes_per_s", []))
    none = median(wakes.get("none_wakes_per_s", []))
    return [
        Row("idle wakes, both flames", flames, median(wakes.get("flames_advances_per_s", [])), "/s",
            "<= 15 /s", met(flames, lambda v: round(v, 1) <= 15.0),
            f"{len(wakes.get('flames_wakes_per_s', []))} x 10 s"),
        Row("idle wakes, no flame", none, None, "/s", "< 1 /s", met(none, lambda v: v < 1.0),
            f"{len(wakes.get('none_wakes_per_s', []))} x 10 s"),
    ]


def flame_rows(flames: Dict[str, List[float]]) -> List[Row]:
    gaps = intervals(flames.get("flame_advance_ms", []))
    runs = f"{len(gaps)} intervals"
    middle, high = median(gaps), percentile(gaps, 0.95)
    return [
        Row("flame interval, median", middle, IDEAL_FLAME_MS, "ms", "67-68 ms",
            met(middle, lambda v: 67.0 <= v <= 68.0), runs),
        Row("flame interval, p95", high, IDEAL_FLAME_MS, "ms", "<= 70 ms",
            met(high, lambda v: v <= 70.0), runs),
    ]


def startup_row(startup: Dict[str, List[float]]) -> Row:
    launcher, bare = startup.get("picture_ms_0", []), startup.get("picture_ms_1", [])
    row = Row("start to complete picture", median(launcher), median(bare), "ms", "<= 1.2 x",
              None, f"{len(launcher)} + {len(bare)}")
    ratio = row.ratio()
    row.met = None if ratio is None else ratio <= 1.2
    return row


def paint_rows(paint: Dict[str, List[float]]) -> List[Row]:
    rows = []
    for name, label in (("repaint", "full repaint"), ("hover", "hover change")):
        values, raw = paint.get(f"{name}_us", []), paint.get(f"{name}_raw_us", [])
        row = Row(label, median(values), median(raw), "us", "<= 1.3 x", None, str(len(values)))
        ratio = row.ratio()
        row.met = None if ratio is None else ratio <= 1.3
        rows.append(row)
    return rows


def launcher_share_bytes(idle: Dict[str, List[float]]) -> Optional[float]:
    """The launcher's peak working set less Wine's own, which the bare program
    shows: its peak less the one image it holds."""
    launcher = median([kb * 1024 for kb in idle.get("launcher_vmhwm_kb", [])])
    bare = median([kb * 1024 for kb in idle.get("bare_vmhwm_kb", [])])
    bare_image = (idle.get("bare_image_bytes") or [None])[0]
    if launcher is None or bare is None or bare_image is None:
        return None
    return launcher - (bare - bare_image)


def memory_row(idle: Dict[str, List[float]]) -> Row:
    share = launcher_share_bytes(idle)
    images = (idle.get("image_bytes") or [None])[0]
    value = None if share is None else share / MIB
    baseline = None if images is None else images / MIB
    row = Row("peak working set, own share", value, baseline, "MiB", "<= images + 4 MiB", None,
              f"{len(idle.get('launcher_vmhwm_kb', []))} + {len(idle.get('bare_vmhwm_kb', []))}")
    if value is not None and baseline is not None:
        row.met = value <= baseline + 4.0
    return row


BMPSET_GOAL_MS = 2000.0


def bmpset_row(bmpset: Dict[str, List[float]]) -> Row:
    """bmpset's whole run on the demo set, against convert's palette and remap
    of the same art."""
    runs, baseline = bmpset.get("bmpset_ms", []), bmpset.get("remap_ms", [])
    value = median(runs)
    return Row("bmpset on the demo set", value, median(baseline), "ms", "<= 2 s",
               met(value, lambda v: v <= BMPSET_GOAL_MS), f"{len(runs)} / {len(baseline)}")


def disc_rows(disc: Dict[str, List[float]]) -> List[Row]:
    """The launcher's start-up reads on the model CD drive, before and after
    the image was laid out in start-up order, against one sequential read."""
    rows = []
    for label, figure, goal in (("name_order", "CD start-up, name order (before)", "-"),
                                ("start_order", "CD start-up, start-up order", "<= 1.05 x")):
        value = (disc.get(f"{label}_model_ms") or [None])[0]
        row = Row(figure, value, (disc.get(f"{label}_sequential_ms") or [None])[0], "ms", goal,
                  None, "model")
        ratio = row.ratio()
        if goal != "-" and ratio is not None:
            row.met = ratio <= 1.05
        rows.append(row)
    return rows


def build_rows(results: str) -> List[Row]:
    idle = read_values(os.path.join(results, "idle.txt"))
    paint = read_values(os.path.join(results, "paint.txt"))
    return (idle_rows(idle)
            + wake_rows(read_values(os.path.join(results, "wakes.txt")))
            + flame_rows(read_values(os.path.join(results, "flames.txt")))
            + [startup_row(read_values(os.path.join(results, "startup.txt")))]
            + paint_rows(paint)
            + [memory_row(idle)]
            + [bmpset_row(read_values(os.path.join(results, "bmpset.txt")))]
            + disc_rows(read_values(os.path.join(results, "disc.txt"))))


def notes(results: str) -> List[str]:
    """The numbers behind the table: Wine's own costs, where paint time goes."""
    idle = read_values(os.path.join(results, "idle.txt"))
    flames = read_values(os.path.join(results, "flames.txt"))
    paint = read_values(os.path.join(results, "paint.txt"))
    counts = read_values(os.path.join(results, "callgrind.txt"))
    start = read_values(os.path.join(results, "start.txt"))
    out = []
    quiet = idle_shares(idle, "quiet", "server")
    if quiet:
        out.append(f"wineserver with no program of ours running: {median(quiet):.2f} % of a core"
                   " (part of every idle figure above)")
    bare = median(idle_shares(idle, "bare", "sum"))
    if bare is not None:
        out.append(f"a bare window with no idle work, process and wineserver: {bare:.2f} %"
                   " of a core")
    floor = median(idle_shares(idle, "floor", "sum"))
    drawing = flame_drawing_percent(paint)
    if floor is not None and drawing is not None:
        out.append(f"the floor, the bare window drawing the flames' frames each {IDEAL_FLAME_MS:.0f} ms:"
                   f" {floor:.2f} % of a core; the drawing calls alone, timed one by one, come to"
                   f" {drawing:.2f} %")
    gap = (flames.get("idle_gap_max_ms") or [None])[0]
    if gap is not None:
        out.append(f"longest wait between two idle calls while idle: {gap:.1f} ms")
    bare_kb = median(idle.get("bare_vmhwm_kb", []))
    launcher_kb = median(idle.get("launcher_vmhwm_kb", []))
    if bare_kb is not None and launcher_kb is not None:
        out.append(f"peak working set: launcher {launcher_kb / 1024:.1f} MiB, bare program "
                   f"{bare_kb / 1024:.1f} MiB (Wine's own, with one image); images "
                   f"{int((idle.get('image_count') or [0])[0])} files")
    parts = [(key, label) for key, label in (
        ("start_process_age_ms", "process start to the first line of the program"),
        ("start_window_system_ms", "first calls into the window system"),
        ("start_setup_ms", "set-up before the window"),
        ("start_load_images_ms", "of which loading the 91 images"),
        ("start_window_ms", "window, icons and first picture"))
        if start.get(key)]
    if parts:
        out.append("start-up of the launcher, median ms: " + ", ".join(
            f"{label} {median(start[key]):.1f}" for key, label in parts))
    steps = {name[len("step_"):-len("_us")]: median(values)
             for name, values in paint.items() if name.startswith("step_")}
    if steps:
        out.append("one call each, median us: " +
                   ", ".join(f"{name} {value:.1f}" for name, value in sorted(steps.items())))
        model = hover_model(steps, bool((paint.get("hover_without_focus") or [0])[0]))
        if model is not None:
            out.append(f"hover change as the sum of its calls: {model:.0f} us")
        model = repaint_model(steps, median(paint.get("repaint_raw_us", [])))
        if model is not None:
            out.append(f"full repaint as the sum of its calls: {model:.0f} us")
    psnr = (read_values(os.path.join(results, "bmpset.txt")).get("bmpset_psnr_db") or [None])[0]
    if psnr is not None:
        out.append(f"bmpset on the demo set: mean PSNR against the art {psnr:.2f} dB")
    disc = read_values(os.path.join(results, "disc.txt"))
    for label, name in (("name_order", "name order"), ("start_order", "start-up order")):
        if disc.get(f"{label}_jumps"):
            out.append(f"CD start-up reads, {name}: {disc[f'{label}_jumps'][0]:.0f} of 91 reads jump"
                       f" ({disc[f'{label}_backward'][0]:.0f} backwards),"
                       f" {disc[f'{label}_skipped_bytes'][0] / MIB:.2f} MiB skipped,"
                       f" {disc[f'{label}_read_bytes'][0] / MIB:.2f} MiB read")
    for name, label in (("hit_test_ir", "hit test of one pointer move"),
                        ("dib_check_ir", "checks of one image before it is drawn")):
        value = (counts.get(name) or [None])[0]
        if value is not None:
            out.append(f"callgrind, host build: {label}: {value:.0f} instructions")
    return out


def hover_model(steps: Dict[str, float], without_focus: bool) -> Optional[float]:
    """OnMouseMove between two buttons: a DC, the focus check (and an update
    when unfocused), two palette realisations, a paint pair, two images."""
    needed = ["getdc_releasedc", "getfocus", "realize_palette", "beginpaint_endpaint",
              "drawdib_button", "sendmessage", "updatewindow"]
    if any(steps.get(name) is None for name in needed):
        return None
    return (steps["sendmessage"] + steps["getdc_releasedc"] + steps["getfocus"]
            + (steps["updatewindow"] if without_focus else 0.0)
            + 2 * steps["realize_palette"] + steps["beginpaint_endpaint"]
            + 2 * steps["drawdib_button"])


def repaint_model(steps: Dict[str, float], raw_us: Optional[float]) -> Optional[float]:
    """RepaintAll: its DC, a palette realisation, the flames' DC and paint pair,
    its own paint pair, and eleven images, each with DrawDib's own overhead."""
    needed = ["getdc_releasedc", "realize_palette", "beginpaint_endpaint", "drawdib_button",
              "setdibits_button"]
    if raw_us is None or any(steps.get(name) is None for name in needed):
        return None
    per_image = steps["drawdib_button"] - steps["setdibits_button"]
    return (2 * steps["getdc_releasedc"] + steps["realize_palette"]
            + 2 * steps["beginpaint_endpaint"] + raw_us + 11 * per_image)


def main(argv: List[str]) -> int:
    if len(argv) != 2:
        print("usage: report.py RESULTS_DIR", file=sys.stderr)
        return 2
    results = argv[1]
    machine = os.path.join(results, "machine.txt")
    if os.path.exists(machine):
        with open(machine, encoding="utf-8") as f:
            print(f.read().rstrip())
        print()
    print(format_table(build_rows(results)))
    extra = notes(results)
    if extra:
        print()
        for line in extra:
            print(f"- {line}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
