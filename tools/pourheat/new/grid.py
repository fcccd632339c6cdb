"""The grid: the cells along each axis, sized so that the member spans an
odd number of whole cells of exactly its size, its surfaces as many cells as
make their resistance, and the zone of each cell and column."""

import math

from ..project import AXIS_MAX
from .tables import DescriptionError

ACROSS_MIN = 5       # cells across the member
BEYOND = 1e9         # a count of cells far beyond any grid: counts stop there


def nearest_odd(x):
    return max(1, 2 * math.floor((min(x, BEYOND) - 1) / 2 + 0.5) + 1)


def lift_cells(length, x, lifts):
    """Cells of a member's height placed in lifts, about x of them: the count,
    odd or even, that puts the joints nearest to cell faces (odd on a tie,
    so that the core stays a cell; then the nearest to x)."""
    x = min(x, BEYOND)
    lo, hi = max(1, math.floor(0.8 * x)), max(1, math.ceil(1.25 * x))
    if hi - lo > 400:  # far beyond any axis the program holds: refused by the count
        return nearest_odd(x)

    def miss(m):
        return max(abs(f - round(f)) for f in (lift["height"] / length * m for lift in lifts))
    return min(range(lo, hi + 1), key=lambda m: (round(miss(m), 6), m % 2 == 0, abs(m - x)))


def lift_layers(z, lifts, length):
    """The layers (k from, k to) of each lift, the first the member's base:
    each joint on the cell face nearest to its height."""
    m = z.hi - z.lo + 1
    joints = [0] + [math.floor(lift["height"] / length * m + 0.5) for lift in lifts] + [m]
    for n, lift in enumerate(lifts):
        if not joints[n] < joints[n + 1] < joints[n + 2]:
            raise DescriptionError(lift["key"] + ".height", f"the lifts need a cell each at least: in cells of "
                                   f"{z.d:.3g} m the joint at {lift['height']:g} m leaves a lift without one; "
                                   f"give a smaller {z.key}")
    return [(z.lo + a, z.lo + b - 1) for a, b in zip(joints, joints[1:])]


def cells_of(length, d, minimum=1):
    return max(minimum, math.floor(min(length / d, BEYOND) + 0.5))


class Axis:
    """The cells along one axis: size, the zone of each cell (list index 0 is
    cell 1), the member's first and last cell, its centre cell, and whether
    the faces at the low and high ends are mirrors."""

    def __init__(self, name, d, zones, lo, hi, centre, mirror_lo=False, mirror_hi=False):
        self.name, self.d, self.zones = name, d, zones
        self.lo, self.hi, self.centre = lo, hi, centre
        self.mirror_lo, self.mirror_hi = mirror_lo, mirror_hi

    @property
    def n(self):
        return len(self.zones)


