#!/usr/bin/env python3
"""One-dimensional reference: a slab of layers (top first) by finite volumes, implicit in time (backward Euler,
small steps). Top: a surface film h(t) to the air T(t), optionally sol-air T + a I / h. Bottom: adiabatic or a
fixed temperature at the bottom face. Heat: a temperature-independent rate table or the maturity law (each cell
its own equivalent age), the curves of adiabatic.py. Events: a layer removed (the topmost one left: from then
on the face below meets the air through the film), the film coefficient changed. Steps end on event times.

  slab1d.py CASE.json [--dt S] [--cell M]     prints CSV: time_h, then the temperature at each named depth
JSON: {"layers": [{"name", "thickness" (m), "k" (W/(m K)), "A" (J/(m3 K)), "production" (0..1, default 0),
       "T0" (C)}], "end": h, "dt": s, "cell": m, "top": {"h": W/(m2 K), "air": [[h, C], ...],
       "interp": "linear" | "pourheat" (the program's inverse-square weights), "absorptivity": a,
       "solar": [[h, W/m2], ...]}, "bottom": {"fixed": C} or {} (adiabatic),
       "heat": {"qtot": J/m3, "table": [[h, rate], ...]} or {"qtot", "curve": "exp" | "sigmoid" | "table",
       "P": [P1, P2, P3], "E": J/mol, "Tref": C, "table": [...]},
       "events": [{"at": h, "remove": layer name} or {"at": h, "h": W/(m2 K)}],
       "depths": {"name": depth below the original top (m), or "surface" for the top face}}
"""
import argparse, json, math, sys, os

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import adiabatic  # noqa: E402


def series(points, interp):
    """Value at t (h) of [[h, v], ...]: straight lines, or pourheat's inverse-square-distance weights."""
    def at(t):
        if t >= points[-1][0] or len(points) == 1:
            return points[-1][1] if t >= points[-1][0] else points[0][1]
        for (t0, v0), (t1, v1) in zip(points, points[1:]):
            if interp == "pourheat":
                d0, d1 = abs(t - t0) * 3600, abs(t - t1) * 3600
                if d0 * d1 <= 300:
                    return v1 if d1 < d0 else v0
            if t0 <= t <= t1:
                if interp == "pourheat":
                    return (v0 / d0 ** 2 + v1 / d1 ** 2) / (1 / d0 ** 2 + 1 / d1 ** 2)
                return v0 + (v1 - v0) * (t - t0) / (t1 - t0)
        return points[0][1]
    return at


