#!/usr/bin/env python3
# Adiabatic concrete in maturity mode, integrated on its own (standard library only):
#   dT/dt = (qtot/A) dR/dt,  dte/dt = exp(E/Rgas (1/(Tref + 273.15) - 1/(T + 273.15))),
# R(te) the fraction of qtot released by equivalent age te (h), less R(0). RK4 on (T, te) in fixed steps; a
# step that would carry te across a row time of a rate table ends on it (bisection), so the rate's jumps keep
# the order. adiabatic.py --curve exp|sigmoid|table --placing C [--dt S] [--norm legacy|integral] prints the
# hourly rows; --write DIR writes every data file of adiabatic/; --converge prints the step study.
import argparse, math, os, sys

QTOT, A, E, RGAS, TREF, DAYS = 350 * 340e3, 2.4e6, 40e3, 8.314, 20.0, 14
EXP = (0.75, 0.9, 14.0)            # ultimate degree, shape, characteristic age (h)
SIG = (1.083, 1.626, 0.05)         # time scale (h), age of the steepest release (h), exponent
TABLE = [(0, 0), (2, 0.5), (6, 2.0), (10, 3.0), (14, 2.5), (20, 1.5), (28, 0.8), (40, 0.4), (60, 0.2), (96, 0.08)]


def table_rows(norm, endtime_h=None):
    """(te, rate per hour, released at te) per row: one row appended as pourheat appends it; legacy: the
    rates divided by pourheat's integral rule (released then capped at 1); integral: scaled to release
    exactly 1 by the appended row's time, nothing after."""
    t, q, endtime_h = [r[0] * 3600.0 for r in TABLE], [float(r[1]) for r in TABLE], endtime_h or DAYS * 24
    tend = max(2764800.0, 1.1 * endtime_h * 3600 if endtime_h * 3600 > 2764800 else 0)
    s = q[0] * t[1] / 2
    t.append(2.3 * t[-1] - 1.3 * t[-2])
    q.append(q[-1] / 3)
    s += sum(q[i] * (t[i + 1] - t[i - 1]) / 2 for i in range(1, len(t) - 1)) + max(0, tend - t[-1]) * q[-1] / 4
    if norm == "integral":
        s, q[-1] = sum(q[i] * (t[i + 1] - t[i]) for i in range(len(t) - 1)), 0.0
    rows, cum = [], 0.0
    for i in range(len(t)):
        rows.append((t[i] / 3600, q[i] / s * 3600, cum))
        cum += q[i] / s * (t[i + 1] - t[i]) if i + 1 < len(t) else 0
    return rows


def curve(kind, norm):
    """R(te), dR/dte (given te and te0, where the step started) and the te at which dR/dte jumps."""
    if kind == "exp":
        p1, p2, p3 = EXP
        r = lambda te: p1 * math.exp(-(p3 / te) ** p2) if te > 0 else 0.0
        return r, lambda te, te0: r(te) * p2 / te * (p3 / te) ** p2 if te > 0 else 0.0, []
    if kind == "sigmoid":          # 1 - (1 + e)^-P3, e = exp((te - P2)/P1); soft(x) = log(1 + e^x)
        p1, p2, p3 = SIG
        soft = lambda x: x + math.log1p(math.exp(-x)) if x > 0 else math.log1p(math.exp(x))
        r = lambda te: math.exp(-p3 * soft(-p2 / p1)) - math.exp(-p3 * soft((te - p2) / p1))
        return r, lambda te, te0: p3 / p1 * math.exp(-soft((p2 - te) / p1) - p3 * soft((te - p2) / p1)), []
    rows = table_rows(norm)
    row = lambda te: rows[max(k for k in range(len(rows)) if rows[k][0] <= te)]
    r = lambda te: min(1.0, row(te)[2] + row(te)[1] * (te - row(te)[0]))
    breaks = [x[0] for x in rows[1:]]
    if norm == "legacy":           # where the cap at 1 stops the heat
        lo, hi = 0.0, 1e6
        for _ in range(200):
            lo, hi = ((lo + hi) / 2, hi) if r((lo + hi) / 2) < 1.0 else (lo, (lo + hi) / 2)
        breaks = sorted(breaks + [hi])
    return r, lambda te, te0: row(te0)[1] if r(te0) < 1.0 else 0.0, breaks


