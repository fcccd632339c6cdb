"""One peak, one time: the bundled footing with steps of 0.01 h holds its
peak (72.4 C near 27.6 h) over many steps as concrete.csv writes it; the
terminal names the last step still rising, later than the first row
holding the value, and the report and the batch's table say the same. Then a 3 x 3 study of a
small footing in one command, its table agreeing with pourheat-report on
each run and with each run's own summary.

usage: test_study.py PROGRAM WORKDIR   (status 77: skipped, the study needs
pourheat-new --set and a program that writes points.csv)
"""

import csv
import glob
import os
import re
import subprocess
import sys

from toolkit import PYTHON, SOURCE, check, fresh_dir, read, run_main, run_program, stage, write
from pourheat.units import hours

TOOLS = os.path.join(SOURCE, "tools")
MEMBER = os.path.join(SOURCE, "tests", "tools", "data", "study", "tiny.toml")
PEAK = re.compile(r"^ peak ([0-9.]+) C .* at ([0-9.]+) h", re.M)


def tool(name, *args, cwd=None):
    return subprocess.run([PYTHON, os.path.join(TOOLS, name), *args], cwd=cwd, capture_output=True, text=True)


def flat_peak(program, work):
    d = os.path.join(work, "flat")
    project = stage(os.path.join(SOURCE, "examples", "footing", "footing.prj"), d)
    text = read(project).replace(" 0.0 168.0 6.0", " 0.0 30.0 6.0")
    write(project, text + "\n[Physics]\nconduction=balanced\nhydration=maturity\nmaxstep=0.01\n[End Physics]\n")
    r = run_program(program, project, d)
    check(r.returncode == 0 and PEAK.search(r.stdout), f"the flat footing did not run:\n{r.stdout}{r.stderr}")
    value, time = PEAK.search(r.stdout).groups()
    rows = list(csv.DictReader(open(os.path.join(d, "concrete.csv"))))
    first = next(row["time_h"] for row in rows if row["max_C"] == value)
    check(float(first) < float(time), f"no flat peak: {value} C first at {first} h, the terminal says {time} h")
    r = tool("pourheat-report", d)
    c, h = float(value), hours(float(time))
    line = f"peak concrete temperature {c:.1f} C ({c * 1.8 + 32:.1f} F) reached at {h} h in cell (8,8,8)"
    check(line in r.stdout.splitlines() and f"highest {c:.1f} C ({c * 1.8 + 32:.1f} F) at {h} h;" in r.stdout,
          r.stdout)
    out = os.path.join(work, "flat-batch")
    r = tool("pourheat-batch", "--program", program, "-o", out, "--series", os.path.join(d, "series.pr"), project)
    row = next(csv.DictReader(open(os.path.join(out, "runs.csv"))))
    check((row["peak_C"], row["peak_h"]) == (value, time) and f"at {h} h," in r.stdout, r.stdout)


def study(program, work):
    if "--set" not in tool("pourheat-new", "--help").stdout:
        return False
    out = os.path.join(work, "study")
    r = tool("pourheat-study", MEMBER, "--vary", "placing=10C,20C,30C", "--vary",
             "concrete.content=300 kg/m3,350 kg/m3,400 kg/m3", "-o", out, "--program", program,
             "--max-diff", "15C", "-j", "2")
    runs = os.path.join(out, "runs")
    if r.returncode == 0 and not glob.glob(os.path.join(glob.escape(runs), "*", "points.csv")):
        return False
    check(r.returncode == 0, f"study: status {r.returncode}\n{r.stdout}{r.stderr}")
    rows = list(csv.DictReader(open(os.path.join(out, "study.csv"))))
    check([(x["placing"], x["concrete.content"]) for x in rows] ==
          [(p, f"{c} kg/m3") for p in ("10C", "20C", "30C") for c in (300, 350, 400)], "the combinations")
    for row in rows:
        d = os.path.join(runs, row["name"])
        value, time = PEAK.search(read(os.path.join(d, "console.txt"))).groups()
        check((row["peak_C"], row["peak_h"]) == (value, time), f"{row['name']}: the program said {value} at {time}")
        lines = tool("pourheat-report", d, "--max-diff", "15C", "-o", os.path.join(work, "page.html")).stdout
        pair = next(l for l in lines.splitlines() if re.match(rf"(PASS|FAIL)  {re.escape(row['pair'])}:", l))
        worst = float(row["core_surface_K"])
        check(f"largest {worst:.1f} C ({worst * 1.8:.1f} F) at {hours(float(row['core_surface_h']))} h;" in pair,
              f"{row['name']}: {pair}")
        off = row["protection_off_h"]
        check((f"protection may come off at {hours(float(off))} h:" if off else "still above") in lines, lines)
        check(f"verdict on the named points: {row['verdict']}" in lines, lines)
        check(f"peak concrete temperature {float(value):.1f} C" in lines, lines)
    passing = "; ".join(x["name"] for x in rows if x["verdict"] == "PASS") or "none"
    check(f"passing: {passing}\n" in r.stdout, r.stdout)
    check(read(os.path.join(out, "study.png"), "latin-1")[:4] == "\x89PNG", "study.png")
    return True


def main(program, work):
    fresh_dir(work)
    flat_peak(program, work)
    if not study(program, work):
        print("skipped: the study needs pourheat-new --set and a program that writes points.csv")
        sys.exit(77)


if __name__ == "__main__":
    run_main(main)
