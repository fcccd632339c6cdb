"""The report's pictures of a described member: the heat curve and the air
of the description, the sections through the core, the named points'
histories, the pair differences against their limits, and the strength and
cracking index against time. Each returns a PNG as base64 text; values are
drawn in the page's units (a Shown)."""

import math

from .pictures import png

# Faces of the grid in the order of the face codes: (axis, index at the face).
FACES = (("i", "low"), ("j", "high"), ("i", "high"), ("j", "low"), ("k", "low"), ("k", "high"))


def small(plt, width=4.6, height=2.8):
    return plt.subplots(figsize=(width, height), layout="constrained")


def heat_curve_chart(plt, concrete, shown):
    """The adiabatic rise over the placing against age at the reference
    temperature: the released fraction of the heat curve times the rise at
    full release."""
    curve = concrete.get("heat_curve") or []
    rise, alpha_u = concrete.get("adiabatic_rise_k"), (concrete.get("curve_parameters") or {}).get("alpha_u")
    if len(curve) < 2 or rise is None:
        return None
    full = rise / (alpha_u or 1.0)  # the rise is the heat the curve releases in the end
    fig, ax = small(plt)
    ax.plot([t for t, _ in curve], [shown.value("difference", f * full) for _, f in curve], color="tab:red", lw=1.8)
    ax.set_xlabel(f"Equivalent age at {concrete.get('reference_c', 20):g} °C (hours)" if not shown.us else
                  f"Equivalent age at {shown.text('temperature', concrete.get('reference_c', 20), 0)} (hours)")
    ax.set_ylabel(shown.label("Adiabatic rise", "difference"))
    ax.set_title("Heat of hydration: the adiabatic rise", fontsize=10)
    data = png(fig)
    plt.close(fig)
    return data


def air_chart(plt, air, shown):
    points = (air or {}).get("points") or []
    if len(points) < 2:
        return None
    fig, ax = small(plt)
    ax.plot([t for t, _ in points], [shown.value("temperature", c) for _, c in points], color="tab:blue", lw=1.6)
    ax.set_xlabel("Time (hours)")
    ax.set_ylabel(shown.label("Air", "temperature"))
    ax.set_title("The air" + (f" (weather file {air['file']})" if air.get("file") else ""), fontsize=10)
    data = png(fig)
    plt.close(fig)
    return data


def concrete_cells(model, grid):
    """The computed concrete: cells of a material with production above 0,
    off the mirror faces."""
    productive = {n for n, m in enumerate(model["materials"], 1) if m["production"] > 0}
    size = {"i": model["nx"], "j": model["ny"], "k": model["nz"]}
    mirrored = [FACES[n] for n, code in enumerate(model["faces"][:6]) if code == "N"]

    def inside(i, j, k):
        at = {"i": i, "j": j, "k": k}
        return not any(at[a] == (1 if end == "low" else size[a]) for a, end in mirrored)
    return {(i, j, k) for k, layer in enumerate(grid, 1) for j, row in enumerate(layer, 1)
            for i, mat in enumerate(row, 1) if mat in productive and inside(i, j, k)}


PLANES = {"x": ("j", "k", "y", "z"), "y": ("i", "k", "x", "z"), "z": ("i", "j", "x", "y")}


def section_chart(plt, kind_title, entries, model, concrete, marks, shown):
    """The planes x, y, z through the core side by side: every cell coloured
    by its temperature, the concrete's outline, the named points near the
    plane marked and named. `entries` maps a plane to its time and cells;
    `marks` are (name, (x, y, z) in metres of the grid)."""
    import numpy as np
    planes = [p for p in "xyz" if p in entries]
    scale = shown.value("length", 1.0)
    step = {"i": model["dx"] * scale, "j": model["dy"] * scale, "k": model["dz"] * scale}
    values = [shown.value("temperature", v) for p in planes for v in entries[p]["cells"].values()]
    lo, hi = min(values), max(values)
    fig, axes = plt.subplots(1, len(planes), figsize=(10, 4.2), layout="constrained", squeeze=False)
    image = None
    for ax, plane in zip(axes[0], planes):
        a, b, xa, xb = PLANES[plane]
        cells = entries[plane]["cells"]
        na, nb = ({"i": model["nx"], "j": model["ny"], "k": model["nz"]}[x] for x in (a, b))
        field = np.full((nb, na), np.nan)
        inside = np.zeros((nb, na), dtype=bool)
        fixed = None
        for (i, j, k), v in cells.items():
            at = {"i": i, "j": j, "k": k}
            field[at[b] - 1, at[a] - 1] = shown.value("temperature", v)
            inside[at[b] - 1, at[a] - 1] = (i, j, k) in concrete
            fixed = at[{"x": "i", "y": "j", "z": "k"}[plane]]
        da, db = step[a], step[b]
        image = ax.imshow(field, origin="lower", cmap="inferno", vmin=lo, vmax=hi, interpolation="nearest",
                          extent=(0, na * da, 0, nb * db))
        # The outline: every cell edge between concrete and the rest.
        for r in range(nb):
            for c in range(na):
                if not inside[r, c]:
                    continue
                for dr, dc, seg in ((0, -1, ((c, c), (r, r + 1))), (0, 1, ((c + 1, c + 1), (r, r + 1))),
                                    (-1, 0, ((c, c + 1), (r, r))), (1, 0, ((c, c + 1), (r + 1, r + 1)))):
                    rr, cc = r + dr, c + dc
                    if not (0 <= rr < nb and 0 <= cc < na and inside[rr, cc]):
                        ax.plot([s * da for s in seg[0]], [s * db for s in seg[1]], color="cyan", lw=1.6)
        axis = {"x": 0, "y": 1, "z": 2}
        centre = (fixed - 0.5) * step[{"x": "i", "y": "j", "z": "k"}[plane]] if fixed else None
        half = step[{"x": "i", "y": "j", "z": "k"}[plane]] / 2
        for name, where in marks:
            if centre is None or abs(where[axis[plane]] * scale - centre) > half + 1e-9:
                continue
            u, v = where[axis[xa]] * scale, where[axis[xb]] * scale
            ax.plot([u], [v], "o", mfc="white", mec="black", ms=5)
            ax.annotate(name, (u, v), xytext=(4, 4), textcoords="offset points", fontsize=7,
                        bbox=dict(boxstyle="round,pad=0.1", fc="white", ec="none", alpha=0.8))
        unit = shown.unit("length")
        ax.set_xlabel(f"{xa} ({unit})")
        ax.set_ylabel(f"{xb} ({unit})")
        ax.set_title(f"plane {plane} = {centre:.2f} {unit}" if centre is not None else f"plane {plane}", fontsize=9)
        ax.grid(False)
        ax.set_aspect("equal")
    bar = fig.colorbar(image, ax=list(axes[0]), shrink=0.85)
    bar.set_label(shown.label("Temperature", "temperature"))
    times = sorted({entries[p]["time_h"] for p in planes})
    fig.suptitle(f"{kind_title}, {', '.join(f'{t:g}' for t in times)} h (outline: the concrete; "
                 "o: named points)", fontsize=10)
    data = png(fig)
    plt.close(fig)
    return data


