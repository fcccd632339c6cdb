"""Named points: the places an engineer puts sensors, in the member's own
frame (metres from its low corner, z up from its bottom) and in the grid's
(the outer low corner of cell (1, 1, 1) the origin). By default the core,
50 mm under the centre of each face and under the corners and edges of the
top; [[point]] entries add more. A point on a mirrored part of the member
maps onto its modelled twin."""

import re

from ..units import QuantityError, quantity
from .tables import DescriptionError, Table

DEPTH = 0.05          # m: the default points lie this far under their faces
POINTS_MAX = 64
NAME = re.compile(r"[A-Za-z0-9._-]{1,32}")
KNOWN = ("name", "position", "face", "depth")


def extents(d):
    """The member's size along x, y, z in its own frame; None along an axis
    the model is a slice of (a wall's length, a tall column's height)."""
    t = d["template"]
    if t == "wall":
        plan = (None, d["thickness"])
    elif t in ("round-column", "shaft"):
        plan = (d["diameter"], d["diameter"])
    else:
        plan = (d["length"], d["width"])
    return (*plan, None if d["slice"] else d["height"])


def faces(d):
    """The member's faces: name -> (axis 0-2, coordinate, inward direction)."""
    E = extents(d)
    out = {}
    if E[2] is not None:
        out["top"], out["bottom"] = (2, E[2], -1), (2, 0.0, 1)
    if d["template"] in ("round-column", "shaft"):
        out["side"] = (0, E[0], -1)
    else:
        if E[0] is not None:
            out["side-x"] = (0, E[0], -1)
        out["side-y"] = (1, E[1], -1)
    return out


def face_point(d, face, depth):
    """The centre of a face, `depth` inside the member."""
    axis, at, inward = faces(d)[face]
    p = [None if e is None else e / 2 for e in extents(d)]
    p[axis] = at + inward * depth
    return tuple(p)


def default_points(d):
    """(name, position in the member's frame, face, depth) of the default set."""
    E, mm = extents(d), f"{DEPTH * 1000:g}mm"
    out = [("core", tuple(None if e is None else e / 2 for e in E), None, None)]
    out += [(f"{f}-centre-{mm}", face_point(d, f, DEPTH), f, DEPTH) for f in faces(d)]
    if E[2] is None:
        if E[0] is not None and "side" not in faces(d):
            out.append((f"corner-{mm}", (E[0] - DEPTH, E[1] - DEPTH, None), None, DEPTH))
        return out
    top = E[2] - DEPTH
    if "side" in faces(d):
        out.append((f"top-edge-{mm}", (E[0] - DEPTH, E[1] / 2, top), None, DEPTH))
    elif E[0] is None:
        out.append((f"top-edge-y-{mm}", (None, E[1] - DEPTH, top), None, DEPTH))
    else:
        out += [(f"top-corner-{mm}", (E[0] - DEPTH, E[1] - DEPTH, top), None, DEPTH),
                (f"top-edge-x-{mm}", (E[0] - DEPTH, E[1] / 2, top), None, DEPTH),
                (f"top-edge-y-{mm}", (E[0] / 2, E[1] - DEPTH, top), None, DEPTH)]
    return out


def read_points(data, d):
    """The [[point]] entries: (name, position, face, depth, key), a position
    given in metres from the member's own corner, or a face and a depth."""
    items = data.get("point", [])
    if not isinstance(items, list):
        raise DescriptionError("point", "give each as a table of its own, [[point]]")
    out = []
    for n, item in enumerate(items):
        p = Table(item, f"point[{n}]", KNOWN)
        name = p.text("name")
        if not NAME.fullmatch(name):
            raise DescriptionError(p.key("name"), f"'{name}' is not 1 to 32 letters, digits, '-', '_' or '.'")
        if p.has("position") == p.has("face"):
            raise DescriptionError(p.path, "give either a position or a face (with its depth)")
        if p.has("position"):
            if p.has("depth"):
                raise DescriptionError(p.key("depth"), "goes with a face, not with a position")
            out.append((name, position(p), None, None, p.path))
            continue
        face = p.text("face", tuple(faces(d)))
        axis = faces(d)[face][0]
        depth = p.get("depth", "length", 0.0, lo=0)
        if not depth <= extents(d)[axis] / 2:
            raise DescriptionError(p.key("depth"), f"{depth:g} m is past the member's centre "
                                   f"({extents(d)[axis] / 2:g} m from the {face})")
        out.append((name, face_point(d, face, depth), face, depth, p.path))
    return out


def position(p):
    """Three lengths, in metres: the point in the member's frame."""
    v = p.data["position"]
    if not isinstance(v, list) or len(v) != 3:
        raise DescriptionError(p.key("position"), "give three lengths, x, y and z from the member's own corner")
    try:
        out = tuple(quantity(x, "length") for x in v)
    except QuantityError as e:
        raise DescriptionError(p.key("position"), str(e))
    if any(abs(x) > 1000 for x in out):
        raise DescriptionError(p.key("position"), "a length beyond 1000 m")
    return out


def to_grid(axis, extent, v):
    """A coordinate of the member's frame in the grid's: across a symmetry
    plane (1.5 cells from the grid's low face) onto the modelled twin; a
    slice's axis at its middle."""
    if extent is None:
        return 2.0 * axis.d
    if axis.mirror_lo:
        return 1.5 * axis.d + abs(v - extent / 2)
    return (axis.lo - 1) * axis.d + v


def named_points(d, model):
    """The model's named points: {name, member, grid, face, depth, given}.
    A default point that falls where an earlier one lies is left out; a
    point of [[point]] outside the computed part of the grid is refused."""
    axes, E = (model["x"], model["y"], model["z"]), extents(d)
    out, names = [], set()

    def add(name, member, face, depth, key=None):
        member = tuple(None if e is None else v for e, v in zip(E, member))
        grid = tuple(to_grid(a, e, v) for a, e, v in zip(axes, E, member))
        if key is None and any(all(abs(g - q) < 1e-9 for g, q in zip(grid, p["grid"])) for p in out):
            return
        if key is not None:
            if name in names:
                raise DescriptionError(key + ".name", f"'{name}' names another point already")
            for a, g, n in zip(axes, grid, "xyz"):
                if not a.d - 1e-9 <= g <= (a.n - 1) * a.d + 1e-9:
                    raise DescriptionError(key, f"lies outside the computed part of the grid along {n}")
        names.add(name)
        out.append({"name": name, "member": member, "grid": grid, "face": face, "depth": depth,
                    "given": key is not None})

    for name, member, face, depth in default_points(d):
        add(name, member, face, depth)
    for name, member, face, depth, key in d["points"]:
        add(name, member, face, depth, key)
    if len(out) > POINTS_MAX:
        raise DescriptionError("point", f"{len(out)} points with the default ones; the program takes {POINTS_MAX}")
    return out
