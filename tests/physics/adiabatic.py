#!/usr/bin/env python3
"""Adiabatic concrete in maturity mode, integrated independently of pourheat (standard library only).

  dT/dt  = (qtot/A) dR/dt,   R(te) the fraction of qtot released at equivalent age te (h), from R(0)
  dte/dt = exp(E/R_gas (1/(Tref + 273.15) - 1/(T + 273.15)))

by RK4 on (T, te) with fixed steps; a step that would carry te across a row time of a rate table is cut to
end on it, so the rate's jumps do not spoil the order. Prints hourly CSV rows: time_h,T_C,te_h,released.
  adiabatic.py --curve exp|sigmoid|table --placing C [--dt S] [--norm legacy|integral]
  adiabatic.py --write DIR   every data file of tests/physics/adiabatic
  adiabatic.py --converge    the largest change of T when the step is halved
"""
import argparse, math, os

QTOT, A, E, RGAS, TREF, DAYS = 350 * 340e3, 2.4e6, 40e3, 8.314, 20.0, 14
EXP = (0.75, 0.9, 14.0)            # ultimate degree, shape, characteristic age (h)
SIG = (1.083, 1.626, 0.05)         # time scale (h), age of the steepest release (h), exponent
TABLE = [(0, 0), (2, 0.5), (6, 2.0), (10, 3.0), (14, 2.5), (20, 1.5), (28, 0.8), (40, 0.4), (60, 0.2),
         (96, 0.08)]               # hours of equivalent age at Tref, rate in any unit


def table_rows(norm, endtime_h=DAYS * 24):
    """Rows (te, rate per hour of te) and the cumulative released at each row time. legacy: the rows
    extended and scaled exactly as pourheat scales its rate table (one row appended, the rates divided by its
    integral rule S); the released fraction is then capped at 1. integral: the same extended rows scaled so
    that they release exactly 1 by the appended row's time, nothing after."""
    t = [r[0] * 3600.0 for r in TABLE]
    q = [float(r[1]) for r in TABLE]
    tend = 2764800.0 if endtime_h * 3600 <= 2764800 else 1.1 * endtime_h * 3600
    s = q[0] * t[1] / 2
    t.append(2.3 * t[-1] - 1.3 * t[-2])
    q.append(q[-1] / 3)
    s += sum(q[i] * (t[i + 1] - t[i - 1]) / 2 for i in range(1, len(t) - 1))
    if tend > t[-1]:
        s += abs(tend - t[-1]) * q[-1] / 4
    if norm == "integral":
        s = sum(q[i] * (t[i + 1] - t[i]) for i in range(len(t) - 1))
    rows, cum = [], 0.0
    for i in range(len(t)):
        rows.append((t[i] / 3600, q[i] / s * 3600 if (norm == "legacy" or i + 1 < len(t)) else 0.0, cum))
        if i + 1 < len(t):
            cum += q[i] / s * (t[i + 1] - t[i])
    return rows


def curve(kind, norm):
    """released(te) and its derivative, with released(0) taken off."""
    if kind == "exp":
        p1, p2, p3 = EXP
        r = lambda te: p1 * math.exp(-(p3 / te) ** p2) if te > 0 else 0.0
        return r, lambda te, te0: r(te) * p2 / te * (p3 / te) ** p2 if te > 0 else 0.0, []
    if kind == "sigmoid":
        p1, p2, p3 = SIG
        soft = lambda x: x + math.log1p(math.exp(-x)) if x > 0 else math.log1p(math.exp(x))   # log(1 + e^x)
        r0 = 1 - math.exp(-p3 * soft(-p2 / p1))
        r = lambda te: 1 - math.exp(-p3 * soft((te - p2) / p1)) - r0
        # d/dte of 1 - (1 + e)^-p3, e = exp((te - p2)/p1): p3/p1 * e/(1 + e) * (1 + e)^-p3
        dr = lambda te, te0: p3 / p1 * math.exp(-soft(-(te - p2) / p1)) * math.exp(-p3 * soft((te - p2) / p1))
        return r, dr, []
    rows = table_rows(norm)
    row = lambda te: max(k for k in range(len(rows)) if rows[k][0] <= te)

    def r(te):
        k = row(te)
        return min(1.0, rows[k][2] + rows[k][1] * (te - rows[k][0]))
    # the rate of the row the step started in: no step crosses a row time
    return r, lambda te, te0: rows[row(te0)][1] if r(te0) < 1.0 else 0.0, [x[0] for x in rows[1:]]


