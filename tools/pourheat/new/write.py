"""The project file and series.pr of a built model."""

from ..project import num
from .describe import remark
from .model import start_temperature


def project(d_, model, name, source):
    """The project of a built model, as the project file's writer takes it."""
    x, y, z = model["x"], model["y"], model["z"]
    mats, number = model["materials"], model["number"]
    h, s = d_["hydration"], d_["solver"]
    p = {"head": [d_["title"],
                  f"Written by pourheat-new from {remark(source)}; model.md beside this file says what was built.",
                  describe_model(d_, model) + "."],
         "alpha": s["alpha"], "start": 0.0, "end": d_["hours"], "dt": s["late_step"], "tol": s["tolerance"],
         "sweeps": int(s["sweeps"]),
         "nx": x.n, "ny": y.n, "nz": z.n, "dx": x.d, "dy": y.d, "dz": z.d,
         "outline": "circle, centred" if hasattr(x, "round") else "rectangular",
         "table": h["mode"] == "table", "exponential": h["mode"] == "exponential",
         "rho": d_["content"], "placement": d_["placing"], "cementitious": h["heat"],
         "P": h.get("p", (1.0, 1.0, 1.0)), "rates": h["rows"] if h["mode"] == "table" else [],
         "faces": model["codes"], "initial": start_temperature(d_["air"]["points"][0][1]), "boundaries": [],
         "output": f"{name}.out", "layers": model["laysec"], "sections": [], "materials": []}
    for m in (m for m in model["used"] if m != "concrete"):
        mt = mats[m]
        series = mt["series"]
        about = (f"{mt['name']}, held on {mt['held']}" if series
                 else f"{mt['name']}: no series, only its starting temperature")
        p["boundaries"].append({"remark": about, "series": bool(series), "material": number[m],
                                "density": mt["rho"], "initial": start_temperature(mt["start"]),
                                "points": [(t, round(T, 2)) for t, T in series]})
    for n, sec in enumerate(model["sections"], 1):
        layers = [k + 1 for k, s_ in enumerate(model["laysec"]) if s_ == n]
        flat = {v for row in sec for v in row}
        p["sections"].append((f"{n}: layers {layer_ranges(layers)}, "
                              + ", ".join(f"{mats[m]['name'].split(':')[0].split(',')[0]} ({number[m]})"
                                          for m in model["used"] if number[m] in flat), sec))
    for m in model["used"]:
        mt = mats[m]
        p["materials"].append({"remark": mt["name"], "conductivity": mt["k"], "heat": mt["c"],
                               "density": round(mt["rho"], 4), "production": mt["prod"]})
    if d_["mode"] == "sound":
        p["physics"] = physics(d_, model)
    return p


def physics(d_, model):
    """The lines of the [Physics] block, (key, value): balanced conduction,
    maturity hydration with the binder's activation energy and the curve's
    reference temperature, the longest step, the film of each held air (the
    air's own, then the resistance of the covers folded into it), the
    weather file the air follows, the events in time order and the named
    points in the grid's frame."""
    h = d_["hydration"]
    mats, number = model["materials"], model["number"]
    lines = [("conduction", "balanced"), ("hydration", "maturity"), ("activation", num(h["activation"])),
             ("reference", num(h["reference"])), ("maxstep", num(d_["max_step"]))]
    for m in model["used"]:
        if "film" in mats[m]:
            H, R = mats[m]["film"]
            lines.append(("film", f"{number[m]} {num(H)}" + (f" {num(R)}" if R else "")))
    if d_["air"]["form"] == "weather":
        lines += [("weather", f"{number[m]} {d_['air']['weather']['copy']}") for m in ("air", "sideair")
                  if m in number]
        if d_["absorptivity"] is not None:
            lines.append(("absorptivity", num(d_["absorptivity"])))
    lines += [("at", e["line"]) for e in model["events"]]
    lines += [("point", f"{p['name']} " + " ".join(num(round(g, 7)) for g in p["grid"])) for p in model["points"]]
    if any(p["name"] == "core" for p in model["points"]):  # the report's sections through the core
        lines.append(("section", "core"))
    return lines


def layer_ranges(layers):
    parts, n = [], 0
    while n < len(layers):
        r = n
        while r + 1 < len(layers) and layers[r + 1] == layers[r] + 1:
            r += 1
        parts.append(f"{layers[n]}" if r == n else f"{layers[n]}-{layers[r]}")
        n = r + 1
    return ", ".join(parts)


def describe_model(d_, model):
    x = model["x"]
    plan = {"quarter": "Quarter model: mirror faces at i = 1 and j = 1 through the member's centre lines",
            "half": "Half model: mirror face at j = 1 through the wall's mid-plane",
            "full": "Whole section"}[d_["model"]]
    if hasattr(x, "round"):
        plan = "Whole round section (circular plan outline)"
    if d_["template"] == "wall":
        plan += "; a slice of the wall's length (mirror faces at i = 1 and i = nx)"
    if d_["slice"]:
        plan += "; a slice of a tall member (mirror faces at the bottom and the top)"
    return plan


def series_text(model):
    mons = model["monitors"]
    return f"{len(mons)}\n" + "".join(f"{i} {j} {k}\n" for _, (i, j, k) in mons)
