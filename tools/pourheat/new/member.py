"""member.json: what a report needs to know of the member that the project
file cannot tell, in SI units named in the keys: the template, the model,
the dimensions asked and modelled, the covers with the resistances asked
and held, the soil, the binder and its heat curve, the air or the weather,
the events and lifts, the named points and the pairs checked, the limits
and the strength model. docs/tools.md holds the schema."""

import json
import math

from .grid import side_requested, surface_resistance

SCHEMA = 1
CURVE_ROWS = 50
LIFT = "lift"


def member_json(d_, model):
    """The text of member.json: keys sorted, indent 1."""
    return json.dumps(clean(member(d_, model)), sort_keys=True, indent=1, ensure_ascii=False) + "\n"


def clean(v):
    """Floats rounded to 7 significant digits, so that noise of the last
    bits does not show; tuples as lists."""
    if isinstance(v, float):
        return float(f"{v:.7g}") if math.isfinite(v) else None
    if isinstance(v, dict):
        return {k: clean(x) for k, x in v.items()}
    if isinstance(v, (list, tuple)):
        return [clean(x) for x in v]
    return v


def member(d_, model):
    x, y, z = model["x"], model["y"], model["z"]
    points = [point(p, d_["lifts"]) for p in model["points"]]
    return {
        "schema": SCHEMA, "template": d_["template"], "title": d_["title"], "model": d_["model"],
        "physics": d_["mode"], "dimensions": dimensions(d_, model),
        "grid": {"nx": x.n, "ny": y.n, "nz": z.n, "cell_m": [x.d, y.d, z.d]},
        "covers": covers(d_, model), "soil": soil(d_), "concrete": concrete(d_), "air": air(d_),
        "run": {"hours": d_["hours"]}, "events": events(model), "lifts": lifts(d_, model),
        "points": points, "pairs": [["core", p["name"]] for p in points if p["role"] == "surface"],
        "limits": {f"{k}_{u}": d_["limits"][k] for k, u in (("peak", "c"), ("difference", "k"),
                                                              ("stripping", "mpa")) if k in d_["limits"]},
        "strength": strength(d_["strength"]),
    }


def modelled(a):
    """The member's extent along an axis as modelled, m: a mirrored half of
    m cells stands for 2 m - 1 of them."""
    m = a.hi - a.lo + 1
    return (2 * m - 1 if a.mirror_lo else m) * a.d


def dimensions(d_, model):
    x, y, z = model["x"], model["y"], model["z"]
    t = d_["template"]
    axes = ({"diameter": x} if t in ("round-column", "shaft") else {"thickness": y} if t == "wall"
            else {"length": x, "width": y})
    if not d_["slice"]:
        axes["height"] = z
    return [{"name": k, "asked_m": d_[k], "modelled_m": modelled(a)} for k, a in axes.items()]


def covers(d_, model):
    """Each cover: the resistance asked (its thickness over its conductivity)
    and the one the model holds, as cells or folded into the air's film."""
    out = []
    faces = {f["face"]: f for f in model["faces"]}
    for where, c in ((w, d_["cover"][w]) for w in ("top", "sides") if w in d_["cover"]):
        asked = c["t"] / c["k"]
        f = faces.get(where)
        if d_["mode"] == "legacy":
            # Cells of the concrete's conductivity carry the film and the cover together.
            n = surface_cells_count(d_, model, where)
            a = model["z"] if where == "top" else model["x"] if hasattr(model["x"], "round") else \
                model["y"] if d_["template"] == "wall" else model["x"]
            held = d_["sides"] == "air" or where == "top"
            radius = a.round[0] / 2 if hasattr(a, "round") and where == "sides" else None
            got = surface_resistance(n, a.d, d_["concrete"]["k"], held, radius) - side_requested(d_, where)[0] \
                + asked
            how = "cells"
        elif f is not None and not f["cells"]:
            how, got = "film", f["R"] * f["scale"]
        else:
            how = "cells"
            m = "topcover" if where == "top" else "sidecover"
            mt = model["materials"][m]
            n = f["cells"] if f else 1
            a = model["z"] if where == "top" else model["x"] if "cover" in model["x"].zones or hasattr(
                model["x"], "round") else model["y"]
            got = n * a.d / mt["k"]
        out.append({"where": where, "name": c["name"], "r_asked": asked, "modelled": how, "r_modelled": got,
                    "layers": [{"name": c["name"], "thickness_m": c["t"], "conductivity": c["k"]}]})
    return out


def surface_cells_count(d_, model, where):
    x, y, z = model["x"], model["y"], model["z"]
    if where == "top":
        return z.zones.count("top")
    if hasattr(x, "round"):
        return x.round[1]
    a = y if d_["template"] == "wall" else x
    return a.zones.count("cover") // (1 if a.mirror_lo else 2)


def soil(d_):
    s = d_.get("soil")
    if s is None:
        return None
    return {"temperature_c": s["T"], "conductivity": s["k"], "specific_heat": s["c"], "density": s["rho"],
            "depth_m": s["depth"], "margin_m": s["margin"]}


