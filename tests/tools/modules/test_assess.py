"""The assessment's relations against numbers worked by hand (assess.toml),
and the peak of a log that belongs to another run passed over."""

import os
import tempfile
import tomllib
import unittest

from pourheat import strength as mat
from pourheat.assess import peak_of, read_points
from pourheat.results import RunError

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


if __name__ == "__main__":
    unittest.main()