def plan_axis(name, m, d, mirror, n_cover, n_margin):
    """Member of m cells (odd) along a plan axis. With a mirror at the low end
    the model keeps (m + 1)/2 of them, the first on the symmetry plane."""
    side = ["cover"] * n_cover + ["margin"] * n_margin + ["ring"]
    if mirror:
        half = ["member"] * ((m + 1) // 2) + side
        zones = [half[1]] + half  # cell 1 copies cell 3
        return Axis(name, d, zones, 2, 1 + (m + 1) // 2, 2, mirror_lo=True)
    zones = side[::-1] + ["member"] * m + side
    lo = len(side) + 1
    return Axis(name, d, zones, lo, lo + m - 1, lo + m // 2)


def surface_cells(resistance, d, k, held_next, at_least, radius=None):
    """Cells between the concrete and the next material that give the surface
    resistance: the program lets each cell use its own conductivity on all
    its faces, so in steady state cells without heat carry a straight-line
    temperature and only their number matters: n cells of the concrete's
    conductivity, plus half the held cell beyond them, are (n + 0.5) d / k.
    Around a round member of `radius` cells the ring of cells spreads the
    heat: r ln((r + n + 0.5)/r) d / k per area of the concrete's face."""
    x = min(resistance * k / d, BEYOND)
    if radius:
        x = min(radius * (math.exp(min(x / radius, 50.0)) - 1), BEYOND)
    return max(at_least, math.floor(x - (0.5 if held_next else 0.0) + 0.5))


def surface_resistance(n, d, k, held_next, radius=None):
    x = n + (0.5 if held_next else 0.0)
    return (radius * math.log((radius + x) / radius) if radius else x) * d / k


def cover_cells(cover, d, in_air):
    """Cells of a cover in the sound mode: as many as its thickness makes,
    where it is at least a cell thick; a thinner one is folded into the film
    where it meets the air (none), and where it lies in the soil it takes
    one cell that carries its resistance."""
    if cover is None:
        return 0
    if cover["t"] < d * (1 - 1e-9):
        return 0 if in_air else 1
    return cells_of(cover["t"], d)


def folded_film(h, covers):
    """The film that carries a surface film h and the covers folded into
    it, each (thickness, conductivity): 1/(1/h + sum of t/k)."""
    return 1.0 / (1.0 / h + sum(t / k for t, k in covers))


def side_requested(d_, face):
    """Requested resistance of the top or of the sides, m2 K/W."""
    cover = d_["cover"].get(face)
    in_air = face == "top" or d_["sides"] == "air"
    return (1.0 / d_["film"] if in_air else 0.0) + (cover["t"] / cover["k"] if cover else 0.0), in_air


def build_axes(d_):
    """Cell sizes and zones. The member's extent along each axis is an odd
    number of cells of exactly its size; the target size is grid.cell or, by
    default, 1/11 of the smallest member dimension (an axis no finer than 1/25
    of its length nor coarser than 0.4 m), coarsened axis by axis to fit 80
    cells. The cells are counted before any axis is built: what cannot fit,
    even with the member at its fewest cells, is refused, naming the key that
    takes them."""
    t = d_["template"]
    if t == "wall":
        plan = {"y": d_["thickness"]}
    elif t in ("round-column", "shaft"):
        plan = {"xy": d_["diameter"]}
    else:
        plan = {"x": d_["length"], "y": d_["width"]}
    dims = dict(plan)
    if not d_["slice"]:
        dims["z"] = d_["height"]
    finest = min(dims.values()) / 11
    mirror = d_["model"] in ("quarter", "half")
    member_key = {"xy": "member.diameter", "x": "member.length", "y": "member.width" if t != "wall"
                  else "member.thickness", "z": "member.height"}

    axes = {}
    for axis, length in dims.items():
        given = d_["cell"]["z" if axis == "z" else "plan"]
        key = d_["cell_key"]["z" if axis == "z" else "plan"] if given else member_key[axis]
        along = "x and y" if axis == "xy" else axis
        fewest = axis_cells(d_, axis, length, length / ACROSS_MIN, mirror)
        if fewest[0] > AXIS_MAX:
            n, m, dd, parts = fewest
            count, culprit = max(parts)
            raise DescriptionError(culprit, f"takes {count} cells along {along} even with the member only "
                                   f"{m} cells across ({dd:.3g} m each): {n} in all, at most {AXIS_MAX}")
        target = given or min(max(finest, length / 25), max(finest, 0.4))
        while axis_cells(d_, axis, length, target, mirror)[0] > AXIS_MAX:
            if given:
                raise DescriptionError(key, f"{given:g} m gives {axis_cells(d_, axis, length, target, mirror)[0]} "
                                       f"cells along {along}; at most {AXIS_MAX}: give a larger cell")
            target *= 1.05
        ax, m = make_axis(d_, axis, length, target, mirror)
        if m < ACROSS_MIN:
            raise DescriptionError(key, f"the member is {m} cells across along {along} ({length:g} m in cells "
                                   f"of {length / m:.3g} m); it needs at least {ACROSS_MIN}: give a smaller {key}")
        ax.key = key
        if axis == "z":
            ax.lifts = lift_layers(ax, d_.get("lifts", []), length)
        axes[axis] = ax
    plan_covers = [a.zones.count("cover") for n, a in axes.items() if n != "z"]
    if d_["mode"] == "sound" and 0 in plan_covers and any(plan_covers) and not d_.get("fold_sides"):
        # A side cover a cell thick along one plan axis but not the other is
        # folded into the film on all sides: one film serves them all.
        return build_axes(dict(d_, fold_sides=True))
    if "xy" in axes:
        x = axes.pop("xy")
        y = Axis("y", x.d, x.zones, x.lo, x.hi, x.centre)
        y.round, y.key = x.round, x.key
        axes["x"], axes["y"] = x, y
    if t == "wall":
        dy = axes["y"].d
        axes["x"] = Axis("x", dy, ["member"] * 4, 2, 3, 2, True, True)
    if d_["slice"]:
        dz = min(axes["x"].d, axes["y"].d)
        axes["z"] = Axis("z", dz, ["member"] * 4, 2, 3, 2, True, True)
    return axes["x"], axes["y"], axes["z"]


def surroundings(d_, axis, dd, m):
    """The cells beside the member along a plan axis, or above and below it
    along z, for cells of dd: [(count, the key that sets it)]. In the sound
    mode a surface in air is a film on the held air, so only covers of a
    cell or more (or in the soil) take cells."""
    k = d_["concrete"]["k"]
    sound = d_["mode"] == "sound"
    if axis == "z":
        soil, R = d_["soil"], side_requested(d_, "top")[0]
        top = d_["cover"].get("top")
        parts = [(cells_of(soil["depth"], dd, 2), "soil.depth"),
                 (cover_cells(top, dd, True) if sound else surface_cells(R, dd, k, True, 1 if top else 0),
                  "cover.top.thickness" if top else "air.film")]
        if "footing" in d_:
            parts.append((cells_of(d_["footing"]["height"], dd), "footing.height"))
        return parts
    R, held = side_requested(d_, "sides")
    radius = m / 2 if axis == "xy" else None
    side = d_["cover"].get("sides")
    cover = "cover.sides.thickness" if side else "air.film"
    if sound:
        folded = d_.get("fold_sides") and d_["sides"] == "air"
        parts = [(0 if folded else cover_cells(side, dd, d_["sides"] == "air"), cover)]
    else:
        parts = [(surface_cells(R, dd, k, held, 1 if side else 0, radius) if R > 0 else 0, cover)]
    if d_["sides"] == "soil":
        margin = d_["soil"]["margin"]
        parts.append((cells_of(margin or d_["soil"]["depth"], dd), "soil.margin" if margin else "soil.depth"))
    return parts


def axis_cells(d_, axis, length, target, mirror):
    """The cells an axis takes for a target cell size, counted without
    building it: the count, the member's cells, their size and the parts
    around them."""
    if axis == "z" and d_.get("lifts"):
        m = lift_cells(length, length / target, d_["lifts"])
    else:
        m = nearest_odd(length / target)
    dd = length / m
    parts = surroundings(d_, axis, dd, m)
    around = sum(n for n, _ in parts)
    if axis == "z":
        n = around + m + 1
    elif axis == "xy":
        n = 2 * ((m + 1) // 2 + around) + 1
    elif mirror:
        n = (m + 1) // 2 + around + 2
    else:
        n = m + 2 * (around + 1)
    return n, m, dd, parts


def make_axis(d_, axis, length, target, mirror):
    """The axis for a target cell size, and the member's cells along it."""
    _, m, dd, parts = axis_cells(d_, axis, length, target, mirror)
    if axis == "z":
        return vertical_axis(m, dd, *(n for n, _ in parts), *([0] if len(parts) < 3 else [])), m
    n_c = parts[0][0]
    n_m = parts[1][0] if len(parts) > 1 else 0
    if axis == "xy":
        r0 = (m + 1) // 2 + n_c + n_m
        ax = Axis("x", dd, ["round"] * (2 * r0 + 1), r0 + 1 - m // 2, r0 + 1 + m // 2, r0 + 1)
        ax.round = (m, n_c, n_m, r0)
        return ax, m
    return plan_axis(axis, m, dd, mirror, n_c, n_m), m


def vertical_axis(m, dz, ns, nt, nf):
    """Layers from the bottom: soil (ns, the bottom layer held), the footing
    of a wall (nf), the member (m), the top cover (nt), and the held air on top."""
    zones = ["soil"] * ns + ["footing"] * nf + ["member"] * m + ["top"] * nt + ["air"]
    lo = ns + nf + 1
    return Axis("z", dz, zones, lo, lo + m - 1, lo + m // 2)


RANK = {"member": 0, "cover": 1, "margin": 2, "ring": 3}


def plan_zone(x, y, i, j):
    """Zone of column (i, j): the outermost of its two axis zones, or by the
    distance from the centre for a round member."""
    if hasattr(x, "round"):
        m, n_c, n_m, r0 = x.round
        di, dj = i - x.centre, j - y.centre
        q = di * di + dj * dj
        if q >= r0 * r0:
            return "ring"  # outside the circle the program computes
        if 4 * q < m * m:
            return "member"
        if n_m == 0 or 4 * q < (m + 2 * n_c) ** 2:
            return "cover"
        return "margin"
    zx, zy = x.zones[i - 1], y.zones[j - 1]
    return zx if RANK[zx] >= RANK[zy] else zy
