"""The pictures of a run: the temperature of the grid against time (tmax),
the monitor cells (monitors), the final field of one layer (field-kNN), the
difference between two monitor cells (difference), and for the report the
concrete's temperatures and their difference, embedded in its page.

Histories are drawn in degrees Fahrenheit, as TMAX.OUT and Center.out hold
them, with degrees Celsius on a second axis; the final field in degrees
Celsius, as the output file holds it; the concrete in degrees Celsius, as
concrete.csv holds it."""

import base64
import io
import os
import re
import sys
import tempfile

from .assess import POINTS, peak_of, read_points
from .project import read_grid
from .results import (CONCRETE, NotFinished, RunError, finished_run, read_concrete, read_field,
                      read_series_points, read_steps, record_artefact)
from .units import c2f, f2c, fmt_both, hours, temp


class NoMatplotlib(Exception):
    """matplotlib is missing: the tool names the package and ends with status 2."""


def setup_matplotlib():
    try:
        import matplotlib
        import numpy  # noqa: F401 (the field picture's grid)
    except ImportError as e:
        message = f"no Python module {e.name} (apt-get install python3-matplotlib)"
        if not os.path.realpath(sys.executable).startswith("/usr/bin/"):
            message += (f"; this Python, {sys.executable}, is not the system's, which that package "
                        "serves: run the tool by its own name (it starts /usr/bin/python3)")
        raise NoMatplotlib(message)
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    plt.rcParams.update({"font.size": 10, "axes.grid": True, "grid.alpha": 0.35})
    return plt


def second_celsius_axis(ax, difference=False):
    if difference:
        sec = ax.secondary_yaxis("right", functions=(lambda f: f / 1.8, lambda c: c * 1.8))
        sec.set_ylabel("Difference (°C)")
    else:
        sec = ax.secondary_yaxis("right", functions=(f2c, c2f))
        sec.set_ylabel("Temperature (°C)")
    return sec


def clean(times, values):
    pairs = [(t, v) for t, v in zip(times, values) if t is not None and v is not None]
    return [p[0] for p in pairs], [p[1] for p in pairs]


def mark_worst(ax, t, v, text, color, t_end):
    """Marks the worst point and writes its value and time beside it: below
    it, and to its left when it lies in the last third of the run."""
    ax.plot([t], [v], "o", color=color, ms=6, zorder=5)
    left = t_end > 0 and t > 0.66 * t_end
    below = v >= 0
    ax.annotate(text, (t, v), xytext=(-14 if left else 14, -34 if below else 14),
                textcoords="offset points", ha="right" if left else "left",
                fontsize=9, color=color, zorder=6,
                bbox=dict(boxstyle="round,pad=0.25", fc="white", ec=color, alpha=0.9),
                arrowprops=dict(arrowstyle="-", color=color))


def draw_limit(ax, times, values, limit, label, difference=False):
    """A horizontal limit line, and the span of time above it."""
    ax.axhline(limit, color="crimson", ls="--", lw=1.3, label=f"{label} {fmt_both(limit, difference)}")
    above = [t for t, v in zip(times, values) if v > limit]
    if above:
        ax.text(0.01, 0.98, f"above the limit from {above[0]:g} h to {above[-1]:g} h",
                transform=ax.transAxes, color="crimson", fontsize=9, va="top",
                bbox=dict(boxstyle="round,pad=0.25", fc="white", ec="crimson", alpha=0.9))


def save(fig, outdir, name, fmt, dpi):
    path = os.path.join(outdir, f"{name}.{fmt}")
    fig.savefig(path, format=fmt, dpi=dpi)
    return path


def tmax_lines(records, centre_label="centre cell"):
    """The lines of the tmax picture from the records of TMAX.OUT, whose
    columns are: time, lowest, highest, average, standard deviation (not
    drawn), centre cell. Each line: label, times, values, colour, style."""
    t = [r[0] for r in records]
    lines = []
    for col, label, color, ls in ((2, "highest", "tab:red", "-"), (3, "average", "black", "-"),
                                  (1, "lowest", "tab:blue", "-"), (5, centre_label, "tab:gray", ":")):
        tt, vv = clean(t, [r[col] if len(r) > col else None for r in records])
        lines.append((label, tt, vv, color, ls))
    return lines


