"""sections.csv beside a run (the planes through the core at the peak and
at the largest difference, every cell of the grid on them), and the
material of every cell, from the project's section maps."""

import csv

from .freeform import Cursor
from .results import RunError


def read_sections(path):
    """sections.csv: per (kind, plane) the time and the cells' temperatures
    as {(i, j, k): temp_C}, kinds in the order they first appear."""
    out = {}
    with open(path, encoding="utf-8", newline="") as f:
        for row in csv.DictReader(f):
            try:
                key = (row["kind"].strip(), row["plane"].strip())
                where = (int(row["i"]), int(row["j"]), int(row["k"]))
                time, value = float(row["time_h"]), float(row["temp_C"])
            except (KeyError, TypeError, ValueError):
                raise RunError(f"{path}: a row that is not kind,time_h,plane,i,j,k,temp_C: {row}")
            entry = out.setdefault(key, {"time_h": time, "cells": {}})
            entry["cells"][where] = value
    return out


def material_grid(project_path, model):
    """The material number of every cell, as grid[k-1][j-1][i-1], from the
    section maps after [Sectiongeometry] and the section of each layer."""
    c = Cursor(project_path)
    c.find("[Sectiongeometry]")
    nx, ny = model["nx"], model["ny"]
    maps = []
    for _ in range(model["sectionfiles"]):
        c.find("[section]")
        flat = [int(v) for v in c.values(nx * ny)]
        maps.append([flat[j * nx:(j + 1) * nx] for j in range(ny)])
    return [maps[n - 1] if 1 <= n <= len(maps) else [[0] * nx for _ in range(ny)] for n in model["layers"]]
