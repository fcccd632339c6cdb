#!/usr/bin/python3 -B
"""Run many pourheat projects at once, each in a directory of its own.

pourheat writes fixed file names (TMAX.OUT, Center.out, ...) into its working
directory, so every run gets its own directory under the output directory.
A project is a folder holding one project file (*.prj) and perhaps series.pr,
or a project file NAME.prj, which takes NAME.series.pr beside it and no
other: every run has its own monitor cells, never another project's. The
project file is copied into the run directory, and its series file as
series.pr. GNU parallel runs the jobs: on all cores of this machine by
default, or on other machines through its own ssh logins; the program itself
is sent to those (GNU parallel's --basefile), so they need no install.

Every run is started without a terminal (standard input from /dev/null, in a
session of its own), so a project that makes the program pause ends with
status 1 instead of waiting for an answer. A run that fails does not stop the
others. One line per run tells its end: "finished" when its flag file holds
Finished, "FAILED" otherwise, with the program's exit status; a finished run's
line adds its peak concrete temperature and largest difference (and, with
limits, the verdict of pourheat-report), a failed run's line the program's
last message. runs.csv in the output directory holds the same as a table.
"""

import argparse
import os
import sys

from pourheat.batch import PROG, BatchError, run_batch
from pourheat.limits import add_limit_options


def main(argv=None):
    ap = argparse.ArgumentParser(
        prog=PROG,
        description="Run many pourheat projects at once, each in a directory of its own "
                    "(OUT/<project name>), with GNU parallel. A project is a folder holding one "
                    "*.prj and perhaps series.pr, or a file NAME.prj, which takes "
                    "NAME.series.pr beside it. Prints one line per run and a summary; the exit "
                    "status is 0 when every run finished, 1 otherwise, 2 on a bad command line.",
        epilog="Other machines: -S host1,host2 or --sshloginfile FILE (GNU parallel's own "
               "options; ':' is this machine). The program is sent to them with the run "
               "directories and their results fetched back; they need ssh, rsync, perl and the "
               "same architecture, nothing else (--remote-program uses an installed one instead).")
    ap.add_argument("projects", nargs="+", metavar="PROJECT",
                    help="a project folder, or a project file NAME.prj")
    ap.add_argument("-o", "--out", default="runs", help="directory that receives the run directories (default: runs)")
    ap.add_argument("-j", "--jobs", default="100%",
                    help="runs at a time per machine (default: one per core)")
    ap.add_argument("--series", help="series.pr to use for every run (default: each project's own)")
    ap.add_argument("--no-series", action="store_true", help="run without series.pr")
    ap.add_argument("--program", help="the pourheat program (default: the one installed beside this "
                                      "tool, build/pourheat beside tools/, or pourheat on PATH)")
    ap.add_argument("--log", default="run.log", help="log file name (at most 8 characters; default run.log)")
    ap.add_argument("--flag", default="done.flg", help="flag file name (at most 12 characters; default done.flg)")
    ap.add_argument("--timeout", help="end a run after this many seconds (it then ends with exit 124)")
    ap.add_argument("--overwrite", action="store_true",
                    help="replace run directories left by an earlier batch")
    ap.add_argument("-S", "--sshlogin", action="append", default=[],
                    help="run on these machines (GNU parallel's -S; may be repeated)")
    ap.add_argument("--sshloginfile", "--slf", action="append", default=[],
                    help="file of machines to run on (GNU parallel's --sshloginfile)")
    ap.add_argument("--remote-program",
                    help="run this pourheat, installed on the other machines, instead of sending "
                         "the program to them")
    add_limit_options(ap)
    args = ap.parse_args(argv)
    try:
        return run_batch(args, os.path.dirname(os.path.abspath(__file__)))
    except BatchError as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
