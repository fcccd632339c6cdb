"""The assessment of a finished run: its named points, the pairs checked
against the difference limits, when protection may come off, strength and
cracking risk by maturity, and the one peak every tool reports.

    assess(rundir, limits, member=None, restraint=0.5, strip_mpa=None) -> dict

`limits` is what limits.limits_of returns, (peak limit, [difference
limits]); a limit left at its default gives way to member.json's
limits.peak_c / limits.difference_k. `member` is member.json as a dict or
its path (default: member.json in the run directory, if any).

The Assessment, a plain dict (times in h, temperatures and differences in
C or K, strengths in MPa):

  peak          the concrete's peak, one rule for every tool (peak_of):
                {"value_c", "time_h", "cell": (i, j, k), "source": "log" |
                "concrete.csv"}; the program's own summary line when its log
                lies in the run directory, else the first row of
                concrete.csv holding the highest value as written
  anywhere      the hottest minus the coldest concrete cell, from
                concrete.csv: {"label": "hottest minus coldest concrete
                cell (anywhere)", "value_k", "time_h", "checks": [(Limit,
                result)] as limits.evaluate gives them}
  limits        (peak Limit, [difference Limits]) as applied
  times         the times of points.csv ([] without it)
  points        [{"name", "role" (member.json's, else None), "temps": [C],
                "peak": {"value_c", "time_h"}}]; [] without points.csv
  pairs         [{"a", "b", "label": "a - b", "kind": "core-surface" |
                "named", "diff": [K] (a minus b at
                each time), "worst": {"value_k", "time_h"}, "checks":
                [(Limit, result)], "passed": bool}]: the core against each
                "surface" point, then member.json's pairs
  protection    {"time_h": first time after the core's peak from which
                core minus air stays within every difference limit to the
                end of the run, or None; "air": where the air came from;
                "as_built": [events] (removal events of member.json: the run
                as built is then the verdict); "note": one line} or None
                (no core or no air)
  strength      {"ultimate_mpa", "tau_h", "beta", "source", "activation_kj_mol",
                "reference_c", "constants": where those two came from,
                "stripping_mpa" (or None), "points": [{"name", "te_h": [h],
                "mpa": [MPa], "stripping_h": time reaching stripping_mpa or
                None}]} or None (no strength parameters or no points)
  cracking      {"restraint", "expansion", "points": [{"name", "index":
                [index or None where the point is under no tension],
                "least": index or None, "least_h"}]} or None
  verdict       "PASS" | "FAIL" on the peak and the pairs (the hottest minus
                coldest anywhere when there are no pairs); "failed": labels
  notes         lines worth saying on the page

The relations of strength and cracking are in strength.py."""

import json
import os
import re

from . import strength as mat
from .limits import Limit, check, constant_limit, evaluate, verdict_line
from .project import read_project
from .results import CONCRETE, RUN_FILES, RunError, read_concrete, read_weather_air
from .units import hours, temp

POINTS = "points.csv"
MEMBER = "member.json"
ANYWHERE = "hottest minus coldest concrete cell (anywhere)"
SUMMARY_PEAK = re.compile(r"^ *peak (-?[0-9.]+) C \(-?[0-9.]+ F\) at (-?[0-9.]+) h in cell \((\d+),(\d+),(\d+)\)")


# ---------------------------------------------------------------- reading

def read_points(path):
    """points.csv: a header time_h,NAME,... then one row of numbers per
    step. Returns (names, times, columns)."""
    try:
        with open(path, encoding="utf-8") as f:
            lines = [l.strip() for l in f if l.strip()]
    except OSError as e:
        raise RunError(f"{path}: {e.strerror}")
    head = lines[0].split(",") if lines else []
    if not head or head[0] != "time_h" or len(head) < 2:
        raise RunError(f"{path} does not start with the header time_h,NAME,...")
    names, times, columns = head[1:], [], [[] for _ in head[1:]]
    for n, line in enumerate(lines[1:], start=2):
        parts = line.split(",")
        try:
            if len(parts) != len(head):
                raise ValueError
            values = [float(v) for v in parts]
        except ValueError:
            raise RunError(f"{path}, line {n}: not a row of {len(head)} numbers")
        times.append(values[0])
        for column, v in zip(columns, values[1:]):
            column.append(v)
    return names, times, columns


