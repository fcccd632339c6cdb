"""The tables of a member description, read key by key with the kind of
each value, and the CSV files that it names; a description that cannot be
built raises DescriptionError, naming the key."""

import math
import os
import re
import tomllib

from ..units import UNITS, QuantityError, quantity

# The largest value of each kind that any member holds, and the smallest
# length; beyond them a value is a slip (a length of 2500 meant in mm),
# refused before the grid is sized.
LARGEST = {"length": 1000.0, "conductivity": 1e4, "specific_heat": 1e5, "density": 1e5, "film": 1e4, "heat": 1e4,
           "stress": 200.0}
SMALLEST = {"length": 1e-6}


class DescriptionError(Exception):
    """A description that cannot be built: the key and what is wrong."""

    def __init__(self, key, message):
        super().__init__(f"{key}: {message}" if key else message)


class Table:
    """One table of the description; knows its keys and reads values by kind."""

    def __init__(self, data, path, known):
        self.data, self.path = data, path
        if not isinstance(data, dict):
            raise DescriptionError(path, "must be a table ([" + path + "])")
        for k in data:
            if k not in known:
                raise DescriptionError(self.key(k), "is not a key of this description"
                                       + (f" (keys of [{path}]: {', '.join(known)})" if path else ""))

    def key(self, k):
        return f"{self.path}.{k}" if self.path else k

    def has(self, k):
        return k in self.data

    def get(self, k, kind, default=None, lo=None, hi=None, above=None, required=True):
        if k not in self.data:
            if default is None and required:
                raise DescriptionError(self.key(k), "is missing")
            return default
        try:
            v = quantity(self.data[k], kind)
        except QuantityError as e:
            raise DescriptionError(self.key(k), str(e))
        both = lo is not None and hi is not None
        hi = LARGEST.get(kind) if hi is None else hi
        lo = SMALLEST.get(kind) if lo is None else lo
        if above is not None and not v > above:
            raise DescriptionError(self.key(k), f"must be above {above:g}")
        if lo is not None and v < lo or hi is not None and v > hi:
            unit = UNITS[kind][0] if kind in UNITS else "C"
            bare = f" (a number alone is in {unit})" if unit and not isinstance(self.data[k], str) else ""
            where = f"outside {lo:g} to {hi:g}" if both else f"above {hi:g} {unit}" if hi is not None and v > hi else \
                f"below {lo:g} {unit}"
            raise DescriptionError(self.key(k), f"{v:g} is {where.rstrip()}{bare}")
        return v

    def text(self, k, choices=None, default=None):
        if k not in self.data:
            if default is None:
                raise DescriptionError(self.key(k), "is missing")
            return default
        v = self.data[k]
        if not isinstance(v, str) or (choices and v not in choices):
            raise DescriptionError(self.key(k), f"{v!r} is not one of {', '.join(choices)}"
                                   if choices else f"{v!r} is not a text")
        return v


def sub(table, k, known):
    return Table(table.data[k], table.key(k), known) if table.has(k) else None


def text_lines(base, path, key):
    """The lines of a text file (its name relative to the member
    description) with their numbers, stripped; blank lines and lines
    starting with # left out."""
    try:
        with open(os.path.join(base, path), encoding="utf-8-sig") as f:
            lines = f.read().splitlines()
    except OSError as e:
        raise DescriptionError(key, f"cannot read {path}: {e.strerror}")
    except UnicodeDecodeError as e:
        line = e.object[:e.start].count(b"\n") + 1
        raise DescriptionError(key, f"{path} line {line}: not UTF-8 text")
    return [(n, s.strip()) for n, s in enumerate(lines, 1) if s.strip() and not s.strip().startswith("#")]


def read_numbers(base, path, key):
    """Rows of numbers from a CSV file, and its header: a first line that is
    not numbers (None without one)."""
    rows, header = [], None
    for n, s in text_lines(base, path, key):
        parts = [p for p in re.split(r"[,;\s]+", s) if p]
        try:
            values = [float(p) for p in parts]
        except ValueError:
            if rows or header is not None:
                raise DescriptionError(key, f"{path} line {n}: '{s}' is not numbers")
            header = s
            continue
        if not all(math.isfinite(v) for v in values):
            raise DescriptionError(key, f"{path} line {n}: '{s}' is not finite")
        rows.append((n, values))
    if not rows:
        raise DescriptionError(key, f"{path} holds no numbers")
    return rows, header


def override(data, key, text):
    """Sets the value of a description key by its dotted path (`concrete.placing`,
    `cover.top.thickness`, `event[0].at`; `event[N]` with N the count of entries
    adds one), before the description is read. The value is read as TOML
    (28, 0.5, true, "10 C") or, when it is not TOML, taken as a text (10 C)."""
    parts = key.split(".")
    if not key or not all(re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*(\[\d+\])?", p) for p in parts):
        raise DescriptionError(key, "is not a key path such as concrete.placing or event[0].at")
    try:
        value = tomllib.loads(f"v = {text}")["v"]
    except tomllib.TOMLDecodeError:
        value = text
    table, path = data, ""
    for n, part in enumerate(parts):
        name, _, index = part.partition("[")
        path = f"{path}.{name}" if path else name
        last = n == len(parts) - 1 and not index
        if not isinstance(table, dict):
            raise DescriptionError(key, f"{path.rpartition('.')[0]} is not a table")
        if last:
            table[name] = value
            return
        if not index:
            table = table.setdefault(name, {})
            continue
        entries = table.setdefault(name, [])
        i = int(index[:-1])
        if not isinstance(entries, list) or i > len(entries):
            count = len(entries) if isinstance(entries, list) else 0
            raise DescriptionError(key, f"the description has {count} [[{name}]] entries; "
                                   f"{name}[{count}] adds one")
        if i == len(entries):
            entries.append({})
        table = entries[i]
        if n == len(parts) - 1:
            raise DescriptionError(key, f"names an entry of [[{name}]], not one of its keys")
