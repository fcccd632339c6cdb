"""Shared helpers of the tool tests: the tools' package on the path, run the
program on a project in a fresh directory without a terminal."""

import os
import shutil
import subprocess
import sys

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PLOT = os.path.join(SOURCE, "tools", "pourheat-plot")
BATCH = os.path.join(SOURCE, "tools", "pourheat-batch")
PYTHON = "/usr/bin/python3"
sys.path.insert(0, os.path.join(SOURCE, "tools"))


def fresh_dir(path):
    if os.path.exists(path):
        shutil.rmtree(path)
    os.makedirs(path)
    return path


def stage(project, workdir):
    """Copies the project and the series.pr beside it into a fresh workdir."""
    fresh_dir(workdir)
    shutil.copy(project, workdir)
    series = os.path.join(os.path.dirname(project), "series.pr")
    if os.path.isfile(series):
        shutil.copy(series, workdir)
    return os.path.join(workdir, os.path.basename(project))


def run_program(program, project, workdir, timeout=600):
    """Runs pourheat in workdir with no terminal: a pause ends the run."""
    return subprocess.run([program, os.path.basename(project), "run.log", "done.flg"],
                          cwd=workdir, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, errors="replace", start_new_session=True, timeout=timeout)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def read(path, encoding=None):
    with open(path, encoding=encoding) as f:
        return f.read()


def write(path, text, encoding=None):
    with open(path, "w", encoding=encoding) as f:
        f.write(text)


def run_main(main):
    """Runs main on the command line's arguments; a failed check prints FAIL
    and exits with status 1."""
    try:
        main(*sys.argv[1:])
    except AssertionError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
