"""The report on a finished run: the verdict against the limits, printed
one line per limit, and the page written beside it (listed in the run
directory's manifest, so that the next run there clears it)."""

import os

from .assess import assess, assessment_lines, member_limits, read_member
from .charts import (air_chart, concrete_cells, heat_curve_chart, pairs_chart, points_chart, section_chart,
                     strength_chart)
from .described import material_grid, read_sections
from .limits import back_under, evaluate, limits_of, verdict_line
from .page import assessment_section, esc, member_section, model_section, page
from .pdf import print_pdf
from .pictures import concrete_picture, plot_field, plot_monitors, setup_matplotlib, tool_picture
from .project import read_project
from .results import (CONCRETE, RunError, cell, finished_run, read_concrete, read_field, read_series_points,
                      read_steps, read_weather_air, record_artefact)
from .units import Shown, hours, temp

PROG = "pourheat-report"


def report(rundir, max_temp=None, max_diff=None, diff_curve=None, out=None, project=None, flag=None,
           restraint=0.5, strip_strength=None, member=None, units="SI", pdf=False, paper=None):
    """Prints the verdict on the finished run in `rundir` against the limits
    (limits_of reads them) and writes the page, by default report.html in
    the run directory. Returns the exit status: 1 when a limit is exceeded.
    With points.csv in the run directory, the assessment's lines follow and
    the status is that of the verdict on the named points."""
    _, project_path = finished_run(rundir, flag, project)
    member = read_member(member, rundir)
    temp_limit, diff_limits = member_limits(limits_of(max_temp, max_diff, diff_curve), member)
    rows = read_concrete(os.path.join(rundir, CONCRETE))
    if not rows:
        raise RunError(f"{rundir}: {CONCRETE} holds no step with concrete (no material with "
                       "production above 0 off the mirror faces): nothing to check")
    plt = setup_matplotlib()

    checks = evaluate(rows, temp_limit, diff_limits)
    assessment = assess(rundir, (temp_limit, diff_limits), member, restraint, strip_strength, project_path)
    peak = assessment["peak"]
    _, top, limit_there = checks[0][1]["worst"]
    same = [r for r in rows if r["time_h"] == peak["time_h"] and r["max_C"] == top]
    if temp_limit.constant() and same:  # the peak's step as the program's summary gives it
        checks[0][1]["worst"] = (peak["time_h"], top, limit_there)
    print(f"{PROG}: {rundir}: {len(rows)} steps from {hours(rows[0]['time_h'])} h to "
          f"{hours(rows[-1]['time_h'])} h")
    print("limits: " + "; ".join(f"{l.what} {l.describe()}" for l, _ in checks))
    lines = [verdict_line(l, r) for l, r in checks]
    key = [f"peak concrete temperature {temp(peak['value_c'])} reached at {hours(peak['time_h'])} h in cell "
           f"{cell(*peak['cell'])}"]
    key += [back_under(l, r) for l, r in checks[1:]]
    failed = sum(r["exceeded"] for _, r in checks)
    overall = "FAIL" if failed else "PASS"
    verdict = (f"verdict: FAIL, {failed} of {len(checks)} limits exceeded" if failed
               else f"verdict: PASS, every limit holds ({len(checks)})")
    for line in lines + key + [verdict]:
        print(line)

    # The page.
    notes = []
    model = None
    try:
        model = read_project(project_path)
    except (ValueError, IndexError, OSError) as e:
        notes.append(f"The project file {os.path.basename(project_path)} could not be read in full ({e}).")
    series_path = os.path.join(rundir, "series.pr")
    points = read_series_points(series_path) if os.path.isfile(series_path) else []
    title = os.path.splitext(os.path.basename(project_path))[0]

    shown = Shown(units)
    described = None
    if member:
        charts = [(heat_curve_chart(plt, member.get("concrete") or {}, shown),
                   "the adiabatic rise against the equivalent age"),
                  (air_chart(plt, weathered_air(member.get("air"), rundir), shown),
                   "the air temperature against time")]
        described = member_section(member, shown, charts)
        title = member.get("title") or title

    pictures = [("Concrete temperatures and their difference",
                 concrete_picture(plt, rows, temp_limit, checks[0][1], checks[1:], shown, peak),
                 "highest, mean and lowest concrete temperature, and their difference, against time")]
    if assessment["points"]:
        pictures += point_pictures(plt, assessment, shown)
    else:
        center = os.path.join(rundir, "Center.out")
        history = read_steps(center, len(points) + 1 if points else None) if os.path.isfile(center) else []
        pictures.append(("Monitor cells", tool_picture(plot_monitors, plt, history, points, title)
                         if history else None, "monitor cells of series.pr against time" if history else
                         "No monitor cells: the run directory holds no Center.out."))
    sections_path = os.path.join(rundir, "sections.csv")
    if model and os.path.isfile(sections_path):
        pictures += section_pictures(plt, read_sections(sections_path), model, project_path, member, shown)
    else:
        pictures.append(field_picture(plt, rundir, model, rows[-1], points, title))
    verdict_rows = []
    for (limit, result), line in zip(checks, lines):
        status = "FAIL" if result["exceeded"] else "PASS"
        detail = line.split("; ")
        verdict_rows.append((f"<span class={status}>{status}</span>", esc(limit.what), esc(limit.describe()),
                             esc(detail[0].split(": ", 1)[1]), esc(detail[-1])))
    checked = None
    if assessment["points"]:  # the verdict on the named points: the pairs stand for the difference
        overall = assessment["verdict"]
        checked = assessment_section(assessment, shown)
    text = page(title, rundir, PROG, verdict_rows, overall, key,
                model_section(model, os.path.basename(project_path), rows, points, shown),
                pictures, notes, described, checked)
    out = out or os.path.join(rundir, "report.html")
    record_artefact(rundir, out)
    with open(out, "w", encoding="utf-8") as f:
        f.write(text)
    print(f"report: {out}")
    for line in assessment_lines(assessment):
        print(line)
    if pdf:
        pdf_path = os.path.splitext(out)[0] + ".pdf"
        record_artefact(rundir, pdf_path)
        print_pdf(out, pdf_path, paper or ("Letter" if units == "US" else "A4"))
        print(f"report: {pdf_path}")
    if assessment["points"]:  # with named points, their verdict is the run's
        return 1 if assessment["failed"] else 0
    return 1 if failed else 0


