"""pourheat-new as a user runs it. Each member of new/members and of
examples/members builds a project that runs to Finished; the concrete is as
large as asked within half a cell and starts at the placing temperature, no
cell at 0 C; the examples peak as their page says. The quarter footing
follows the whole one. The hourly air is cut to 50 points keeping the start,
the end and the daily extremes, and model.md states the largest difference.
Each description in new/bad fails with status 2 and one line naming the key.

usage: test_new.py PROGRAM WORKDIR
"""

import bisect
import glob
import json
import math
import os
import re
import subprocess
import tomllib

from toolkit import PYTHON, SOURCE, check, fresh_dir, load_plot, read, run_main, run_program

TOOL = os.path.join(SOURCE, "tools", "pourheat-new")
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "new")


def project(path, tokens):
    """Grid, face codes, boundary series and cell materials, the keys searched forward."""
    lines, pos = read(path).splitlines(), 0

    def after(key):
        nonlocal pos
        n = next(n for n in range(pos, len(lines)) if key in lines[n])
        pos = n + 1
        return lines[n].split(key, 1)[1]

    def values(count):
        nonlocal pos
        out = []
        while len(out) < count:
            out += tokens(lines[pos])
            pos += 1
        return out

    p = {k: float(after(k + "=")) for k in ("nx", "ny", "nz", "dx", "dy", "dz")}
    nx, ny, nz = int(p["nx"]), int(p["ny"]), int(p["nz"])
    after("[Boundaries]")
    p["codes"], p["series"] = lines[pos][:6], []
    for _ in range(int(after("materialboundaries="))):
        after("[boundary]")
        v = [float(t) for t in values(2 * int(after("points=")))]
        p["series"].append(list(zip(v[::2], v[1::2])))
    nsec = int(after("sectionfiles="))
    after("[submodel]")
    layers = [int(t) for t in values(nz)]
    maps = []
    for _ in range(nsec):
        after("[section]")
        v = [int(t) for t in values(nx * ny)]
        maps.append([v[j * nx:(j + 1) * nx] for j in range(ny)])
    p["imat"] = [maps[s - 1] for s in layers]  # [k][j][i], from 0
    return p


def extent(p, core, axis):
    """Length of the concrete (material 1) through the core along an axis;
    a run from a mirror face counts from the symmetry plane (cell 2's centre)."""
    i, j, k = (c - 1 for c in core)
    line = {"x": p["imat"][k][j], "y": [row[i] for row in p["imat"][k]],
            "z": [layer[j][i] for layer in p["imat"]]}[axis]
    at = {"x": i, "y": j, "z": k}[axis]
    lo = at
    while lo > 0 and line[lo - 1] == 1:
        lo -= 1
    hi = at
    while hi + 1 < len(line) and line[hi + 1] == 1:
        hi += 1
    mirror = p["codes"][{"x": 0, "y": 3, "z": 4}[axis]] == "N"  # i = 1, j = 1, k = 1
    d = p["d" + axis]
    return ((2 * (hi - lo) - 1) if mirror and lo == 0 else hi - lo + 1) * d, d


def starting_cells(log):
    """(material, starting temperature) of every cell, from the matrices in the log."""
    lines, out, n = read(log).split(" writing matrices \n")[1].splitlines(), [], 0
    while re.fullmatch(r"[\d ]+", lines[n]):
        materials, temps = [int(v) for v in lines[n].split()], []
        while len(temps) < len(materials):
            n += 1
            temps += [float(v) for v in lines[n].split()]
        out += zip(materials, temps)
        n += 1
    return out


def series_reading(points, t):
    """A boundary series at time t: the two points around t weigh 1/distance^2."""
    times = [q[0] for q in points]
    if t >= times[-1]:
        return points[-1][1]
    n = bisect.bisect_right(times, t)
    (t1, v1), (t2, v2) = points[n - 1], points[n]
    if t == t1:
        return v1
    w1, w2 = 1 / (t - t1) ** 2, 1 / (t2 - t) ** 2
    return (v1 * w1 + v2 * w2) / (w1 + w2)


