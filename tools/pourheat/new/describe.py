"""The member description read into plain values in m, h, C and SI units:
the template and its dimensions, the concrete and its heat of hydration,
the soil, the air, the covers, the grid, the run and the solver."""

import math
import re

from ..project import RATE_ROWS_MAX
from .air import read_air
from .events import read_events, read_lifts
from .points import read_points
from .tables import DescriptionError, Table, read_numbers, sub
from .weather import read_weather, weather_air

TEMPLATES = ("footing", "mat", "wall", "column", "round-column", "shaft")

# Typical hydration curves, at 24 C, for a mix with a water/binder ratio near
# 0.45: heat of complete hydration Hu (kJ/kg), and the exponential form
# alpha(t) = alpha_u exp(-(tau/t)^beta). The sigmoid parameters were fitted
# to the same curve over the first 7 days (within 0.05 of the released
# fraction); their total heat is what the curve releases by then. Last, the
# activation energy (kJ/mol) of each binder, a typical published value. They
# are starting values: the mix's own calorimetry should replace them.
BINDERS = {
    "portland": ("Portland cement (CEM I, ASTM C150 Type I/II)",
                 470, (0.75, 0.90, 12.0), 313, (1.083, 1.626, 0.05), 40.0),
    "portland-rapid": ("rapid-hardening Portland cement (CEM I 52.5 R, Type III)",
                       500, (0.78, 1.00, 9.0), 362, (0.842, 1.265, 0.05), 44.0),
    "fly-ash-25": ("Portland cement with 25 % class F fly ash",
                   375, (0.84, 0.85, 18.0), 266, (1.483, 2.228, 0.05), 33.0),
    "slag-50": ("Portland cement with 50 % ground granulated blast-furnace slag",
                465, (0.87, 0.65, 32.0), 285, (2.027, 3.045, 0.05), 48.0),
    "low-heat": ("low-heat Portland cement (belite-rich, Type IV)",
                 420, (0.70, 0.80, 26.0), 234, (1.939, 2.913, 0.05), 38.0),
}
# Strength against equivalent age at 20 C, S = S_u exp(-(tau_s/t_e)^beta_s),
# of each binder in a mix with a water/binder ratio near 0.45: S_u (MPa),
# tau_s (h), beta_s. Typical values of published fits (tau_s 20 to 120 h,
# beta_s 0.6 to 1.2, slower with fly ash or slag), for screening only: the
# mix's own cylinder tests at known equivalent ages should replace them.
STRENGTH = {"portland": (50.0, 50.0, 0.9), "portland-rapid": (55.0, 30.0, 0.9), "fly-ash-25": (50.0, 80.0, 0.8),
            "slag-50": (50.0, 100.0, 0.7), "low-heat": (45.0, 110.0, 0.75)}
STRENGTH_AT = 20.0
PRESET_AT = 24.0      # C: the temperature of the presets' ages
ACTIVATION = 40.0     # kJ/mol without a preset: typical of Portland cement
REFERENCE = 20.0      # C: the reference temperature of the equivalent age
GAS = 8.314           # J/(mol K)
MODES = ("sound", "legacy")
CURVES = ("sigmoid", "exponential")

