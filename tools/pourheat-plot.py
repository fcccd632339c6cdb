#!/usr/bin/python3 -B
"""Draw the results of a finished pourheat run as pictures.

Reads the run directory (TMAX.OUT, Center.out, series.pr, the project file and
the final field it names) and writes:

  tmax.<fmt>        highest, average and lowest temperature of the grid, and
                    the centre cell, against time
  monitors.<fmt>    the history of each monitor cell of series.pr
  field-kNN.<fmt>   the final temperature field of one layer
  difference.<fmt>  (with --diff) the difference between two monitor cells

Temperatures are drawn in degrees Fahrenheit, as TMAX.OUT and Center.out hold
them, with degrees Celsius on a second axis; the final field is in degrees
Celsius, as the output file holds it. Pictures drawn into the run directory
are listed in its .pourheat-artefacts, which the next run there clears.

Exit status: 0 the pictures are drawn, 1 a file or an option they need is
wrong, 2 the directory holds no finished run of the inputs beside it (its
flag written before the project file or series.pr last changed, or a history
short of the project's end time), or matplotlib is missing.
"""

import argparse
import sys

from pourheat.pictures import NoMatplotlib, draw_run
from pourheat.project import ProjectError
from pourheat.results import NotFinished, RunError
from pourheat.units import parse_temperature, positive

PROG = "pourheat-plot"


def main(argv=None):
    ap = argparse.ArgumentParser(
        prog=PROG,
        description="Draw a finished pourheat run directory as pictures: the temperature of the "
                    "grid against time (tmax), the monitor cells (monitors), the final field of "
                    "one layer (field-kNN) and, with --diff, the difference between two monitor "
                    "cells (difference).",
        epilog="Limits carry their unit: 70C or 158F; a difference limit of 20C is 36F. "
               "Example: pourheat-plot run1 --max-limit 70C --diff 2,2,6 2,2,8 --diff-limit 20C")
    ap.add_argument("rundir", help="directory of a finished run")
    ap.add_argument("-o", "--out", help="directory for the pictures (default: the run directory)")
    ap.add_argument("--format", dest="fmt", choices=("png", "svg"), default="png",
                    help="picture format (default png)")
    ap.add_argument("--project", help="project file (default: the one *.prj file in the run directory)")
    ap.add_argument("--field", help="final-field file (default: output= of the project file)")
    ap.add_argument("--flag", help="flag file name (default: any small file holding Finished)")
    ap.add_argument("--layer", type=int, help="layer k of the field picture (default: the middle one)")
    ap.add_argument("--max-limit", type=parse_temperature, metavar="T",
                    help="draw a limit line for the highest temperature, with its unit (70C, 158F)")
    ap.add_argument("--diff", nargs=2, metavar=("A", "B"),
                    help="draw monitor cell A minus monitor cell B; each a position in "
                         "series.pr (1, 2, ...) or its i,j,k")
    ap.add_argument("--diff-limit", type=lambda s: parse_temperature(s, True), metavar="D",
                    help="draw a limit line for the difference, with its unit (20C, 36F)")
    ap.add_argument("--size", nargs=2, type=positive(float), default=(8.0, 5.0), metavar=("W", "H"),
                    help="picture size in inches (default 8 5)")
    ap.add_argument("--dpi", type=positive(int), default=100, help="pixels per inch of PNG pictures (default 100)")
    args = ap.parse_args(argv)

    try:
        written, notes = draw_run(**vars(args))
    except (NoMatplotlib, NotFinished) as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 2
    except (RunError, ProjectError, OSError, ValueError) as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 1
    for note in notes:
        print(f"{PROG}: {note}", file=sys.stderr)
    for path in written:
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
