"""The air series: hourly values cut to the points a boundary series holds,
keeping the start, the end and each day's lowest and highest hour, all taken
from the hourly values; the largest difference from them, read here as the
program reads a series (the two points around a time weigh 1/distance^2),
is the one stated."""

import bisect
import json
import math
import os
import unittest

from support import DATA, description
from pourheat.new.air import reduce_series
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


if __name__ == "__main__":
    unittest.main()
