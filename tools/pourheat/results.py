"""The files of a run directory, one reader each: the histories TMAX.OUT and
Center.out, concrete.csv, points.csv (and the steps chosen from it), the
final field, the monitor cells of series.pr,
and the flag file of a finished run; the run directory's project file;
whether the run is finished and belongs to the inputs beside it; the
manifest of the files the tools write there, which the next run clears;
and the files an earlier run left."""

import math
import os
import re
import tempfile

from .freeform import Cursor, freeform_tokens


class RunError(Exception):
    """A problem with the run directory or its files: reported as one line."""


class NotFinished(RunError):
    """The run directory holds no finished run of the inputs beside it: the
    tools say why and end with status 2."""


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


def read_points(path):
    """points.csv: the header's names, then the rows as lists of the
    values as written, in thousandths (int), the time first."""
    try:
        with open(path, encoding="latin-1") as f:
            lines = [l.strip() for l in f if l.strip()]
    except OSError:
        raise RunError(f"no {POINTS} in the run directory (a project without point= lines?)")
    if not lines or not lines[0].startswith("time_h,"):
        raise RunError(f"{path} does not start with the header of {POINTS}")
    names = lines[0].split(",")[1:]
    try:
        rows = [[round(float(v) * 1000) for v in l.split(",")] for l in lines[1:]]
    except ValueError:
        raise RunError(f"{path}: a row that is not numbers with three decimals")
    if any(len(r) != len(names) + 1 for r in rows):
        raise RunError(f"{path}: a row without a value for each point")
    return names, rows


def point_steps(names, rows, name):
    """The rows of the peak of point `name` and of its largest difference
    to the coldest other point (None without other points): by the values
    as written, the first row winning a tie, as the program chooses the
    steps of sections.csv."""
    p = names.index(name) + 1
    def difference(r):
        return r[p] - min(v for q, v in enumerate(r[1:], start=1) if q != p)
    peak = max(rows, key=lambda r: r[p])  # max() keeps the first of equals
    return peak, (max(rows, key=difference) if len(names) > 1 else None)


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


def output_name(project):
    """The final field's file named by output= of a project file, or None."""
    try:
        c = Cursor(project)
        c.find("[Files]")
        return c.find("output=").strip()[:80] or None
    except (OSError, ValueError):
        return None


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


HISTORIES = ("TMAX.OUT", "Center.out", CONCRETE)
POINTS = "points.csv"
# Every file of that name a run leaves: with a [Physics] block also
# heat.csv, with named points points.csv, with section= sections.csv.
RUN_FILES = HISTORIES + ("heat.csv", POINTS, "sections.csv")
# The project's end time against a history's last time: TMAX.OUT and
# Center.out hold hours with one decimal.
END_SLACK = 0.05 + 1e-6


def history_end(rundir, name, points):
    """The time of the last step a history holds (h), or None when it holds
    none; a time too wide for its field counts as beyond any end."""
    path = os.path.join(rundir, name)
    if name == CONCRETE:
        rows = read_concrete(path)
        return rows[-1]["time_h"] if rows else None
    records = read_history(path, points + 1 if name == "Center.out" and points else None)
    return (math.inf if records[-1][0] is None else records[-1][0]) if records else None


def finished_run(rundir, flag=None, project=None):
    """The flag file and the project file of the finished run in `rundir`,
    when its results belong to the inputs beside them: the flag holds
    Finished and was written no earlier than the project file and series.pr
    were last changed, and every history there reaches the project's end
    time. Otherwise NotFinished says why."""
    if not os.path.isdir(rundir):
        raise NotFinished(f"{rundir} is not a directory")
    flag_name = find_flag(rundir, flag)
    if not flag_name:
        what = f"its flag file {flag} does not hold Finished" if flag else "no flag file holds Finished"
        raise NotFinished(f"{rundir} holds no finished run ({what}); the run failed or is still going, "
                          "and its files may be incomplete")
    project_path = find_project(rundir, project)
    if not project_path:
        raise NotFinished(f"{rundir} holds no project file (*.prj), so nothing tells whether its results "
                          "are whole; name it with --project")
    written = os.stat(os.path.join(rundir, flag_name)).st_mtime_ns
    series = os.path.join(rundir, "series.pr")
    for path in (project_path, series):
        if os.path.isfile(path) and os.stat(path).st_mtime_ns > written:
            raise NotFinished(f"{rundir}: {os.path.basename(path)} was changed after the run finished "
                              f"({flag_name}): its results belong to earlier inputs; run it again")
    try:
        c = Cursor(project_path)
        c.find("[times]")
        end = c.values(3)[2]
    except (OSError, ValueError) as e:
        raise NotFinished(f"{project_path}: no end time after [times] ({e})")
    try:
        points = len(read_series_points(series)) if os.path.isfile(series) else 0
    except ValueError:
        points = 0  # a record a line
    for name in HISTORIES:
        if not os.path.isfile(os.path.join(rundir, name)):
            continue
        try:
            last = history_end(rundir, name, points)
        except RunError as e:
            raise NotFinished(str(e))
        if last is None or last < end - END_SLACK:
            reached = "holds no step" if last is None else f"ends at {last:g} h"
            raise NotFinished(f"{rundir}: {name} {reached}, short of the end of the run, {end:g} h "
                              f"({os.path.basename(project_path)}): the results are not whole")
    return os.path.join(rundir, flag_name), project_path


