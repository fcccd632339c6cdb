#!/usr/bin/env python3
# One-dimensional reference: a slab of layers (top first) by finite volumes, backward Euler in small steps.
# Top: a film h(t) to the air (sol-air T + a I / h if given); bottom: adiabatic or a fixed temperature at the
# bottom face. Heat from a temperature-independent rate table or the maturity law (each cell its own
# equivalent age; the curves of adiabatic.py). Events: the topmost layer left removed (the face below then
# meets the air through the film), the film coefficient changed; steps end on event and table times.
# slab1d.py CASE.json [--dt S] [--cell M] prints CSV: time_h, then each named depth. README.md: the JSON.
import json, math, os, sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import adiabatic  # noqa: E402


def series(points, interp):
    """[[h, v], ...] at t (h): straight lines, or pourheat's inverse-square-distance weights."""
    def at(t):
        for (t0, v0), (t1, v1) in zip(points, points[1:]):
            d0, d1 = abs(t - t0) * 3600, abs(t - t1) * 3600
            if interp == "pourheat" and d0 * d1 <= 300:
                return v1 if d1 < d0 else v0
            if t0 <= t <= t1:
                return ((v0 / d0 ** 2 + v1 / d1 ** 2) / (1 / d0 ** 2 + 1 / d1 ** 2) if interp == "pourheat"
                        else v0 + (v1 - v0) * (t - t0) / (t1 - t0))
        return points[-1][1] if t >= points[-1][0] else points[0][1]
    return at


def solve(case, dt_s=None, cell=None):
    dt_s, cell, end = dt_s or case.get("dt", 60.0), cell or case.get("cell", 0.005), case["end"]
    top, heat, bottom = case["top"], case.get("heat", {}), case["bottom"].get("fixed")
    air, sun, hfilm = series(top["air"], top.get("interp", "linear")), series(top.get("solar", [[0, 0]]), ""), top["h"]
    sol_air = lambda t: air(t) + top.get("absorptivity", 0.0) * sun(t) / hfilm
    dz, k, A, prod, T, layer, zc, z = [], [], [], [], [], [], [], 0.0
    for n, L in enumerate(case["layers"]):
        m = max(1, math.ceil(L["thickness"] / cell - 1e-9))
        for i in range(m):
            dz.append(L["thickness"] / m); k.append(L["k"]); A.append(L["A"]); prod.append(L.get("production", 0))
            T.append(float(L["T0"])); layer.append(L["name"]); zc.append(z + (i + 0.5) * L["thickness"] / m)
        z += L["thickness"]
    n, te, qtot, stops = len(T), [0.0] * len(T), heat.get("qtot", 0.0), [e["at"] for e in case.get("events", [])]
    adiabatic.TABLE = [tuple(r) for r in heat.get("table", adiabatic.TABLE)]
    adiabatic.DAYS = max(adiabatic.DAYS, math.ceil(end / 24))
    if "curve" in heat:
        adiabatic.EXP = adiabatic.SIG = tuple(heat.get("P", (0, 0, 0)))
        rel, E, Tref = adiabatic.curve(heat["curve"], heat.get("norm", "legacy"))[0], heat["E"], heat["Tref"]
    elif "table" in heat:
        rows = adiabatic.table_rows(heat.get("norm", "legacy"), end)
        stops += [r[0] for r in rows]
    stops = sorted(set(s for s in stops + list(range(1, int(end) + 1)) + [end] if 0 < s <= end))
    first, t, out = 0, 0.0, []            # first: the topmost cell still present
    g = lambda i, j: 1 / (dz[i] / (2 * k[i]) + dz[j] / (2 * k[j]))   # conductance of the face between i and j

    def sample(t):
        r = 1 / (dz[first] / (2 * k[first]))
        face = (T[first] * r + hfilm * sol_air(t)) / (r + hfilm)     # the top face from its flux balance
        zs, Ts = [zc[first] - dz[first] / 2] + zc[first:], [face] + T[first:]
        for i in range(first, n - 1):     # each inner face, from the flux through it
            zs.append(zc[i] + dz[i] / 2); Ts.append((T[i] * k[i] / dz[i] + T[i + 1] * k[i + 1] / dz[i + 1])
                                                     / (k[i] / dz[i] + k[i + 1] / dz[i + 1]))
        zs.append(z); Ts.append(T[-1] if bottom is None else bottom)
        pts = sorted(zip(zs, Ts))
        row = [t]
        for d in case["depths"].values():
            if d == "surface":
                row.append(face)
            elif d < pts[0][0] - 1e-12:
                row.append(float("nan"))
            else:
                j = max(1, min(len(pts) - 1, next((j for j, p in enumerate(pts) if p[0] >= d), len(pts) - 1)))
                (z0, v0), (z1, v1) = pts[j - 1], pts[j]
                row.append(v0 + (v1 - v0) * (d - z0) / (z1 - z0))
        out.append(row)

    sample(0.0)
    for stop in stops:
        while t < stop - 1e-12:
            h = min(dt_s / 3600, stop - t)
            ds, q = h * 3600, [0.0] * n
            for i in range(first, n):
                if prod[i] and qtot and "curve" in heat:   # the age advanced at the cell's start-of-step temperature
                    te1 = te[i] + h * math.exp(E / 8.314 * (1 / (Tref + 273.15) - 1 / (T[i] + 273.15)))
                    q[i], te[i] = qtot * prod[i] * (rel(te1) - rel(te[i])) / ds, te1
                elif prod[i] and qtot:
                    q[i] = qtot * prod[i] * [r[1] for r in rows if r[0] <= t + h / 2][-1] / 3600
            a, b, c = [0.0] * n, [A[i] * dz[i] / ds for i in range(n)], [0.0] * n   # a T(i-1) + b T(i) + c T(i+1) = d
            d = [b[i] * T[i] + q[i] * dz[i] for i in range(n)]
            gtop = 1 / (dz[first] / (2 * k[first]) + 1 / hfilm)
            b[first] += gtop; d[first] += gtop * sol_air(t + h)
            for i in range(first, n - 1):
                a[i + 1] = c[i] = -g(i, i + 1); b[i] += g(i, i + 1); b[i + 1] += g(i, i + 1)
            if bottom is not None:
                b[-1] += 2 * k[-1] / dz[-1]; d[-1] += 2 * k[-1] / dz[-1] * bottom
            for i in range(first + 1, n):
                w = a[i] / b[i - 1]
                b[i] -= w * c[i - 1]; d[i] -= w * d[i - 1]
            T[-1] = d[-1] / b[-1]
            for i in range(n - 2, first - 1, -1):
                T[i] = (d[i] - c[i] * T[i + 1]) / b[i]
            t += h
        if abs(stop - round(stop)) < 1e-9:        # the hour's values before its events take effect
            sample(stop)
        for e in case.get("events", []):
            if abs(e["at"] - stop) < 1e-9 and "remove" in e:
                if layer[first] != e["remove"]:
                    raise SystemExit("only the topmost layer left can be removed: " + e["remove"])
                while layer[first] == e["remove"]:
                    first += 1
            if abs(e["at"] - stop) < 1e-9 and "h" in e:
                hfilm = e["h"]
    return out


if __name__ == "__main__":
    opt, case = dict(zip(sys.argv[2::2], map(float, sys.argv[3::2]))), json.load(open(sys.argv[1]))
    print("time_h," + ",".join(case["depths"]))
    for row in solve(case, opt.get("--dt"), opt.get("--cell")):
        print("%g," % row[0] + ",".join("%.4f" % v for v in row[1:]))
