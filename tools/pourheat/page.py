"""The report's page: one HTML file, pictures embedded, that opens in any
browser without a network: the verdict, the table of the limits, what was
modelled, and the pictures."""

import html

from .results import cell
from .units import hours

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
    out = ["<table><tr>" + "".join(f"<th>{esc(h)}</th>" for h in head) + "</tr>"]
    for r in rows:
        out.append("<tr>" + "".join(f"<td class=num>{esc(v)}</td>" if n in numeric else f"<td>{v}</td>"
                                    for n, v in enumerate(r)) + "</tr>")
    return "\n".join(out) + "</table>"


def model_section(model, project_name, rows, points):
    if model is None:
        return "<p class=note>No project file could be read in the run directory: the model is not described.</p>"
    m = model
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
        ("Placement temperature", f"{m['placement']:g} °C"),
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
            detail = f"1 point: {pts[0][1]:g} °C throughout"
        elif pts:
            span = (f"{len(pts)} points, {hours(pts[0][0])} h to {hours(pts[-1][0])} h, "
                    f"{min(p[1] for p in pts):g} to {max(p[1] for p in pts):g} °C")
            detail = "<details><summary>" + span + "</summary>" + ", ".join(
                f"{hours(t)} h: {v:g} °C" for t, v in pts) + "</details>"
        else:
            detail = "no series: keeps its starting temperature"
        mats_named = m["materials"]
        name = mats_named[b["material"] - 1]["remark"] if 1 <= b["material"] <= len(mats_named) else ""
        series.append((b["material"], esc(b["remark"] or name), f"{b['initial']:g}", detail))
    out.append("<h3>Boundary materials</h3>" + table(
        ["Material", "Remark", "Starting temperature °C", "Series"], series, numeric=(0, 2)))
    return "\n".join(out)


def page(title, rundir, by, verdict_rows, overall, key_lines, model_html, pictures, notes):
    parts = [f"<!DOCTYPE html><html lang=en><head><meta charset=utf-8><title>{esc(title)}</title>"
             f"<style>{STYLE}</style>{OPEN_ON_PRINT}</head><body>",
             f"<h1>Thermal report: {esc(title)}</h1>",
             f"<p class=note>Run directory {esc(rundir)}; written by {by} from the run's files.</p>",
             f"<div class='verdict {overall}' id=verdict>{overall}</div>",
             "<h2>Verdict</h2>",
             table(["Result", "Limit", "Limit value", "Worst", "Above the limit"], verdict_rows),
             "<ul>" + "".join(f"<li>{esc(l)}</li>" for l in key_lines) + "</ul>",
             "<p class=note>Concrete: every cell of a material with production above 0, except the cells of "
             "mirror faces. Temperatures from concrete.csv, one row per step; between steps the values are "
             "taken on the straight line joining them.</p>",
             "<h2>What was modelled</h2>", model_html]
    for heading, data, alt in pictures:
        parts.append(f"<h2>{esc(heading)}</h2>")
        parts.append(f"<img alt='{esc(alt)}' src='data:image/png;base64,{data}'>" if data else
                     f"<p class=note>{esc(alt)}</p>")
    if notes:
        parts.append("<h2>Notes</h2><ul>" + "".join(f"<li>{esc(n)}</li>" for n in notes) + "</ul>")
    parts.append("</body></html>\n")
    return "\n".join(parts)