def concrete_lines(rows, core):
    """The lines of the tmax picture from concrete.csv (the concrete alone,
    in degrees Fahrenheit as TMAX.OUT's): highest, average, lowest, and
    `core`, (label, times, values in C) or None."""
    t = [r["time_h"] for r in rows]
    lines = [(label, t, [c2f(r[col]) for r in rows], color, "-") for col, label, color in (
        ("max_C", "highest", "tab:red"), ("mean_C", "average", "black"), ("min_C", "lowest", "tab:blue"))]
    if core:
        label, tt, vv = core
        lines.append((label, tt, [c2f(v) for v in vv], "tab:gray", ":"))
    return lines


def plot_tmax(plt, records, title, centre_label, max_limit, size, dpi, outdir, fmt, concrete=None, core=None,
              peak=None):
    """The highest, average and lowest temperature against time: of the
    concrete from concrete.csv when the run wrote it (with the core, named
    or the grid's middle cell), else of the whole grid from TMAX.OUT."""
    fig, ax = plt.subplots(figsize=size, layout="constrained")
    lines = concrete_lines(concrete, core) if concrete else tmax_lines(records, centre_label)
    for label, tt, vv, color, ls in lines:
        ax.plot(tt, vv, ls, color=color, lw=1.8 if ls == "-" else 1.4, label=label)
    _, tt, vv, _, _ = lines[0]
    if vv:
        worst = max(range(len(vv)), key=lambda n: vv[n])
        at, top = (peak["time_h"], c2f(peak["value_c"])) if peak else (tt[worst], vv[worst])
        what = "peak" if concrete else "grid's highest"
        mark_worst(ax, at, top, f"{what} {fmt_both(top)}\nat {hours(at)} h", "tab:red", tt[-1])
        if max_limit is not None:
            draw_limit(ax, tt, vv, max_limit, "limit")
    ax.set_xlabel("Time (hours)")
    ax.set_ylabel("Temperature (°F)")
    second_celsius_axis(ax)
    ax.set_title(f"{title}: temperature of the concrete" if concrete else
                 f"{title}: temperature of the grid (all cells, surroundings included)")
    ax.legend(loc="best", fontsize=9)
    path = save(fig, outdir, "tmax", fmt, dpi)
    plt.close(fig)
    return path


def cell_label(n, p):
    return f"{n}: ({p[0]},{p[1]},{p[2]})" if p else f"{n}"


def plot_monitors(plt, records, points, title, size, dpi, outdir, fmt, named=None):
    """The monitor cells of Center.out labelled by their cells, or with
    `named` (names, times, columns in C of points.csv) the named points."""
    if named:
        names, times, columns = named
        records = [[t] + [c2f(c[n]) for c in columns] for n, t in enumerate(times)]
    t = [r[0] for r in records]
    fig, ax = plt.subplots(figsize=size, layout="constrained")
    count = max(len(r) for r in records) - 1
    for n in range(1, count + 1):
        tt, vv = clean(t, [r[n] if len(r) > n else None for r in records])
        ax.plot(tt, vv, lw=1.6, label=named[0][n - 1] if named else
                cell_label(n, points[n - 1] if n <= len(points) else None))
    ax.set_xlabel("Time (hours)")
    ax.set_ylabel("Temperature (°F)")
    second_celsius_axis(ax)
    ax.set_title(f"{title}: the named points of points.csv" if named else
                 f"{title}: monitor cells (i,j,k) of series.pr")
    ax.legend(loc="best", fontsize=9, ncol=1 if count <= 8 else 2)
    path = save(fig, outdir, "monitors", fmt, dpi)
    plt.close(fig)
    return path


def plot_difference(plt, records, points, pair, diff_limit, title, size, dpi, outdir, fmt):
    a, b = pair
    t = [r[0] for r in records]
    diffs = [r[a] - r[b] if len(r) > max(a, b) and r[a] is not None and r[b] is not None else None
             for r in records]
    tt, dd = clean(t, diffs)
    fig, ax = plt.subplots(figsize=size, layout="constrained")
    label = f"{cell_label(a, points[a - 1] if a <= len(points) else None)} minus " \
            f"{cell_label(b, points[b - 1] if b <= len(points) else None)}"
    ax.plot(tt, dd, color="tab:purple", lw=1.8, label=label)
    ax.axhline(0, color="black", lw=0.8)
    if dd:
        worst = max(range(len(dd)), key=lambda n: abs(dd[n]))
        mark_worst(ax, tt[worst], dd[worst],
                   f"largest {fmt_both(dd[worst], True)}\nat {tt[worst]:g} h", "tab:purple", tt[-1])
        if diff_limit is not None:
            draw_limit(ax, tt, [abs(d) for d in dd], diff_limit, "limit", True)
            if min(dd) < 0:
                ax.axhline(-diff_limit, color="crimson", ls="--", lw=1.3)
    ax.set_xlabel("Time (hours)")
    ax.set_ylabel("Difference (°F)")
    second_celsius_axis(ax, difference=True)
    ax.set_title(f"{title}: temperature difference between two monitor cells")
    ax.legend(loc="best", fontsize=9)
    path = save(fig, outdir, "difference", fmt, dpi)
    plt.close(fig)
    return path