def read_member(member, rundir):
    if isinstance(member, dict):
        return member
    path = member or os.path.join(rundir, MEMBER)
    if not os.path.isfile(path):
        if member:
            raise RunError(f"no member description {member}")
        return {}
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError) as e:
        raise RunError(f"{path}: not a member description ({e})")


def first_max(times, values):
    """The first step holding the largest value as written: (time, value)."""
    n = max(range(len(values)), key=lambda i: values[i])
    return times[n], values[n]


def summary_peak(rundir):
    """The peak line of the program's summary in a log or terminal file of
    the run directory: (value C, time h, cell), or None."""
    for name in sorted(os.listdir(rundir)):
        path = os.path.join(rundir, name)
        if (not os.path.isfile(path) or os.path.getsize(path) > 4 << 20 or name in RUN_FILES
                or name.endswith((".csv", ".png", ".html"))):
            continue
        with open(path, encoding="latin-1") as f:
            text = f.read()
        if "Summary of the concrete" not in text:
            continue
        tail = text[text.rindex("Summary of the concrete"):]
        for line in tail.splitlines()[1:3]:
            m = SUMMARY_PEAK.match(line)
            if m:
                return float(m[1]), float(m[2]), (int(m[3]), int(m[4]), int(m[5]))
    return None


def peak_of(rundir, rows):
    """The concrete's peak as the program's summary gives it: the first
    step whose temperature is above every earlier one, compared before
    rounding. The log holds it; without a log, the first row of
    concrete.csv holding the highest value as written. When the two differ
    (a flat peak, values equal to three decimals), the log's step wins: it
    is the one the terminal showed. A log whose peak is no row of
    concrete.csv belongs to another run and is passed over."""
    found = summary_peak(rundir)
    if found and any(r["time_h"] == found[1] and r["max_C"] == found[0] for r in rows):
        value, time, cell = found
        return {"value_c": value, "time_h": time, "cell": cell, "source": "log"}
    top = max(rows, key=lambda r: r["max_C"])
    return {"value_c": top["max_C"], "time_h": top["time_h"],
            "cell": (top["max_i"], top["max_j"], top["max_k"]), "source": CONCRETE}


# ---------------------------------------------------------------- the checks

def member_limits(limits, member):
    """The options' limits; those left at their defaults give way to
    member.json's."""
    temp_limit, diff_limits = limits
    given = member.get("limits") or {}
    if temp_limit.default and given.get("peak_c") is not None:
        temp_limit = constant_limit("peak temperature", f"{given['peak_c']}C", False)
        temp_limit.label += " (member.json)"
    if given.get("difference_k") is not None and len(diff_limits) == 1 and diff_limits[0].default:
        diff_limits = [constant_limit("difference", f"{given['difference_k']}C", True)]
        diff_limits[0].label += " (member.json)"
    return temp_limit, diff_limits


def pair_list(names, roles, member):
    core = next((n for n in names if roles.get(n) == "core"), "core" if "core" in names else None)
    pairs = [(core, n) for n in names if core and roles.get(n) == "surface"]
    for a, b in member.get("pairs") or []:
        if (a, b) not in pairs and a in names and b in names:
            pairs.append((a, b))
    return core, pairs


def air_series(member, project, rundir="."):
    """The air's (time h, C) points and where they came from: member.json's
    air (its series, or the weather file beside the project), else the
    project's held air (the boundary material whose remark names air, else
    the first held to a series)."""
    air = member.get("air") or {}
    if air.get("points"):
        return [tuple(p) for p in air["points"]], f"member.json ({air.get('kind', 'series')})"
    weather = read_weather_air(os.path.join(rundir, os.path.basename(air["file"]))) if air.get("file") else None
    if weather:
        return weather, f"the weather file {os.path.basename(air['file'])}"
    if project:
        held = [b for b in project["boundaries"] if b["series"] and b["points"]]
        named = [b for b in held if "air" in b["remark"].lower()] or held
        if named:
            return named[0]["points"], f"the project's boundary material {named[0]['material']} ({named[0]['remark']})"
    return None, None


def at(points, t):
    return Limit("", "", points).at(t)


def protection(times, core, air, diff_limits):
    """The first time after the core's peak from which core minus air holds
    every difference limit to the end, or None."""
    t_peak, _ = first_max(times, core)
    start = times.index(t_peak)
    tt = times[start:]
    diff = [round(c - at(air, t), 3) for t, c in zip(tt, core[start:])]
    off = tt[0]
    for limit in diff_limits:
        spells = check(tt, diff, limit)["spells"]
        if spells and spells[-1][1] >= tt[-1]:
            return None
        if spells:
            off = max(off, spells[-1][1])
    return off