def hourly_checks(p, member, out, expected):
    air = max(p["series"], key=len)
    desc = tomllib.loads(read(member))
    hourly = [tuple(map(float, line.split(","))) for line in read(os.path.join(DATA, "air-hourly.csv")).splitlines()[1:]]
    check(len(hourly) > 50 and len(air) <= 50, f"{len(hourly)} hourly values give {len(air)} points")
    days = {}
    for t, v in hourly:
        days.setdefault(math.floor((desc["run"]["start_hour"] + t) / 24), []).append((t, v))
    must = {hourly[0], hourly[-1]}
    for values in days.values():
        must |= {min(values, key=lambda q: q[1]), max(values, key=lambda q: q[1])}
    check(must <= set(air), f"the series misses {sorted(must - set(air))}")
    check(set(air) <= set(hourly), "a point of the series is not an hourly value")
    largest = max(abs(v - series_reading(air, t)) for t, v in hourly)
    stated = float(re.search(r"largest difference from the hourly values.*? is ([\d.]+) C", read(out)).group(1))
    check(abs(stated - largest) <= 0.006 and abs(largest - expected) <= 0.006,
          f"largest difference: stated {stated}, read {largest:.3f}, expected {expected}")


def main(program, work):
    fresh_dir(work)
    plot = load_plot()
    expected = json.loads(read(os.path.join(DATA, "expected.json")))
    cores = {}
    examples = os.path.join(SOURCE, "examples", "members")
    for member in sorted(glob.glob(os.path.join(DATA, "members", "*.toml")) + glob.glob(f"{examples}/*.toml")):
        name = os.path.splitext(os.path.basename(member))[0]
        d = os.path.join(work, name if member.startswith(DATA) else "example-" + name)
        r = subprocess.run([PYTHON, TOOL, member, "-o", d], capture_output=True, text=True)
        check(r.returncode == 0, f"{name}: pourheat-new status {r.returncode}: {r.stderr}")
        run = run_program(program, f"{d}/{name}.prj", d)
        check(run.returncode == 0 and read(f"{d}/done.flg") == " Finished\n", f"{name}: the run did not finish")
        p = project(f"{d}/{name}.prj", plot.freeform_tokens)
        core = plot.read_series_points(f"{d}/series.pr")[0]
        history = plot.read_history(f"{d}/Center.out", 2)
        if not member.startswith(DATA):
            (c_lo, c_hi), (h_lo, h_hi) = expected["example_peaks"].get(name, ((-99, 999), (0, 1e4)))
            t, f = max(history, key=lambda row: row[1])
            check(c_lo <= (f - 32) / 1.8 <= c_hi and h_lo <= t <= h_hi, f"example {name}: core peak {f} F at {t} h")
            continue
        placing = float(str(tomllib.loads(read(member))["concrete"]["placing"]).split()[0])
        cells = starting_cells(f"{d}/run.log")
        check(all(t == placing for m, t in cells if m == 1) and all(t != 0 for _, t in cells),
              f"{name}: a cell starts at 0 C or the concrete not at {placing} C")
        for axis, length in expected["dimensions"][name].items():
            got, cell = extent(p, core, axis)
            check(abs(got - length) <= cell / 2 + 1e-6, f"{name}: {axis} {got:.4f} m, asked {length} m")
        cores[name] = history
        if name == expected["hourly"]["member"]:
            hourly_checks(p, member, f"{d}/model.md", expected["hourly"]["largest"])

    quarter, full = (cores[n] for n in expected["quarter_vs_full"])
    times = [row[0] for row in full]
    for t, q in quarter:
        n = min(bisect.bisect_left(times, t), len(full) - 1)
        (t1, f1), (t2, f2) = full[max(n - 1, 0)], full[n]
        f = f2 if t2 == t1 else f1 + (f2 - f1) * (t - t1) / (t2 - t1)
        check(abs(q - f) / 1.8 <= 0.2, f"core at {t} h: quarter {q} F, whole {f:.2f} F")

    for bad in sorted(glob.glob(os.path.join(DATA, "bad", "*.toml"))):
        message = read(bad).splitlines()[0].removeprefix("# error: ")
        d = os.path.join(work, "bad-" + os.path.basename(bad))
        r = subprocess.run([PYTHON, TOOL, bad, "-o", d], capture_output=True, text=True)
        check(r.returncode == 2 and r.stderr.startswith(f"pourheat-new: error: {bad}: {message}")
              and r.stderr.count("\n") == 1 and not os.path.exists(d), f"{bad}: {r.returncode} {r.stderr}")
    print(f"pourheat-new: {len(cores)} members and the examples built and run, the errors checked")


if __name__ == "__main__":
    run_main(main)