# The keys of each table of a description.
KNOWN = {
    "": ("template", "title", "member", "concrete", "soil", "air", "cover", "footing", "grid", "run", "solver",
         "physics", "weather", "event", "lift", "point", "strength", "limits"),
    "member": ("length", "width", "height", "thickness", "diameter", "sides", "model"),
    "concrete": ("placing", "content", "binder", "heat", "curve", "p1", "p2", "p3", "rate_table",
                 "density", "specific_heat", "conductivity", "activation", "reference"),
    "soil": ("temperature", "depth", "margin", "conductivity", "specific_heat", "density"),
    "air": ("temperature", "mean", "amplitude", "peak_hour", "csv", "film"),
    "cover": ("top", "sides"),
    "cover.layer": ("name", "thickness", "conductivity", "density", "specific_heat"),
    "footing": ("height", "temperature", "conductivity", "specific_heat", "density"),
    "grid": ("cell", "plan_cell", "height_cell"),
    "run": ("days", "hours", "start_hour"),
    "solver": ("alpha", "tolerance", "sweeps", "late_step"),
    "physics": ("mode", "max_step"),
    "weather": ("csv", "absorptivity"),
    "strength": ("ultimate", "tau", "beta"),
    "limits": ("peak", "difference", "stripping"),
}
# Tables of the sound mode only.
SOUND_ONLY = ("weather", "event", "lift", "point")
# Member keys each template reads, and its choices of model and sides.
TEMPLATE_KEYS = {
    "footing": (("length", "width", "height"), ("quarter", "full"), ("air", "soil")),
    "mat": (("length", "width", "height"), ("quarter", "full"), ("air", "soil")),
    "wall": (("thickness", "height"), ("half", "full"), ("air",)),
    "column": (("length", "width", "height"), ("quarter", "full"), ("air", "soil")),
    "round-column": (("diameter", "height"), ("full",), ("air", "soil")),
    "shaft": (("diameter", "height"), ("full",), ("soil", "air")),
}


