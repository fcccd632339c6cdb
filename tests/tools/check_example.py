"""Runs one bundled or documented example project and checks that it finishes
and that its result files agree with each other: the shape of every file,
the time column against [times], and the last line of TMAX.OUT and Center.out
against the final field (converted to degrees Fahrenheit here).

usage: check_example.py PROGRAM PROJECT WORKDIR [--end-hours H]
                        [--peak-f LO HI] [--peak-h LO HI]
"""

import argparse
import os
import re

from toolkit import check, read, run_main, run_program, stage, write

from pourheat.project import read_grid
from pourheat.results import read_field, read_history, read_series_points

# The six values on the first line after [times]: alpha, start, end, ...
TIMES = re.compile(r"\[times\][^\n]*\n\s*([^\s,]+)[ \t,]+([^\s,]+)[ \t,]+([^\s,]+)(?:[ \t,]+[^\s,]+){3}")


def main(*argv):
    ap = argparse.ArgumentParser()
    for name in ("program", "project", "workdir"):
        ap.add_argument(name)
    ap.add_argument("--end-hours", type=float)
    ap.add_argument("--peak-f", nargs=2, type=float)
    ap.add_argument("--peak-h", nargs=2, type=float)
    a = ap.parse_args(argv)

    project = stage(a.project, a.workdir)
    text = read(project, "latin-1")
    times = TIMES.search(text)
    check(times, f"{project}: the [times] values are not on one line")
    if a.end_hours is not None:  # a shorter run
        text = text[:times.start(3)] + str(a.end_hours) + text[times.end(3):]
        write(project, text, "latin-1")
        times = TIMES.search(text)
    start, end = float(times.group(2)), float(times.group(3))
    r = run_program(a.program, project, a.workdir)
    check(r.returncode == 0, f"exit status {r.returncode}: {r.stderr.strip()[-400:]}")
    check(read(f"{a.workdir}/done.flg") == " Finished\n", "the flag file does not hold Finished")
    p = read_grid(project)
    nx, ny, nz = p["nx"], p["ny"], p["nz"]

    for line in read(f"{a.workdir}/TMAX.OUT").splitlines():
        check(re.fullmatch(r" ( [ \d.*-]{6}){6}", line), f"TMAX.OUT line {line!r}")
    tmax = read_history(f"{a.workdir}/TMAX.OUT")
    hours = [row[0] for row in tmax]
    check(hours[0] == round(start, 1) and hours[-1] == round(end, 1),
          f"TMAX.OUT runs from {hours[0]} to {hours[-1]} h, [times] from {start} to {end}")
    check(all(b >= a for a, b in zip(hours, hours[1:])), "TMAX.OUT times go backwards")

    layers = read_field(f"{a.workdir}/{p['output']}", nx)
    raw = read(f"{a.workdir}/{p['output']}").split("\n")
    check(len(raw) == nz * (ny + 1) + 1 and raw[-1] == "", "output file: not nz blocks of ny lines")
    for n, line in enumerate(raw[:-1]):
        blank = (n + 1) % (ny + 1) == 0
        check(line == "" if blank else len(line) == 1 + 11 * nx, f"output file line {n + 1}: {line!r}")
    cells = [v for layer in layers for row in layer for v in row]
    check(len(cells) == nx * ny * nz, "output file: wrong number of values")

    cf = lambda c: c * 1.8 + 32
    centre = layers[max(nz // 2, 1) - 1][max(ny // 2, 1) - 1][max(nx // 2, 1) - 1]
    expected = [min(cells), max(cells), sum(cells) / len(cells), centre]
    for col, value, name in zip((1, 2, 3, 5), expected, ("lowest", "highest", "average", "centre")):
        check(abs(tmax[-1][col] - cf(value)) <= 0.1,
              f"last TMAX.OUT {name} {tmax[-1][col]} F, final field {cf(value):.2f} F")

    series = os.path.join(a.workdir, "series.pr")
    points = read_series_points(series) if os.path.isfile(series) else []
    if points:
        center = read_history(f"{a.workdir}/Center.out", len(points) + 1)
        check([row[0] for row in center] == hours, "Center.out and TMAX.OUT differ in their times")
        for n, (i, j, k) in enumerate(points, start=1):
            field = cf(layers[k - 1][j - 1][i - 1])
            check(abs(center[-1][n] - field) <= 0.1, f"Center.out cell {n} ({i},{j},{k}): {center[-1][n]} F, "
                  f"field {field:.2f} F")

    if a.peak_f:
        peak = max(tmax, key=lambda row: row[2])
        check(a.peak_f[0] <= peak[2] <= a.peak_f[1], f"peak {peak[2]} F outside {a.peak_f}")
        check(a.peak_h[0] <= peak[0] <= a.peak_h[1], f"peak at {peak[0]} h outside {a.peak_h}")
    print(f"{a.project}: {len(hours)} steps to {hours[-1]} h, highest {max(r[2] for r in tmax)} F")


if __name__ == "__main__":
    run_main(main)