def points_chart(plt, names, rows, shown):
    fig, ax = plt.subplots(figsize=(9, 4.8), layout="constrained")
    t = [r[0] for r in rows]
    for n, name in enumerate(names, 1):
        pairs = [(x, shown.value("temperature", r[n])) for x, r in zip(t, rows) if r[n] is not None]
        ax.plot([p[0] for p in pairs], [p[1] for p in pairs], lw=1.6, label=name)
    ax.set_xlabel("Time (hours)")
    ax.set_ylabel(shown.label("Temperature", "temperature"))
    ax.set_title("The named points")
    ax.legend(loc="best", fontsize=8, ncol=1 if len(names) <= 8 else 2)
    data = png(fig)
    plt.close(fig)
    return data


def pairs_chart(plt, series, limits, shown):
    """Each pair's difference against time, with the difference limits
    (Limit objects in degrees Celsius: at(t) the limit at a time)."""
    fig, ax = plt.subplots(figsize=(9, 4.8), layout="constrained")
    for label, t, d in series:
        ax.plot(t, [shown.value("difference", v) for v in d], lw=1.6, label=label)
    span = [min(min(t) for _, t, _ in series), max(max(t) for _, t, _ in series)]
    for n, limit in enumerate(limits):
        ts = sorted(set(span) | {p[0] for p in limit.points if span[0] < p[0] < span[1]})
        ax.plot(ts, [shown.value("difference", limit.at(x)) for x in ts], color="crimson",
                ls=("--", ":")[n % 2], lw=1.3, label=f"limit {limit.label}")
    ax.axhline(0, color="black", lw=0.8)
    ax.set_xlabel("Time (hours)")
    ax.set_ylabel(shown.label("Difference", "difference"))
    ax.set_title("Differences between the pairs of points")
    ax.legend(loc="best", fontsize=8)
    data = png(fig)
    plt.close(fig)
    return data


def strength_chart(plt, a, shown):
    """Each point's strength by maturity above (the stripping strength
    dashed), each surface point's cracking index below (1 dashed: below it
    a crack is likely)."""
    s, c, times = a["strength"], a["cracking"], a["times"]
    rows = 2 if c and c["points"] else 1
    fig, axes = plt.subplots(rows, 1, figsize=(9, 3.6 * rows), sharex=True, layout="constrained", squeeze=False)
    top = axes[0][0]
    for q in s["points"]:
        top.plot(times, [shown.value("strength", v) for v in q["mpa"]], lw=1.5, label=q["name"])
    if s.get("stripping_mpa"):
        top.axhline(shown.value("strength", s["stripping_mpa"]), color="crimson", ls="--", lw=1.3,
                    label=f"stripping {shown.text('strength', s['stripping_mpa'], 0 if shown.us else 1)}")
    top.set_ylabel(shown.label("Strength", "strength"))
    top.set_title("Strength by maturity (screening figures)")
    top.legend(loc="best", fontsize=8)
    if rows == 2:
        low = axes[1][0]
        finite = []
        for q in c["points"]:
            pairs = [(t, v) for t, v in zip(times, q["index"]) if v is not None and math.isfinite(v)]
            finite += [v for _, v in pairs]
            low.plot([p[0] for p in pairs], [p[1] for p in pairs], lw=1.5, label=q["name"])
        low.axhline(1.0, color="crimson", ls="--", lw=1.3, label="1: stress equal to tensile strength")
        least = [q["least"] for q in c["points"] if q.get("least") is not None]
        low.set_ylim(0, min(max(finite + [2.0]) * 1.05, max(least + [1.5]) * 2))  # early, huge indices cut
        low.set_ylabel("Cracking index")
        low.set_title(f"Cracking index: tensile strength over thermal stress, restraint {c['restraint']:g}")
        low.legend(loc="best", fontsize=8)
    axes[-1][0].set_xlabel("Time (hours)")
    data = png(fig)
    plt.close(fig)
    return data