def plot_field(plt, layers, k, project, points, end_time, title, size, dpi, outdir, fmt):
    import numpy as np
    nz = len(layers)
    grid = np.array(layers[k - 1], dtype=float)
    ny, nx = grid.shape
    fig, ax = plt.subplots(figsize=size, layout="constrained")
    dx = project.get("dx") if project else None
    dy = project.get("dy") if project else None
    aspect = (dy / dx) if dx and dy else 1.0
    image = ax.imshow(grid, origin="lower", cmap="inferno", aspect=aspect, interpolation="nearest",
                      extent=(0.5, nx + 0.5, 0.5, ny + 0.5))
    bar = fig.colorbar(image, ax=ax, shrink=0.9)
    bar.set_label("Temperature (°C)")
    fbar = bar.ax.secondary_yaxis("left", functions=(c2f, f2c))
    fbar.set_ylabel("°F", labelpad=0)
    if np.isfinite(grid).any():
        j, i = np.unravel_index(np.nanargmax(grid), grid.shape)
        ax.plot([i + 1], [j + 1], "o", mfc="none", mec="cyan", ms=10, mew=1.8)
        ax.text(0.01, 0.01, f"o hottest: {grid[j, i]:.1f} °C at i = {i + 1}, j = {j + 1}",
                transform=ax.transAxes, fontsize=9, va="bottom",
                bbox=dict(boxstyle="round,pad=0.25", fc="white", ec="cyan", alpha=0.9))
    for n, p in enumerate(points, start=1):
        if len(p) == 3 and p[2] == k:
            ax.plot([p[0]], [p[1]], "x", color="white", ms=8, mew=2)
            ax.plot([p[0]], [p[1]], "x", color="black", ms=6, mew=1)
            ax.annotate(str(n), (p[0], p[1]), xytext=(-14, -14), textcoords="offset points",
                        color="black", fontsize=8, ha="center", va="center",
                        bbox=dict(boxstyle="round,pad=0.15", fc="white", ec="none", alpha=0.85))
    unit = lambda d: f", cells of {d:g} m" if d else ""
    ax.set_xlabel(f"i (along x{unit(dx)})")
    ax.set_ylabel(f"j (along y{unit(dy)})")
    ax.xaxis.get_major_locator().set_params(integer=True)
    ax.yaxis.get_major_locator().set_params(integer=True)
    ax.grid(False)
    when = f" at {end_time:g} h" if end_time is not None else ""
    height = ""
    if project and project.get("dz"):
        dz = project["dz"]
        height = f", z = {(k - 1) * dz:g} to {k * dz:g} m"
    ax.set_title(f"{title}: final temperature{when}, layer k = {k} of {nz}{height}\n"
                 "(x: monitor cells of series.pr in this layer)" if any(
                     len(p) == 3 and p[2] == k for p in points) else
                 f"{title}: final temperature{when}, layer k = {k} of {nz}{height}")
    path = save(fig, outdir, f"field-k{k:02d}", fmt, dpi)
    plt.close(fig)
    return path


# ---------------------------------------------------------------- the report's pictures

def png(fig):
    buf = io.BytesIO()
    fig.savefig(buf, format="png", dpi=100)
    return base64.b64encode(buf.getvalue()).decode("ascii")


def shade_spells(ax, spells):
    for a, b in spells:
        ax.axvspan(a, b if b > a else a + 1e-6, color="crimson", alpha=0.12, lw=0)


