"""The readers of a run's files, on hand-made files: fixed fields with
asterisks for a value too wide, a record over two lines, the final field in
every form of G11.4, series.pr, concrete.csv and the flag file."""

import os
import tempfile
import unittest

from pourheat import results


class Readers(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def file(self, name, text):
        path = os.path.join(self.dir.name, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def test_histories(self):
        rows = results.read_history(self.file("TMAX.OUT", "  9999.9 ******  -40.0 1234.5   32.0   68.0\n\n   1.5   68.0\n"))
        self.assertEqual(rows, [[9999.9, None, -40.0, 1234.5, 32.0, 68.0], [1.5, 68.0]])
        # 101 monitor cells: 100 fields on the first line, 2 on the next.
        first = " " + "".join(f"{v:7.1f}" for v in [3.0] + [50.0] * 99) + "\n"
        rows = results.read_steps(self.file("Center.out", first + "   51.0   52.0\n" + first + "   53.0   54.0\n"), 102)
        self.assertEqual([(r[0], r[100:]) for r in rows], [(3.0, [51.0, 52.0]), (3.0, [53.0, 54.0])])

    def test_field(self):
        line = " " + "   12.00   " + " 0.5000E-01" + "  -12.34   " + "*" * 11
        layers = results.read_field(self.file("f.out", line + "\n " + "  1234.    " * 4 + "\n\n "
                                              + " 0.1235E+05" * 4 + "\n " + "   0.000   " * 4 + "\n\n"))
        self.assertEqual([layers[0][0][:3], layers[0][1], layers[1][0], layers[1][1]],
                         [[12.0, 0.05, -12.34], [1234.0] * 4, [12350.0] * 4, [0.0] * 4])
        self.assertNotEqual(layers[0][0][3], layers[0][0][3])  # the asterisks: not a number

    def test_series_and_flag(self):
        # The rest of the count's line is ignored; repeats and commas.
        self.assertEqual(results.read_series_points(self.file("series.pr", "2 9 9 9\n 3*4,\n5 6 7\n")),
                         [(4, 4, 4), (5, 6, 7)])
        self.file("done.flg", " Finished\n")
        self.file("other.flg", " Finished, not\n")
        self.assertEqual([results.find_flag(self.dir.name, None), results.find_flag(self.dir.name, "other.flg")],
                         ["done.flg", None])

    def test_concrete(self):
        head = ",".join(results.COLUMNS) + "\n"
        path = self.file("concrete.csv", head + "1.5,40.0,2,2,3,10.0,1,1,1,30.0,25.0\n")
        self.assertEqual(results.read_concrete(path), [dict(zip(results.COLUMNS, (1.5, 40.0, 2, 2, 3, 10.0, 1, 1, 1,
                                                                                  30.0, 25.0)))])
        for text, error in (("time,max\n", f"{path} does not start with the header of concrete.csv"),
                            (head + "1.5,40.0\n", f"{path}, line 2: not a row of 11 numbers")):
            self.file("concrete.csv", text)
            with self.assertRaises(results.RunError) as caught:
                results.read_concrete(path)
            self.assertEqual(str(caught.exception), error)


if __name__ == "__main__":
    unittest.main()
