"""The model built on the grid: the material of every cell, its sections
and layers, the face codes, the materials with their series, the monitor
cells, and the program's first step."""

import math

from ..project import BOUNDARY_MAX, num
from .events import event_lines
from .grid import build_axes, folded_film, plan_zone, side_requested
from .points import named_points
from .tables import DescriptionError


def material_key(zone, layer, sides, sound=False, sideair=False):
    """The material of a cell by its plan zone and its layer. In the sound
    mode a top cover's cells also cover the ground beside the member, and
    the air beside the sides is a material of its own where its film
    differs from the top's."""
    if layer in ("soil", "footing", "air"):
        return layer
    if layer == "top":
        return {"member": "topcover", "cover": "topcover", "margin": "topcover" if sound else "film",
                "ring": "air"}[zone]
    return {"member": "concrete", "cover": "sidecover", "margin": "soil",
            "ring": ("sideair" if sideair else "air") if sides == "air" else "soil"}[zone]


ORDER = ("concrete", "soil", "air", "sideair", "footing", "topcover", "sidecover", "film")


def build(d_):
    x, y, z = build_axes(d_)
    sound = d_["mode"] == "sound"
    faces = surface_faces(d_, x, y, z) if sound else []
    films = {f["air"] for f in faces}
    keys = [[[material_key(plan_zone(x, y, i, j), z.zones[k - 1], d_["sides"], sound, "sideair" in films)
              for i in range(1, x.n + 1)] for j in range(1, y.n + 1)] for k in range(1, z.n + 1)]
    for n, (k1, k2) in enumerate(getattr(z, "lifts", [])[1:], 2):  # each later lift a concrete of its own
        for k in range(k1, k2 + 1):
            keys[k - 1] = [[f"lift{n}" if m == "concrete" else m for m in row] for row in keys[k - 1]]
    lifts = tuple(f"lift{n}" for n in range(2, len(d_.get("lifts", [])) + 2))
    used = [m for m in ORDER + lifts if any(m in row for layer in keys for row in layer)]
    number = {m: n + 1 for n, m in enumerate(used)}
    imat = [[[number[m] for m in row] for row in layer] for layer in keys]
    sections, laysec = [], []
    for layer in imat:
        if layer not in sections:
            sections.append(layer)
        laysec.append(sections.index(layer) + 1)
    model = {"x": x, "y": y, "z": z, "used": used, "number": number, "imat": imat,
             "sections": sections, "laysec": laysec, "faces": faces}
    if len(used) - 1 > BOUNDARY_MAX:
        raise DescriptionError("cover", f"the model needs {len(used) - 1} boundary blocks; the program has 6")
    model["codes"] = face_codes(x, y, z)
    model["materials"] = materials(d_, model)
    model["monitors"] = monitors(d_, model)
    model["first"] = first_step(d_, model)
    model["events"] = event_lines(d_, model) if sound else []
    model["points"] = named_points(d_, model) if sound else []
    return model


