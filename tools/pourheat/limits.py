"""The limits of a thermal control plan and the verdict on a run: a limit on
the peak concrete temperature, limits on the difference between the hottest
and the coldest concrete (constant, or a curve against time), each checked
against the rows of concrete.csv, values taken on the straight line between
two steps."""

import argparse
import math
import os
import re

from .units import NUMBER, hours, parse_with_unit, temp

DEFAULT_MAX_TEMP = "160F"
DEFAULT_MAX_DIFF = "35F"


class LimitError(Exception):
    """A limit or a curve file that cannot be read: one line."""


class Limit:
    """A limit in degrees Celsius: one point is a constant limit; several
    are joined by straight lines and held flat beyond the ends."""

    def __init__(self, what, label, points, default=False):
        self.what = what          # "peak temperature" or "difference"
        self.label = label        # as the user wrote it
        self.points = points      # [(time h, limit C)]
        self.default = default

    def at(self, t):
        pts = self.points
        if t <= pts[0][0]:
            return pts[0][1]
        for (t0, v0), (t1, v1) in zip(pts, pts[1:]):
            if t <= t1:
                return v0 + (v1 - v0) * (t - t0) / (t1 - t0)
        return pts[-1][1]

    def constant(self):
        return len(self.points) == 1

    def describe(self):
        text = self.label
        if self.default:
            text += ", the default"
        return text


def limit_celsius(text, difference):
    """A limit written with its unit, in degrees Celsius, and as shown."""
    value, unit = parse_with_unit(text)
    if unit == "C":
        c = value
        shown = f"{value:g} C ({value * 1.8 if difference else value * 1.8 + 32:.1f} F)"
    else:
        c = value / 1.8 if difference else (value - 32.0) / 1.8
        shown = f"{value:g} F ({c:.1f} C)"
    return c, shown


def constant_limit(what, text, difference, default=False):
    c, shown = limit_celsius(text, difference)
    return Limit(what, shown, [(0.0, c)], default)


def read_curve(path):
    """A difference limit against time: lines of time (h) and limit with its
    unit (0, 20F), separated by a comma, semicolon, tab or blanks. A first
    line that is not a number is a header; # starts a remark."""
    try:
        with open(path, encoding="utf-8-sig") as f:
            lines = f.read().splitlines()
    except OSError as e:
        raise LimitError(f"--diff-curve {path}: {e.strerror}")
    except UnicodeDecodeError as e:
        raise LimitError(f"--diff-curve {path}: not UTF-8 text (byte {e.object[e.start]:#04x} at {e.start})")
    points, first = [], True
    for n, raw in enumerate(lines, start=1):
        line = raw.split("#")[0].strip()
        if not line:
            continue
        m = re.fullmatch(r"([^,;\t ]+)\s*[,;\t ]\s*(.+?)\s*[,;]?", line)
        time = m and re.fullmatch(rf"({NUMBER})\s*h?", m.group(1), re.I)
        header, first = first, False
        if not time:
            if header:
                continue
            raise LimitError(f"--diff-curve {path}, line {n}: '{raw.strip()}' is not a time (h) and a limit")
        try:
            c, _ = limit_celsius(m.group(2), True)
        except argparse.ArgumentTypeError as e:
            raise LimitError(f"--diff-curve {path}, line {n}: {e}")
        t = float(time.group(1))
        if not math.isfinite(t):
            raise LimitError(f"--diff-curve {path}, line {n}: the time is too large")
        if points and t <= points[-1][0]:
            raise LimitError(f"--diff-curve {path}, line {n}: the times must increase")
        points.append((t, c))
    if not points:
        raise LimitError(f"--diff-curve {path} holds no limit")
    name = os.path.basename(path)
    shown = ", ".join(f"{hours(t)} h {c:.1f} C" for t, c in points[:4]) + (", ..." if len(points) > 4 else "")
    return Limit("difference", f"{name} ({shown})", points)


# ---------------------------------------------------------------- the options

def add_limit_options(ap):
    """The limit options, shared with pourheat-batch."""
    ap.add_argument("--max-temp", metavar="T", type=lambda s: parse_with_unit(s) and s,
                    help=f"highest concrete temperature allowed, with its unit (default {DEFAULT_MAX_TEMP})")
    ap.add_argument("--max-diff", metavar="D", type=lambda s: parse_with_unit(s) and s,
                    help=f"largest difference allowed, with its unit (default {DEFAULT_MAX_DIFF} "
                         "unless --diff-curve is given)")
    ap.add_argument("--diff-curve", metavar="FILE",
                    help="difference limit against time: CSV of time (h) and limit with its unit")


