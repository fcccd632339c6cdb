"""pourheat-new as a user runs it. Each member of new/members and of
examples/members builds a project that runs to Finished, the files of the
first written as new/written keeps them; the concrete starts at the placing
temperature, no cell at 0 C, a run in the sound mode ends with its heat
balanced; the examples peak as their page says. The quarter footings follow
the whole ones, in both modes. A description
that cannot be built ends the tool with status 2 and one line naming the
key, and nothing written, also for text that is not UTF-8. Written again
into the folder of a run, the same description leaves the run alone; another
(--force, a key --set) moves the run's files aside. (The sizes of the grids, the air
series and every refused description: modules/.)

usage: test_new.py PROGRAM WORKDIR
"""

import bisect
import glob
import json
import os
import re
import subprocess
import tomllib

from toolkit import PYTHON, SOURCE, check, fresh_dir, read, run_main, run_program, write

from pourheat.results import read_history

TOOL = os.path.join(SOURCE, "tools", "pourheat-new")
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "new")


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


def main(program, work):
    fresh_dir(work)
    expected = json.loads(read(os.path.join(DATA, "expected.json")))
    cores = {}
    examples = os.path.join(SOURCE, "examples", "members")
    for member in sorted(glob.glob(os.path.join(DATA, "members", "*.toml")) + glob.glob(f"{examples}/*.toml")):
        name = os.path.splitext(os.path.basename(member))[0]
        d = os.path.join(work, name if member.startswith(DATA) else "example-" + name)
        r = subprocess.run([PYTHON, TOOL, member, "-o", d], capture_output=True, text=True)
        check(r.returncode == 0, f"{name}: pourheat-new status {r.returncode}: {r.stderr}")
        for f in os.listdir(f"{DATA}/written/{name}") if member.startswith(DATA) else []:
            check(read(f"{d}/{f}") == read(f"{DATA}/written/{name}/{f}"), f"{name}: {f} differs from new/written")
        run = run_program(program, f"{d}/{name}.prj", d)
        check(run.returncode == 0 and read(f"{d}/done.flg") == " Finished\n", f"{name}: the run did not finish")
        history = read_history(f"{d}/Center.out", 2)
        if os.path.exists(f"{d}/heat.csv"):  # the sound mode: the heat balances at the end
            last = read(f"{d}/heat.csv").splitlines()[-1].split(",")
            check(abs(float(last[6])) < 0.1, f"{name}: heat balance error {last[6]} % at {last[0]} h")
        if not member.startswith(DATA):
            (c_lo, c_hi), (h_lo, h_hi) = expected["example_peaks"].get(name, ((-99, 999), (0, 1e4)))
            t, f = max(history, key=lambda row: row[1])
            check(c_lo <= (f - 32) / 1.8 <= c_hi and h_lo <= t <= h_hi, f"example {name}: core peak {f} F at {t} h")
            continue
        placing = float(str(tomllib.loads(read(member))["concrete"]["placing"]).split()[0])
        cells = starting_cells(f"{d}/run.log")
        check(all(t == placing for m, t in cells if m == 1) and all(t != 0 for _, t in cells),
              f"{name}: a cell starts at 0 C or the concrete not at {placing} C")
        cores[name] = history

    for quarter, full in ([cores[n] for n in pair] for pair in expected["quarter_vs_full"]):
        times = [row[0] for row in full]
        for t, q in quarter:
            n = min(bisect.bisect_left(times, t), len(full) - 1)
            (t1, f1), (t2, f2) = full[max(n - 1, 0)], full[n]
            f = f2 if t2 == t1 else f1 + (f2 - f1) * (t - t1) / (t2 - t1)
            check(abs(q - f) / 1.8 <= 0.2, f"core at {t} h: quarter {q} F, whole {f:.2f} F")

    bad = sorted(glob.glob(os.path.join(DATA, "bad", "*.toml")))[0]
    message = read(bad).splitlines()[0].removeprefix("# error: ")
    d = os.path.join(work, "bad")
    r = subprocess.run([PYTHON, TOOL, bad, "-o", d], capture_output=True, text=True)
    check(r.returncode == 2 and r.stderr.startswith(f"pourheat-new: error: {bad}: {message}")
          and r.stderr.count("\n") == 1 and not os.path.exists(d), f"{bad}: {r.returncode} {r.stderr}")
    # Text that is not UTF-8: one line, naming where.
    write(f"{work}/latin.toml", "title = 'B\xe9ton'\n", "latin-1")
    r = subprocess.run([PYTHON, TOOL, f"{work}/latin.toml", "-o", d], capture_output=True, text=True)
    check(r.returncode == 2 and r.stderr == f"pourheat-new: error: {work}/latin.toml: line 1: not UTF-8 text "
          "(byte 0xe9)\n", f"latin-1: {r.returncode} {r.stderr}")

    # Written again over its run: the same description leaves the run as it
    # is; another one, with --force, moves the run's files aside.
    run, member = os.path.join(work, "column"), os.path.join(DATA, "members", "column.toml")
    before = {f: os.stat(f"{run}/{f}").st_mtime_ns for f in os.listdir(run)}
    r = subprocess.run([PYTHON, TOOL, member, "-o", run], capture_output=True, text=True)
    check(r.returncode == 0 and before == {f: os.stat(f"{run}/{f}").st_mtime_ns for f in os.listdir(run)},
          f"the same description changed the run: {r.stdout}{r.stderr}")
    r = subprocess.run([PYTHON, TOOL, member, "-o", run, "--force", "--set", "concrete.placing=30 C"],
                       capture_output=True, text=True)
    check("placement=30\n" in read(f"{run}/column.prj"), "--set concrete.placing=30 C not written")
    moved = ["Center.out", "TMAX.OUT", "column.out", "concrete.csv", "done.flg", "run.log"]
    check(r.returncode == 0 and r.stdout.startswith(f"pourheat-new: moved the files of an earlier run "
                                                    f"({', '.join(moved)}) to {run}/earlier-run\n")
          and sorted(os.listdir(run)) == ["column.prj", "earlier-run", "member.json", "model.md", "series.pr"]
          and sorted(os.listdir(f"{run}/earlier-run")) == moved, f"--force over a run: {r.stdout}{os.listdir(run)}")
    print(f"pourheat-new: {len(cores)} members and the examples built and run, errors checked, "
          "written again over a run")


if __name__ == "__main__":
    run_main(main)
