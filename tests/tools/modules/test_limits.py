"""Limit curves: the limit between and beyond its points, a curve's corner
between two steps, and the curve files read or refused line by line."""

import os
import tempfile
import unittest

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
            for text, expected in (
                    ("time_h,limit\n# from the plan\n0h; 36F\n24\t20 C # a remark\n", [(0.0, 20.0), (24.0, 20.0)]),
                    ("time_h,limit\n0, 20C\nx, 25C\n", f"{path}, line 3: 'x, 25C' is not a time (h) and a limit"),
                    ("0, 20C\n0, 25C\n", f"{path}, line 2: the times must increase"),
                    ("0, 20\n", f"{path}, line 1: '20' has no unit: write 20C or 20F"),
                    ("time_h,limit\n", f"{path} holds no limit")):
                with open(path, "w") as f:
                    f.write(text)
                if isinstance(expected, list):
                    self.assertEqual(read_curve(path).points, expected)
                    continue
                with self.assertRaises(LimitError) as caught:
                    read_curve(path)
                self.assertEqual(str(caught.exception), "--diff-curve " + expected)


if __name__ == "__main__":
    unittest.main()
