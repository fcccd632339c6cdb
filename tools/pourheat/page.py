"""The report's page: one HTML file, pictures embedded, that opens in any
browser without a network: the verdict, the table of the limits, what was
modelled, and the pictures."""

import html

from .results import cell
from .units import Shown, hours

STYLE = """
body{font-family:sans-serif;max-width:980px;margin:24px auto;padding:0 16px;color:#222;line-height:1.4}
h1{font-size:1.6em;margin-bottom:0}h2{font-size:1.2em;margin-top:1.8em;border-bottom:1px solid #ccc}
table{border-collapse:collapse;margin:8px 0}td,th{border:1px solid #bbb;padding:3px 8px;text-align:left;vertical-align:top}
th{background:#f0f0f0}td.num{text-align:right}.PASS{color:#176c1a;font-weight:bold}.FAIL{color:#b00020;font-weight:bold}
.verdict{font-size:1.4em;padding:8px 12px;border:2px solid;display:inline-block;margin:12px 0}
img{max-width:100%}.note{color:#555;font-size:.9em}details{margin:4px 0}
figure{margin:8px 0}figcaption{color:#555;font-size:.9em}.charts img{max-width:49%}
@page{size:auto;margin:14mm 12mm}
@media print{body{max-width:none;margin:0;padding:0;font-size:10pt;line-height:1.3}
h1{font-size:16pt}h2{font-size:12.5pt;break-after:avoid;page-break-after:avoid}h3{break-after:avoid}
img,figure,tr,.verdict{break-inside:avoid;page-break-inside:avoid}
img{max-width:100%;max-height:225mm;object-fit:contain}
table{width:100%;font-size:8.5pt}td,th{padding:2px 4px;overflow-wrap:anywhere}
details>summary{list-style:none}.verdict{border-width:1.5pt}}
"""
# Print the series folded under <details> too.
OPEN_ON_PRINT = ("<script>addEventListener('beforeprint',()=>document.querySelectorAll('details')"
                 ".forEach(d=>d.open=true))</script>")


def esc(x):
    return html.escape(str(x))


def table(head, rows, numeric=()):
    out = ["<table><tr>" + "".join(f"<th>{esc(h)}</th>" for h in head) + "</tr>" if any(head) else "<table>"]
    for r in rows:
        out.append("<tr>" + "".join(f"<td class=num>{esc(v)}</td>" if n in numeric else f"<td>{v}</td>"
                                    for n, v in enumerate(r)) + "</tr>")
    return "\n".join(out) + "</table>"


