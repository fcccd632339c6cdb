"""model.md: what was built, for the one who runs it: the grid and the
dimensions with their errors, the layers, the materials, the surfaces, the
heat of hydration, the air series and the monitor cells."""

import math

from ..project import SERIES_MAX, num, physics_block
from .air import UNIT_NAMES
from .describe import GAS, PRESET_AT, age_factor
from .grid import side_requested, surface_resistance
from .model import start_temperature
from .write import describe_model, physics


def model_text(d_, model, name, source):
    x, y, z = model["x"], model["y"], model["z"]
    t = d_["template"]
    sound = d_["mode"] == "sound"
    mats, number = model["materials"], model["number"]
    L = []
    w = L.append
    w(f"# {d_['title']}")
    w("")
    w(f"Built by `pourheat-new` from `{source}` (template `{t}`). {describe_model(d_, model)}. "
      f"Grid {x.n} x {y.n} x {z.n} cells; the run covers {num(d_['hours'])} h from the placing.")
    w("")
    w("Run it in this folder, then draw it:")
    w("")
    w("```sh")
    w(f"pourheat {name}.prj run.log done.flg")
    w("pourheat-plot .")
    w("```")
    w("")
    for line in physics_lines(d_, model):
        w(line)
    w("## Grid and dimensions")
    w("")
    w("| Axis | Cells | Cell size | Face at the low end | Face at the high end |")
    w("|---|---|---|---|---|")
    for a in (x, y, z):
        index = "ijk"["xyz".index(a.name)]
        ends = ["mirror" if mirror else "held" for mirror in (a.mirror_lo, a.mirror_hi)]
        w(f"| {a.name} ({index}) | {a.n} | {num(round(a.d, 6))} m | {ends[0]} ({index} = 1) | "
          f"{ends[1]} ({index} = {a.n}) |")
    w("")
    w(f"Face codes `{model['codes']}`. A mirror face copies the plane two cells inside, so the "
      "symmetry plane runs through the centres of the cells next to it: a mirrored half of n "
      "cells is n - 0.5 cells wide.")
    w("")
    w("| Dimension | Requested | Modelled | Difference |")
    w("|---|---|---|---|")
    for label, req, got in dimensions(d_, model):
        w(f"| {label} | {req:.3f} m | {got} | {diff_text(req, got)} |")
    w("")
    if hasattr(x, "round"):
        w("The round section is drawn in whole cells: a cell is concrete when its centre lies inside "
          "the diameter, so across its centre lines the concrete spans exactly the diameter and its "
          "outline elsewhere is a staircase.")
        w("")
    w("Plan, by columns:")
    w("")
    for line in plan_lines(d_, model):
        w(line)
    w("")
    w("Layers, from the bottom (k = 1):")
    w("")
    w("| Layers k | Holds |")
    w("|---|---|")
    names = {"soil": "soil", "footing": "footing", "member": "concrete member",
             "top": "top cover cells" if sound else "top surface cells", "air": "air (held)"}
    zones = z.zones
    n = 0
    while n < len(zones):
        r = n
        while r + 1 < len(zones) and zones[r + 1] == zones[n]:
            r += 1
        what = names[zones[n]] if not d_["slice"] else "the member's section"
        if n == 0 and zones[0] == "soil":
            what += " (the bottom layer held)"
        w(f"| {n + 1}{'' if r == n else f'-{r + 1}'} | {what} |")
        n = r + 1
    w("")
    w("## Materials")
    w("")
    held = [mats[m]["name"].split(" (")[0] for m in model["used"] if mats[m].get("series")]
    held = ", ".join(held[:-1]) + " and " + held[-1] if len(held) > 1 else held[0]
    w("Every material but the concrete has a boundary block, so that it starts at its own "
      "temperature, in whole degrees (all the program takes for a boundary material). "
      f"The {held} {'are' if ' and ' in held else 'is'} held at {'their' if ' and ' in held else 'its'} "
      "series where it lies on the faces of the grid or outside the plan outline; all other cells are "
      "computed. The concrete is material 1.")
    w("")
    w("| # | Material | Conductivity W/(m K) | Heat capacity MJ/(m3 K) | Starts at | Held |")
    w("|---|---|---|---|---|---|")
    for m in model["used"]:
        mt = mats[m]
        start = (f"{num(round(d_['placing'], 2))} C (placing)" if m == "concrete"
                 else f"{start_temperature(mt['start'])} C")
        held = "no" if not mt.get("series") else ("constant" if len(mt["series"]) == 1
                                                   else f"series of {len(mt['series'])} points")
        w(f"| {number[m]} | {mt['name']} | {mt['k']:.4g} | {mt['c'] * mt['rho'] / 1e6:.4g} | {start} | {held} |")
    w("")
    w("## Surfaces")
    w("")
    if sound:
        for line in sound_surface_lines(d_, model):
            w(line)
    else:
        w("| Face | Requested resistance m2 K/W | Modelled | Cells |")
        w("|---|---|---|---|")
        for label, req, got, cells in surfaces(d_, model):
            w(f"| {label} | {req:.3f} | {got:.3f} | {cells} |")
        w("")
        w(f"A surface in air has the film resistance 1/h, h = {num(d_['film'])} W/(m2 K) (`air.film`), plus "
          "the cover's thickness over its conductivity. The program lets each cell use its own conductivity "
          "on all six faces, so cells that hold no heat source settle to a straight-line temperature "
          "between their neighbours whatever their conductivity: a thin layer of low conductivity in one "
          "cell would not slow the heat. So the tool gives a surface as many cells, between the concrete "
          "and the held air, as make its resistance: n cells of the concrete's conductivity and half of the "
          "held cell beyond them resist (n + 0.5) x cell size / conductivity. A cover's cells carry its "
          "own heat capacity, spread over them."
          + (" Around the round member the ring of cells spreads the heat: r ln((r + n + 0.5)/r) x cell "
             "size / conductivity, r the radius in cells." if hasattr(x, "round") else ""))
    w("")
    w("## Heat of hydration")
    w("")
    for line in hydration_lines(d_):
        w(line)
    step, share = model["first"]
    c = d_["concrete"]
    w("")
    if sound:
        w(f"The program's first step ends at the placing and covers the {step:.2f} h before it; the "
          "concrete starts hydrating at the placing, so that step releases nothing. No step is longer "
          f"than {num(d_['max_step'])} h (`physics.max_step`).")
    else:
        w(f"The program's first step ends at the placing and covers the {step:.2f} h before it; the heat "
          f"it releases, {100 * share:.1f} % of the total (a rise of "
          f"{share * total_heat(d_) / (c['rho'] * c['c']):.1f} K), is there at the start. Smaller cells "
          "shorten that step.")
    w("")
    w("## Air temperature")
    w("")
    for line in air_lines(d_):
        w(line)
    for line in event_lines_md(model) + point_lines(model):
        w(line)
    w("")
    w("## Monitor cells")
    w("")
    w("`series.pr` lists them; `Center.out` has one column per cell after the time, in this order "
      "(degrees Fahrenheit).")
    w("")
    w("| Column | Cell (i, j, k) | Where |")
    w("|---|---|---|")
    for n, (label, (i, j, k)) in enumerate(model["monitors"], 2):
        w(f"| {n} | ({i}, {j}, {k}) | {label} |")
    return "\n".join(L) + "\n"