def constants(member, project):
    c = member.get("concrete") or {}
    if c.get("activation_kj_mol") is not None and c.get("reference_c") is not None:
        return c["activation_kj_mol"], c["reference_c"], "member.json"
    physics = dict((project or {}).get("physics") or [])
    try:
        return float(physics["activation"]), float(physics["reference"]), "the project's [Physics] block"
    except (KeyError, ValueError):
        return mat.DEFAULT_ACTIVATION_KJ_MOL, mat.DEFAULT_REFERENCE_C, "the program's defaults"


def assess(rundir, limits, member=None, restraint=mat.DEFAULT_RESTRAINT, strip_mpa=None, project=None):
    """The assessment of the finished run in `rundir` (see the module's text)."""
    member = read_member(member, rundir)
    rows = read_concrete(os.path.join(rundir, CONCRETE))
    if not rows:
        raise RunError(f"{rundir}: {CONCRETE} holds no step with concrete: nothing to check")
    if project is None:
        found = sorted(n for n in os.listdir(rundir) if n.lower().endswith(".prj"))
        project = os.path.join(rundir, found[0]) if len(found) == 1 else None
    try:
        model = read_project(project) if project else None
    except (ValueError, IndexError, OSError):
        model = None
    temp_limit, diff_limits = member_limits(limits, member)
    checks = evaluate(rows, temp_limit, diff_limits)
    top = max(rows, key=lambda r: r["diff_C"])
    a = {"peak": peak_of(rundir, rows), "limits": (temp_limit, diff_limits),
         "anywhere": {"label": ANYWHERE, "value_k": top["diff_C"], "time_h": top["time_h"], "checks": checks[1:]},
         "times": [], "points": [], "pairs": [], "protection": None, "strength": None, "cracking": None,
         "notes": []}
    failed = [temp_limit.what] if checks[0][1]["exceeded"] else []

    path = os.path.join(rundir, POINTS)
    if not os.path.isfile(path):
        failed += [ANYWHERE for _, r in checks[1:] if r["exceeded"]][:1]
        a["verdict"], a["failed"] = ("FAIL" if failed else "PASS"), failed
        return a
    names, times, columns = read_points(path)
    roles = {p.get("name"): p.get("role") for p in member.get("points") or []}
    temps = dict(zip(names, columns))
    a["times"] = times
    for name, column in zip(names, columns):
        t, v = first_max(times, column)
        a["points"].append({"name": name, "role": roles.get(name), "temps": column,
                            "peak": {"value_c": v, "time_h": t}})

    core, pairs = pair_list(names, roles, member)
    surface = {(core, n) for n in names if roles.get(n) == "surface"}
    for p, q in pairs:
        diff = [round(x - y, 3) for x, y in zip(temps[p], temps[q])]
        t, v = first_max(times, diff)
        pc = [(l, check(times, diff, l)) for l in diff_limits]
        passed = not any(r["exceeded"] for _, r in pc)
        a["pairs"].append({"a": p, "b": q, "label": f"{p} - {q}", "diff": diff,
                           "kind": "core-surface" if p == core and (p, q) in surface else "named",
                           "worst": {"value_k": v, "time_h": t}, "checks": pc, "passed": passed})
        if not passed:
            failed.append(f"{p} - {q}")
    if not pairs:
        failed += [ANYWHERE for _, r in checks[1:] if r["exceeded"]][:1]
    a["verdict"], a["failed"] = ("FAIL" if failed else "PASS"), failed

    events = [e for e in member.get("events") or [] if e.get("what") == "remove"]
    air, source = air_series(member, model, rundir)
    if core and air:
        off = protection(times, temps[core], air, diff_limits)
        if events:
            when = ", ".join(f"{e.get('target', 'cover')} at {e['at_h']:g} h" for e in events)
            note = f"protection removed as built ({when}): the run as built is the verdict, {a['verdict']}"
        elif off is None:
            note = "the core minus the air is still above the difference limit at the end of the run"
        else:
            note = f"protection may come off at {hours(off)} h: core minus air within the limit from then on"
        a["protection"] = {"time_h": off, "air": source, "as_built": events, "note": note}
    elif core:
        a["notes"].append("protection: no air series (member.json's air, or a held air of the project) "
                          "to compare the core with")

    s = member.get("strength") or {}
    if all(s.get(k) is not None for k in ("ultimate_mpa", "tau_h", "beta")):
        e, tr, whence = constants(member, model)
        strip = strip_mpa if strip_mpa is not None else (member.get("limits") or {}).get("stripping_mpa")
        out = {"ultimate_mpa": s["ultimate_mpa"], "tau_h": s["tau_h"], "beta": s["beta"],
               "source": s.get("source", "member.json"), "activation_kj_mol": e, "reference_c": tr,
               "constants": whence, "stripping_mpa": strip, "points": []}
        fc = {}
        strip_te = mat.age_reaching(strip, s["ultimate_mpa"], s["tau_h"], s["beta"]) if strip else None
        for name, column in zip(names, columns):
            te = mat.equivalent_age(times, column, e, tr)
            fc[name] = [mat.strength(x, s["ultimate_mpa"], s["tau_h"], s["beta"]) for x in te]
            out["points"].append({"name": name, "te_h": te, "mpa": fc[name],
                                  "stripping_h": None if strip_te is None else mat.first_reaching(times, te, strip_te)})
        a["strength"] = out
        if core:
            crack = {"restraint": restraint, "expansion": mat.THERMAL_EXPANSION, "points": []}
            for name in [q for p, q in pairs if p == core]:
                index = mat.cracking_indices(fc[name], [c - x for c, x in zip(temps[core], temps[name])],
                                             restraint)
                known = [(i, t) for i, t in zip(index, times) if i is not None]
                least = min(known, key=lambda p: p[0]) if known else (None, None)
                crack["points"].append({"name": name, "index": index, "least": least[0], "least_h": least[1]})
            a["cracking"] = crack
    else:
        a["notes"].append("strength: no parameters (member.json's strength), so no strength or cracking figures")
    return a