def model_section(model, project_name, rows, points, shown=None):
    if model is None:
        return "<p class=note>No project file could be read in the run directory: the model is not described.</p>"
    m = model
    shown = shown or Shown("SI")
    T = lambda c: f"{shown.value('temperature', c):g} {shown.unit('temperature')}"
    mirrors = [f"{n + 1} ({face})" for n, face in enumerate(
        ("i = 1", "j = ny", "i = nx", "j = 1", "k = 1, bottom", "k = nz, top")) if m["faces"][n:n + 1] == "N"]
    qtot = m["rho"] * 1000 * m["cementitious"]
    if m["table"]:
        rates = m["rates"]
        hydration = (f"measured heat-rate table, {len(rates)} rows from {hours(rates[0][0])} h to "
                     f"{hours(rates[-1][0])} h" if rates else "measured heat-rate table")
    elif m["exponential"]:
        hydration = f"hydration model, exponential curve: P1 = {m['P'][0]:g}, P2 = {m['P'][1]:g}, P3 = {m['P'][2]:g} h"
    else:
        hydration = f"hydration model, sigmoid curve: P1 = {m['P'][0]:g} h, P2 = {m['P'][1]:g} h, P3 = {m['P'][2]:g}"
    general = [
        ("Project file", esc(project_name)),
        ("Grid", f"{m['nx']} × {m['ny']} × {m['nz']} cells of {m['dx']:g} × {m['dy']:g} × {m['dz']:g} m "
                 f"({m['nx'] * m['dx']:g} × {m['ny'] * m['dy']:g} × {m['nz'] * m['dz']:g} m), "
                 f"plan outline {esc(m['outline'])}"),
        ("Face codes", f"{esc(m['faces'])}: " + (f"mirror faces {', '.join(mirrors)}" if mirrors else "no mirror face")),
        ("Time span", f"{hours(m['start'])} h to {hours(m['end'])} h; {len(rows)} steps in concrete.csv"),
        ("Heat of hydration", f"{esc(hydration)}; {m['rho']:g} kg/m³ of binder × {m['cementitious']:g} kJ/kg = "
                              f"{qtot / 1e6:.1f} MJ/m³"),
        ("Placement temperature", T(m["placement"])),
        ("Monitor cells", ", ".join(f"{n}: {cell(*p)}" for n, p in enumerate(points, 1)) or "none"),
    ]
    out = [table(["", ""], general)]
    mats = []
    for n, mat in enumerate(m["materials"], start=1):
        bound = next((b for b in m["boundaries"] if b["material"] == n), None)
        role = "concrete" if mat["production"] > 0 else ("boundary" if bound else "")
        mats.append((n, esc(mat["remark"]), role, f"{mat['conductivity']:g}", f"{mat['heat']:g}",
                     f"{mat['density']:g}", f"{mat['production']:g}"))
    out.append("<h3>Materials</h3>" + table(
        ["No.", "Remark", "Role", "Conductivity W/(m K)", "Specific heat J/(kg K)", "Density kg/m³", "Production"],
        mats, numeric=(0, 3, 4, 5, 6)))
    series = []
    for b in m["boundaries"]:
        pts = b["points"]
        if len(pts) == 1:
            detail = f"1 point: {T(pts[0][1])} throughout"
        elif pts:
            span = (f"{len(pts)} points, {hours(pts[0][0])} h to {hours(pts[-1][0])} h, "
                    f"{T(min(p[1] for p in pts))} to {T(max(p[1] for p in pts))}")
            detail = "<details><summary>" + span + "</summary>" + ", ".join(
                f"{hours(t)} h: {T(v)}" for t, v in pts) + "</details>"
        else:
            detail = "no series: keeps its starting temperature"
        mats_named = m["materials"]
        name = mats_named[b["material"] - 1]["remark"] if 1 <= b["material"] <= len(mats_named) else ""
        series.append((b["material"], esc(b["remark"] or name), T(b["initial"]), detail))
    out.append("<h3>Boundary materials</h3>" + table(
        ["Material", "Remark", "Starting temperature", "Series"], series, numeric=(0, 2)))
    return "\n".join(out)


def page(title, rundir, by, verdict_rows, overall, key_lines, model_html, pictures, notes, described=None,
         checked=None):
    parts = [f"<!DOCTYPE html><html lang=en><head><meta charset=utf-8><title>{esc(title)}</title>"
             f"<style>{STYLE}</style>{OPEN_ON_PRINT}</head><body>",
             f"<h1>Thermal report: {esc(title)}</h1>",
             f"<p class=note>Run directory {esc(rundir)}; written by {by} from the run's files.</p>",
             f"<div class='verdict {overall}' id=verdict>{overall}</div>",
             *([checked] if checked else []),
             "<h2>The whole concrete, from concrete.csv</h2>" if checked else "<h2>Verdict</h2>",
             table(["Result", "Limit", "Limit value", "Worst", "Above the limit"], verdict_rows),
             "<ul>" + "".join(f"<li>{esc(l)}</li>" for l in key_lines) + "</ul>",
             "<p class=note>Concrete: every cell of a material with production above 0, except the cells of "
             "mirror faces. Temperatures from concrete.csv, one row per step; between steps the values are "
             "taken on the straight line joining them.</p>",
             *(["<h2>The member as described</h2>", described] if described else []),
             "<h2>What was modelled</h2>" if not described else "<h2>What the program was given</h2>", model_html]
    for heading, data, alt in pictures:
        parts.append(f"<h2>{esc(heading)}</h2>")
        parts.append(f"<img alt='{esc(alt)}' src='data:image/png;base64,{data}'>" if data else
                     f"<p class=note>{esc(alt)}</p>")
    if notes:
        parts.append("<h2>Notes</h2><ul>" + "".join(f"<li>{esc(n)}</li>" for n in notes) + "</ul>")
    parts.append("</body></html>\n")
    return "\n".join(parts)