def solve(case, dt_s=None, cell=None):
    dt_s, cell = dt_s or case.get("dt", 60.0), cell or case.get("cell", 0.005)
    top, heat = case["top"], case.get("heat", {})
    air, hfilm = series(top["air"], top.get("interp", "linear")), float(top["h"])
    sun = series(top.get("solar", [[0, 0]]), "linear")
    dz, k, A, prod, T, layer, zc = [], [], [], [], [], [], []
    z = 0.0
    for n, L in enumerate(case["layers"]):
        m = max(1, math.ceil(L["thickness"] / cell - 1e-9))
        for i in range(m):
            d = L["thickness"] / m
            dz.append(d); k.append(L["k"]); A.append(L["A"]); prod.append(L.get("production", 0.0))
            T.append(float(L["T0"])); layer.append(n); zc.append(z + (i + 0.5) * d)
        z += L["thickness"]
    names = [L["name"] for L in case["layers"]]
    te = [0.0] * len(T)
    qtot = heat.get("qtot", 0.0)
    if "curve" in heat:
        if heat["curve"] == "exp": adiabatic.EXP = tuple(heat["P"])
        if heat["curve"] == "sigmoid": adiabatic.SIG = tuple(heat["P"])
        if "table" in heat: adiabatic.TABLE = [tuple(r) for r in heat["table"]]
        adiabatic.DAYS = max(adiabatic.DAYS, math.ceil(case["end"] / 24))
        rel = adiabatic.curve(heat["curve"], heat.get("norm", "legacy"))[0]
        E, Tref = heat.get("E", 40e3), heat.get("Tref", 20.0)
    elif "table" in heat:
        adiabatic.TABLE = [tuple(r) for r in heat["table"]]
        rows = adiabatic.table_rows(heat.get("norm", "legacy"), case["end"])
        rate = lambda t: [r[1] for r in rows if r[0] <= t][-1] / 3600   # per second, held from its row
    events = sorted(case.get("events", []), key=lambda e: e["at"])
    stops = sorted(set([e["at"] for e in events] + list(range(1, int(case["end"]) + 1)) + [case["end"]]))
    if "table" in heat and "curve" not in heat:
        stops = sorted(set(stops + [r[0] for r in rows if r[0] < case["end"]]))
    first, t = 0, 0.0                              # first: index of the topmost cell still present
    out = []

    def face(Tsa):                                 # the top face from its flux balance
        r = dz[first] / (2 * k[first])
        return (T[first] / r + hfilm * Tsa) / (1 / r + hfilm)

    def sample(t):
        Tsa = air(t) + top.get("absorptivity", 0.0) * sun(t) / hfilm
        row = [t]
        for d in case["depths"].values():
            if d == "surface" or (zc[first] - dz[first] / 2 <= d <= zc[first]):
                ts = face(Tsa)
                row.append(ts if d == "surface" else ts + (T[first] - ts) * (d - zc[first] + dz[first] / 2)
                           / (dz[first] / 2))
            elif d < zc[first]:
                row.append(float("nan"))
            elif d >= zc[-1]:
                row.append(T[-1] if "fixed" not in case["bottom"] else T[-1] + (case["bottom"]["fixed"] - T[-1])
                           * (d - zc[-1]) / (dz[-1] / 2))
            else:
                i = max(j for j in range(first, len(T)) if zc[j] <= d)   # piecewise through the face temperature
                g0, g1 = 2 * k[i] / dz[i], 2 * k[i + 1] / dz[i + 1]
                tf, zf = (g0 * T[i] + g1 * T[i + 1]) / (g0 + g1), zc[i] + dz[i] / 2
                row.append(T[i] + (tf - T[i]) * (d - zc[i]) / (zf - zc[i]) if d <= zf else
                           tf + (T[i + 1] - tf) * (d - zf) / (zc[i + 1] - zf))
        out.append(row)

    sample(0.0)
    for stop in stops:
        while t < stop - 1e-12:
            h = min(dt_s / 3600, stop - t)
            t1, n, ds = t + h, len(T), h * 3600
            Tsa = air(t1) + top.get("absorptivity", 0.0) * sun(t1) / hfilm
            q = [0.0] * n
            for i in range(first, n):
                if not prod[i] or not qtot:
                    continue
                if "curve" in heat:                # equivalent age at the cell's temperature at the step's start
                    te1 = te[i] + h * math.exp(E / 8.314 * (1 / (Tref + 273.15) - 1 / (T[i] + 273.15)))
                    q[i], te[i] = qtot * prod[i] * (rel(te1) - rel(te[i])) / ds, te1
                else:
                    q[i] = qtot * prod[i] * rate(t + h / 2)
            # tridiagonal system: a T(i-1) + b T(i) + c T(i+1) = d
            a, b, c, d = [0.0] * n, [0.0] * n, [0.0] * n, [0.0] * n
            for i in range(first, n):
                b[i] = A[i] * dz[i] / ds
                d[i] = A[i] * dz[i] / ds * T[i] + q[i] * dz[i]
                if i == first:
                    g = 1 / (dz[i] / (2 * k[i]) + 1 / hfilm)
                    b[i] += g; d[i] += g * Tsa
                else:
                    g = 1 / (dz[i] / (2 * k[i]) + dz[i - 1] / (2 * k[i - 1]))
                    a[i] = -g; b[i] += g
                if i + 1 < n:
                    g = 1 / (dz[i] / (2 * k[i]) + dz[i + 1] / (2 * k[i + 1]))
                    c[i] = -g; b[i] += g
                elif "fixed" in case["bottom"]:
                    g = 2 * k[i] / dz[i]
                    b[i] += g; d[i] += g * case["bottom"]["fixed"]
            for i in range(first + 1, n):
                w = a[i] / b[i - 1]
                b[i] -= w * c[i - 1]; d[i] -= w * d[i - 1]
            T[n - 1] = d[n - 1] / b[n - 1]
            for i in range(n - 2, first - 1, -1):
                T[i] = (d[i] - c[i] * T[i + 1]) / b[i]
            t = t1
        if abs(stop - round(stop)) < 1e-9:         # the hour's values before its events take effect
            sample(stop)
        for e in events:
            if abs(e["at"] - stop) < 1e-9:
                if "remove" in e:
                    if layer[first] != names.index(e["remove"]):
                        raise SystemExit("only the topmost layer left can be removed: " + e["remove"])
                    while layer[first] == names.index(e["remove"]):
                        first += 1
                if "h" in e:
                    hfilm = float(e["h"])
    return out


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("case")
    ap.add_argument("--dt", type=float)
    ap.add_argument("--cell", type=float)
    a = ap.parse_args()
    case = json.load(open(a.case))
    print("time_h," + ",".join(case["depths"]))
    for row in solve(case, a.dt, a.cell):
        print("%g," % row[0] + ",".join("%.4f" % v for v in row[1:]))
