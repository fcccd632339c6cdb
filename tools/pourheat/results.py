"""The files of a run directory, one reader each: the histories TMAX.OUT and
Center.out, concrete.csv, the final field, the monitor cells of series.pr,
and the flag file of a finished run; and the run directory's project file."""

import math
import os

from .freeform import freeform_tokens


class RunError(Exception):
    """A problem with the run directory or its files: reported as one line."""


def cell(i, j, k):
    return f"({i},{j},{k})"


# ---------------------------------------------------------------- histories

def fixed_fields(text, width):
    """Splits text into fields of `width` characters. A field of asterisks
    (a value too wide for it) or a blank field is None."""
    out = []
    for start in range(0, len(text), width):
        chunk = text[start:start + width].strip()
        if not chunk or "*" in chunk:
            out.append(None)
            continue
        try:
            out.append(float(chunk))
        except ValueError:
            out.append(None)
    return out


def read_history(path, values_per_record=None):
    """Reads TMAX.OUT or Center.out: records of one blank, then fields of
    seven characters (one blank and six for the value). A record longer than
    100 fields goes on over further lines without the leading blank."""
    with open(path, encoding="latin-1") as f:
        lines = [l.rstrip("\r\n") for l in f]
    records = []
    n = 0
    while n < len(lines):
        line = lines[n]
        n += 1
        if not line.strip():
            continue
        fields = fixed_fields(line[1:], 7)
        if values_per_record:
            while len(fields) < values_per_record and n < len(lines):
                fields += fixed_fields(lines[n], 7)
                n += 1
            fields = (fields + [None] * values_per_record)[:values_per_record]
        records.append(fields)
    return records


def read_steps(path, values_per_record=None):
    """The records of TMAX.OUT or Center.out that hold a time."""
    return [r for r in read_history(path, values_per_record) if r and r[0] is not None]


# ---------------------------------------------------------------- concrete.csv

CONCRETE = "concrete.csv"
COLUMNS = ["time_h", "max_C", "max_i", "max_j", "max_k", "min_C", "min_i", "min_j", "min_k",
           "diff_C", "mean_C"]


def read_concrete(path):
    """The rows of concrete.csv as dicts of numbers."""
    try:
        with open(path, encoding="latin-1") as f:
            lines = [l.strip() for l in f if l.strip()]
    except OSError:
        raise RunError(f"no {CONCRETE} in the run directory (a run by an older pourheat?)")
    if not lines or lines[0].split(",") != COLUMNS:
        raise RunError(f"{path} does not start with the header of {CONCRETE}")
    rows = []
    for n, line in enumerate(lines[1:], start=2):
        parts = line.split(",")
        try:
            if len(parts) != len(COLUMNS):
                raise ValueError
            rows.append({k: (int(v) if k[-2:] in ("_i", "_j", "_k") else float(v))
                         for k, v in zip(COLUMNS, parts)})
        except ValueError:
            raise RunError(f"{path}, line {n}: not a row of {len(COLUMNS)} numbers")
    return rows


# ---------------------------------------------------------------- field and cells

def read_field(path, nx=None):
    """The final field: blocks (layers k = 1..nz) of lines (rows j = 1..ny)
    of values (i = 1..nx) in fields of 11 characters after one blank, each
    block followed by an empty line. Returns a list of layers, each a list
    of rows. Without nx the width of the lines gives it."""
    with open(path, encoding="latin-1") as f:
        lines = [l.rstrip("\r\n") for l in f]
    layers, rows = [], []
    for line in lines:
        if not line.strip():
            if rows:
                layers.append(rows)
                rows = []
            continue
        width = nx if nx else max(1, round((len(line) - 1) / 11))
        values = fixed_fields(line[1:1 + 11 * width].ljust(11 * width), 11)
        rows.append([math.nan if v is None else v for v in values])
    if rows:
        layers.append(rows)
    return layers


def read_series_points(path):
    """The monitor cells of series.pr: the count alone on the first line
    (the rest of that line is ignored), then i, j, k of each point."""
    with open(path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    if not lines:
        return []
    head = freeform_tokens(lines[0])
    if not head:
        return []
    count = int(head[0])
    values = [int(v) for v in freeform_tokens("\n".join(lines[1:]))][:3 * count]
    return [tuple(values[3 * p:3 * p + 3]) for p in range(len(values) // 3)]


# ---------------------------------------------------------------- the run directory

def flag_finished(path):
    """Whether the flag file holds Finished: a small file holding only that word."""
    try:
        if not os.path.isfile(path) or os.path.getsize(path) > 64:
            return False
        with open(path, encoding="latin-1") as f:
            return f.read().strip() == "Finished"
    except OSError:
        return False


def find_flag(rundir, flagname):
    """The flag file of a finished run: the named one, or any small file in
    the directory that holds only the word Finished."""
    names = [flagname] if flagname else sorted(os.listdir(rundir))
    return next((name for name in names if flag_finished(os.path.join(rundir, name))), None)


def find_project(rundir, given):
    """The project file: the one given (as it is, or in the run directory),
    else the one *.prj of the run directory; None when there is none."""
    if given:
        path = given if os.path.isabs(given) or os.path.exists(given) else os.path.join(rundir, given)
        if not os.path.isfile(path):
            raise RunError(f"no project file {given}")
        return path
    found = sorted(n for n in os.listdir(rundir) if n.lower().endswith(".prj"))
    if len(found) > 1:
        raise RunError(f"{rundir} holds several project files ({', '.join(found)}); name one with --project")
    return os.path.join(rundir, found[0]) if found else None
