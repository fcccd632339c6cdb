#!/usr/bin/env python3
# Writes the contrast block (concrete 2.5, soil 1.2 W/(m K)) as pourheat projects on a grid of N cells per
# 0.1 m: block-h100 (N = 1) and block-h033 (N = 3), each with a series.pr of the five points of the FE
# histories (fe/). Cell (i,j,k) has its centre at ((i-2)h, (j-2)h, (k-1)h); every interface of the FE domain
# lies on a cell face. make_block.py [--legacy] (--legacy: without the [Physics] block).
import os, sys

TABLE = "0 0\n2 0.5\n6 2.0\n10 3.0\n14 2.5\n20 1.5\n28 0.8\n40 0.4\n60 0.2\n96 0.08\n"
AIR = "0 12\n6 18\n18 6\n30 18\n42 6\n54 18\n66 6\n78 18\n90 6\n102 18\n"
PHYSICS = "[Physics]\nconduction=balanced\nhydration=legacy\nmaxstep=0.25\n[End Physics]\n"
POINTS = [(0, 0, 1.1), (0, 0, 1.4), (0.7, 0, 1.1), (0.7, 0.7, 1.4), (0, 0, 0.5)]


def section(n, cell):
    return "\n".join(" ".join(str(cell(i, j)) for i in range(1, n + 1)) for j in range(1, n + 1))


def project(N, physics):
    n, nz = 15 * N + 2, 15 * N + 1
    below = lambda z: int(z * N / 0.1 - 1e-9) + 1                          # cells whose centre lies below z
    blk, soil, conc = below(0.75) + 1, below(0.75), below(1.45) - below(0.75)  # i <= blk: x < 0.75
    h = "%.15g" % (0.1 / N)
    inside = lambda i, j: i <= blk and j <= blk
    secs = [section(n, lambda i, j: 2),                                          # soil
            section(n, lambda i, j: 1 if inside(i, j) else 2),                  # concrete in soil
            section(n, lambda i, j: 3 if inside(i, j) else 4)]                  # held top: air behind the film layer
    layers = [1] * soil + [2] * conc
    if nz - 1 > soil + conc:   # computed film cells between z = 1.45 and the held top cells; the outer ring held soil
        secs.append(section(n, lambda i, j: 2 if n in (i, j) else 3 if inside(i, j) else 4))
        layers += [4] * (nz - 1 - soil - conc)
    layers.append(3)
    assert len(layers) == nz
    bnd = lambda name, mat, pts: (f"[boundary] {name}\nDirichlet=True\nnumber={mat}\ndensity=1\ninitTemp=12\n"
                                  f"points={pts.count(chr(10))}\n{pts}")
    mat = lambda what, k, c, rho, p: (f"[Material] {what}\nconductivity={k}\nspecificheat={c}\ndensity={rho}\n"
                                      f"production={p}\n")
    return (f"Contrast block, quarter model, h = {h} m: concrete 2.5 and soil 1.2 W/(m K)\n"
            f"[times]\n1.0 0 96 0.25 0.00001 200\n[parameters]\nnx={n}\nny={n}\nnz={nz}\ndx={h}\ndy={h}\ndz={h}\n"
            f"sectionformat=rectangular\n[hydration]\nseriesFlag=True\nmodelFlag=False\nRho=350\nplacement=12\n"
            f"cementitious=300\nP1=1\nP2=1\nP3=1\npoints=10\n{TABLE}[End Sources]\n"
            f"[Boundaries]\nNDDNDD\nmaterialboundaries=3\ninitial=12\n{bnd('soil', 2, '0 12' + chr(10))}"
            f"{bnd('air over the concrete', 3, AIR)}{bnd('air over the soil', 4, AIR)}[End Boundaries]\n"
            f"[Files]\noutput=block.out\nsectionfiles={len(secs)}\n[submodel]\n{' '.join(map(str, layers))}\n"
            "[Sectiongeometry]\n" + "".join(f"[section]\n{s}\n" for s in secs) +
            "[Materials]\nMaterials=4\n" + mat("concrete", 2.5, 950, 2400, 1) + mat("soil", 1.2, 850, 1900, 0) +
            mat("air film over the concrete: its conductivity, the heat capacity of air", 2.5, 1005, 1.2, 0) +
            mat("air film over the soil", 1.2, 1005, 1.2, 0) + (PHYSICS if physics else ""))


def series(N):
    h = 0.1 / N
    cells = [(round(x / h) + 2, round(y / h) + 2, round(z / h) + 1) for x, y, z in POINTS]
    return f"{len(cells)}\n" + "  ".join("%d %d %d" % c for c in cells) + "\n"


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for N, name in ((1, "block-h100"), (3, "block-h033")):
        os.makedirs(os.path.join(here, name), exist_ok=True)
        with open(os.path.join(here, name, "block.prj"), "w") as f:
            f.write(project(N, "--legacy" not in sys.argv))
        with open(os.path.join(here, name, "series.pr"), "w") as f:
            f.write(series(N))