def read_description(data, base):
    """The description as plain values in m, h, C and SI units."""
    top = Table(data, "", KNOWN[""])
    d = {"template": top.text("template", TEMPLATES)}
    t = d["template"]
    member_keys, models, sides = TEMPLATE_KEYS[t]
    member = Table(data.get("member", {}), "member", KNOWN["member"])
    for k in member.data:
        if k not in member_keys + ("sides", "model"):
            raise DescriptionError(f"member.{k}", f"is not used by the {t} template "
                                   f"(it reads {', '.join(member_keys)}, sides, model)")
    optional_height = t in ("column", "round-column", "shaft")
    for k in member_keys:
        if not (k == "height" and optional_height):
            d[k] = member.get(k, "length", above=0)
    if optional_height:
        d["height"] = member.get("height", "length", above=0, required=False)
    d["model"] = member.text("model", models, models[0])
    d["sides"] = member.text("sides", sides, sides[0])
    d["slice"] = optional_height and d["height"] is None

    ph = Table(data.get("physics", {}), "physics", KNOWN["physics"])
    d["mode"] = ph.text("mode", MODES, MODES[0])
    sound = d["mode"] == "sound"
    for k in SOUND_ONLY:
        if k in data and not sound:
            raise DescriptionError(k, 'acts only in the sound mode (physics.mode = "sound")')

    c = Table(data.get("concrete", {}), "concrete", KNOWN["concrete"])
    d["placing"] = c.get("placing", "temperature", lo=-30, hi=90)
    d["content"] = c.get("content", "density", above=0, hi=2000)
    d["concrete"] = {"k": c.get("conductivity", "conductivity", 2.5, above=0),
                     "c": c.get("specific_heat", "specific_heat", 950.0, above=0),
                     "rho": c.get("density", "density", 2400.0, above=0)}
    d["hydration"] = read_hydration(c, base, sound)

    needs_soil = not (d["slice"] and d["sides"] == "air")
    if needs_soil:
        s = Table(data.get("soil", {}), "soil", KNOWN["soil"]) if "soil" in data else None
        if s is None:
            raise DescriptionError("soil", "is missing (the member is on or in soil)")
        d["soil"] = {"T": s.get("temperature", "temperature", lo=-40, hi=60),
                     "depth": s.get("depth", "length", 1.5, above=0),
                     "margin": s.get("margin", "length", None, above=0, required=False),
                     "k": s.get("conductivity", "conductivity", 1.5, above=0),
                     "c": s.get("specific_heat", "specific_heat", 850.0, above=0),
                     "rho": s.get("density", "density", 1900.0, above=0)}
    elif "soil" in data:
        raise DescriptionError("soil", "is not used: a slice of a member in air has no soil")

    w = Table(data["weather"], "weather", KNOWN["weather"]) if "weather" in data else None
    weather = read_weather(base, w.text("csv")) if w else None
    r = Table(data.get("run", {}), "run", KNOWN["run"])
    if r.has("days") and r.has("hours") or not (r.has("days") or r.has("hours") or weather):
        raise DescriptionError("run.days", "give the duration as run.days or run.hours (one of them)")
    last = weather["rows"][-1][0] if weather else None
    d["hours"] = (r.get("days", "days", above=0) * 24 if r.has("days")
                  else r.get("hours", "time", above=0) if r.has("hours") else last)
    key = "run.days" if r.has("days") else "run.hours" if r.has("hours") else "weather.csv"
    if d["hours"] > 9999:
        raise DescriptionError(key, "the result files hold at most 9999 hours")
    if weather and d["hours"] > last:
        raise DescriptionError("weather.csv", f"{weather['file']} ends at {last:g} h; the run lasts {d['hours']:g} h")
    d["start_hour"] = r.get("start_hour", "hour", 8.0, lo=0, hi=24)
    only_sound(ph, ("max_step",), sound)
    d["max_step"] = ph.get("max_step", "time", 0.5, lo=0.01, hi=d["hours"]) if sound else None

    a = Table(data.get("air", {}), "air", KNOWN["air"]) if "air" in data else None
    if a is None and not weather:
        raise DescriptionError("air", "is missing")
    d["film"] = a.get("film", "film", 12.0, above=0) if a else 12.0
    if weather:
        if a and any(a.has(k) for k in ("temperature", "mean", "amplitude", "peak_hour", "csv")):
            raise DescriptionError("weather.csv", "replaces the air's temperatures: give [air] only its film")
        d["air"] = weather_air(weather, d["hours"])
        solar = "solar" in weather["columns"]
        if w.has("absorptivity") and not solar:
            raise DescriptionError("weather.absorptivity", f"acts only with a solar column in {weather['file']}")
        d["absorptivity"] = w.get("absorptivity", "number", 0.65, lo=0, hi=1) if solar else None
    else:
        d["air"] = read_air(a, d, base)

    cov = sub(top, "cover", KNOWN["cover"])
    d["cover"] = {}
    for face in ("top", "sides"):
        layer = sub(cov, face, KNOWN["cover.layer"]) if cov else None
        if layer is None:
            continue
        if face == "top" and d["slice"]:
            raise DescriptionError("cover.top", "a slice has no top")
        d["cover"][face] = {
            "name": remark(layer.text("name", default="insulation" if face == "top" else "formwork")),
            "t": layer.get("thickness", "length", above=0),
            "k": layer.get("conductivity", "conductivity", above=0),
            "rho": layer.get("density", "density", 300.0, above=0),
            "c": layer.get("specific_heat", "specific_heat", 1500.0, above=0)}

    if t == "wall" and "footing" in data:
        f = Table(data["footing"], "footing", KNOWN["footing"])
        d["footing"] = {"height": f.get("height", "length", above=0),
                        "T": f.get("temperature", "temperature", d["air"]["mean"], lo=-40, hi=60),
                        "k": f.get("conductivity", "conductivity", d["concrete"]["k"], above=0),
                        "c": f.get("specific_heat", "specific_heat", d["concrete"]["c"], above=0),
                        "rho": f.get("density", "density", d["concrete"]["rho"], above=0)}
    elif "footing" in data:
        raise DescriptionError("footing", f"is read by the wall template only, not by {t}")

    d["events"] = read_events(data, d)
    d["lifts"] = read_lifts(data, d)
    d["points"] = read_points(data, d)
    d["strength"] = read_strength(top, d)
    lim = sub(top, "limits", KNOWN["limits"])
    d["limits"] = {k: lim.get(k, kind) for k, kind in (("peak", "temperature"), ("difference", "difference"),
                                                       ("stripping", "stress")) if lim and lim.has(k)}

    g = Table(data.get("grid", {}), "grid", KNOWN["grid"])
    cell = g.get("cell", "length", None, above=0, required=False)
    d["cell"] = {"plan": g.get("plan_cell", "length", cell, above=0, required=False),
                 "z": g.get("height_cell", "length", cell, above=0, required=False)}
    d["cell_key"] = {"plan": "grid.plan_cell" if g.has("plan_cell") else "grid.cell",
                     "z": "grid.height_cell" if g.has("height_cell") else "grid.cell"}

    v = Table(data.get("solver", {}), "solver", KNOWN["solver"])
    d["solver"] = {"alpha": v.get("alpha", "number", 1.0, lo=0, hi=1),
                   "tolerance": v.get("tolerance", "number", 0.0001, above=0),
                   "sweeps": v.get("sweeps", "number", 100, lo=1, hi=10000),
                   "late_step": v.get("late_step", "time", 3.0, above=0)}
    if d["solver"]["sweeps"] != int(d["solver"]["sweeps"]):
        raise DescriptionError("solver.sweeps", "must be a whole number")
    d["title"] = remark(top.text("title", default=default_title(d)))
    return d


