"""The project file: the program's capacities, the text of its numbers, one
reader and one writer.

The reader searches each key strictly forward from the line after the last
one found, as the program does, in lines cut to 128 characters; a key may be
a fragment of the word ("ormat=" finds sectionformat=), as the program looks
for it. Both sides hold a project as one dict of plain values:

  head          the free lines above [times] (written only)
  alpha, start, end, dt, tol, sweeps             [times]
  nx, ny, nz, dx, dy, dz, outline                [parameters]
  table, exponential, rho, placement, cementitious, P (three), rates
                [hydration]: the rate table or the curve; rates as (h, rate)
  faces, initial, boundaries                     [Boundaries]: each boundary
                a dict of remark, series (held to its points or not),
                material, density, initial, points as (h, C)
  output, sectionfiles                           [Files]
  layers        [submodel]: the section of each layer k
  sections      [Sectiongeometry]: (remark, map by rows j of values i) (written only)
  materials     [Materials]: each a dict of remark, conductivity, heat
                (specific heat), density, production
  physics       the [Physics] block at the end of the file: its lines as
                (key, value text) pairs in order; absent without the block
"""

import re

from .freeform import BLANKS, PHYSICS_HEADER, Cursor, MissingKey, freeform_tokens

# What the program holds: cells along each axis, points of a boundary
# series, rows of a rate table, boundary blocks.
AXIS_MAX = 80
SERIES_MAX = 50
RATE_ROWS_MAX = 49
BOUNDARY_MAX = 6


class ProjectError(Exception):
    """The project file lacks what a tool needs: one line."""


# ---------------------------------------------------------------- numbers

def num(v):
    """A number as the project file shows it: at most 7 significant digits."""
    if v == int(v) and abs(v) < 1e7:
        return str(int(v))
    return f"{v:.7g}"


def runs(values):
    """'r*v' runs of a list of numbers."""
    out, n = [], 0
    while n < len(values):
        r = n
        while r < len(values) and values[r] == values[n]:
            r += 1
        out.append(f"{r - n}*{values[n]}" if r - n > 1 else str(values[n]))
        n = r
    return out


def wrapped(items, width=100):
    lines, line = [], ""
    for it in items:
        if line and len(line) + 1 + len(it) > width:
            lines.append(line)
            line = it
        else:
            line = f"{line} {it}" if line else it
    lines.append(line)
    return lines


# ---------------------------------------------------------------- reading

def read_grid(path):
    """The few values the pictures need: nx, ny, nz and dx, dy, dz after
    "[parameters]", and output= after "[Files]"."""
    c = Cursor(path)

    def find(key):
        try:
            return c.find(key)
        except MissingKey as e:
            raise ProjectError(f"{path}: {e} (after line {e.after})")

    def number(key, kind):
        rest = freeform_tokens(find(key))
        try:
            return kind(rest[0])
        except (IndexError, ValueError):
            raise ProjectError(f"{path}: no number after {key}")

    find("[parameters]")
    p = {k: number(k + "=", int) for k in ("nx", "ny", "nz")}
    p.update({k: number(k + "=", float) for k in ("dx", "dy", "dz")})
    find("[Files]")
    p["output"] = find("output=").strip()[:80]
    return p


def read_project(path):
    """What was modelled, read forward from the project file as the program
    reads it: times, grid, hydration, face codes, boundary materials and
    their series, layers and materials. A key that is missing, a value that
    is not a number or a file that ends early raises ValueError (MissingKey)
    or IndexError."""
    c = Cursor(path)
    find, values, number = c.find, c.values, c.number

    def pairs(count):
        v = values(2 * count)
        return list(zip(v[0::2], v[1::2]))

    m = {}
    find("[times]")
    m["alpha"], m["start"], m["end"], m["dt"], m["tol"], m["sweeps"] = values(6)
    find("[parameters]")
    for k in ("nx", "ny", "nz"):
        m[k] = int(number(k + "="))
    for k in ("dx", "dy", "dz"):
        m[k] = number(k + "=")
    m["outline"] = find("ormat=").strip()[:20]
    find("ydration]")
    series_flag = find("seriesFlag=").strip()
    m["table"] = "ue" in series_flag
    m["exponential"] = "ue" in find("lag=")
    m["rho"], m["placement"], m["cementitious"] = number("Rho="), number("ment="), number("cementitious=")
    m["P"] = [number(f"P{n}=") for n in (1, 2, 3)]
    rows = int(number("points="))
    m["rates"] = pairs(rows) if "True" in series_flag and rows > 0 else []
    find("[Boundaries]")
    m["faces"] = c.lines[c.pos][:6].upper() if c.pos < len(c.lines) else ""
    m["boundaries"] = []
    count = int(number("materialboundaries="))
    m["initial"] = number("initial=")
    for _ in range(count):
        b = {"remark": find("[boundary]").strip()}
        b["series"] = "ue" in find("Dirichlet=")
        b["material"] = int(number("number="))
        b["density"] = number("density=")
        b["initial"] = number("initTemp=")
        points = int(number("points="))
        b["points"] = pairs(points) if b["series"] and points > 0 else []
        m["boundaries"].append(b)
    find("[Files]")
    m["output"] = find("output=").strip()[:80]
    m["sectionfiles"] = int(number("sectionfiles="))
    find("[submodel]")
    m["layers"] = [int(v) for v in values(m["nz"])]
    find("[Materials]")
    m["materials"] = []
    for n in range(int(number("terials="))):
        mat = {"remark": re.sub(r"^\s*\d*\s*:?\s*", "", find("aterial]")).strip()}
        mat["conductivity"] = number("conductivity=")
        mat["heat"] = number("heat=")
        mat["density"] = number("ensity=")
        mat["production"] = number("production=")
        m["materials"].append(mat)
    if c.physics:
        m["physics"] = read_physics(c.physics)
    return m


