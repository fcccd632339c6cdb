"""The batch's run directories: the program it runs by default from a
source tree (the build beside tools/ as the path to it leads: the README's
tour works in a scratch tree whose tools/ is a link to the source and whose
build/ a build kept outside it, else the build beside the folder that the
link leads to); the names of the runs (cases.toml), several projects of one
name; runs.csv as a spreadsheet reads it; and --overwrite, which replaces
only what the batch made, after checking every directory."""

import argparse
import os
import tempfile
import unittest

from support import cases
from pourheat.batch import MARKER, BatchError, default_program, name_problem, run_batch, run_dir_names, write_table


def make(path, text="x"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


class Batch(unittest.TestCase):
    def test_build_beside_tools(self):
        with tempfile.TemporaryDirectory() as top:
            os.makedirs(f"{top}/source/tools")
            os.makedirs(f"{top}/scratch")
            os.symlink(f"{top}/source/tools", f"{top}/scratch/tools")
            for build in (f"{top}/source/build", f"{top}/scratch/build"):
                make(f"{build}/pourheat", "#!/bin/sh\n")
                os.chmod(f"{build}/pourheat", 0o755)
                self.assertEqual(default_program(f"{top}/scratch/tools"), f"{build}/pourheat")

    def test_names(self):
        for name, remote, expected in cases("run_name"):
            self.assertTrue((name_problem(name, remote) or "").startswith(expected), (name, remote))
        for bases, names in cases("run_dirs"):
            self.assertEqual(run_dir_names(bases), names)

    def test_table(self):
        with tempfile.TemporaryDirectory() as out:
            names = ["=1+2", 'say "hi"', "a,b", "@x", "+x", "-x", "plain"]
            write_table(f"{out}/runs.csv", names, [], dict.fromkeys(names, "1"), None)
            with open(f"{out}/runs.csv") as f:
                self.assertEqual(f.read().splitlines()[1:], [
                    "'=1+2,FAILED,1,,,,,", '"say ""hi""",FAILED,1,,,,,', '"a,b",FAILED,1,,,,,',
                    "'@x,FAILED,1,,,,,", "'+x,FAILED,1,,,,,", "'-x,FAILED,1,,,,,", "plain,FAILED,1,,,,,"])

    def test_overwrite(self):
        with tempfile.TemporaryDirectory() as top:
            for p in "abc":
                make(f"{top}/p/{p}/{p}.prj")
            make(f"{top}/runs/a/{MARKER}")        # an earlier batch's
            make(f"{top}/runs/b/keep.txt")        # someone else's
            make(f"{top}/elsewhere/{MARKER}")
            os.symlink(f"{top}/elsewhere", f"{top}/runs/c")
            before = sorted(os.walk(top))
            for second in "bc":
                args = argparse.Namespace(
                    log="run.log", flag="done.flg", sshlogin=[], sshloginfile=[], program="/bin/true",
                    remote_program=None, projects=[f"{top}/p/a", f"{top}/p/{second}"], series=None,
                    no_series=False, max_temp=None, max_diff=None, diff_curve=None, out=f"{top}/runs",
                    overwrite=True, jobs="1", timeout=None)
                with self.assertRaises(BatchError) as caught:
                    run_batch(args, top)
                self.assertEqual(str(caught.exception), f"{top}/runs/{second} was not made by pourheat-batch; "
                                 "it is left alone")
                self.assertEqual(sorted(os.walk(top)), before)


if __name__ == "__main__":
    unittest.main()
