"""A weather file: hours and the air temperature, optionally the wind speed
and the sun on a horizontal surface, each column's unit named in the
header. The program reads it itself, row by row on straight lines, so the
tool checks it, says what it holds and writes the copy that goes beside
the project: the same rows under the header the program reads."""

import math
import os
import re

from ..units import TEMPERATURE
from .tables import DescriptionError, text_lines

# The columns in the order the program reads them, and for each the units
# it knows: the name in the copy's header and the factor to SI.
COLUMNS = ("hour", "air", "wind", "solar")
HEADS = {"air": {"C": "air_C", "F": "air_F"}, "wind": {"m/s": "wind_m/s", "mph": "wind_mph"},
         "solar": {"W/m2": "solar_W/m2"}}
TO_SI = {"m/s": 1.0, "mph": 0.44704, "W/m2": 1.0}
# What each column may hold once in SI units (C, m/s, W/m2).
RANGES = {"air": (-60.0, 60.0), "wind": (0.0, 60.0), "solar": (0.0, 1500.0)}
KEY = "weather.csv"
# Names the run folder holds for its own files; a weather file called so is copied as weather.csv.
RESERVED = ("concrete.csv", "heat.csv", "points.csv", "runs.csv")


def column(field):
    """(column, unit) of a header field: 'air_F', 'Air (°C)', 'wind m/s',
    'wind_mph', 'solar_W/m2', 'hour'; (None, None) for one it cannot tell."""
    f = field.lower().replace("°", " ").replace("²", "2")
    words = [w for w in re.split(r"[\s_()\[\],]+", f) if w]
    if not words:
        return None, None
    name = words[0]
    rest = "".join(words[1:]).replace("deg", "")
    if name in ("hour", "hours", "h", "time", "t") and rest in ("", "h", "hour", "hours"):
        return "hour", "h"
    if name in ("air", "temperature", "temp"):
        return "air", {"c": "C", "celsius": "C", "f": "F", "fahrenheit": "F"}.get(rest)
    if name in ("wind", "windspeed"):
        return "wind", {"m/s": "m/s", "ms": "m/s", "mph": "mph"}.get(rest)
    if name in ("solar", "sun", "irradiance"):
        return "solar", {"w/m2": "W/m2", "wm2": "W/m2", "w/m^2": "W/m2"}.get(rest)
    return None, None


def read_weather(base, path):
    """The weather file as plain values: its columns and units, the rows in
    SI units (h, C, m/s, W/m2), and the text of the copy."""
    numbered = text_lines(base, path, KEY)
    if not numbered:
        raise DescriptionError(KEY, f"{path} holds no rows")
    n, header = numbered[0]
    fields = [f.strip() for f in re.split(r"[,;\t]", header)]
    kinds = [column(f) for f in fields]
    if all(re.fullmatch(r"[-+0-9.eE]+", f) for f in fields):
        raise DescriptionError(KEY, f"{path} has no header: its first line names the columns and their units, "
                               "as in hour,air_C,wind_m/s,solar_W/m2")
    for f, (kind, unit) in zip(fields, kinds):
        if kind is None:
            raise DescriptionError(KEY, f"{path}: the header's column '{f}' is none of hour, air, wind, solar")
        if unit is None:
            known = ", ".join(HEADS[kind].values())
            raise DescriptionError(KEY, f"{path}: the header's column '{f}' says no unit the program reads: "
                                   f"name it as one of {known}")
    names = [k for k, _ in kinds]
    if names != list(COLUMNS[:len(names)]) or len(names) < 2:
        raise DescriptionError(KEY, f"{path}: the header '{header}' must name the columns hour, air and then "
                               "(if any) wind and solar, in this order")
    units = dict(kinds)
    rows, texts = [], []
    for n, s in numbered[1:]:
        parts = [p.strip() for p in re.split(r"[,;\t]", s)]
        try:
            values = [float(p) for p in parts]
        except ValueError:
            raise DescriptionError(KEY, f"{path} line {n}: '{s}' is not numbers")
        if len(values) != len(names) or not all(math.isfinite(v) for v in values):
            raise DescriptionError(KEY, f"{path} line {n}: '{s}' is not {len(names)} finite numbers")
        si = [values[0], TEMPERATURE[units["air"].lower()](values[1])]
        si += [v * TO_SI[units[k]] for k, v in zip(names[2:], values[2:])]
        for k, v in zip(names[1:], si[1:]):
            lo, hi = RANGES[k]
            if not lo <= v <= hi:
                raise DescriptionError(KEY, f"{path} line {n}: the {k} {v:g} {'C' if k == 'air' else units[k]} "
                                       f"is outside {lo:g} to {hi:g}")
        if rows and not si[0] > rows[-1][0]:
            raise DescriptionError(KEY, f"{path} line {n}: the times must increase")
        rows.append(tuple(si))
        texts.append(",".join(parts))
    if len(rows) < 2:
        raise DescriptionError(KEY, f"{path} holds {len(rows)} row; it needs two or more")
    if rows[0][0] > 0:
        raise DescriptionError(KEY, f"{path} starts at {rows[0][0]:g} h, after the placing (0 h)")
    head = ["hour"] + [HEADS[k][units[k]] for k in names[1:]]
    return {"file": path, "copy": copy_name(path), "columns": names, "units": {k: units[k] for k in names[1:]},
            "rows": rows, "text": "\n".join([",".join(head)] + texts) + "\n"}


def copy_name(path):
    """The copy's name in the run folder: the file's own, when it is a plain
    name ending in .csv that no file of a run takes."""
    base = os.path.basename(path)
    ok = re.fullmatch(r"[A-Za-z0-9][A-Za-z0-9_.-]{0,63}\.csv", base) and base.lower() not in RESERVED
    return base if ok else "weather.csv"


def at(rows, t, n=1):
    """Column n at time t (h), on the straight line between rows."""
    times = [r[0] for r in rows]
    if t <= times[0]:
        return rows[0][n]
    for (t1, *a), (t2, *b) in zip(rows, rows[1:]):
        if t <= t2:
            return a[n - 1] + (b[n - 1] - a[n - 1]) * (t - t1) / (t2 - t1)
    return rows[-1][n]


def span(w, end):
    """What the weather holds over the run (0 to end h): rows, the range of
    each column (SI) and the largest spacing of rows."""
    inside = [r for r in w["rows"] if 0 <= r[0] <= end]
    values = {k: [at(w["rows"], 0, n), at(w["rows"], end, n)] + [r[n] for r in inside]
              for n, k in enumerate(w["columns"][1:], 1)}
    times = [r[0] for r in w["rows"]]
    steps = [b - a for a, b in zip(times, times[1:]) if b > 0 and a < end]
    return {"rows": len(inside), "first": times[0], "last": times[-1], "spacing": max(steps),
            "range": {k: (min(v), max(v)) for k, v in values.items()}}


def weather_air(w, hours):
    """The held air of a run that follows a weather file, as the tool's air
    series: its boundary block holds the air at the placing; the program
    takes the file instead."""
    T0 = at(w["rows"], 0.0)
    s = span(w, hours)
    mean = sum(r[1] for r in w["rows"] if 0 <= r[0] <= hours) / max(1, s["rows"])
    return {"form": "weather", "file": w["file"], "weather": w, "span": s, "hourly": [(0.0, T0)],
            "points": [(0.0, T0)], "mean": mean, "largest": 0.0}
