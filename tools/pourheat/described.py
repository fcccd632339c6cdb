"""The files beside a run that describe the member and its named points:
member.json (what pourheat-new was asked for and what it built),
points.csv (the named points' temperatures per step), sections.csv (the
planes through the core at the peak and at the largest difference), and
the material of every cell, from the project's section maps."""

import csv
import json
import os

from .freeform import Cursor
from .results import RunError


def read_member(rundir):
    """member.json of the run directory as a dict, or None without one."""
    path = os.path.join(rundir, "member.json")
    if not os.path.isfile(path):
        return None
    try:
        with open(path, encoding="utf-8") as f:
            member = json.load(f)
    except (ValueError, UnicodeDecodeError) as e:
        raise RunError(f"{path}: not a member description ({e})")
    if not isinstance(member, dict):
        raise RunError(f"{path}: not a member description (no object)")
    return member


def read_points(path):
    """points.csv: the names of its columns after the time, and its rows as
    lists of numbers (None for an empty or unreadable field)."""
    with open(path, encoding="utf-8", newline="") as f:
        lines = list(csv.reader(f))
    if not lines or not lines[0] or lines[0][0].strip() != "time_h":
        raise RunError(f"{path}: no header starting with time_h")
    names = [n.strip() for n in lines[0][1:]]
    rows = []
    for line in lines[1:]:
        if not line:
            continue
        values = []
        for field in line[:len(names) + 1]:
            try:
                values.append(float(field))
            except ValueError:
                values.append(None)
        if values and values[0] is not None:
            rows.append(values + [None] * (len(names) + 1 - len(values)))
    return names, rows


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