def read_physics(lines):
    """The (key, value) pairs of the [Physics] block, from its header on."""
    out = []
    for line in lines[1:]:
        if line == PHYSICS[1]:
            return out
        if line:
            key, _, value = line.partition("=")
            out.append((key.strip(BLANKS), value.strip(BLANKS)))
    raise ValueError(f"the {PHYSICS[0]} block has no line {PHYSICS[1]}")


# ---------------------------------------------------------------- writing

PHYSICS = (PHYSICS_HEADER, "[End Physics]")


def physics_block(pairs):
    """The [Physics] block that ends a project in the sound mode: one line
    key=value each."""
    return [PHYSICS[0]] + [f"{k}={v}" for k, v in pairs] + [PHYSICS[1]]


def flag(on):
    return "True" if on else "False"


def project_text(p):
    """The project file of `p`, a dict as above."""
    out = list(p["head"]) + [
        "", "[times]",
        " ".join(num(p[k]) for k in ("alpha", "start", "end", "dt", "tol", "sweeps")),
        "(alpha, start h, end h, longest late step h, tolerance, sweep limit)", "",
        "[parameters]"]
    out += [f"{k}={p[k]}" for k in ("nx", "ny", "nz")] + [f"{k}={num(p[k])}" for k in ("dx", "dy", "dz")]
    out += ["sectionformat=" + p["outline"], "",
            "[hydration]", "seriesFlag=" + flag(p["table"]), "modelFlag=" + flag(p["exponential"]),
            f"Rho={num(p['rho'])}", f"placement={num(p['placement'])}", f"cementitious={num(p['cementitious'])}"]
    out += [f"P{n}={num(v)}" for n, v in enumerate(p["P"], 1)]
    out.append(f"points={len(p['rates'])}")
    out += [f"{num(t)} {num(r)}" for t, r in p["rates"]]
    out += ["[End Sources]", "", "[Boundaries]", p["faces"],
            f"materialboundaries={len(p['boundaries'])}", f"initial={num(p['initial'])}"]
    for b in p["boundaries"]:
        out += [f"[boundary] {b['remark']}", "Dirichlet=" + flag(b["series"]), f"number={b['material']}",
                f"density={num(b['density'])}", f"initTemp={num(b['initial'])}", f"points={len(b['points'])}"]
        out += [f"{num(t)} {num(T)}" for t, T in b["points"]]
    out += ["[End Boundaries]", "", "[Files]", f"output={p['output']}",
            f"sectionfiles={len(p['sections'])}", "", "[submodel]"]
    out += wrapped(runs(p["layers"]))
    out += ["", "[Sectiongeometry]"]
    for remark, rows in p["sections"]:
        out.append(f"[section] {remark}")
        flat = [v for row in rows for v in row]
        if len(set(flat)) == 1:
            out.append(f"{len(flat)}*{flat[0]}")
        else:
            for row in rows:
                out += wrapped(runs(row))
    out += ["", "[Materials]", f"Materials={len(p['materials'])}"]
    for n, mat in enumerate(p["materials"], 1):
        out += [f"[Material] {n}: {mat['remark']}", f"conductivity={num(mat['conductivity'])}",
                f"specificheat={num(mat['heat'])}", f"density={num(mat['density'])}",
                f"production={num(mat['production'])}"]
    if "physics" in p:
        out += [""] + physics_block(p["physics"])
    return "\n".join(out) + "\n"
