#!/usr/bin/python3 -B
"""Check a finished pourheat run against the temperature limits of a thermal
control plan, print the verdict and write report.html.

Reads the run directory: concrete.csv (the concrete's highest, lowest and
mean temperature and their difference, per step), the flag file and the
project file, which must say that the run is finished and belongs to them
(the flag written no earlier than the project file and series.pr were last
changed, every history reaching the project's end time), and for the page
also series.pr, Center.out and the final field. The page, written into the
run directory, is listed in its .pourheat-artefacts, which the next run
there clears.

Limits carry their unit (70C, 160F); without options the peak temperature is
held to 160 F and the difference to 35 F. --diff-curve gives a difference
limit that changes with time. Between two steps, and between two points of a
curve, values are taken on the straight line joining them.

With points.csv in the run directory (named points) and member.json beside
it, lines follow the report's own: each core-to-surface pair and each pair
member.json names against the difference limits, the hottest minus coldest
cell for comparison, when protection may come off, strength by maturity and
the time each point reaches the stripping strength, the least cracking index
of each surface point (screening figures), and the verdict on the points.

Exit status: 0 every limit holds, 1 a limit is exceeded, 2 the run cannot be
read (unfinished, not of the inputs beside it, no concrete.csv, a bad option
or limit file).
"""

import argparse
import sys

from pourheat.limits import LimitError, add_limit_options
from pourheat.pdf import PdfError
from pourheat.pictures import NoMatplotlib
from pourheat.report import PROG, report
from pourheat.results import RunError
from pourheat.units import positive


def options(argv):
    ap = argparse.ArgumentParser(
        prog=PROG,
        description="Check a finished pourheat run against temperature limits, print the verdict "
                    "(one line per limit) and write report.html, one self-contained page.",
        epilog="Limits carry their unit: --max-temp 70C, --max-diff 35F. Without them the peak "
               "is held to 160 F and the difference to 35 F. Exit status: 0 every limit holds, "
               "1 a limit is exceeded, 2 the run cannot be read.")
    add_limit_options(ap)
    ap.add_argument("rundir", help="directory of a finished run")
    ap.add_argument("-o", "--out", help="the page (default: RUN_DIR/report.html)")
    ap.add_argument("--project", help="project file (default: the one *.prj file in the run directory)")
    ap.add_argument("--flag", help="flag file name (default: any small file holding Finished)")
    ap.add_argument("--member", help="member description of pourheat-new (default: RUN_DIR/member.json, if any)")
    ap.add_argument("--strip-strength", metavar="MPA", type=positive(float),
                    help="stripping strength, MPa: when each named point reaches it (default: member.json's)")
    ap.add_argument("--restraint", metavar="K", type=positive(float), default=0.5,
                    help="restraint factor of the cracking index (default 0.5)")
    ap.add_argument("--units", choices=("SI", "US"), default="SI", type=str.upper,
                    help="units of the page and its pictures (default SI); the lines printed keep theirs")
    ap.add_argument("--pdf", action="store_true",
                    help="also print the page to report.pdf beside it, through headless Chromium")
    ap.add_argument("--paper", choices=("A4", "Letter"), type=lambda s: "A4" if s.lower() == "a4" else s.capitalize(),
                    help="paper of the PDF (default A4 with --units SI, Letter with US)")
    return ap.parse_args(argv)


def main(argv=None):
    args = options(argv)
    try:
        return report(**vars(args))
    except (LimitError, RunError, NoMatplotlib, PdfError, argparse.ArgumentTypeError) as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 2
    except OSError as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
