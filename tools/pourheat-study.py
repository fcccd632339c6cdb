#!/usr/bin/python3 -B
"""A parameter study of a member in one command.

    pourheat-study MEMBER.toml --vary KEY=V1,V2,... [--vary ...] [-o DIR] [batch options]

writes one project per combination of the varied values with pourheat-new
--set (DIR/projects/<combination>), runs them all with pourheat-batch
(DIR/runs; on this machine or over ssh, the batch options passed through),
assesses each run as pourheat-report does, and writes DIR/study.csv and
DIR/study.png: per combination the peak, the largest core-to-surface
difference, the verdict and when protection may come off; then names the
combinations that pass. KEY is a key of the member description, as
pourheat-new --set takes it (concrete.placing, event[0].at); placing and
event.remove_at are short for those two.

Exit status: 0 when every run finished, 1 when one failed, 2 on a bad
command line or a combination pourheat-new cannot build.
"""

import argparse
import os
import sys

from pourheat.limits import LimitError, add_limit_options
from pourheat.pictures import NoMatplotlib
from pourheat.study import PROG, StudyError, run_study
from pourheat.units import positive

# pourheat-batch's options that the study passes on: its names, and
# whether it takes a value. The limits are the study's own as well.
BATCH = [(("-j", "--jobs"), True), (("-S", "--sshlogin"), True), (("--sshloginfile", "--slf"), True),
         (("--program",), True), (("--remote-program",), True), (("--timeout",), True),
         (("--log",), True), (("--flag",), True), (("--overwrite",), False)]
LIMITS = ("--max-temp", "--max-diff", "--diff-curve")


def main(argv=None):
    ap = argparse.ArgumentParser(
        prog=PROG,
        description="Write, run and assess one project per combination of the varied keys of a member "
                    "description; writes study.csv and study.png. Exit status 0 when every run finished.",
        epilog="Example: pourheat-study footing.toml --vary placing=10C,20C,30C "
               "--vary event.remove_at=3d,5d,7d -o study")
    ap.add_argument("member", help="member description, NAME.toml")
    ap.add_argument("--vary", action="append", required=True, metavar="KEY=V1,V2,...",
                    help="a key of the description and its values (repeatable)")
    ap.add_argument("-o", "--out", default="study", help="folder of the study (default: study)")
    ap.add_argument("--strip-strength", metavar="MPA", type=positive(float),
                    help="stripping strength, MPa (default: member.json's)")
    ap.add_argument("--restraint", metavar="K", type=positive(float), default=0.5,
                    help="restraint factor of the cracking index (default 0.5)")
    add_limit_options(ap)
    passing = [(ap.add_argument(*names, action="append" if value else "store_true", help="as for pourheat-batch"),
                next(n for n in names if n.startswith("--"))) for names, value in BATCH]
    args = ap.parse_args(argv)
    passed = []
    for action, name in passing:
        got = getattr(args, action.dest)
        passed += [o for v in got or [] for o in (name, v)] if isinstance(got, list) else [name] if got else []
    for name in LIMITS:
        if getattr(args, name[2:].replace("-", "_")):
            passed += [name, os.path.abspath(args.diff_curve) if name == "--diff-curve" else
                       getattr(args, name[2:].replace("-", "_"))]
    try:
        return run_study(args, os.path.dirname(os.path.abspath(__file__)), passed)
    except (StudyError, LimitError, NoMatplotlib) as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