def plan_lines(d_, model):
    x, y = model["x"], model["y"]
    if hasattr(x, "round"):
        m, n_c, n_m, r0 = x.round
        out = [f"- centre ({x.centre}, {y.centre}); concrete within {m / 2:g} cells of it"]
        if n_c:
            what = "side cover" if d_["mode"] == "sound" else "side surface"
            out.append(f"- {n_c} cell{'s' * (n_c > 1)} of {what} around it")
        if n_m:
            out.append(f"- soil out to {r0:g} cells from the centre")
        out.append(f"- outside {r0:g} cells (the program's circular outline, radius (nx - 1)/2): held")
        return out
    names = {"member": "concrete", "cover": "side cover cells" if d_["mode"] == "sound" else "side surface cells",
             "margin": "soil beside the member", "ring": "outer ring, held"}
    out = []
    for a in (x, y):
        index = "ij"["xy".index(a.name)]
        if a.mirror_lo and a.mirror_hi:
            out.append(f"- {index} = 1-{a.n}: a slice along {a.name}; {index} = 1 and {a.n} are mirror faces")
            continue
        parts, n = [], 1 if a.mirror_lo else 0
        while n < a.n:
            r = n
            while r + 1 < a.n and a.zones[r + 1] == a.zones[n]:
                r += 1
            parts.append(f"{index} = {n + 1}{'' if r == n else f'-{r + 1}'} {names[a.zones[n]]}")
            n = r + 1
        mirror = f"{index} = 1 mirrors {index} = 3; " if a.mirror_lo else ""
        out.append(f"- {mirror}{'; '.join(parts)}")
    return out


