"""The air around the member as a boundary series: a constant, a daily
cycle or an hourly file, cut to the points a series holds the way the
program reads a series."""

import bisect
import math
import re

from ..project import SERIES_MAX
from ..units import TEMPERATURE
from .tables import DescriptionError, read_numbers


def read_air(a, d, base):
    forms = [f for f, keys in (("constant", ("temperature",)), ("daily", ("mean", "amplitude", "peak_hour")),
                               ("csv", ("csv",))) if any(a.has(k) for k in keys)]
    if len(forms) != 1:
        raise DescriptionError("air.temperature", "give the air as temperature (constant), as mean, "
                               "amplitude and peak_hour (daily cycle), or as csv (hourly file): one of them")
    end = d["hours"]
    air = {"form": forms[0]}
    if forms[0] == "constant":
        T = a.get("temperature", "temperature", lo=-50, hi=60)
        air.update(hourly=[(0.0, T)], points=[(0.0, T)], mean=T)
        return air
    if forms[0] == "daily":
        mean = a.get("mean", "temperature", lo=-50, hi=60)
        amp = a.get("amplitude", "difference", lo=0, hi=40)
        peak = a.get("peak_hour", "hour", lo=0, hi=24)
        times = [float(h) for h in range(int(math.floor(end)) + 1)]
        if times[-1] < end:
            times.append(end)
        hourly = [(t, mean + amp * math.cos(2 * math.pi * (d["start_hour"] + t - peak) / 24)) for t in times]
        air.update(mean=mean, amplitude=amp, peak=peak)
        key = "air.amplitude"
    else:
        air["file"] = a.text("csv")
        path = air["file"]
        rows, header = read_numbers(base, path, "air.csv")
        unit = air["unit"] = header_unit(header, path)
        if unit != "C":
            rows = [(n, v[:-1] + [TEMPERATURE[unit.lower()](v[-1])]) for n, v in rows]
        widths = {len(v) for _, v in rows}
        if widths == {1}:
            hourly = [(float(n), v[0]) for n, (_, v) in enumerate(rows)]
        elif widths == {2}:
            hourly = [tuple(v) for _, v in rows]
        else:
            raise DescriptionError("air.csv", f"{path}: rows of one value (hourly temperatures) "
                                   "or of two (time h, temperature), not mixed")
        for (n, _), p, q in zip(rows[1:], hourly, hourly[1:]):
            if not q[0] > p[0]:
                raise DescriptionError("air.csv", f"{path} line {n}: the times must increase")
        for (n, _), (_, T) in zip(rows, hourly):
            if not -60 <= T <= 60:
                raise DescriptionError("air.csv", f"{path} line {n}: {T:g} C is outside -60 to 60 C "
                                       f"(the file holds degrees {UNIT_NAMES[unit]})")
        if hourly[0][0] > 0:
            raise DescriptionError("air.csv", f"{path} starts at {hourly[0][0]:g} h, after the placing (0 h)")
        if hourly[-1][0] < end:
            raise DescriptionError("air.csv", f"{path} ends at {hourly[-1][0]:g} h; the run lasts {end:g} h")
        first = max(n for n, p in enumerate(hourly) if p[0] <= 0)
        last = min(n for n, p in enumerate(hourly) if p[0] >= end)
        hourly = hourly[first:last + 1]
        air["mean"] = sum(T for _, T in hourly) / len(hourly)
        key = "air.csv"
    air["hourly"] = hourly
    air["points"], air["largest"] = reduce_series(hourly, d["start_hour"], key)
    return air


UNIT_WORDS = {"c": "C", "degc": "C", "celsius": "C", "f": "F", "degf": "F", "fahrenheit": "F",
              "k": "K", "kelvin": "K", "kelvins": "K"}
UNIT_NAMES = {"C": "Celsius", "F": "Fahrenheit", "K": "kelvin"}


