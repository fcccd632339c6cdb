"""A parameter study in one command: one project per combination of the
varied keys, written by pourheat-new --set, run by pourheat-batch, each run
assessed (assess.py), and the table and the chart of the study.

study.csv, one row per combination in the order of the product of the
--vary options (the first varying slowest):

  name               the combination's folder under projects/ and runs/
  KEY...             the value of each varied key, as given
  status             finished or FAILED (as pourheat-batch says)
  peak_C, peak_h     the concrete's peak and its time, as the program's summary gives them
  core_surface_K, core_surface_h, pair
                     the largest difference of the core to a surface point, its
                     time and the pair (empty without named points)
  anywhere_K         the hottest minus coldest concrete cell, anywhere
  verdict            PASS or FAIL on the peak and the pairs
  protection_off_h   when protection may come off (empty: never within the run)

The lines after the table name the combinations that pass and, when a
removal time is varied, the earliest removal that passes for each setting of
the other keys."""

import csv
import itertools
import os
import subprocess

from .assess import assess
from .batch import REMOTE_NAME, cell_text
from .limits import limits_of
from .results import RunError, finished_run
from .units import hours

PROG = "pourheat-study"
# Short names of the keys of pourheat-new's --set.
ALIASES = {"placing": "concrete.placing", "event.remove_at": "event[0].at", "remove_at": "event[0].at"}
REMOVAL = "event[0].at"


class StudyError(Exception):
    """A problem with the command line or a combination: one line."""


def parse_vary(text):
    """KEY=V1,V2,... -> (key as given, key of --set, [values])."""
    key, eq, values = text.partition("=")
    key = key.strip()
    values = [v.strip() for v in values.split(",")]
    if not eq or not key or not all(values):
        raise StudyError(f"--vary {text}: write KEY=V1,V2,... (for example placing=10C,20C,30C)")
    return key, ALIASES.get(key, key), values


def combination_name(key_values):
    """A run's name from its settings: letters, digits and . + - only, which
    a run on another machine can carry (placing-10C_event.remove_at-3d)."""
    parts = [f"{key}-{value}" for key, value in key_values]
    return "".join(c if c in REMOTE_NAME else "-" for c in "_".join(parts).replace("[", ".").replace("]", ""))


def combinations(varies):
    names, combos = set(), []
    for values in itertools.product(*[v for _, _, v in varies]):
        settings = [(given, key, value) for (given, key, _), value in zip(varies, values)]
        name = combination_name([(g, v) for g, _, v in settings])
        base, n = name, 1
        while name in names:
            n += 1
            name = f"{base}-{n}"
        names.add(name)
        combos.append((name, settings))
    return combos


def figures(a):
    """The study's figures of one run's assessment."""
    core = [p for p in a["pairs"] if p["kind"] == "core-surface"]
    worst = max(core, key=lambda p: p["worst"]["value_k"]) if core else None
    off = a["protection"]["time_h"] if a["protection"] else None
    return {"peak_C": f"{a['peak']['value_c']:.3f}", "peak_h": f"{a['peak']['time_h']:.3f}",
            "core_surface_K": f"{worst['worst']['value_k']:.3f}" if worst else "",
            "core_surface_h": f"{worst['worst']['time_h']:.3f}" if worst else "",
            "pair": worst["label"] if worst else "",
            "anywhere_K": f"{a['anywhere']['value_k']:.3f}", "verdict": a["verdict"],
            "protection_off_h": f"{off:.3f}" if off is not None else ""}


COLUMNS = ["status", "peak_C", "peak_h", "core_surface_K", "core_surface_h", "pair", "anywhere_K", "verdict",
           "protection_off_h"]


def summary_lines(varies, rows):
    passing = [r for r in rows if r.get("verdict") == "PASS"]
    out = ["passing: " + ("; ".join(r["name"] for r in passing) if passing else "none")]
    removal = next((g for g, k, _ in varies if k == REMOVAL), None)
    if removal:
        others = [g for g, _, _ in varies if g != removal]
        groups = {}
        for r in rows:
            groups.setdefault(tuple(r[g] for g in others), []).append(r)
        for setting, group in groups.items():
            first = next((r[removal] for r in group if r.get("verdict") == "PASS"), None)
            where = ", ".join(f"{g}={v}" for g, v in zip(others, setting))
            out.append(f"earliest removal that passes{' with ' + where if where else ''}: "
                       + (f"{removal}={first}" if first else "none of those given"))
    return out