def limits_of(max_temp, max_diff, diff_curve):
    """The limits the options ask for: the peak, then the differences."""
    temp_limit = constant_limit("peak temperature", max_temp or DEFAULT_MAX_TEMP, False, not max_temp)
    diffs = []
    if max_diff or not diff_curve:
        diffs.append(constant_limit("difference", max_diff or DEFAULT_MAX_DIFF, True, not max_diff))
    if diff_curve:
        diffs.append(read_curve(diff_curve))
    return temp_limit, diffs


# ---------------------------------------------------------------- the verdict

def check(times, values, limit):
    """Where the values (straight lines between steps) stand above the limit.
    Returns the worst point (time, value, limit there), the spells above the
    limit [(from, to)] and whether any."""
    grid = sorted(set(times) | {t for t, _ in limit.points if times[0] < t < times[-1]})

    def value_at(t):
        for n in range(1, len(times)):
            if t <= times[n]:
                t0, t1 = times[n - 1], times[n]
                return values[n] if t1 == t0 else values[n - 1] + (values[n] - values[n - 1]) * (t - t0) / (t1 - t0)
        return values[-1]

    # The rows themselves, and the limit's corners between them.
    points = [(t, v, limit.at(t)) for t, v in zip(times, values)]
    steps = set(times)
    points += [(t, value_at(t), limit.at(t)) for t in grid if t not in steps]
    points.sort(key=lambda p: p[0])
    worst = max(points, key=lambda p: p[1] - p[2])
    spells = []
    if len(points) == 1 and points[0][1] > points[0][2]:
        spells.append([points[0][0], points[0][0]])
    for (a, va, la), (b, vb, lb) in zip(points, points[1:]):
        ma, mb = va - la, vb - lb
        if ma <= 0 and mb <= 0:
            continue
        start = a if ma > 0 else a + (b - a) * -ma / (mb - ma)
        end = b if mb > 0 else a + (b - a) * ma / (ma - mb)
        if spells and spells[-1][1] >= start:
            spells[-1][1] = end
        else:
            spells.append([start, end])
    return {"worst": worst, "spells": spells, "exceeded": bool(spells), "end": times[-1]}


def evaluate(rows, temp_limit, diff_limits):
    """The verdict on the rows of concrete.csv: each limit with its check."""
    t = [r["time_h"] for r in rows]
    checks = [(temp_limit, check(t, [r["max_C"] for r in rows], temp_limit))]
    checks += [(l, check(t, [r["diff_C"] for r in rows], l)) for l in diff_limits]
    return checks


def summary(rows):
    """Peak and largest difference, each the first time reached."""
    peak = max(rows, key=lambda r: r["max_C"])
    diff = max(rows, key=lambda r: r["diff_C"])
    return peak, diff


def verdict_line(limit, result):
    """One line: PASS or FAIL, the worst value and when, the spells above."""
    t, v, l = result["worst"]
    what = "peak temperature" if limit.what == "peak temperature" else "temperature difference"
    diff = limit.what == "difference"
    if limit.constant():
        worst = f"{'highest' if not diff else 'largest'} {temp(v, diff)} at {hours(t)} h"
    else:
        worst = f"worst {temp(v, diff)} at {hours(t)} h against {temp(l, diff)} there"
    line = f"{'FAIL' if result['exceeded'] else 'PASS'}  {what}: {worst}; limit {limit.describe()}; "
    spells = result["spells"]
    if not spells:
        return line + "never above it"
    total = sum(b - a for a, b in spells)
    count = f" ({len(spells)} spells)" if len(spells) > 1 else ""
    return line + f"above it from {hours(spells[0][0])} h to {hours(spells[-1][1])} h{count}, {hours(total)} h in all"


def back_under(limit, result):
    spells = result["spells"]
    if not spells:
        return f"difference never above its limit {limit.label}"
    if spells[-1][1] >= result["end"]:
        return f"difference still above its limit {limit.label} at the end of the run, {hours(result['end'])} h"
    return f"difference back under its limit {limit.label} at {hours(spells[-1][1])} h"