# ---------------------------------------------------------------- the files the tools and runs leave

ARTEFACTS = ".pourheat-artefacts"  # the files the tools wrote into the run directory, one name a line


def artefacts(rundir):
    """The plain file names the manifest lists."""
    try:
        with open(os.path.join(rundir, ARTEFACTS), encoding="utf-8", errors="surrogateescape") as f:
            return [n for n in f.read().splitlines() if n and "/" not in n and n not in (".", "..")]
    except OSError:
        return []


def record_artefact(rundir, path):
    """Lists `path`, a file a tool is about to write, in the run directory's
    manifest, so that the next run there removes it before it starts: its
    plain name, once, the manifest written afresh and renamed over the old
    one. A file outside the run directory is not listed."""
    name = os.path.basename(path)
    folder = os.path.dirname(os.path.abspath(path))
    if not os.path.samefile(folder, rundir) or "\n" in name or name in artefacts(rundir):
        return
    names = artefacts(rundir) + [name]
    fd, scratch = tempfile.mkstemp(prefix=ARTEFACTS + ".", dir=rundir)
    try:
        mask = os.umask(0)
        os.umask(mask)
        os.fchmod(fd, 0o666 & ~mask)  # as any file the tool writes: readable by whoever runs there next
        with os.fdopen(fd, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write("".join(n + "\n" for n in names))
        os.replace(scratch, os.path.join(rundir, ARTEFACTS))
    except BaseException:
        os.unlink(scratch)
        raise


def earlier_results(rundir):
    """The files an earlier run left in `rundir`: the histories and
    heat.csv, the final field named by each project file there, the flag (a
    file holding Finished), the log (a file whose first lines name a project
    file there, Infile=), the tools' files of the manifest and the manifest
    itself."""
    names = set(RUN_FILES) | set(artefacts(rundir)) | {ARTEFACTS}
    projects = [n for n in os.listdir(rundir) if n.lower().endswith(".prj")]
    names |= {output_name(os.path.join(rundir, n)) for n in projects}
    infile = re.compile(b"(?m)^ *Infile=(?:" + b"|".join(re.escape(os.fsencode(n)) for n in projects) + b") *$")
    for name in os.listdir(rundir):
        path = os.path.join(rundir, name)
        if not os.path.isfile(path) or os.path.islink(path) or name in projects:
            continue
        if flag_finished(path):
            names.add(name)
        elif projects:
            with open(path, "rb") as f:
                if infile.search(f.read(4096)):
                    names.add(name)
    return sorted(n for n in names if n and "/" not in n and os.path.lexists(os.path.join(rundir, n))
                  and not os.path.isdir(os.path.join(rundir, n)))


def set_aside(rundir, names):
    """Moves the files `names` of `rundir` into a new folder there,
    earlier-run (earlier-run-2, ... when taken); returns its path."""
    n = 1
    while True:
        aside = os.path.join(rundir, "earlier-run" + (f"-{n}" if n > 1 else ""))
        try:
            os.mkdir(aside)
            break
        except FileExistsError:
            n += 1
    for name in names:
        os.replace(os.path.join(rundir, name), os.path.join(aside, name))
    return aside


def read_weather_air(path):
    """The air of a weather file as the program reads it: (hour, C) of each
    row, from the first two columns, `hour` and `air_C` or `air_F`; None
    when the file is missing or its header names neither."""
    try:
        with open(path, encoding="utf-8") as f:
            lines = [line.strip() for line in f if line.strip()]
    except (OSError, UnicodeDecodeError):
        return None
    head = [h.strip() for h in lines[0].split(",")] if lines else []
    if len(head) < 2 or head[0] != "hour" or head[1] not in ("air_C", "air_F"):
        return None
    out = []
    for line in lines[1:]:
        t, v = (float(x) for x in line.split(",")[:2])
        out.append((t, v if head[1] == "air_C" else (v - 32.0) / 1.8))
    return out
