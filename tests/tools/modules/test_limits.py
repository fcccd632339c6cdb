"""Limit curves: the limit between and beyond its points, a curve's corner
between two steps, and the curve files read or refused (cases.toml)."""

import os
import tempfile
import unittest

from support import cases
from pourheat.limits import Limit, LimitError, check, read_curve


class Limits(unittest.TestCase):
    def test_curve(self):
        curve = Limit("difference", "curve", [(0.0, 15.0), (20.0, 35.0)])
        self.assertEqual([curve.at(t) for t in (-5, 0, 10, 20, 40)], [15.0, 15.0, 25.0, 35.0, 35.0])
        # A value of 10 C held from 0 h to 30 h; the limit dips from 20 C to
        # 5 C at 10 h and is back at 20 C at 20 h: 10 C is above it from
        # 6.67 h to 13.33 h, the worst at the corner.
        dip = Limit("difference", "dip", [(0.0, 20.0), (10.0, 5.0), (20.0, 20.0)])
        result = check([0.0, 30.0], [10.0, 10.0], dip)
        self.assertEqual(result["worst"], (10.0, 10.0, 5.0))
        self.assertEqual([[round(t, 3) for t in s] for s in result["spells"]], [[6.667, 13.333]])

    def test_files(self):
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "curve.csv")
            for text, expected in cases("curve"):
                with open(path, "w") as f:
                    f.write(text)
                if isinstance(expected, list):
                    self.assertEqual(read_curve(path).points, [tuple(p) for p in expected])
                    continue
                with self.assertRaises(LimitError) as caught:
                    read_curve(path)
                self.assertEqual(str(caught.exception), f"--diff-curve {path}{expected}")
            with open(path, "wb") as f:
                f.write(b"0, 20C\n\xff\n")
            self.assertRaisesRegex(LimitError, "not UTF-8 text", read_curve, path)


if __name__ == "__main__":
    unittest.main()