def surface_faces(d_, x, y, z):
    """The surfaces in air in the sound mode, each a film on the held air
    that it meets: the top and the sides, each with the resistance asked,
    its cover as cells (a cell thick or more) or folded into the film, and
    the film written. Around a round member the film is scaled by the
    circumference over the faces of the outline in whole cells, so that the
    staircase passes the heat of the round surface. Where the top's film
    and the sides' differ, the air beside the sides is a material of its
    own."""
    out = []
    for face, axis in (("top", z), ("sides", x if d_["template"] != "wall" else y)):
        if face == "top" and d_["slice"] or face == "sides" and d_["sides"] != "air":
            continue
        cover = d_["cover"].get(face)
        if face == "top":
            cells = z.zones.count("top")
        elif hasattr(axis, "round"):
            cells = axis.round[1]
        else:
            cells = axis.zones.count("cover") // (1 if axis.mirror_lo else 2)
        folded = cover is not None and cells == 0
        film = folded_film(d_["film"], [(cover["t"], cover["k"])] if folded else [])
        scale = 1.0
        if face == "sides" and hasattr(x, "round"):
            diameter = (x.round[0] * x.d + (2 * cover["t"] if cover and cells else 0.0))
            scale = math.pi * diameter / (outline_faces(x, y) * x.d)
        # Written as the air's film H and the folded cover's resistance R in series.
        out.append({"face": face, "R_asked": side_requested(d_, face)[0], "cover": cover, "cells": cells,
                    "d": axis.d, "film": film, "h": film * scale, "scale": scale, "air": "air",
                    "H": d_["film"] * scale, "R": (cover["t"] / cover["k"] if folded else 0.0) / scale})
    # A folded cover that comes off changes its air's film alone: that air is a material of its own.
    off = {e["face"] for e in d_.get("events", [])} & {f["face"] for f in out if f["cover"] and not f["cells"]}
    if len(out) == 2 and (abs(out[0]["h"] - out[1]["h"]) > 1e-9 * out[0]["h"] or off):
        out[1]["air"] = "sideair"
    return out


def outline_faces(x, y):
    """Faces in one layer between the columns the program computes and the
    held ones around them."""
    inside = {(i, j) for i in range(1, x.n + 1) for j in range(1, y.n + 1) if plan_zone(x, y, i, j) != "ring"}
    return sum((i + di, j + dj) not in inside for i, j in inside for di, dj in ((1, 0), (-1, 0), (0, 1), (0, -1)))


def face_codes(x, y, z):
    """Mirror faces by position: 1 i = 1, 2 j = ny, 3 i = nx, 4 j = 1, 5 bottom, 6 top."""
    flags = (x.mirror_lo, y.mirror_hi, x.mirror_hi, y.mirror_lo, z.mirror_lo, z.mirror_hi)
    return "".join("N" if f else "D" for f in flags)


def materials(d_, model):
    """Per material: name, conductivity, specific heat, density, production,
    and for the boundary materials their starting temperature and series;
    in the sound mode the held air's film."""
    c = d_["concrete"]
    x, z = model["x"], model["z"]
    sound = d_["mode"] == "sound"
    films = {f["air"]: (f["H"], f["R"]) for f in model["faces"]}
    air0 = d_["air"]["points"][0][1]
    ring = "the columns outside the circle" if hasattr(x, "round") else "the outer ring"
    out = {}
    for m in model["used"]:
        if m == "concrete":
            out[m] = dict(name="concrete", k=c["k"], c=c["c"], rho=c["rho"], prod=1.0)
        elif m.startswith("lift"):
            lift = d_["lifts"][int(m[4:]) - 2]
            # Not held: its block only gives the cells a start, its placing (the program
            # holds them as the air above until the lift's time).
            out[m] = dict(name=f"concrete, lift {m[4:]}, placed at {num(lift['at'])} h", k=c["k"], c=c["c"],
                          rho=c["rho"], prod=1.0, start=lift["placing"], series=[])
        elif m == "soil":
            s = d_["soil"]
            out[m] = dict(name="soil", k=s["k"], c=s["c"], rho=s["rho"], prod=0.0, start=s["T"],
                          series=[(0.0, s["T"])],
                          held=ring + (" and the bottom layer" if z.zones[0] == "soil" else ""))
        elif m in ("air", "sideair"):
            top = z.zones[-1] == "air"
            held = ("the top layer" if m == "air" and "sideair" in films else
                    ring + (" and the top layer" if top and m == "air" else ""))
            out[m] = dict(name="air" if m == "air" else "air beside the sides", k=0.026, c=1005.0, rho=1.2,
                          prod=0.0, start=air0, series=d_["air"]["points"], held=held)
            if d_["air"]["form"] == "weather":
                out[m]["held"] += f", following the weather of {d_['air']['weather']['copy']}"
            if m in films:
                out[m]["film"] = films[m]
        elif m == "footing":
            f = d_["footing"]
            out[m] = dict(name="footing (hardened concrete)", k=f["k"], c=f["c"], rho=f["rho"], prod=0.0,
                          start=f["T"], series=[(0.0, f["T"])], held="the outer ring")
        else:
            face = {"topcover": "top", "sidecover": "sides", "film": None}[m]
            cover = d_["cover"].get(face) if face else None
            n, dd = surface_depth(model, m)
            if sound and face == "sides" and hasattr(x, "round") and not x.round[1]:
                cover = None  # only the cells between the round outline and the circle, the cover folded
            if cover:
                # The layer's own heat capacity, spread over its cells; in
                # the sound mode its cells resist as the layer does.
                rho = cover["rho"] * cover["t"] / (n * dd)
                k = cover["k"] * n * dd / cover["t"] if sound else c["k"]
                name = f"{face} cover: {cover['name']}, {cover['t'] * 1000:g} mm, {n} cell{'s' * (n > 1)}"
                out[m] = dict(name=name, k=k, c=cover["c"], rho=rho, prod=0.0, start=air0, series=[])
            else:
                where = {"topcover": "above the top", "sidecover": "beside the sides",
                         "film": "over the ground"}[m]
                if sound:
                    where = "between the round concrete and the program's circle"
                out[m] = dict(name=f"surface cells {where}", k=c["k"], c=1005.0, rho=1.2, prod=0.0,
                              start=air0, series=[])
    return out