def diff_text(req, got):
    value = float(got.split()[0])
    return f"{value - req:+.3f} m"


def dimensions(d_, model):
    """(label, requested m, modelled text) of every modelled dimension."""
    x, y, z = model["x"], model["y"], model["z"]
    t = d_["template"]
    out = []

    def member(label, req, a):
        m = a.hi - a.lo + 1
        if a.mirror_lo:
            cells = 2 * m - 1
            text = f"{num(round(cells * a.d, 6))} m ({cells} cells; the model holds {m - 0.5:g})"
        else:
            cells = m
            text = f"{num(round(cells * a.d, 6))} m ({cells} cells)"
        out.append((label, req, text))

    if hasattr(x, "round"):
        member("diameter (x, y)", d_["diameter"], x)
    elif t == "wall":
        member("thickness (y)", d_["thickness"], y)
    else:
        member("length (x)", d_["length"], x)
        member("width (y)", d_["width"], y)
    if not d_["slice"]:
        member("height (z)", d_["height"], z)
        ns = z.zones.count("soil")
        out.append(("soil below the member", d_["soil"]["depth"], f"{num(round(ns * z.d, 6))} m ({ns} cells)"))
        if "footing" in d_:
            nf = z.zones.count("footing")
            out.append(("footing height", d_["footing"]["height"], f"{num(round(nf * z.d, 6))} m ({nf} cells)"))
    if d_["sides"] == "soil":
        a = x
        if hasattr(x, "round"):
            nm = x.round[2]
        else:
            nm = a.zones.count("margin") // (1 if a.mirror_lo else 2)
        req = d_["soil"]["margin"] or d_["soil"]["depth"]
        out.append(("soil beside the member", req, f"{num(round(nm * a.d, 6))} m ({nm} cells)"))
    return out


def surfaces(d_, model):
    x, y, z = model["x"], model["y"], model["z"]
    k = d_["concrete"]["k"]
    out = []
    if not d_["slice"]:
        R, _ = side_requested(d_, "top")
        n = z.zones.count("top")
        out.append(("top", R, surface_resistance(n, z.d, k, True), n))
    R, held = side_requested(d_, "sides")
    if R > 0 or d_["sides"] == "air":
        axes = [x] if hasattr(x, "round") else ([y] if d_["template"] == "wall" else [x, y])
        for a in axes:
            radius = a.round[0] / 2 if hasattr(a, "round") else None
            n = a.round[1] if radius else a.zones.count("cover") // (1 if a.mirror_lo else 2)
            label = "sides" if len(axes) == 1 else f"sides facing {a.name}"
            out.append((label, R, surface_resistance(n, a.d, k, held, radius), n))
    return out


def total_heat(d_):
    """Heat per m3 the curve can release, J."""
    h = d_["hydration"]
    return d_["content"] * h["heat"] * 1000 * (h["p"][0] if h["mode"] == "exponential" else 1)


def physics_lines(d_, model):
    """What the [Physics] block says, in the sound mode; nothing in the legacy one."""
    if d_["mode"] != "sound":
        return []
    block = physics_block(physics(d_, model))
    return ["## Physics", "",
            "The project ends with a `[Physics]` block: the program balances the heat at every face between "
            "two cells (one conductance per face, the two half cells in series, and a film where a held "
            "material has one) and releases the heat of hydration cell by cell, each cell at its own "
            "equivalent age. Without the block the program runs its earlier physics, which a description "
            "asks for with `mode = \"legacy\"` under `[physics]`.", "", "```", *block, "```", ""]