def remark(text):
    """Free text as the project file may hold it: one line, no brackets or
    equals signs that the program could take for a key."""
    text = re.sub(r"\s+", " ", text).strip()
    return text.translate(str.maketrans("[]=|", "()-/"))[:100] or "-"


def default_title(d):
    t = d["template"]
    size = " x ".join(f"{d[k]:g} m" for k in TEMPLATE_KEYS[t][0] if d.get(k))
    what = {"footing": "Footing", "mat": "Mat", "wall": "Wall", "column": "Column",
            "round-column": "Round column", "shaft": "Drilled shaft"}[t]
    where = {"air": "in air", "soil": "in soil"}[d["sides"]]
    if t in ("footing", "mat"):
        where = "on soil, under air" + (", sides in soil" if d["sides"] == "soil" else "")
    elif t == "wall":
        where = "on a footing" if "footing" in d else "on soil"
    return f"{what} {size} {where}"


def only_sound(table, keys, sound):
    """Keys that act only in the sound mode, refused in the legacy one."""
    for k in keys:
        if table.has(k) and not sound:
            raise DescriptionError(table.key(k), 'acts only in the sound mode (physics.mode = "sound")')


def read_hydration(c, base, sound):
    """The heat of hydration: a rate table or a curve with its heat; in the
    sound mode also the activation energy and the reference temperature of
    the equivalent age, the curve's ages being equivalent ages at it."""
    only_sound(c, ("activation", "reference"), sound)
    h = {}
    if sound:
        h["reference"] = c.get("reference", "temperature", REFERENCE, lo=-10, hi=60)
    if c.has("rate_table"):
        for k in ("binder", "curve", "p1", "p2", "p3"):
            if c.has(k):
                raise DescriptionError(f"concrete.{k}", "give either a rate table or a curve, not both")
        h["mode"] = "table"
        h["heat"] = c.get("heat", "heat", above=0)
        h["file"] = c.text("rate_table")
        h["rows"] = read_rate_table(base, h["file"], "concrete.rate_table")
        if sound:
            read_activation(c, h, None)
        return h
    curve = c.text("curve", CURVES, "exponential" if sound else "sigmoid")
    h["mode"] = curve
    if c.has("binder"):
        name = c.text("binder", tuple(BINDERS))
        text, hu, expo, heat_sig, sig, energy = BINDERS[name]
        h["binder"], h["binder_text"] = name, text
        h["heat"], h["p"] = (hu, expo) if curve == "exponential" else (heat_sig, sig)
    else:
        for k in ("p1", "p2", "p3", "heat"):
            if not c.has(k):
                raise DescriptionError(f"concrete.{k}", "is missing (or name a binder preset: "
                                       + ", ".join(BINDERS) + ")")
    if sound:
        read_activation(c, h, energy if c.has("binder") else None)
        if c.has("binder"):
            h["preset"] = h["p"]
            h["p"] = preset_at(h["p"], curve, h["activation"], h["reference"])
    kinds = ("number", "number", "time") if curve == "exponential" else ("time", "time", "number")
    p = list(h.get("p", (None, None, None)))
    for n, kind in enumerate(kinds):
        p[n] = c.get(f"p{n + 1}", kind, p[n])
    if curve == "exponential":
        if not 0 < p[0] <= 1:
            raise DescriptionError("concrete.p1", "the ultimate degree of hydration must be above 0 and at most 1")
        if not p[1] > 0 or not p[2] > 0:
            raise DescriptionError("concrete.p2" if not p[1] > 0 else "concrete.p3", "must be above 0")
    elif not p[0] > 0 or not p[2] > 0:
        raise DescriptionError("concrete.p1" if not p[0] > 0 else "concrete.p3", "must be above 0")
    h["p"] = tuple(p)
    h["heat"] = c.get("heat", "heat", h.get("heat"), above=0)
    return h