def run(kind, placing, dt_s=60.0, norm="legacy"):
    r, dr, breaks = curve(kind, norm)
    c = QTOT / A
    if kind == "table" and norm == "legacy":      # the cap at released 1 is a break as well
        lo, hi = 0.0, 1e6
        for _ in range(200):
            lo, hi = ((lo + hi) / 2, hi) if r((lo + hi) / 2) < 1.0 else (lo, (lo + hi) / 2)
        breaks = sorted(breaks + [hi])
    rate = lambda temp: math.exp(E / RGAS * (1 / (TREF + 273.15) - 1 / (temp + 273.15)))

    def step(temp, te, h):
        f = lambda tp, ta: (c * dr(ta, te) * rate(tp), rate(tp))
        k1 = f(temp, te)
        k2 = f(temp + h / 2 * k1[0], te + h / 2 * k1[1])
        k3 = f(temp + h / 2 * k2[0], te + h / 2 * k2[1])
        k4 = f(temp + h * k3[0], te + h * k3[1])
        return (temp + h / 6 * (k1[0] + 2 * k2[0] + 2 * k3[0] + k4[0]),
                te + h / 6 * (k1[1] + 2 * k2[1] + 2 * k3[1] + k4[1]))

    h0, temp, te, t, out = dt_s / 3600, float(placing), 0.0, 0.0, [(0.0, float(placing), 0.0, 0.0)]
    for hour in range(1, DAYS * 24 + 1):
        while t < hour - 1e-12:
            h = min(h0, hour - t)
            nxt = [b for b in breaks if b > te + 1e-12]
            temp1, te1 = step(temp, te, h)
            if nxt and te1 > nxt[0]:              # land on the break: te grows, so bisect the step
                a, b = 0.0, h
                for _ in range(60):
                    m = (a + b) / 2
                    a, b = (m, b) if step(temp, te, m)[1] < nxt[0] else (a, m)
                h = b
                temp1, te1 = step(temp, te, h)
                te1 = max(te1, nxt[0])
            temp, te, t = temp1, te1, t + h
        out.append((float(hour), temp, te, r(te)))
    return out


def write(rows, fh, kind, placing, norm):
    mix = {"exp": "exponential curve: released = P1 exp(-(P3/te)^P2), P1 %g, P2 %g, P3 %g h" % EXP,
           "sigmoid": "sigmoid curve: released = 1 - (1 + exp((te - P2)/P1))^-P3 less its value at te = 0, "
                      "P1 %g h, P2 %g h, P3 %g" % SIG,
           "table": "rate table against te at Tref (h, rate): %s; normalised %s" % (
               " ".join("%g,%g" % x for x in TABLE),
               "as pourheat scales its table (one row appended at 2.3 t(n) - 1.3 t(n-1) with a third of the "
               "last rate; rates divided by its integral rule), released capped at 1" if norm == "legacy" else
               "to release exactly 1 by the appended row's time")}[kind]
    fh.write("# adiabatic concrete, maturity mode; placing %g C; %d days; RK4 in steps of 60 s\n" % (placing, DAYS))
    fh.write("# mix: 350 kg/m3 binder x 340 kJ/kg: qtot %.4g J/m3; A %.4g J/(m3 K) (2400 kg/m3 x 1000 J/(kg K))\n"
             % (QTOT, A))
    fh.write("# equivalent age: E %g J/mol, R %g J/(mol K), Tref %g C (+273.15)\n# %s\n" % (E, RGAS, TREF, mix))
    fh.write("time_h,T_C,te_h,released\n")
    for row in rows:
        fh.write("%g,%.6f,%.6f,%.8f\n" % row)


if __name__ == "__main__":
    ap = argparse.ArgumentParser()
    ap.add_argument("--curve", default="exp", choices=("exp", "sigmoid", "table"))
    ap.add_argument("--placing", type=float, default=20.0)
    ap.add_argument("--dt", type=float, default=60.0)
    ap.add_argument("--norm", default="legacy", choices=("legacy", "integral"))
    ap.add_argument("--write")
    ap.add_argument("--converge", action="store_true")
    a = ap.parse_args()
    cases = [(k, p, n) for k in ("exp", "sigmoid", "table") for p in (10, 30)
             for n in (("legacy", "integral") if k == "table" else ("legacy",))]
    if a.write:
        for k, p, n in cases:
            name = "%s%s-%d.csv" % (k, "-integral" if n == "integral" else "", p)
            with open(os.path.join(a.write, name), "w") as fh:
                write(run(k, p, 60.0, n), fh, k, p, n)
    elif a.converge:
        for k, p, n in cases:
            res = {dt: run(k, p, dt, n) for dt in (240.0, 120.0, 60.0, 30.0)}
            d = lambda x, y: max(abs(u[1] - v[1]) for u, v in zip(res[x], res[y]))
            inv = max(abs(row[1] - p - QTOT / A * row[3]) for row in res[60.0])
            print("%-7s %-8s %2d C: peak %.4f C; |T(240 s) - T(120 s)| %.2e, |T(120) - T(60)| %.2e, "
                  "|T(60) - T(30)| %.2e K; |T - T0 - qtot/A released| %.1e" % (
                      k, n, p, res[60.0][-1][1], d(240.0, 120.0), d(120.0, 60.0), d(60.0, 30.0), inv))
    else:
        import sys
        write(run(a.curve, a.placing, a.dt, a.norm), sys.stdout, a.curve, a.placing, a.norm)
