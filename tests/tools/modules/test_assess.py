"""The assessment's relations against numbers worked by hand (assess.toml),
and the peak of a log that belongs to another run passed over."""

import os
import re
import tempfile
import tomllib
import unittest

from pourheat import strength as mat
from pourheat.assess import air_series, peak_of, read_points
from pourheat.results import RunError
from pourheat.study import StudyError, combinations, parse_vary, summary_lines

with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "assess.toml"), "rb") as f:
    CASES = tomllib.load(f)


def hand(v):
    return None if v in ("never", "none") else v


class Relations(unittest.TestCase):
    def test_numbers(self):
        for c, hours, e, tr, te in CASES["equivalent_age"]:
            self.assertAlmostEqual(mat.equivalent_age([0.0, hours], [c, c], e, tr)[-1], te, 5, (c, hours))
        for te, su, tau, beta, s in CASES["strength"]:
            self.assertAlmostEqual(mat.strength(te, su, tau, beta), s, 5)
        for s, su, tau, beta, te in CASES["age_reaching"]:
            got = mat.age_reaching(s, su, tau, beta)
            self.assertEqual(got if te == "never" else round(got, 6), hand(te))
        for fc, dt, expected in CASES["cracking"]:
            got = [None if i is None else round(i, 6) for i in mat.cracking_indices(fc, dt)]
            self.assertEqual(got, [hand(v) for v in expected])

    def test_files(self):
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "points.csv")
            for text, message in CASES["points"]:
                with open(path, "w") as f:
                    f.write(text)
                with self.assertRaises(RunError) as caught:
                    read_points(path)
                self.assertEqual(str(caught.exception), path + message)
            # A log of another run: its peak is no row here.
            with open(os.path.join(work, "old.log"), "w") as f:
                f.write(" Summary of the concrete (8 cells):\n peak 45.000 C (113.0 F) at 20.000 h in cell (3,3,3)\n")
            rows = [{"time_h": t, "max_C": v, "max_i": 2, "max_j": 2, "max_k": 2} for t, v in ((10.0, 44.0), (20.0, 44.0))]
            self.assertEqual(peak_of(work, rows), {"value_c": 44.0, "time_h": 10.0, "cell": (2, 2, 2),
                                                   "source": "concrete.csv"})
            # The air of a weather file beside the project, in F: 68 F is 20 C, 86 F 30 C.
            with open(os.path.join(work, "site.csv"), "w") as f:
                f.write("hour,air_F,wind_mph\n0,68,3\n10,86,4\n")
            self.assertEqual(air_series({"air": {"kind": "weather", "file": "../x/site.csv"}}, None, work),
                             ([(0.0, 20.0), (10.0, 30.0)], "the weather file site.csv"))


class Study(unittest.TestCase):
    def test_names(self):
        for option, key, values, name in CASES["vary"]:
            if not key:
                self.assertRaisesRegex(StudyError, f"^{re.escape(name)}$", parse_vary, option)
                continue
            given, k, v = parse_vary(option)
            self.assertEqual((k, v, combinations([(given, k, v)])[0][0]), (key, values, name))

    def test_earliest_removal(self):
        # Placing 10C passes from 5d on, 20C never.
        varies = [parse_vary("placing=10C,20C"), parse_vary("event.remove_at=3d,5d,7d")]
        verdicts = ["FAIL", "PASS", "PASS", "FAIL", "FAIL", "FAIL"]
        rows = [{"name": n, "placing": s[0][2], "event.remove_at": s[1][2], "verdict": v}
                for (n, s), v in zip(combinations(varies), verdicts)]
        self.assertEqual(summary_lines(varies, rows), [
            "passing: placing-10C_event.remove_at-5d; placing-10C_event.remove_at-7d",
            "earliest removal that passes with placing=10C: event.remove_at=5d",
            "earliest removal that passes with placing=20C: none of those given"])


if __name__ == "__main__":
    unittest.main()