def header_unit(header, path):
    """The unit of an hourly file's temperatures, C, F or K, as its header
    names it (air_F, "air (°F)", temperature degC, Fahrenheit); a file
    without a header holds degrees Celsius. A header that names no unit, or
    more than one, is refused: the values could be either."""
    if header is None:
        return "C"
    words = re.split(r"[^a-z]+", header.lower().replace("°", " "))
    units = {UNIT_WORDS[w] for w in words if w in UNIT_WORDS}
    if len(units) != 1:
        raise DescriptionError("air.csv", f"{path}: the header '{header}' says "
                               + ("no unit of the temperatures" if not units else
                                  f"more than one unit ({', '.join(sorted(units))})")
                               + ": name it, as in air_C or air_F")
    return units.pop()


def series_value(points, times, t):
    """The temperature the program takes from a boundary series at time t
    (hours): each of the two points around t weighs 1/(distance)^2, a time
    within 300 s^2 of a point takes that point, after the last point the
    last value holds."""
    ts = t * 3600.0
    if ts >= times[-1]:
        return points[-1][1]
    if len(points) == 1:
        return points[0][1]
    p = max(1, bisect.bisect_right(times, ts))
    d1, d2 = abs(ts - times[p - 1]), abs(ts - times[p])
    if d1 * d2 <= 300.0:
        return points[p][1] if d2 < d1 else points[p - 1][1]
    if times[p - 1] <= ts:
        w1, w2 = 1.0 / (d1 * d1), 1.0 / (d2 * d2)
        return (points[p - 1][1] * w1 + points[p][1] * w2) / (w1 + w2)
    return points[0][1]


def reduce_series(hourly, start_hour, key):
    """At most SERIES_MAX points of an hourly series: the start, the end and
    every daily minimum and maximum (days from midnight to midnight); then,
    one at a time, the hour that most lowers the largest difference in the
    stretch where the series, as the program reads it, misses the data most.
    The program's reading is flat at every point, so a point on a steep part
    of the curve can do harm: each candidate is tried before it is taken.
    Returns the points and the largest difference."""
    if len(hourly) <= SERIES_MAX:
        return list(hourly), 0.0
    keep = {0, len(hourly) - 1}
    days = {}
    for n, (t, _) in enumerate(hourly):
        days.setdefault(math.floor((start_hour + t) / 24 + 1e-9), []).append(n)
    for members in days.values():
        keep.add(min(members, key=lambda n: (hourly[n][1], n)))
        keep.add(max(members, key=lambda n: (hourly[n][1], -n)))
    if len(keep) > SERIES_MAX:
        # The start, the end and two points for each day from midnight to
        # midnight always fit in a run that ends by midnight of its last day.
        longest = 24 * ((SERIES_MAX - 2) // 2) - start_hour % 24
        raise DescriptionError(key, f"the run's {len(days)} days have {len(keep)} daily minima, maxima, start "
                               f"and end; a boundary series holds {SERIES_MAX} points: shorten the run (placed "
                               f"at {start_hour:g} h of the day, it may last {longest:g} h) or give a constant "
                               "air temperature")
    seconds = [t * 3600.0 for t, _ in hourly]

    def miss(a, b):
        """Largest difference between the kept points a and b (indices)."""
        points, times = [hourly[a], hourly[b]], [seconds[a], seconds[b]]
        return max((abs(hourly[n][1] - series_value(points, times, hourly[n][0])) for n in range(a + 1, b)),
                   default=0.0)

    kept = sorted(keep)
    stuck = set()
    while len(kept) < SERIES_MAX:
        open_ = [(miss(a, b), a, b) for a, b in zip(kept, kept[1:]) if (a, b) not in stuck]
        if not open_:
            break
        worst, a, b = max(open_)
        if worst < 1e-9:
            break
        tried = [(max(miss(a, c), miss(c, b)), c) for c in range(a + 1, b)]
        best, c = min(tried)
        if best >= worst - 1e-9:
            stuck.add((a, b))
            continue
        bisect.insort(kept, c)
    return [hourly[n] for n in kept], max(miss(a, b) for a, b in zip(kept, kept[1:]))
