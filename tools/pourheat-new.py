#!/usr/bin/python3 -B
"""Write a pourheat project from a short description of a member.

    pourheat-new MEMBER.toml -o DIR

reads the member description (TOML: a template, the dimensions, the concrete,
the soil, the air, optional covers, the duration) and writes into DIR:

  NAME.prj   the project file (NAME is the description's file name)
  series.pr  the monitor cells
  model.md   what was built: grid, dimensions and their errors, layers,
             materials, surfaces, heat of hydration, air series, monitors,
             events, named points
  member.json  the member as described, for the report (docs/tools.md)
  the weather file, copied, when the description names one

--set KEY=VALUE (repeatable) sets a key of the description before it is
read: `--set concrete.placing="10 C"`, `--set 'event[0].at=3 d'`; the value
is a TOML value or, when it is not one, a text.

The grid follows from the program's rules: a mirror face copies the plane two
cells inside, so the symmetry plane runs through the centres of the cells
next to it and a mirrored half-width is (n - 0.5) cells; only the faces of
the grid and the columns outside the plan outline hold the temperatures of
soil and air; a material without a boundary block starts at 0 C.

The project ends with a [Physics] block (the sound mode): heat balanced at
every face, surface films on the held air, each cell's heat of hydration by
its own equivalent age. With [physics] mode = "legacy" the tool writes the
project of the program's earlier physics, where each cell uses its own
conductivity on all its faces and surfaces need cells of their own.

A description that cannot be built ends the tool with one line naming the
key and exit status 2; nothing is written then.
"""

import argparse
import os
import re
import sys
import tomllib

from pourheat.new.describe import read_description
from pourheat.new.member import member_json
from pourheat.new.model import build
from pourheat.new.modelmd import model_text
from pourheat.new.tables import DescriptionError, override
from pourheat.new.write import project, series_text
from pourheat.project import project_text
from pourheat.results import earlier_results, set_aside

PROG = "pourheat-new"


def main(argv=None):
    ap = argparse.ArgumentParser(
        prog=PROG,
        description="Write a pourheat project (NAME.prj, series.pr, model.md) from a member "
                    "description (TOML). Exit status 2 when the description cannot be built.")
    ap.add_argument("member", help="member description, NAME.toml")
    ap.add_argument("-o", "--out", required=True, help="folder to write into (made when missing)")
    ap.add_argument("--force", action="store_true",
                    help="replace files in the folder that differ (the files of a run there are moved aside "
                         "into earlier-run)")
    ap.add_argument("--set", action="append", default=[], metavar="KEY=VALUE",
                    help="set a key of the description by its dotted path before it is read, as "
                         "concrete.placing=\"10 C\" or 'event[0].at=3 d' (repeatable)")
    args = ap.parse_args(argv)
    name = re.sub(r"[^A-Za-z0-9_-]", "_", os.path.splitext(os.path.basename(args.member))[0]) or "member"

    def fail(message):
        print(f"{PROG}: error: {message}", file=sys.stderr)
        return 2

    try:
        with open(args.member, "rb") as f:
            raw = f.read()
        data = tomllib.loads(raw.decode("utf-8"))
    except OSError as e:
        return fail(f"cannot read {args.member}: {e.strerror}")
    except UnicodeDecodeError as e:
        line = raw[:e.start].count(b"\n") + 1
        return fail(f"{args.member}: line {line}: not UTF-8 text (byte {raw[e.start]:#04x})")
    except tomllib.TOMLDecodeError as e:
        return fail(f"{args.member}: not TOML: {e}")
    try:
        for setting in args.set:
            key, eq, value = setting.partition("=")
            if not eq:
                raise DescriptionError(setting, "--set takes KEY=VALUE")
            override(data, key.strip(), value.strip())
        desc = read_description(data, os.path.dirname(os.path.abspath(args.member)))
        model = build(desc)
    except DescriptionError as e:
        return fail(f"{args.member}: {e}")
    if desc["mode"] == "legacy" and desc["hydration"]["mode"] == "exponential":
        print(f"{PROG}: warning: with the exponential curve the program speeds the heat up in hot "
              "concrete, which the program can only cap at the binder's total heat: see model.md", file=sys.stderr)
    if model["first"][1] > 0.02:
        print(f"{PROG}: warning: the program's first step releases {100 * model['first'][1]:.0f} % of "
              "the heat before the placing; smaller cells shorten it (model.md)", file=sys.stderr)
    files = {f"{name}.prj": project_text(project(desc, model, name, os.path.basename(args.member))),
             "series.pr": series_text(model),
             "model.md": model_text(desc, model, name, os.path.basename(args.member)),
             "member.json": member_json(desc, model)}
    if desc["air"]["form"] == "weather":
        files[desc["air"]["weather"]["copy"]] = desc["air"]["weather"]["text"]
    files = {f: text.encode("ascii", "replace") if f.endswith((".prj", ".pr")) else text.encode("utf-8")
             for f, text in files.items()}
    changed = [f for f, text in files.items() if read_bytes(os.path.join(args.out, f)) != text]
    for f in changed:
        if os.path.exists(os.path.join(args.out, f)) and not args.force:
            return fail(f"{os.path.join(args.out, f)} exists and differs; use --force to replace it")
    try:
        os.makedirs(args.out, exist_ok=True)
        # Results of an earlier run do not stay beside inputs they no longer belong to.
        earlier = earlier_results(args.out) if set(changed) - {"model.md", "member.json"} else []
        if earlier:
            aside = set_aside(args.out, earlier)
            print(f"{PROG}: moved the files of an earlier run ({', '.join(earlier)}) to {aside}")
        for f in changed:  # a file that is the same keeps its time: a run after it stays its run
            with open(os.path.join(args.out, f), "wb") as out:
                out.write(files[f])
    except OSError as e:
        return fail(f"cannot write into {args.out}: {e.strerror}")
    print(f"{PROG}: wrote {', '.join(files)} into {args.out}")
    return 0


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


if __name__ == "__main__":
    sys.exit(main())