def chart(path, rows, title):
    from .pictures import setup_matplotlib
    plt = setup_matplotlib()
    names = [r["name"] for r in rows]
    x = range(len(rows))
    number = lambda r, k: float(r[k]) if r.get(k) else float("nan")
    fig, ax = plt.subplots(figsize=(max(8, 0.9 * len(rows) + 2), 5.5), layout="constrained")
    colours = ["tab:green" if r.get("verdict") == "PASS" else "tab:red" if r.get("verdict") else "tab:gray"
               for r in rows]
    ax.bar([i - 0.2 for i in x], [number(r, "peak_C") for r in rows], 0.4, color=colours, alpha=0.55,
           label="peak (°C)")
    ax.bar([i + 0.2 for i in x], [number(r, "core_surface_K") for r in rows], 0.4, color=colours,
           label="largest core-to-surface difference (K)")
    for i, r in zip(x, rows):
        off = r.get("protection_off_h")
        label = r.get("verdict") or r["status"]
        label += f"\noff {hours(float(off))} h" if off else ("\noff: not in the run" if r.get("verdict") else "")
        ax.annotate(label, (i, 0), xytext=(0, 4), textcoords="offset points", ha="center", fontsize=8)
    ax.set_xticks(list(x), names, rotation=30, ha="right", fontsize=8)
    ax.set_ylabel("°C / K")
    ax.set_ylim(top=ax.get_ylim()[1] * 1.2)  # room for the legend
    ax.set_title(title + " (green: PASS, red: FAIL)")
    ax.legend(loc="upper right", fontsize=9)
    fig.savefig(path, dpi=100)
    plt.close(fig)


def run_study(args, here, batch_args):
    """Writes the projects, runs them and writes the table and the chart;
    returns the exit status (0 when every run finished)."""
    varies = [parse_vary(v) for v in args.vary]
    if len({k for _, k, _ in varies}) != len(varies):
        raise StudyError("a key is varied twice")
    combos = combinations(varies)
    projects = os.path.join(args.out, "projects")
    for name, settings in combos:
        cmd = [os.path.join(here, "pourheat-new"), args.member, "-o", os.path.join(projects, name), "--force"]
        cmd += [o for _, key, value in settings for o in ("--set", f"{key}={value}")]
        done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode:
            raise StudyError(f"{name}: pourheat-new failed: {done.stdout.strip().splitlines()[-1:]}")
    runs = os.path.join(args.out, "runs")
    batch = [os.path.join(here, "pourheat-batch"), "-o", runs] + batch_args + \
        [os.path.join(projects, name) for name, _ in combos]
    status = subprocess.run(batch).returncode
    if status == 2:
        raise StudyError("pourheat-batch refused the study's runs (its message above)")
    limits = limits_of(args.max_temp, args.max_diff, args.diff_curve)
    rows = []
    for name, settings in combos:
        row = {"name": name, **{g: v for g, _, v in settings}}
        rundir = os.path.join(runs, name)
        row["status"] = "FAILED"
        if finished(rundir):
            a = assess(rundir, limits, os.path.join(projects, name, "member.json"), args.restraint,
                       args.strip_strength)
            row.update(status="finished", **figures(a))
        rows.append(row)
    table = os.path.join(args.out, "study.csv")
    with open(table, "w", newline="") as f:
        out = csv.writer(f, lineterminator="\n")
        header = ["name"] + [g for g, _, _ in varies] + COLUMNS
        out.writerow(header)
        for r in rows:
            out.writerow(cell_text(r.get(k, "")) for k in header)
    picture = os.path.join(args.out, "study.png")
    chart(picture, rows, f"{os.path.basename(args.member)}: {len(rows)} combinations")
    print(f"study table: {table}")
    print(f"study chart: {picture}")
    for line in summary_lines(varies, rows):
        print(line)
    return 0 if all(r["status"] == "finished" for r in rows) else 1


def finished(rundir):
    try:
        finished_run(rundir)
        return True
    except RunError:
        return False