def other_axis(ax, shown, difference=False):
    """The other system's unit on a second axis at the right."""
    f = 1.8 if difference else None
    if shown.us:
        there, back = ((lambda v: v / 1.8, lambda v: v * 1.8) if f else (f2c, c2f))
        ax.secondary_yaxis("right", functions=(there, back)).set_ylabel("°C")
    else:
        there, back = ((lambda v: v * 1.8, lambda v: v / 1.8) if f else (c2f, f2c))
        ax.secondary_yaxis("right", functions=(there, back)).set_ylabel("°F")


def concrete_picture(plt, rows, temp_limit, temp_result, diff_checks, shown, peak):
    """The concrete's highest, mean and lowest temperature above, their
    difference below, the limits dashed and the spells above them shaded."""
    T = lambda c: shown.value("temperature", c)
    D = lambda c: shown.value("difference", c)
    t = [r["time_h"] for r in rows]
    fig, (top, low) = plt.subplots(2, 1, figsize=(9, 7.2), sharex=True, layout="constrained",
                                   gridspec_kw={"height_ratios": [3, 2]})
    top.plot(t, [T(r["max_C"]) for r in rows], color="tab:red", lw=1.8, label="highest")
    top.plot(t, [T(r["mean_C"]) for r in rows], color="black", lw=1.5, label="mean")
    top.plot(t, [T(r["min_C"]) for r in rows], color="tab:blue", lw=1.8, label="lowest")
    top.plot([peak["time_h"]], [T(peak["value_c"])], "o", color="tab:red")
    top.annotate(f"peak {shown.text('temperature', peak['value_c'])}\nat {hours(peak['time_h'])} h",
                 (peak["time_h"], T(peak["value_c"])),
                 xytext=(14, -6), textcoords="offset points", fontsize=9, color="tab:red", va="top",
                 bbox=dict(boxstyle="round,pad=0.25", fc="white", ec="tab:red", alpha=0.9))
    top.axhline(T(temp_limit.points[0][1]), color="crimson", ls="--", lw=1.3, label=f"limit {temp_limit.label}")
    shade_spells(top, temp_result["spells"])
    top.set_ylabel(shown.label("Concrete temperature", "temperature"))
    other_axis(top, shown)
    top.set_title("Concrete: highest, mean and lowest temperature")
    top.legend(loc="best", fontsize=9)

    low.plot(t, [D(r["diff_C"]) for r in rows], color="tab:purple", lw=1.8, label="highest minus lowest")
    styles = ["--", ":"]
    for n, (limit, result) in enumerate(diff_checks):
        if limit.constant():
            low.axhline(D(limit.points[0][1]), color="crimson", ls=styles[n % 2], lw=1.3,
                        label=f"limit {limit.label}")
        else:
            ct = sorted({t[0], t[-1]} | {p[0] for p in limit.points if t[0] < p[0] < t[-1]})
            low.plot(ct, [D(limit.at(x)) for x in ct], color="crimson", ls=styles[n % 2], lw=1.3,
                     label=f"limit {limit.label}")
        shade_spells(low, result["spells"])
    worst = max(rows, key=lambda r: r["diff_C"])
    low.plot([worst["time_h"]], [D(worst["diff_C"])], "o", color="tab:purple")
    low.set_xlabel("Time (hours)")
    low.set_ylabel(shown.label("Difference", "difference"))
    other_axis(low, shown, True)
    low.legend(loc="best", fontsize=9)
    data = png(fig)
    plt.close(fig)
    return data


def tool_picture(draw, *args):
    """A picture of pourheat-plot, drawn into a scratch folder and embedded."""
    with tempfile.TemporaryDirectory() as scratch:
        path = draw(*args, (9.0, 5.0), 100, scratch, "png")
        with open(path, "rb") as f:
            return base64.b64encode(f.read()).decode("ascii")


# ---------------------------------------------------------------- a run directory

def monitor_index(text, points):
    """A monitor cell named by its position in series.pr (1, 2, ...) or by
    its indices i,j,k."""
    parts = [p for p in re.split(r"[,\s()]+", text) if p]
    try:
        numbers = [int(p) for p in parts]
    except ValueError:
        numbers = []
    if len(numbers) == 1 and 1 <= numbers[0] <= len(points):
        return numbers[0]
    if len(numbers) == 3 and tuple(numbers) in points:
        return points.index(tuple(numbers)) + 1
    raise RunError(f"--diff: '{text}' is neither a position 1 to {len(points)} in series.pr "
                   "nor the i,j,k of one of its cells")