def run(kind, placing, dt_s=60.0, norm="legacy"):
    r, dr, breaks = curve(kind, norm)
    rate = lambda temp: math.exp(E / RGAS * (1 / (TREF + 273.15) - 1 / (temp + 273.15)))

    def step(temp, te, h):
        f = lambda tp, ta: (QTOT / A * dr(ta, te) * rate(tp), rate(tp))
        k1 = f(temp, te)
        k2 = f(temp + h / 2 * k1[0], te + h / 2 * k1[1])
        k3 = f(temp + h / 2 * k2[0], te + h / 2 * k2[1])
        k4 = f(temp + h * k3[0], te + h * k3[1])
        return tuple(y + h / 6 * (a + 2 * b + 2 * c + d) for y, a, b, c, d in zip((temp, te), k1, k2, k3, k4))

    temp, te, t, out = float(placing), 0.0, 0.0, [(0.0, float(placing), 0.0, 0.0)]
    for hour in range(1, DAYS * 24 + 1):
        while t < hour - 1e-12:
            h = min(dt_s / 3600, hour - t)
            nxt = [b for b in breaks if b > te + 1e-12]
            if nxt and step(temp, te, h)[1] > nxt[0]:
                a, b = 0.0, h
                for _ in range(60):
                    a, b = ((a + b) / 2, b) if step(temp, te, (a + b) / 2)[1] < nxt[0] else (a, (a + b) / 2)
                h = b
            temp, te, t = *step(temp, te, h), t + h
        out.append((float(hour), temp, te, r(te)))
    return out


def write(rows, fh, kind, placing, norm):
    fh.write("# adiabatic concrete in maturity mode, placed at %g C, %d days, RK4 in 60 s steps\n# mix: 350 kg/m3 "
             "binder x 340 kJ/kg = qtot %.4g J/m3; A %.4g J/(m3 K) (2400 kg/m3 x 1000 J/(kg K)); E %g J/mol, "
             "R %g J/(mol K), Tref %g C\n# " % (placing, DAYS, QTOT, A, E, RGAS, TREF))
    fh.write({"exp": "exponential curve: released = P1 exp(-(P3/te)^P2), P1 %g, P2 %g, P3 %g h" % EXP,
              "sigmoid": "sigmoid curve: released = 1 - (1 + exp((te - P2)/P1))^-P3 less its value at te = 0; "
                         "P1 %g h, P2 %g h, P3 %g" % SIG,
              "table": "rate table against te at Tref (h rate): %s; %s" % (" ".join("%g %g" % x for x in TABLE), {
                  "legacy": "scaled as pourheat scales its table, released capped at 1",
                  "integral": "scaled to release 1 by the appended row's time"}[norm])}[kind])
    fh.write("\ntime_h,T_C,te_h,released\n" + "".join("%g,%.6f,%.6f,%.8f\n" % row for row in rows))


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
    for k, p, n in cases if a.write or a.converge else []:
        if a.write:
            with open(os.path.join(a.write, "%s%s-%d.csv" % (k, "-integral" * (n == "integral"), p)), "w") as fh:
                write(run(k, p, 60.0, n), fh, k, p, n)
            continue
        res = {dt: run(k, p, dt, n) for dt in (240.0, 120.0, 60.0, 30.0)}
        d = lambda x, y: max(abs(u[1] - v[1]) for u, v in zip(res[x], res[y]))
        inv = max(abs(row[1] - p - QTOT / A * row[3]) for row in res[60.0])
        print("%-7s %-8s %2d C: T(14 d) %.4f C; step 240/120 s %.1e K, 120/60 s %.1e K, 60/30 s %.1e K; "
              "|T - T0 - qtot/A released| %.0e" % (k, n, p, res[60.0][-1][1], d(240, 120), d(120, 60), d(60, 30), inv))
    if not (a.write or a.converge):
        write(run(a.curve, a.placing, a.dt, a.norm), sys.stdout, a.curve, a.placing, a.norm)