def hydration_lines(d_):
    h = d_["hydration"]
    c = d_["concrete"]
    qtot = d_["content"] * h["heat"] * 1000
    L = []
    if d_["mode"] == "sound":
        return sound_hydration_lines(d_)
    if h["mode"] == "table":
        L.append(f"Measured heat-rate table from `{h['file']}` ({len(h['rows'])} rows): the program "
                 f"scales it to release {num(h['heat'])} kJ/kg x {num(d_['content'])} kg/m3 = "
                 f"{qtot / 1e6:.4g} MJ/m3 by 32 days.")
        total = qtot
    else:
        p = h["p"]
        if h.get("binder"):
            L.append(f"Binder `{h['binder']}`: {h['binder_text']}. These are typical values, not "
                     "measured ones: fit the curve to the mix's own calorimetry and give `p1`, `p2`, "
                     "`p3` and `heat` instead (docs/members.md says how).")
            L.append("")
        if h["mode"] == "exponential":
            L.append(f"Exponential curve: released fraction {num(p[0])} x exp(-({num(p[2])} h / age)^"
                     f"{num(p[1])}) of {num(h['heat'])} kJ/kg x {num(d_['content'])} kg/m3.")
            L.append("")
            L.append("Beware: in this curve the program multiplies the rate by a temperature factor "
                     "(1 at 24 C, about 2 at 40 C) without advancing the age, so concrete that runs "
                     "hot releases its heat too early; the program only caps the release at the "
                     "binder's total heat. The sigmoid curve or a rate table do not depend on "
                     "temperature.")
            total = qtot * p[0]
        else:
            L.append(f"Sigmoid curve: released fraction 1 - (1 + exp((age - {num(p[1])} h) / "
                     f"{num(p[0])} h))^-{num(p[2])} of {num(h['heat'])} kJ/kg x {num(d_['content'])} kg/m3; "
                     "it does not depend on temperature.")
            total = qtot
    L.append("")
    L.append(f"Total heat {total / 1e6:.4g} MJ/m3: an adiabatic rise of "
             f"{total / (c['rho'] * c['c']):.1f} K over the placing temperature "
             f"{num(round(d_['placing'], 2))} C.")
    return L


def sound_hydration_lines(d_):
    """The heat of hydration in the sound mode: the curve in equivalent age
    at the reference temperature, each cell's age advanced at its own
    temperature."""
    h, c = d_["hydration"], d_["concrete"]
    E, ref = h["activation"], h["reference"]
    qtot = d_["content"] * h["heat"] * 1000
    source = {"preset": f", the `{h.get('binder')}` preset's", "typical": ", typical of Portland cement",
              "given": ""}[h["activation_from"]]
    L = [f"Each concrete cell keeps its own equivalent age at {num(ref)} C (`concrete.reference`), advanced "
         f"over a step by the step x exp(E/R (1/{num(round(ref + 273.15, 2))} - 1/(T + 273.15))) at the "
         f"cell's own temperature T (C), E = {num(E)} kJ/mol (`concrete.activation`"
         + f"{source}), R = {num(GAS)} J/(mol K); a cell releases the heat its curve gives between the ages at the "
         "start and at the end of each step.", ""]
    if h.get("binder"):
        L += [f"Binder `{h['binder']}`: {h['binder_text']}. These are typical published values, not measured "
              "ones: fit the curve and the activation energy to the mix's own calorimetry and give `p1`, "
              "`p2`, `p3`, `heat` and `activation` instead (docs/members.md says how).", ""]
        if "preset" in h:
            f = age_factor(E, ref)
            which = "characteristic age p3" if h["mode"] == "exponential" else "time scale p1 and age p2"
            L += [f"The preset gives its curve at {num(PRESET_AT)} C; at {num(ref)} C each of its ages is "
                  f"{f:.4f} times as long (exp(E/R (1/{num(round(ref + 273.15, 2))} - 1/"
                  f"{num(PRESET_AT + 273.15)}))), and so {'is' if h['mode'] == 'exponential' else 'are'} its {which}.", ""]
    p = h.get("p")
    if h["mode"] == "table":
        L.append(f"Measured heat-rate table from `{h['file']}` ({len(h['rows'])} rows), read against the "
                 f"equivalent age: the program scales it to release {num(h['heat'])} kJ/kg x "
                 f"{num(d_['content'])} kg/m3 = {qtot / 1e6:.4g} MJ/m3 by the equivalent age of the row it adds "
                 f"after the last, 2.3 t_n - 1.3 t_(n-1) = {num(round(table_end(h['rows']), 3))} h, and nothing "
                 "after it: `heat` is what the binder releases by then.")
        total = qtot
    elif h["mode"] == "exponential":
        L.append(f"Exponential curve: released fraction {num(p[0])} x exp(-({num(round(p[2], 4))} h / te)^"
                 f"{num(p[1])}) of {num(h['heat'])} kJ/kg x {num(d_['content'])} kg/m3, te the equivalent age.")
        total = qtot * p[0]
    else:
        top = 1 - (1 + math.exp(-p[1] / p[0])) ** -p[2]
        L.append(f"Sigmoid curve: released fraction (1 + exp(-{num(round(p[1], 4))} h / {num(round(p[0], 4))} h))"
                 f"^-{num(p[2])} - (1 + exp((te - {num(round(p[1], 4))} h) / {num(round(p[0], 4))} h))^-{num(p[2])} "
                 f"of {num(h['heat'])} kJ/kg x {num(d_['content'])} kg/m3, te the equivalent age.")
        total = qtot * (1 - top)
    L += ["", f"Total heat {total / 1e6:.4g} MJ/m3: an adiabatic rise of {total / (c['rho'] * c['c']):.1f} K over "
          f"the placing temperature {num(round(d_['placing'], 2))} C."]
    return L