def weathered_air(air, rundir):
    """member.json's air, with the rows of its weather file beside the
    project as its points when it follows one."""
    air = dict(air or {})
    if not air.get("points") and air.get("file"):
        air["points"] = read_weather_air(os.path.join(rundir, os.path.basename(air["file"]))) or []
    return air


def field_picture(plt, rundir, model, hot, points, title):
    """The final field of the layer of the hottest concrete cell at the end."""
    k = hot["max_k"]
    picture, note = None, "No final field: the project file could not be read."
    if model:
        path = os.path.join(rundir, model["output"])
        if os.path.isfile(path):
            layers = read_field(path, model["nx"])
            if 1 <= k <= len(layers):
                picture = tool_picture(plot_field, plt, layers, k, model, points, hot["time_h"], title)
                note = f"final temperature of layer k = {k}, the layer of the hottest concrete cell at the end"
        else:
            note = f"No final field: the run directory holds no {model['output']}."
    return (f"Final field of the hottest layer, k = {k}", picture, note)


def point_pictures(plt, a, shown):
    """The named points, the pairs against the difference limits, strength
    and cracking index: from the assessment."""
    times = a["times"]
    out = [("The named points", points_chart(plt, [p["name"] for p in a["points"]],
                                             [[t] + [p["temps"][n] for p in a["points"]] for n, t in enumerate(times)],
                                             shown), "each named point's temperature against time")]
    if a["pairs"]:
        series = [(p["label"], times, p["diff"]) for p in a["pairs"]]
        out.append(("Differences between the pairs of points", pairs_chart(plt, series, a["limits"][1], shown),
                    "each pair's temperature difference against time, with the difference limits"))
    if a["strength"]:
        out.append(("Strength and cracking index (screening figures)", strength_chart(plt, a, shown),
                    "strength by maturity and the cracking index of each surface point against time"))
    return out


def section_pictures(plt, sections, model, project_path, member, shown):
    concrete = concrete_cells(model, material_grid(project_path, model))
    marks = [(p.get("name", ""), p["grid_m"]) for p in (member or {}).get("points") or []
             if len(p.get("grid_m") or []) == 3]
    out = []
    for kind, heading in (("peak", "Section through the core at the peak"),
                          ("difference", "Section through the core at the largest difference")):
        entries = {plane: e for (k, plane), e in sections.items() if k == kind and plane in "xyz" and e["cells"]}
        if entries:
            out.append((heading, section_chart(plt, heading, entries, model, concrete, marks, shown),
                        f"temperatures on the planes through the core, {kind}"))
    return out