def concrete(d_):
    h, c = d_["hydration"], d_["concrete"]
    p = h.get("p")
    total = d_["content"] * h["heat"] * 1000
    end = d_["hours"]
    if h["mode"] == "exponential":
        params = {"alpha_u": p[0], "beta": p[1], "tau_h": p[2]}
        fraction = released_exponential(p)
    elif h["mode"] == "sigmoid":
        params = {"P1": p[0], "P2": p[1], "P3": p[2]}
        fraction = released_sigmoid(p, d_["mode"] == "sound")
    else:
        params = {"rows": [list(r) for r in h["rows"]]}
        fraction = released_table(h["rows"])
    rise = total * (fraction(math.inf) if h["mode"] != "table" else 1.0) / (c["rho"] * c["c"])
    out = {"binder": h.get("binder"), "binder_name": h.get("binder_text"), "content_kg_m3": d_["content"],
           "placing_c": d_["placing"], "density": c["rho"], "specific_heat": c["c"], "conductivity": c["k"],
           "heat_kj_kg": h["heat"], "curve": h["mode"], "curve_parameters": params, "adiabatic_rise_k": rise,
           "heat_curve": [[t, fraction(t)] for t in (end * n / CURVE_ROWS for n in range(CURVE_ROWS + 1))]}
    if "activation" in h:
        out.update(activation_kj_mol=h["activation"], reference_c=h["reference"])
    return out


def released_exponential(p):
    """alpha_u exp(-(tau/t)^beta): the share of the binder's heat released by age t."""
    return lambda t: 0.0 if t <= 0 else p[0] * math.exp(-(p[2] / t) ** p[1])


def released_sigmoid(p, from_zero):
    """1 - (1 + exp((t - P2)/P1))^-P3; from the placing on (the sound mode)
    less what the curve holds at age 0."""
    def g(t):
        x_ = (t - p[1]) / p[0]
        return 1.0 if x_ > 700 else 1 - (1 + math.exp(x_)) ** -p[2]
    return (lambda t: g(t) - g(0.0)) if from_zero else g


def released_table(rows):
    """The share of the heat a rate table has released by age t: the rates
    on straight lines between rows, a row added after the last at
    2.3 t_n - 1.3 t_(n-1) with a third of its rate, all of it by then."""
    pts = [tuple(r) for r in rows] + [(2.3 * rows[-1][0] - 1.3 * rows[-2][0], rows[-1][1] / 3)]
    if pts[0][0] > 0:
        pts.insert(0, (0.0, 0.0))
    cum = [0.0]
    for (t1, r1), (t2, r2) in zip(pts, pts[1:]):
        cum.append(cum[-1] + (r1 + r2) / 2 * (t2 - t1))

    def f(t):
        if t >= pts[-1][0]:
            return 1.0
        for n, ((t1, r1), (t2, r2)) in enumerate(zip(pts, pts[1:])):
            if t <= t2:
                s = max(0.0, t - t1)
                r = r1 + (r2 - r1) * s / (t2 - t1)
                return (cum[n] + (r1 + r) / 2 * s) / cum[-1]
        return 1.0
    return f


def air(d_):
    a = d_["air"]
    if a["form"] != "weather":
        return {"kind": "series", "points": [list(p) for p in a["points"]]}
    w, s = a["weather"], a["span"]
    names = {"air": "air_c", "wind": "wind_m_s", "solar": "solar_w_m2"}
    return {"kind": "weather", "file": w["copy"], "span_h": [s["first"], s["last"]],
            "range": {names[k]: list(v) for k, v in s["range"].items()}}


def events(model):
    """The events in time order: removals and lifts placed, with what each
    changes."""
    return [{"at_h": e["at"], "what": e["kind"], "target": e["key"] if e["kind"] == LIFT else f"cover.{e['face']}",
             "change": e["what"]} for e in model["events"]]


def lifts(d_, model):
    z, number = model["z"], model["number"]
    out = []
    for n, lift in enumerate(d_["lifts"], 2):
        k1, k2 = z.lifts[n - 1]
        out.append({"at_h": lift["at"], "height_m": lift["height"], "modelled_height_m": (k1 - z.lo) * z.d,
                    "top_m": (k2 - z.lo + 1) * z.d, "placing_c": lift["placing"], "material": number[f"lift{n}"]})
    return out


def role(p):
    """core; surface: a default point under a face's centre; face: one at a
    face (depth 0); corner and edge of the top; user: the rest given."""
    if p["given"]:
        return "face" if p["depth"] == 0 and p["face"] else "user"
    name = p["name"]
    if name == "core":
        return "core"
    if "-corner-" in name or name.startswith("corner-"):
        return "corner"
    if "-edge-" in name:
        return "edge"
    return "surface"


def point(p, lifts):
    """A point, and the time from which it lies in concrete: the placing of
    the lift it is in (a point on a joint belongs to the lift below)."""
    z = p["member"][2]
    placed = max([lift["at"] for lift in lifts if z is not None and z > lift["height"] + 1e-9], default=0.0)
    return {"name": p["name"], "member_m": list(p["member"]), "grid_m": list(p["grid"]), "face": p["face"],
            "depth_m": p["depth"], "role": role(p), "concrete_from_h": placed}


def strength(s):
    given = {"given": "description"}.get(s["from"])
    source = given or ("description and binder preset (typical published values)" if s["from"].startswith("given")
                       else "binder preset (typical published values)")
    return {"ultimate_mpa": s["ultimate"], "tau_h": s["tau"], "beta": s["beta"], "reference_c": s["reference"],
            "source": source}