def table_end(rows):
    """The equivalent age (h) by which a rate table releases all its heat in
    the sound mode: that of the row the program adds after the last."""
    return 2.3 * rows[-1][0] - 1.3 * rows[-2][0]


def sound_surface_lines(d_, model):
    """Each surface: the resistance asked and modelled, and how: a film on
    the held air with any thin cover folded in, or cover cells (the film
    beyond them when in air); per plan axis where the cells' size differs."""
    x, y = model["x"], model["y"]
    mats, number = model["materials"], model["number"]
    L = ["| Face | Requested resistance m2 K/W | Modelled | As |", "|---|---|---|---|"]
    faces = list(model["faces"])
    side = d_["cover"].get("sides")
    if d_["sides"] == "soil" and side:
        faces.append({"face": "sides", "R_asked": side["t"] / side["k"], "cover": side, "cells": 1, "air": None})
    for f in faces:
        cover, n, m = f["cover"], f["cells"], "topcover" if f["face"] == "top" else "sidecover"
        if f["air"]:
            film = f"a film of {f['film']:.4g} W/(m2 K) on the held {mats[f['air']]['name']} ({number[f['air']]})"
        if not (cover and n):
            how = film
            if cover:
                how += (f": 1/{num(d_['film'])} and {num(round(cover['t'] * 1000, 3))} mm of {cover['name']} "
                        f"of {num(cover['k'])} W/(m K), thinner than a cell ({num(round(f['d'], 4))} m), "
                        "folded in without its heat capacity")
            if f["scale"] != 1:
                how += (f"; written as {f['h']:.4g} W/(m2 K): the outline in whole cells has "
                        f"{1 / f['scale']:.3f} times the face of the round one")
            L.append(f"| {f['face']} | {f['R_asked']:.3f} | {1 / f['film']:.3f} | {how} |")
            continue
        axes = [model["z"]] if m == "topcover" else [x] if hasattr(x, "round") else \
            [a for a in (x, y) if "cover" in a.zones]
        k = mats[m]["k"]
        for a in axes:
            label = f["face"] + (f" facing {a.name}" if len(axes) > 1 else "") + ("" if f["air"] else " (in the soil)")
            how = (f"{n} cell{'s' * (n > 1)} of {cover['name']} (material {number[m]}): "
                   f"{num(round(cover['t'], 4))} m in cells of {num(round(a.d, 4))} m at {k:.4g} W/(m K), "
                   "so that the cells resist as the cover does" + (f"; then {film}" if f["air"] else ""))
            got = n * a.d / k + (1 / f["film"] if f["air"] else 0.0)
            L.append(f"| {label} | {f['R_asked']:.3f} | {got:.3f} | {how} |")
    L += ["", "Each face between two cells passes heat through the half cells on both sides in series, d/(2 k) "
          "each; a face between a computed cell and the held air passes it through the computed cell's "
          "half cell and the air's film, d/(2 k) + 1/h. So a surface in air needs no cells of its own: its "
          f"film h = {num(d_['film'])} W/(m2 K) (`air.film`) stands on the held air, and a cover thinner "
          "than a cell is folded into it, 1/h + thickness/conductivity. A cover a cell thick or more is "
          "modelled as cells with its own heat capacity, spread over them, and a conductivity that makes "
          "them resist as the cover does (a cover in the soil takes at least one cell)."]
    if any(f["scale"] != 1 for f in model["faces"]):
        L += ["", "The round outline in whole cells has more face than the circle; the side film is scaled "
              "by the circumference over that face, so that the sides pass the heat of a round surface."]
    return L


def event_lines_md(model):
    """The events in time order and what each changes."""
    if not model["events"]:
        return []
    L = ["", "## Events", "", "In time order, each at the first step boundary at or after its time (the `at=` "
         "lines of the block):", "", "| Hours | Entry | Line | What changes |", "|---|---|---|---|"]
    return L + [f"| {num(e['at'])} | `{e['key']}` | `at={e['line']}` | {e['what']} |" for e in model["events"]]


