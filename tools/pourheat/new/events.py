"""Construction in time: covers and forms that come off ([[event]]) and
lifts placed later ([[lift]]), read from the description, and the at=
lines of the [Physics] block that make them happen, each with what it
changes."""

from ..project import num
from .tables import DescriptionError, Table

KNOWN = {"event": ("remove", "at"), "lift": ("height", "at", "placing")}
LIFTED = ("wall", "mat", "footing")


def entries(data, key):
    """The tables of an array of tables ([[event]]), each with its key path."""
    items = data.get(key, [])
    if not isinstance(items, list):
        raise DescriptionError(key, f"give each as a table of its own, [[{key}]]")
    return [Table(item, f"{key}[{n}]", KNOWN[key]) for n, item in enumerate(items)]


def within(table, hours):
    """The time of an entry: after the placing and before the end of the run."""
    t = table.get("at", "time")
    if not 0 < t < hours:
        raise DescriptionError(table.key("at"), f"{t:g} h is not within the run (after 0 h, before {hours:g} h)")
    return t


def read_events(data, d):
    """Removal of covers: [{key, face, at}]; each cover once, one that exists."""
    out = []
    for e in entries(data, "event"):
        what = e.text("remove")
        face = what.removeprefix("cover.")
        if not what.startswith("cover.") or face not in d["cover"]:
            have = ", ".join(f"cover.{f}" for f in d["cover"]) or "none"
            raise DescriptionError(e.key("remove"), f"'{what}' is not a cover of this member (its covers: {have})")
        if face == "sides" and d["sides"] == "soil":
            raise DescriptionError(e.key("remove"), "the sides' cover lies against the soil (sides = \"soil\"), "
                                   "which is computed and stays: it cannot come off")
        earlier = [o["key"] for o in out if o["face"] == face]
        if earlier:
            raise DescriptionError(e.key("remove"), f"{what} comes off already at {earlier[0]}")
        out.append({"key": e.path, "face": face, "at": within(e, d["hours"])})
    return out


def read_lifts(data, d):
    """Lifts placed after the first: [{key, height, at, placing}], by height;
    `height` is the joint below the lift, from the member's bottom; the lift
    reaches the next joint or the top."""
    lifts = entries(data, "lift")
    if lifts and (d["template"] not in LIFTED or d["slice"]):
        raise DescriptionError("lift", f"lifts are for walls, mats and footings, not a {d['template']}")
    out = []
    for e in lifts:
        h = e.get("height", "length", above=0)
        if not h < d["height"]:
            raise DescriptionError(e.key("height"), f"{h:g} m is not below the member's top ({d['height']:g} m)")
        out.append({"key": e.path, "height": h, "at": within(e, d["hours"]),
                    "placing": e.get("placing", "temperature", d["placing"], lo=-30, hi=90)})
    out.sort(key=lambda lift: lift["height"])
    for below, lift in zip(out, out[1:]):
        if lift["height"] == below["height"]:
            raise DescriptionError(lift["key"] + ".height", f"{below['key']} starts at the same height")
        if lift["at"] < below["at"]:
            raise DescriptionError(lift["key"] + ".at", f"placed before the lift under it ({below['key']})")
    return out


def event_lines(d, model):
    """The model's events in time order: {at, line (the value of at=), key,
    what}, removals in the order given, then lifts from the bottom."""
    mats, number = model["materials"], model["number"]
    faces = {f["face"]: f for f in model["faces"]}
    out = []
    for e in d["events"]:
        f = faces[e["face"]]
        cover = f["cover"]
        about = f"cover.{e['face']} ({cover['name']}, {num(round(cover['t'] * 1000, 3))} mm) comes off"
        air = number[f["air"]]
        if f["cells"]:
            if hasattr(model["x"], "round") and e["face"] == "sides":
                raise DescriptionError(e["key"] + ".remove", "the cover of a round member's sides is cells here "
                                       "(a cell thick or more): taking it off would change the outline the side "
                                       "film is scaled for; give a larger grid.plan_cell so that it folds")
            m = "topcover" if e["face"] == "top" else "sidecover"
            line = f"{num(e['at'])} material {number[m]} {air}"
            what = (f"{about}: its cells (material {number[m]}) become the held {mats[f['air']]['name']} "
                    f"({air}), which the concrete meets through its film of {num(round(f['H'], 4))} W/(m2 K)")
        else:
            line = f"{num(e['at'])} film {air} {num(f['H'])}"
            what = (f"{about}: the film of the held {mats[f['air']]['name']} ({air}) drops its "
                    f"{num(round(f['R'], 4))} m2 K/W, from {f['h']:.4g} to {num(round(f['H'], 4))} W/(m2 K)")
        out.append({"at": e["at"], "line": line, "key": e["key"], "kind": "remove", "face": e["face"], "what": what})
    z = model["z"]
    for n, lift in enumerate(d["lifts"], 2):
        m = f"lift{n}"
        k1, k2 = z.lifts[n - 1]
        bottom, top = (k1 - z.lo) * z.d, (k2 - z.lo + 1) * z.d
        line = f"{num(lift['at'])} lift {number[m]} {num(lift['placing'])} {number['air']}"
        what = (f"lift {n} (material {number[m]}, layers k = {k1}-{k2}, {num(round(bottom, 6))} to "
                f"{num(round(top, 6))} m) placed at {num(round(lift['placing'], 2))} C; until then its cells "
                f"are held as the {mats['air']['name']} ({number['air']}) above the member")
        out.append({"at": lift["at"], "line": line, "key": lift["key"], "kind": "lift", "lift": n, "what": what})
    return sorted(out, key=lambda e: e["at"])  # stable: same times keep the order above
