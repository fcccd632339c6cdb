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
import sys

from toolkit import check, load_plot, run_program, stage


def times_line(text):
    """The six [times] values as text: the tokens after the [times] line."""
    after = text.split("[times]", 1)[1].split("\n", 1)[1]
    tokens = re.split(r"[\s,]+", after.strip())
    return tokens[:6]


def bound_end(path, hours):
    """Rewrites the end time of the [times] line (a shorter run)."""
    with open(path, encoding="latin-1") as f:
        text = f.read()
    head, rest = text.split("[times]", 1)
    first, body = rest.split("\n", 1)
    lines = body.split("\n")
    n = next(i for i, l in enumerate(lines) if l.strip())
    values = re.split(r"[\s,]+", lines[n].strip())
    check(len(values) >= 6, f"{path}: the [times] values are not on one line")
    values[2] = str(hours)
    lines[n] = " ".join(values)
    with open(path, "w", encoding="latin-1") as f:
        f.write(head + "[times]" + first + "\n" + "\n".join(lines))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("program")
    ap.add_argument("project")
    ap.add_argument("workdir")
    ap.add_argument("--end-hours", type=float)
    ap.add_argument("--peak-f", nargs=2, type=float)
    ap.add_argument("--peak-h", nargs=2, type=float)
    a = ap.parse_args()
    plot = load_plot()

    project = stage(a.project, a.workdir)
    if a.end_hours is not None:
        bound_end(project, a.end_hours)
    r = run_program(a.program, project, a.workdir)
    check(r.returncode == 0, f"exit status {r.returncode}: {r.stderr.strip()[-400:]}")
    with open(f"{a.workdir}/done.flg") as f:
        check(f.read() == " Finished\n", "the flag file does not hold Finished")

    p = plot.read_project(project)
    nx, ny, nz = p["nx"], p["ny"], p["nz"]
    with open(project, encoding="latin-1") as f:
        start, end = (float(v) for v in times_line(f.read())[1:3])

    with open(f"{a.workdir}/TMAX.OUT") as f:
        lines = f.read().splitlines()
    for line in lines:
        check(re.fullmatch(r" ( [ \d.*-]{6}){6}", line), f"TMAX.OUT line {line!r}")
    tmax = plot.read_history(f"{a.workdir}/TMAX.OUT")
    times = [row[0] for row in tmax]
    check(times[0] == round(start, 1) and times[-1] == round(end, 1),
          f"TMAX.OUT runs from {times[0]} to {times[-1]} h, [times] from {start} to {end}")
    check(all(b >= a for a, b in zip(times, times[1:])), "TMAX.OUT times go backwards")

    layers = plot.read_field(f"{a.workdir}/{p['output']}", nx)
    with open(f"{a.workdir}/{p['output']}") as f:
        raw = f.read().split("\n")
    check(len(raw) == nz * (ny + 1) + 1 and raw[-1] == "", "output file: not nz blocks of ny lines")
    for n, line in enumerate(raw[:-1]):
        blank = (n + 1) % (ny + 1) == 0
        check(line == "" if blank else len(line) == 1 + 11 * nx, f"output file line {n + 1}: {line!r}")
    cells = [v for layer in layers for row in layer for v in row]
    check(len(cells) == nx * ny * nz, "output file: wrong number of values")

    cf = lambda c: c * 1.8 + 32
    last = tmax[-1]
    centre = layers[max(nz // 2, 1) - 1][max(ny // 2, 1) - 1][max(nx // 2, 1) - 1]
    expected = [min(cells), max(cells), sum(cells) / len(cells)]
    for col, value, name in zip((1, 2, 3, 5), expected + [centre], ("lowest", "highest", "average", "centre")):
        check(abs(last[col] - cf(value)) <= 0.1,
              f"last TMAX.OUT {name} {last[col]} F, final field {cf(value):.2f} F")

    series = os.path.join(a.workdir, "series.pr")
    points = plot.read_series_points(series) if os.path.isfile(series) else []
    if points:
        center = plot.read_history(f"{a.workdir}/Center.out", len(points) + 1)
        check([row[0] for row in center] == times, "Center.out and TMAX.OUT differ in their times")
        for n, (i, j, k) in enumerate(points, start=1):
            check(abs(center[-1][n] - cf(layers[k - 1][j - 1][i - 1])) <= 0.1,
                  f"Center.out cell {n} ({i},{j},{k}): {center[-1][n]} F, field "
                  f"{cf(layers[k - 1][j - 1][i - 1]):.2f} F")

    if a.peak_f:
        peak = max(tmax, key=lambda row: row[2])
        check(a.peak_f[0] <= peak[2] <= a.peak_f[1], f"peak {peak[2]} F outside {a.peak_f}")
        check(a.peak_h[0] <= peak[0] <= a.peak_h[1], f"peak at {peak[0]} h outside {a.peak_h}")
    print(f"{a.project}: {len(times)} steps to {times[-1]} h, highest {max(r[2] for r in tmax)} F")


if __name__ == "__main__":
    try:
        main()
    except AssertionError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