def point_lines(model):
    """The named points in the member's frame and in the grid's."""
    if not model["points"]:
        return []
    L = ["", "## Named points", "",
         "`points.csv` has one column per point after the time, in this order (C). A point between cell "
         "centres reads the temperatures around it on straight lines; a point on a concrete face reads the "
         "face. The member's frame starts at its own low corner (its bottom for z); the grid's at the outer "
         "low corner of cell (1, 1, 1). In a quarter or half model a point on the mirrored part stands at its "
         "modelled twin.", "", "| Point | In the member (m) | In the grid (m) | Under |", "|---|---|---|---|"]
    for p in model["points"]:
        under = f"{p['face']}, {num(round(p['depth'] * 1000, 3))} mm" if p["face"] else \
            "" if p["depth"] is None else f"{num(round(p['depth'] * 1000, 3))} mm under the faces near it"
        member = ", ".join("slice" if v is None else num(round(v, 6)) for v in p["member"])
        grid = ", ".join(num(round(v, 6)) for v in p["grid"])
        L.append(f"| {p['name']} | {member} | {grid} | {under} |")
    return L


def air_lines(d_):
    a = d_["air"]
    pts = a["points"]
    if a["form"] == "weather":
        return weather_lines(d_)
    if a["form"] == "constant":
        return [f"Constant {num(round(pts[0][1], 2))} C."]
    if a["form"] == "daily":
        head = (f"Daily cycle: mean {num(round(a['mean'], 2))} C, amplitude {num(round(a['amplitude'], 2))} K, "
                f"highest at {num(a['peak'])} h of the day; the placing at {num(d_['start_hour'])} h.")
    else:
        unit = "" if a["unit"] == "C" else f" (in degrees {UNIT_NAMES[a['unit']]}, turned into C)"
        head = f"Hourly temperatures from `{a['file']}`{unit}, the placing at {num(d_['start_hour'])} h of the day."
    n = len(a["hourly"])
    if n <= SERIES_MAX:
        return [head, "", f"All {n} values form the series."]
    more = ("" if len(pts) == SERIES_MAX else
            " No further point would bring it closer: the program's reading of a series is flat at "
            "every point, so between two points hours apart it runs a smooth step, and a point on "
            "the slope in between would add a flat spot.")
    return [head, "",
            f"The {n} hourly values are reduced to {len(pts)} points (a boundary series holds "
            f"{SERIES_MAX}): the start, the end and every daily minimum and maximum, then, one at a "
            "time, the hour that brings the series closest to the data where it misses most. "
            f"The largest difference from the hourly values, the series read as the program reads "
            f"it, is {a['largest']:.2f} C.{more}"]


def weather_lines(d_):
    """The weather file the held air follows: its rows, span and the range of
    each column over the run."""
    a = d_["air"]
    w, s = a["weather"], a["span"]
    names = {"air": ("air temperature", "C"), "wind": ("wind speed", "m/s"), "solar": ("sun on a horizontal "
                                                                                   "surface", "W/m2")}
    units = ", ".join(f"{k} in {u}" for k, u in w["units"].items())
    L = [f"The held air follows the weather file `{w['file']}` ({units}), copied beside the project as "
         f"`{w['copy']}` in SI units (`weather=`): {len(w['rows'])} rows from {num(s['first'])} h to "
         f"{num(s['last'])} h, {s['rows']} of them within the run, at most {num(round(s['spacing'], 4))} h "
         "apart. The program reads it on straight lines between rows, every row met.", "",
         "| Column | Lowest | Highest |", "|---|---|---|"]
    for k, (lo, hi) in s["range"].items():
        L.append(f"| {names[k][0]} | {lo:.4g} {names[k][1]} | {hi:.4g} {names[k][1]} |")
    films = ("The films of faces in this air follow the wind hour by hour (h = 5.6 + 4 v up to 5 m/s, "
             "7.2 v^0.78 above)" if "wind" in s["range"] else
             f"No wind column: the films stay at {num(d_['film'])} W/(m2 K) (`air.film`)")
    sun = (f"; the sun enters through the sol-air temperature of each face, T_air + a I / h, absorptivity "
           f"a = {num(d_['absorptivity'])} (`weather.absorptivity`)" if "solar" in s["range"] else "")
    return L + ["", films + sun + "."]