# ---------------------------------------------------------------- the member as described

def figure(data, alt):
    return f"<img alt='{esc(alt)}' src='data:image/png;base64,{data}'>" if data else ""


def curve_text(concrete):
    kind, p = concrete.get("curve"), concrete.get("curve_parameters") or {}
    if kind == "exponential":
        return ("exponential: released fraction α<sub>u</sub> exp(−(τ/t<sub>e</sub>)<sup>β</sup>), "
                f"α<sub>u</sub> = {p.get('alpha_u', 0):g}, τ = {p.get('tau_h', 0):.4g} h, β = {p.get('beta', 0):g}")
    if kind == "sigmoid":
        return "sigmoid: " + ", ".join(f"{esc(k)} = {v:g}" for k, v in sorted(p.items()) if isinstance(v, (int, float)))
    if kind == "table":
        return f"measured table of {len(p.get('rows', p) if isinstance(p, dict) else p)} rows"
    return esc(kind or "not given")


def member_section(member, shown, charts):
    """What was asked for and what the model holds, from member.json.
    `charts` are the heat curve and the air, drawn (or None)."""
    g = member.get("grid") or {}
    c = member.get("concrete") or {}
    u = shown
    model_words = {"quarter": "quarter: mirror planes through both centre lines",
                   "half": "half: a mirror plane through one centre line", "full": "full: the whole member"}
    general = [("Member", esc(member.get("title", ""))), ("Template", esc(member.get("template", "")))]
    general.append(("Model", esc(model_words.get(member.get("model"), member.get("model", "")))))
    general.append(("Physics", esc({"sound": "sound: balanced conduction, maturity hydration, films at the faces",
                                    "legacy": "legacy: the program's earlier physics"}.get(
                                        member.get("physics"), member.get("physics", "")))))
    if g:
        cells = " × ".join(u.text("length", d, 3) for d in g.get("cell_m", []))
        general.append(("Grid", f"{g.get('nx')} × {g.get('ny')} × {g.get('nz')} cells of {cells}"))
    if (member.get("run") or {}).get("hours") is not None:
        general.append(("Run", f"{member['run']['hours']:g} h from the placing"))
    out = [table(["", ""], general)]
    dims = [(esc(d.get("name", "")), u.text("length", d.get("asked_m"), 3), u.text("length", d.get("modelled_m"), 3),
             u.text("length", (d.get("modelled_m") or 0) - (d.get("asked_m") or 0), 3))
            for d in member.get("dimensions") or []]
    if dims:
        out.append("<h3>Dimensions</h3>" + table(["Dimension", "Asked", "Modelled", "Difference"], dims, (1, 2, 3)))
    covers = []
    for cv in member.get("covers") or []:
        layers = ", ".join(f"{esc(l.get('name', ''))} {u.text('thickness', (l.get('thickness_m') or 0) * 1000, 1)} of "
                           f"{u.text('conductivity', l.get('conductivity'), 3)}" for l in cv.get("layers") or [])
        held = {"cells": "cells of their own", "film": "folded into the film"}.get(cv.get("modelled"), cv.get("modelled"))
        covers.append((esc(cv.get("where", "")), esc(cv.get("name", "")) + (f" ({layers})" if layers else ""),
                       u.text("r_value", cv.get("r_asked"), 3), esc(held or ""), u.text("r_value", cv.get("r_modelled"), 3)))
    if covers:
        out.append("<h3>Covers</h3>" + table(["Face", "Cover", "R asked", "Modelled as", "R the model holds"],
                                            covers, (2, 4)))
    rows = [("Binder", esc(c.get("binder_name") or c.get("binder") or "not named: the description gives its own "
                           "heat curve") +
             (f" (<code>{esc(c['binder'])}</code>)" if c.get("binder_name") and c.get("binder") else "")),
            ("Content", u.text("content", c.get("content_kg_m3"), 0)),
            ("Placing temperature", u.text("temperature", c.get("placing_c"))),
            ("Density, specific heat, conductivity", ", ".join(x for x in (
                u.text("density", c.get("density"), 0), u.text("specific_heat", c.get("specific_heat"), 3 if u.us else 0),
                u.text("conductivity", c.get("conductivity"), 2)) if x))]
    if c.get("heat_kj_kg") is not None:
        total = (c.get("content_kg_m3") or 0) * c["heat_kj_kg"] / 1000
        rows.append(("Heat of hydration", u.text("heat", c["heat_kj_kg"], 0) +
                     (f" of binder, {total:.1f} MJ/m³ at full release" if total else "")))
    rows.append(("Heat curve", curve_text(c)))
    if c.get("adiabatic_rise_k") is not None:
        rows.append(("Adiabatic rise", u.text("difference", c["adiabatic_rise_k"])))
    if c.get("activation_kj_mol") is not None:
        rows.append(("Activation energy", f"{c['activation_kj_mol']:g} kJ/mol, reference "
                     f"{u.text('temperature', c.get('reference_c', 20), 0)}"))
    s = member.get("strength") or {}
    if s:
        rows.append(("Strength (maturity)", f"S = S<sub>u</sub> exp(−(τ/t<sub>e</sub>)<sup>β</sup>), S<sub>u</sub> = "
                     f"{u.text('strength', s.get('ultimate_mpa'), 0)}, τ = {s.get('tau_h', 0):g} h, "
                     f"β = {s.get('beta', 0):g}; {esc(s.get('source', ''))}"))
    soil = member.get("soil")
    if soil:
        rows.append(("Soil", ", ".join(x for x in (u.text("temperature", soil.get("temperature_c")),
                                                   u.text("conductivity", soil.get("conductivity"), 2)) if x)))
    air = member.get("air") or {}
    if air:
        pts = air.get("points") or []
        text = {"weather": "weather", "series": "a series"}.get(air.get("kind"), esc(air.get("kind", "")))
        if air.get("file"):
            text += f" from {esc(air['file'])}"
        if pts:
            text += (f", {len(pts)} points, {u.text('temperature', min(p[1] for p in pts))} to "
                     f"{u.text('temperature', max(p[1] for p in pts))}")
        rng = air.get("range") or {}
        for key, kind, what in (("wind_m_s", "wind", "wind"), ("solar_w_m2", "solar", "sun")):
            if rng.get(key):
                text += f"; {what} {u.text(kind, rng[key][0])} to {u.text(kind, rng[key][1])}"
        rows.append(("Air", text))
    out.append("<h3>Concrete and surroundings</h3>" + table(["", ""], rows))
    drawn = [figure(d, a) for d, a in charts if d]
    if drawn:
        out.append("<div class=charts>" + "".join(drawn) + "</div>")
    events = [(f"{e.get('at_h', 0):g} h", esc(e.get("what", "")), esc(e.get("target", "")), esc(e.get("change", "")))
              for e in member.get("events") or []]
    if events:
        out.append("<h3>Events</h3>" + table(["At", "Event", "Target", "In the model"], events, (0,)))
    lifts = [(f"{l.get('at_h', 0):g} h", u.text("length", l.get("height_m"), 2), u.text("temperature", l.get("placing_c")),
              esc(l.get("material", ""))) for l in member.get("lifts") or []]
    if lifts:
        out.append("<h3>Lifts</h3>" + table(["Placed at", "Height", "Placing temperature", "Material"], lifts, (0, 1, 2)))
    points = [(esc(p.get("name", "")), esc(p.get("role", "")),
               esc(p.get("face") or "") + (f", {u.text('thickness', p['depth_m'] * 1000, 0)} deep"
                                           if p.get("depth_m") is not None else ""),
               " ".join("–" if x is None else f"{u.value('length', x):.3f}" for x in p.get("member_m") or []))
              for p in member.get("points") or []]
    if points:
        out.append(f"<h3>Named points</h3>" + table(["Point", "Role", "Face", f"Position in the member ({u.unit('length')})"],
                                                  points))
    return "\n".join(out)