# ---------------------------------------------------------------- the lines

def assessment_lines(a):
    """The assessment's lines on the terminal, after the report's own: the
    pairs, the hottest minus coldest anywhere for comparison, protection,
    strength and cracking, and the verdict on the named points."""
    if not a["points"]:
        return []
    out = [f"named points: {len(a['points'])} in {POINTS} ({', '.join(p['name'] for p in a['points'])}), "
           f"{len(a['times'])} steps from {hours(a['times'][0])} h to {hours(a['times'][-1])} h"]
    for pair in a["pairs"]:
        for limit, result in pair["checks"]:
            out.append(verdict_line(limit, result).replace("temperature difference", pair["label"], 1))
    w = a["anywhere"]
    out.append(f"{w['label']}: largest {temp(w['value_k'], True)} at {hours(w['time_h'])} h, for comparison"
               + (" (no pairs of named points: it is the check)" if not a["pairs"] else
                  "; the pairs above are the check"))
    p = a["protection"]
    if p:
        out.append(f"{p['note']} (air: {p['air']})")
    s = a["strength"]
    if s:
        out.append(f"strength by maturity, screening figures: S = {s['ultimate_mpa']:g} MPa exp(-({s['tau_h']:g} h/te)"
                   f"^{s['beta']:g}) ({s['source']}); te with {s['activation_kj_mol']:g} kJ/mol at "
                   f"{s['reference_c']:g} C ({s['constants']})")
        for q in s["points"]:
            line = f"strength {q['name']}: {q['mpa'][-1]:.1f} MPa at the end of the run (te {q['te_h'][-1]:.1f} h)"
            if s["stripping_mpa"]:
                reach = q["stripping_h"]
                line += (f"; stripping strength {s['stripping_mpa']:g} MPa at {hours(reach)} h" if reach is not None
                         else f"; stripping strength {s['stripping_mpa']:g} MPa not reached")
            out.append(line)
    c = a["cracking"]
    if c:
        for q in c["points"]:
            out.append(f"cracking index {q['name']}: " + (
                f"least {q['least']:.2f} at {hours(q['least_h'])} h" if q["least"] is not None else
                "under no tension") + f" (restraint {c['restraint']:g}; below 1 a crack is likely)")
    out += a["notes"]
    out.append(f"verdict on the named points: {a['verdict']}" + (
        f", {len(a['failed'])} exceeded ({', '.join(a['failed'])})" if a["failed"] else
        f", the peak and {len(a['pairs'])} pair{'s' * (len(a['pairs']) != 1)} within their limits"))
    return out