def read_activation(c, h, preset):
    """The activation energy, kJ/mol: given, the preset's, or a typical one."""
    h["activation"] = c.get("activation", "activation", preset or ACTIVATION, above=0, hi=200)
    h["activation_from"] = "given" if c.has("activation") else "preset" if preset else "typical"


def age_factor(activation, reference, at=PRESET_AT):
    """Equivalent age at the reference temperature per hour at the presets'
    24 C (or at `at`): exp(E/R (1/(T_ref + 273.15) - 1/297.15)), E in kJ/mol."""
    return math.exp(activation * 1000 / GAS * (1 / (reference + 273.15) - 1 / (at + 273.15)))


def read_strength(top, d):
    """Strength against equivalent age, S = S_u exp(-(tau_s/t_e)^beta_s):
    the binder preset's typical values (Portland's without one), tau_s
    turned to equivalent age at the hydration's reference temperature, or
    the mix's own from [strength]."""
    s = sub(top, "strength", KNOWN["strength"])
    h = d["hydration"]
    binder = h.get("binder")
    ultimate, tau, beta = STRENGTH[binder or "portland"]
    energy = h.get("activation") or (BINDERS[binder][5] if binder else ACTIVATION)
    reference = h.get("reference", STRENGTH_AT)
    out = {"ultimate": ultimate, "tau": tau * age_factor(energy, reference, STRENGTH_AT), "beta": beta,
           "reference": reference, "activation": energy,
           "from": f"the {binder} preset" if binder else "the portland preset (no binder named)"}
    if s:
        out.update(ultimate=s.get("ultimate", "stress", out["ultimate"], above=0),
                   tau=s.get("tau", "time", out["tau"], above=0), beta=s.get("beta", "number", out["beta"], above=0))
        if s.data:
            out["from"] = "given" if len(s.data) == 3 else "given in part, the rest " + out["from"]
    return out


def preset_at(p, curve, activation, reference):
    """A preset's curve, its ages given at 24 C, in equivalent ages at the
    reference temperature: the ages scale by one factor, so the exponential
    curve's characteristic age P3 does, and the sigmoid's time scale P1 and
    age P2."""
    f = age_factor(activation, reference)
    return (p[0], p[1], p[2] * f) if curve == "exponential" else (p[0] * f, p[1] * f, p[2])


def read_rate_table(base, path, key):
    rows, _ = read_numbers(base, path, key)
    if any(len(v) != 2 for _, v in rows):
        raise DescriptionError(key, f"{path}: every row must hold two values, time (h) and rate")
    if not 2 <= len(rows) <= RATE_ROWS_MAX:
        raise DescriptionError(key, f"{path} holds {len(rows)} rows; the program takes 2 to {RATE_ROWS_MAX}")
    table = [tuple(v) for _, v in rows]
    for (n, v), prev in zip(rows[1:], table):
        if not v[0] > prev[0]:
            raise DescriptionError(key, f"{path} line {n}: the times must increase")
    if table[0][0] < 0 or any(r < 0 for _, r in table) or not any(r > 0 for _, r in table):
        raise DescriptionError(key, f"{path}: times from 0 on, rates not negative and not all 0")
    return table