# ---------------------------------------------------------------- the named points' checks

def assessment_section(a, shown):
    """The verdict on the named points: the peak, each pair against its
    limits, the hottest minus coldest anywhere for comparison, protection,
    strength and cracking (screening figures)."""
    u = shown
    peak, (temp_limit, _) = a["peak"], a["limits"]
    rows = [(f"<span class={'FAIL' if temp_limit.what in a['failed'] else 'PASS'}>"
             f"{'FAIL' if temp_limit.what in a['failed'] else 'PASS'}</span>", "peak temperature",
             esc(temp_limit.describe()), f"{u.text('temperature', peak['value_c'])} at {hours(peak['time_h'])} h")]
    for p in a["pairs"]:
        status = "PASS" if p["passed"] else "FAIL"
        w = p["worst"]
        rows.append((f"<span class={status}>{status}</span>", esc(p["label"]),
                     esc("; ".join(l.describe() for l, _ in p["checks"])),
                     f"{u.text('difference', w['value_k'])} at {hours(w['time_h'])} h"))
    w = a["anywhere"]
    rows.append(("for comparison" if a["pairs"] else "the check", esc(w["label"]), "",
                 f"{u.text('difference', w['value_k'])} at {hours(w['time_h'])} h"))
    out = ["<h2>Verdict on the named points</h2>",
           f"<p>Verdict on the named points: <span class={a['verdict']} id=points-verdict>{a['verdict']}</span>"
           + (f" ({esc(', '.join(a['failed']))} exceeded)" if a["failed"] else "") + "</p>",
           table(["Result", "Check", "Limit", "Worst"], rows)]
    if a["protection"]:
        out.append(f"<p>Protection: {esc(a['protection']['note'])} (air: {esc(a['protection']['air'])}).</p>")
    s = a["strength"]
    if s:
        strip = s.get("stripping_mpa")
        heads = ["Point", "Strength at the end", "Equivalent age at the end"] + (
            [f"Reaches {u.text('strength', strip, 1)}"] if strip else [])
        crack = {q["name"]: q for q in (a["cracking"] or {}).get("points", [])}
        if crack:
            heads.append("Least cracking index")
        body = []
        for q in s["points"]:
            row = [esc(q["name"]), u.text("strength", q["mpa"][-1]), f"{q['te_h'][-1]:.1f} h"]
            if strip:
                row.append(f"{hours(q['stripping_h'])} h" if q["stripping_h"] is not None else "not reached")
            if crack:
                c = crack.get(q["name"])
                row.append("" if not c else f"{c['least']:.2f} at {hours(c['least_h'])} h"
                           if c["least"] is not None else "never cooler than the core")
            body.append(row)
        out.append("<h3>Strength and cracking risk</h3>" + table(heads, body, tuple(range(1, len(heads)))))
        out.append(f"<p class=note>Screening figures, not a design check. Strength by the maturity method: "
                   f"S = S<sub>u</sub> exp(−(τ/t<sub>e</sub>)<sup>β</sup>), S<sub>u</sub> = "
                   f"{u.text('strength', s['ultimate_mpa'], 0)}, τ = {s['tau_h']:g} h, β = {s['beta']:g} "
                   f"({esc(s['source'])}); equivalent age with {s['activation_kj_mol']:g} kJ/mol at "
                   f"{u.text('temperature', s['reference_c'], 0)} ({esc(s['constants'])}). Cracking index: "
                   "tensile strength over the thermal stress from the point's difference to the core"
                   + (f", restraint {a['cracking']['restraint']:g}" if a["cracking"] else "") +
                   "; below 1 a crack is likely.</p>")
    out += [f"<p class=note>{esc(n)}</p>" for n in a["notes"]]
    return "\n".join(out)
