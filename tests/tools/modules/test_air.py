"""The air series: hourly values cut to the points a boundary series holds,
keeping the start, the end and each day's lowest and highest hour, all taken
from the hourly values; the largest difference from them, read here as the
program reads a series (the two points around a time weigh 1/distance^2),
is the one stated; a run too long for them is refused only beyond the
length the message gives; an hourly file's unit from its header."""

import bisect
import json
import math
import os
import re
import tempfile
import tomllib
import unittest

from support import DATA, SOURCE, description
from pourheat.new.air import header_unit, read_air, reduce_series
from pourheat.new.describe import read_description
from pourheat.new.tables import DescriptionError, Table
from pourheat.project import SERIES_MAX


def reading(points, t):
    times = [q[0] for q in points]
    if t >= times[-1]:
        return points[-1][1]
    n = bisect.bisect_right(times, t)
    (t1, v1), (t2, v2) = points[n - 1], points[n]
    if t == t1:
        return v1
    w1, w2 = 1 / (t - t1) ** 2, 1 / (t2 - t) ** 2
    return (v1 * w1 + v2 * w2) / (w1 + w2)


class AirSeries(unittest.TestCase):
    def test_hourly_reduced(self):
        case = json.load(open(os.path.join(DATA, "expected.json")))["hourly"]
        d = description(os.path.join(DATA, "members", case["member"] + ".toml"))
        hourly, points = d["air"]["hourly"], d["air"]["points"]
        self.assertTrue(len(hourly) > SERIES_MAX >= len(points) and set(points) <= set(hourly))
        days = {}
        for t, v in hourly:
            days.setdefault(math.floor((d["start_hour"] + t) / 24), []).append((t, v))
        must = {hourly[0], hourly[-1]} | {f(day, key=lambda q: q[1]) for day in days.values() for f in (min, max)}
        self.assertLessEqual(must, set(points))
        largest = max(abs(v - reading(points, t)) for t, v in hourly)
        self.assertAlmostEqual(largest, d["air"]["largest"], delta=0.006)
        self.assertAlmostEqual(largest, case["largest"], delta=0.006)
        self.assertEqual(reduce_series(hourly[:SERIES_MAX], 9, "air.csv"), (hourly[:SERIES_MAX], 0.0))

    def test_units(self):
        # The header names the unit; none named, or two, is refused (bad/).
        self.assertEqual([header_unit(h, "a.csv") for h in ("hour,air_F", "t (h), T (°F)", "time_h;degC", None)],
                         ["F", "F", "C", "C"])
        with self.assertRaisesRegex(DescriptionError, "more than one unit"):
            header_unit("air_C,air_F", "a.csv")
        with tempfile.TemporaryDirectory() as base:
            with open(f"{base}/air.csv", "w") as f:
                f.write("hour,air_F\n0,50\n1,68\n")
            air = read_air(Table({"csv": "air.csv"}, "air", ("csv",)), {"hours": 1.0, "start_hour": 8.0}, base)
        self.assertEqual(air["hourly"], [(0.0, 10.0), (1.0, 20.0)])

    def test_longest_run(self):
        # A run refused for its daily extremes is longer than the message
        # says a run may last; one of that length is built.
        with open(os.path.join(SOURCE, "examples", "members", "footing.toml"), "rb") as f:
            data = tomllib.load(f)
        for start in (0, 8, 23.5):
            data["run"] = {"days": 24.5, "start_hour": start}
            with self.assertRaises(DescriptionError) as caught:
                read_description(data, SOURCE)
            longest = float(re.search(r"it may last (\S+) h", str(caught.exception))[1])
            self.assertLess(longest, 24.5 * 24)
            data["run"] = {"hours": longest, "start_hour": start}
            self.assertEqual(read_description(data, SOURCE)["hours"], longest)


if __name__ == "__main__":
    unittest.main()
