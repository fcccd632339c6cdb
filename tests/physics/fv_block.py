#!/usr/bin/python3
# fv_block.py N > FILE: the balanced finite-volume equations of block-h100 (N = 1) or block-h033 (N = 3)
# solved exactly (sparse LU; Debian python3-scipy), backward Euler in 0.25 h steps: each face the series
# resistance of its two half cells, held cells at their centres, the mirror faces i = 1, j = 1 copying
# plane 3, the air series read at mid-step, the table's rate of the row the step lies in, the release capped
# at qtot (the step that reaches it releases what is left, later steps nothing). Prints time (h)
# and the five points (C), as the FE histories. What the sound mode should give, less its sweep error.
import os, sys
import numpy as np, scipy.sparse as sp, scipy.sparse.linalg as sla

N, dt = int(sys.argv[1]), 900.0
h, n, nz = 0.1 / N, 15 * N + 2, 15 * N + 1
X, Y, Z = np.meshgrid((np.arange(n) - 1) * h, (np.arange(n) - 1) * h, np.arange(nz) * h, indexing="ij")
blk, film = (X < 0.75 - 1e-9) & (Y < 0.75 - 1e-9), Z > 1.45
conc = blk & (Z > 0.75) & (Z < 1.45)
k = np.where(conc | (blk & film), 2.5, 1.2)                # the film layer: the conductivity of what lies below
A = np.where(conc, 2400 * 950.0, np.where(film, 1.2 * 1005, 1900 * 850.0))
comp = np.zeros(k.shape, bool)
comp[1:-1, 1:-1, 1:-1] = True
idx = -np.ones(k.shape, int)
idx[comp] = np.arange(comp.sum())
rt = [0, 2, 6, 10, 14, 20, 28, 40, 60, 96, 142.8]
rr = [float(line.split()[4]) for line in open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "fe",
                                                            "rates.log"))]
at, aT = [0, 6, 18, 30, 42, 54, 66, 78, 90, 102], [12, 18, 6, 18, 6, 18, 6, 18, 6, 18]


def air(t):
    for p in range(1, len(at)):
        d1, d2 = abs(t - at[p - 1] * 3600), abs(t - at[p] * 3600)
        if d1 * d2 <= 300:
            return aT[p] if d2 < d1 else aT[p - 1]
        if at[p - 1] * 3600 <= t <= at[p] * 3600:
            return (aT[p - 1] / d1 ** 2 + aT[p] / d2 ** 2) / (1 / d1 ** 2 + 1 / d2 ** 2)
    return aT[-1]


rows, cols, vals, m = [], [], [], comp.sum()
diag, bair, bsoil = np.zeros(m), np.zeros(m), np.zeros(m)
for i, j, c in np.argwhere(comp):
    for a, b, e in ((i + 1, j, c), (i - 1, j, c), (i, j + 1, c), (i, j - 1, c), (i, j, c + 1), (i, j, c - 1)):
        g = 1 / (h / (2 * k[i, j, c]) + h / (2 * k[a, b, e])) / h          # per unit volume
        a, b = (2 if a == 0 else a), (2 if b == 0 else b)                   # mirror: the plane two inside
        diag[idx[i, j, c]] += g
        if comp[a, b, e]:
            rows.append(idx[i, j, c]); cols.append(idx[a, b, e]); vals.append(-g)
        elif e == nz - 1:
            bair[idx[i, j, c]] += g
        else:
            bsoil[idx[i, j, c]] += g
Ac = A[comp]
lu = sla.splu((sp.csr_matrix((vals, (rows, cols)), shape=(m, m)) + sp.diags(diag + Ac / dt)).tocsc())
T, t, released = np.full(m, 12.0), 0.0, 0.0
pts = [idx[round(x / h) + 1, round(y / h) + 1, round(z / h)] for x, y, z in
       ((0, 0, 1.1), (0, 0, 1.4), (0.7, 0, 1.1), (0.7, 0.7, 1.4), (0, 0, 0.5))]
print(0, *[12] * 5)
while t < 96 * 3600 - 1:
    t += dt
    f = min(rr[max(r for r in range(len(rt)) if rt[r] * 3600 <= t - dt / 2)] * dt, 1 - released)
    released += f
    q = f / dt * 350 * 300e3
    T = lu.solve(Ac / dt * T + q * conc[comp] + bair * air(t - dt / 2) + bsoil * 12.0)
    print("%g" % (t / 3600), *["%.6f" % T[p] for p in pts])