def draw_run(rundir, out=None, fmt="png", project=None, field=None, flag=None, layer=None,
             max_limit=None, diff=None, diff_limit=None, size=(8.0, 5.0), dpi=100):
    """Draws the pictures of a finished run into `out` (default: the run
    directory, whose manifest then lists them): limits in degrees
    Fahrenheit, `diff` two monitor cells as monitor_index reads them.
    Everything is read before the first picture is written. Returns the
    pictures written and the notes on what was left out."""
    _, project_path = finished_run(rundir, flag, project)
    tmax_path = os.path.join(rundir, "TMAX.OUT")
    if not os.path.isfile(tmax_path):
        raise NotFinished(f"{rundir} holds no finished run (no TMAX.OUT)")
    tmax = read_steps(tmax_path)
    grid = read_grid(project_path)
    title = os.path.splitext(os.path.basename(project_path))[0]
    series_path = os.path.join(rundir, "series.pr")
    points = read_series_points(series_path) if os.path.isfile(series_path) else []
    center_path = os.path.join(rundir, "Center.out")
    history = read_steps(center_path, len(points) + 1 if points else None) if os.path.isfile(center_path) else None
    if diff and not history:
        raise RunError(f"--diff needs monitor cells, and {rundir} holds no Center.out")
    pair = diff and (tuple(monitor_index(x, points) for x in diff) if points else tuple(int(x) for x in diff))

    layers, notes = None, []
    field_name = field or grid["output"]
    if field_name:
        field_path = field_name if os.path.isabs(field_name) else os.path.join(rundir, field_name)
        if not os.path.isfile(field_path) and field and os.path.isfile(field):
            field_path = field
        if not os.path.isfile(field_path):
            raise RunError(f"no final-field file {field_path}")
        layers = read_field(field_path, grid["nx"])
        if len(layers) != grid["nz"] or any(len(l) != grid["ny"] for l in layers):
            raise RunError(f"{field_path} holds {len(layers)} layers of "
                           f"{sorted({len(l) for l in layers})} rows; the project has "
                           f"{grid['nz']} layers of {grid['ny']} rows")
        k = layer if layer is not None else (len(layers) + 1) // 2
        if not 1 <= k <= len(layers):
            raise RunError(f"--layer {k} is outside 1 to {len(layers)}")
    else:
        notes.append(f"{project_path} names no final field (output=): no field picture (give --field)")

    outdir = out or rundir
    os.makedirs(outdir, exist_ok=True)
    names = ["tmax"] + ["monitors"] * bool(history) + ["difference"] * bool(pair) + \
        [f"field-k{k:02d}"] * bool(layers)
    for name in names:
        record_artefact(rundir, os.path.join(outdir, f"{name}.{fmt}"))
    plt = setup_matplotlib()
    size = tuple(size)
    centre = f"middle cell of the grid ({max(grid['nx'] // 2, 1)},{max(grid['ny'] // 2, 1)},{max(grid['nz'] // 2, 1)})"
    concrete, core = tmax_concrete(rundir, tmax, centre)
    peak = peak_of(rundir, concrete) if concrete else None
    written = [plot_tmax(plt, tmax, title, centre, max_limit, size, dpi, outdir, fmt, concrete, core, peak)]
    if history:
        named_path = os.path.join(rundir, POINTS)
        named = read_points(named_path) if os.path.isfile(named_path) else None
        written.append(plot_monitors(plt, history, points, title, size, dpi, outdir, fmt, named))
    if pair:
        written.append(plot_difference(plt, history, points, pair, diff_limit, title, size, dpi, outdir, fmt))
    if layers:
        written.append(plot_field(plt, layers, k, grid, points, tmax[-1][0], title, size, dpi, outdir, fmt))
    return written, notes


def tmax_concrete(rundir, tmax, centre):
    """concrete.csv's rows, and the core's line: the point named core (else
    the first) of points.csv, or the grid's middle cell of TMAX.OUT (not the
    member's core in a part model). ([], None) without concrete.csv."""
    path = os.path.join(rundir, CONCRETE)
    if not os.path.isfile(path):
        return [], None
    rows = read_concrete(path)
    points = os.path.join(rundir, POINTS)
    if os.path.isfile(points):
        names, times, columns = read_points(points)
        n = names.index("core") if "core" in names else 0
        return rows, (names[n], times, columns[n])
    t, v = clean([r[0] for r in tmax], [f2c(r[5]) if len(r) > 5 and r[5] is not None else None for r in tmax])
    return rows, (centre, t, v)