def surface_depth(model, m):
    """Number of cells and cell size of a surface layer."""
    x, y, z = model["x"], model["y"], model["z"]
    if m == "topcover" or m == "film":
        return z.zones.count("top"), z.d
    if hasattr(x, "round"):
        return max(1, x.round[1]), x.d
    n = [a.zones.count("cover") // (1 if a.mirror_lo else 2) for a in (x, y) if "cover" in a.zones]
    dd = [a.d for a in (x, y) if "cover" in a.zones]
    return max(1, max(n)), sum(dd) / len(dd)


def monitors(d_, model):
    """The monitor cells: (name, (i, j, k))."""
    x, y, z = model["x"], model["y"], model["z"]
    ic, jc, kc = x.centre, y.centre, z.centre
    wall = d_["template"] == "wall"
    side_i, side_j = (ic, y.hi) if wall else (x.hi, jc)
    out = [("core", (ic, jc, kc))]
    if not d_["slice"]:
        out.append(("centre of the top surface", (ic, jc, z.hi)))
    out.append(("middle of a side face" + (", next to the soil" if d_["sides"] == "soil" else ""),
                (side_i, side_j, kc)))
    corner = (side_i, side_j) if hasattr(x, "round") or wall else (x.hi, y.hi)
    if not d_["slice"]:
        label = "top edge" if hasattr(x, "round") else "top of a side face" if wall else "top corner"
        out.append((label, (*corner, z.hi)))
    elif not hasattr(x, "round"):
        out.append(("corner of the section", (x.hi, y.hi, kc)))
    if not d_["slice"]:
        below = "footing" if "footing" in d_ else "soil"
        out.append((f"concrete next to the {below}, below the core", (ic, jc, z.lo)))
    return out


def first_step(d_, model):
    """The program's first step ends at the placing and covers the twelfth of
    its largest step before it, worked out as the program does from the grid
    and the materials, and releases heat like any other step. Returns its
    length (h) and the fraction of the total heat it releases."""
    x, y, z = model["x"], model["y"], model["z"]
    mats, number = model["materials"], model["number"]
    count = {}
    for layer in model["imat"]:
        for row in layer:
            for v in row:
                count[v] = count.get(v, 0) + 1
    n = sum(count.values())

    def stats(prop):
        values = {number[m]: prop(mats[m]) for m in model["used"]}
        avg = sum(count[v] * values[v] for v in count) / n
        sd = math.sqrt(sum(count[v] * (values[v] - avg) ** 2 for v in count) / (n - 1))
        mad = sum(count[v] * abs(values[v] - avg) for v in count) / (n - 1)
        return avg, sd, mad, min(values[v] for v in count)

    a_avg, a_sd, a_mad, a_min = stats(lambda mt: mt["c"] * mt["rho"])
    s_avg, s_sd, s_mad, _ = stats(lambda mt: mt["k"])
    p_avg, p_sd, _, _ = stats(lambda mt: mt["prod"])
    a_val = a_avg - 0.2 * (a_sd - a_mad)
    if a_val <= 0:
        a_val = a_min + a_sd
    diffusivity = abs((s_avg + 0.2 * (s_sd - s_mad)) / a_val)
    c = math.cos(2 / math.sqrt(z.n * (x.n + y.n) / 2))
    dtmax = (x.d + y.d + z.d) * (math.sqrt(x.d * y.d) + z.d) / 6 / c / diffusivity
    h = d_["hydration"]
    qtot = d_["content"] * h["heat"] * 1000
    if p_avg + p_sd > 0.1:
        dth = (a_avg - 2 * (a_sd - a_mad)) * 21600 * 15 / (qtot * 0.18)
        if dth > dtmax:
            dtmax = 0.37 * dth + 0.63 * dtmax
    step = 900 * math.trunc(dtmax / 900 + 1) / 12 if dtmax < 1e15 else math.inf
    if d_["mode"] == "sound":
        # At most the longest step; the concrete starts hydrating at the
        # placing, so the step before it releases nothing.
        return min(step, 3600 * d_["max_step"]) / 3600, 0.0
    if step > 3600 * d_["hours"]:
        coarse = max((a for a in (x, y, z) if hasattr(a, "key")), key=lambda a: a.d)
        raise DescriptionError(coarse.key, f"cells of {coarse.d:.3g} m along {coarse.name} make the program's "
                               f"first step, which ends at the placing, longer than the run ({d_['hours']:g} h): "
                               "give a smaller member or cell")
    age = step / 2 / 3600
    p = h.get("p")
    if h["mode"] == "sigmoid":
        x_ = (age - p[1]) / p[0]
        if x_ < 700:
            e = math.exp(x_)
            rate = (1 / (1 + e)) ** p[2] * p[2] / ((1 + e) * p[0]) * e
        else:  # the same, written without exp(x_), which would overflow
            rate = p[2] / p[0] * math.exp(-p[2] * x_) / (1 + math.exp(-x_)) ** (p[2] + 1)
    elif h["mode"] == "exponential":
        try:
            s_ = (p[2] / age) ** p[1]
        except OverflowError:
            s_ = math.inf
        tk = min(d_["placing"] + 273, 400)
        rate = s_ * p[1] / age * p[0] * math.exp(-s_) * math.exp((1 / 297 - 1 / tk) * 35000 / 8.314) \
            if s_ < 1e300 else 0.0
    else:
        rate = rate_table_start(h["rows"], d_["hours"]) * 3600
    return step / 3600, rate * step / 3600


def rate_table_start(rows, hours):
    """The first row's rate after the program scales the table to release
    the whole heat (per second), 0 when the table starts after 0 h."""
    t = [r[0] * 3600 for r in rows]
    r = [v for _, v in rows]
    tend = max(2764800, 1.1 * hours * 3600)
    total = r[0] * t[1] / 2
    t.append(2.3 * t[-1] - 1.3 * t[-2])
    r.append(r[-1] / 3)
    for i in range(1, len(t) - 1):
        total += r[i] * (t[i + 1] - t[i - 1]) / 2
    if tend > t[-1]:
        total += (tend - t[-1]) * r[-1] / 4
    return r[0] / total if t[0] <= 0 else 0.0


def start_temperature(T):
    """Boundary materials start at whole degrees (the program cuts the value
    toward zero): the nearest whole degree."""
    return int(math.floor(T + 0.5))
