"""The readers of a run's files, on hand-made files: fixed fields with
asterisks for a value too wide, a record over two lines, the final field in
every form of G11.4, series.pr, concrete.csv and the flag file; whether a
run is finished and belongs to its inputs; the manifest of the tools' files;
what an earlier run left."""

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


    def test_point_steps(self):
        # core peaks at 30.500 first at 2 h (a tie at 3 h); core less the
        # colder of a and b is largest, 31.500, at 3 h.
        path = self.file("points.csv", "time_h,a,core,b\n1.000,-0.000,30.400,1.5\n2.000,10.000,30.500,20.000\n"
                                       "3.000,-1.000,30.500,2.000\n4.000,-1.000,30.499,2.000\n")
        names, rows = results.read_points(path)
        self.assertEqual(rows[0], [1000, 0, 30400, 1500])
        peak, diff = results.point_steps(names, rows, "core")
        self.assertEqual((peak[0], diff[0]), (2000, 3000))
        peak, diff = results.point_steps(["core"], [r[:1] + r[2:3] for r in rows], "core")
        self.assertEqual((peak[0], diff), (2000, None))
        # The program's own choice: the times of sections.csv of a golden run.
        d = os.path.join(os.path.dirname(__file__), "../../golden/sound-points/expected")
        peak, diff = results.point_steps(*results.read_points(f"{d}/points.csv"), "interface")
        with open(f"{d}/sections.csv") as f:
            kinds = {l.split(",")[0]: l.split(",")[1] for l in f.read().splitlines()[1:]}
        self.assertEqual(kinds, {"peak": "3.333", "difference": "3.333"})
        self.assertEqual((peak[0], diff[0]), (3333, 3333))

    def test_finished_run(self):
        # A whole run of 30 h, then one fault at a time: (change, the reason given).
        d = self.dir.name
        cases = [(lambda: None, None),
                 (lambda: self.file("concrete.csv", "".join(CONCRETE[:3])), "concrete.csv ends at 10 h, short of the end"),
                 (lambda: self.file("TMAX.OUT", "   29.9   68.0\n"), "TMAX.OUT ends at 29.9 h, short of the end"),
                 (lambda: self.file("TMAX.OUT", "  ******  68.0\n"), None),  # beyond 9999.9 h
                 (lambda: self.file("Center.out", ""), "Center.out holds no step"),
                 (lambda: self.file("run.prj", "[times]\n1 0 30 3 0.001 40\n"), "run.prj was changed after the run"),
                 (lambda: self.file("series.pr", "0\n"), "series.pr was changed after the run"),
                 (lambda: os.remove(f"{d}/run.prj"), "holds no project file"),
                 (lambda: self.file("done.flg", " Stopped\n"), "holds no finished run")]
        for change, reason in cases:
            for name in os.listdir(d):
                os.remove(f"{d}/{name}")
            self.file("run.prj", "[times]\n1 0 30.04 3 0.001 40\n")
            self.file("series.pr", "1\n2 2 2\n")
            self.file("TMAX.OUT", "   29.8   68.0\n   30.0   68.0\n")  # 30.04 h in one decimal
            self.file("Center.out", "   30.0   68.0\n")
            self.file("concrete.csv", "".join(CONCRETE))
            self.file("done.flg", " Finished\n")
            for name in ("run.prj", "series.pr", "done.flg"):
                os.utime(f"{d}/{name}", ns=(10**18, 10**18))  # a flag as old as its inputs will do
            change()
            if reason is None:
                self.assertEqual(results.finished_run(d), (f"{d}/done.flg", f"{d}/run.prj"))
                continue
            with self.assertRaises(results.NotFinished, msg=reason) as caught:
                results.finished_run(d)
            self.assertIn(reason, str(caught.exception))

    def test_manifest_and_earlier_results(self):
        d = self.dir.name
        for name in ("report.html", "tmax.png", "report.html"):
            results.record_artefact(d, f"{d}/{name}")
        results.record_artefact(d, os.path.join(d, "sub", "..", "..", "elsewhere.png"))
        self.assertEqual(self.read(results.ARTEFACTS), "report.html\ntmax.png\n")
        self.file("a.prj", "[Files]\noutput=a.out\n")
        for name, text in (("a.out", ""), ("TMAX.OUT", ""), ("heat.csv", ""), ("done.flg", " Finished\n"), ("run.log", " 1= series points\n 2 2 2\n   Infile=a.prj\n"),
                           ("report.html", ""), ("notes.txt", "Infile= in a note\n"), ("series.pr", "")):
            self.file(name, text)
        left = results.earlier_results(d)
        self.assertEqual(left, [results.ARTEFACTS, "TMAX.OUT", "a.out", "done.flg", "heat.csv", "report.html", "run.log"])
        aside = results.set_aside(d, left)
        self.assertEqual((aside, sorted(os.listdir(aside)), sorted(os.listdir(d))),
                         (f"{d}/earlier-run", left, ["a.prj", "earlier-run", "notes.txt", "series.pr"]))
        self.assertEqual(results.set_aside(d, []), f"{d}/earlier-run-2")

    def read(self, name):
        with open(os.path.join(self.dir.name, name)) as f:
            return f.read()


CONCRETE = [",".join(results.COLUMNS) + "\n"] + [f"{t},40.0,2,2,3,10.0,1,1,1,30.0,25.0\n" for t in (0, 10, 30)]


if __name__ == "__main__":
    unittest.main()
