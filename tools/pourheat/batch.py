"""Many projects run at once, each in a directory of its own, by GNU
parallel: on all cores of this machine, or on other machines through its
own ssh logins, the program sent along to them. A run's line and the table
of the runs (runs.csv) come from each run's own files."""

import csv
import glob
import os
import re
import secrets
import shlex
import shutil
import stat
import string
import subprocess
import sys

from .assess import peak_of
from .limits import LimitError, evaluate, limits_of, summary
from .results import CONCRETE, RunError, finished_run, flag_finished, read_concrete
from .units import hours, temp

PROG = "pourheat-batch"
MARKER = ".pourheat-batch"   # marks a run directory that this tool made
CONSOLE = "console.txt"      # the program's terminal output
ENDED = "pourheat-batch-ended"  # a job's last line: ENDED <job number> <exit status>
# The pause dialogue around a pause's own message, and the note of a run that
# had no one to answer it: never the reason a run failed.
DIALOGUE = ("To resume execution, type go.", "Execution resumes after PAUSE.", "STOP",
            "pourheat: no console")
# Debian packages of the programs this tool runs.
PACKAGES = {"parallel": "parallel", "rsync": "rsync", "ssh": "openssh-client"}


class BatchError(Exception):
    """A problem with the command line or the projects: reported as one line."""


def run_figures(rundir, limits):
    """The peak (as the program's summary gives it, peak_of) and the largest
    difference of a finished run's concrete.csv (the first time reached),
    and the verdict when limits are given; None when the run left no
    concrete temperatures."""
    try:
        rows = read_concrete(os.path.join(rundir, CONCRETE))
    except RunError:
        return None
    if not rows:
        return None
    _, diff = summary(rows)
    peak = peak_of(rundir, rows)
    verdict = ""
    if limits:
        verdict = "FAIL" if any(r["exceeded"] for _, r in evaluate(rows, *limits)) else "PASS"
    return {"peak": peak["value_c"], "peak_h": peak["time_h"], "diff": diff["diff_C"],
            "diff_h": diff["time_h"], "verdict": verdict}


def figures_text(f):
    text = (f"peak {temp(f['peak'])} at {hours(f['peak_h'])} h, largest difference "
            f"{temp(f['diff'], True)} at {hours(f['diff_h'])} h")
    return text + (f", {f['verdict']}" if f["verdict"] else "")


def cell_text(value):
    """A cell of runs.csv as text; one that a spreadsheet would take for a
    formula (=, +, -, @ first, and not a number) gets a ' in front."""
    text = str(value)
    if text[:1] in ("=", "+", "-", "@"):
        try:
            float(text)
        except ValueError:
            return "'" + text
    return text


def write_table(path, names, finished, exits, limits):
    """runs.csv: one row per run, in the order of the projects."""
    with open(path, "w", newline="") as f:
        table = csv.writer(f, lineterminator="\n")
        table.writerow(["name", "status", "exit", "peak_C", "peak_h", "max_diff_C", "max_diff_h", "verdict"])
        for name in names:
            fig = run_figures(os.path.join(os.path.dirname(path), name), limits) if name in finished else None
            numbers = [f"{fig[k]:.3f}" for k in ("peak", "peak_h", "diff", "diff_h")] + [fig["verdict"]] \
                if fig else [""] * 5
            table.writerow(cell_text(v) for v in [name, "finished" if name in finished else "FAILED",
                                                  exits.get(name, "")] + numbers)


def default_program(here):
    """The program installed beside the tool (in the folder `here`), else the
    build beside tools/ in a source tree, else pourheat on the PATH. Where
    tools/ is reached through a link, beside it is first beside the link (a
    scratch tree whose build/ is a build kept outside the source), then
    beside the folder the link leads to."""
    here = os.path.abspath(here)
    for candidate in (os.path.join(here, "pourheat"), os.path.join(os.path.dirname(here), "build", "pourheat"),
                      os.path.join(os.path.dirname(os.path.realpath(here)), "build", "pourheat"),
                      shutil.which("pourheat")):
        if candidate and os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return os.path.abspath(candidate)
    return None


def project_of(given):
    """The run's name, its project file and its series file (which may not
    exist) for a project given as a folder or as a file."""
    if os.path.isdir(given):
        found = sorted(glob.glob(os.path.join(glob.escape(given), "*.prj")))
        if len(found) != 1:
            raise BatchError(f"{given} holds {len(found) or 'no'} project files (*.prj); "
                             "a project folder holds one")
        name = os.path.basename(os.path.abspath(given))
        return name, found[0], os.path.join(given, "series.pr")
    if os.path.isfile(given):
        stem = os.path.splitext(given)[0]
        return os.path.basename(stem), given, stem + ".series.pr"
    raise BatchError(f"no project file or folder {given}")


def run_dir_names(bases):
    """One directory name per run: its base name, with -2, -3, ... added
    where two runs would share a name."""
    names, used = [], set()
    for base in bases:
        base = base or "run"
        name, n = base, 1
        while name in used:
            n += 1
            name = f"{base}-{n}"
        used.add(name)
        names.append(name)
    return names


# What a run directory's name may hold on another machine: GNU parallel's
# copies there and back (rsync) carry nothing else.
REMOTE_NAME = set(string.ascii_letters + string.digits + "._+-")


def control_character(text):
    return next((c for c in text if ord(c) < 32 or ord(c) == 127), None)


def name_problem(name, remote):
    """Why a run directory cannot be called `name`, or None: a name of the
    batch's own files, a control character (it would split a line of the
    job table), or over ssh anything but letters, digits and . _ + -."""
    if name.startswith(".") or name == "runs.csv":
        return "is kept for the batch's own files (a name starting with '.', or runs.csv)"
    if control_character(name):
        return f"holds a control character ({control_character(name)!r})"
    bad = next((c for c in name if c not in REMOTE_NAME), None)
    if remote and (bad or name.startswith("-")):
        return (f"holds {'a blank' if bad == ' ' else repr(bad) if bad else 'a - first'}, which GNU parallel "
                "cannot carry to another machine and back: over ssh a run's name holds letters, digits "
                "and . _ + - only, and does not start with -")
    return None


def made_here(d):
    """Whether `d` is a run directory that this tool made: a directory (not
    a link) holding the marker as a plain file."""
    try:
        marker = os.lstat(os.path.join(d, MARKER))
        return not os.path.islink(d) and os.path.isdir(d) and stat.S_ISREG(marker.st_mode)
    except OSError:
        return False


def job_script(program, log, flag, timeout=None):
    """The shell command of one job; {1} is the run directory, {2} the
    project file name, {3} the run directory's full path here (where a job
    runs on this machine, GNU parallel sends nothing to its work folder).
    Its last line says that the run has ended, with the job's number and the
    program's exit status; the run's line is made here from its files. The
    job itself ends with status 0 once the run has ended, whatever the
    program's status, so that only a job that could not run at all (no
    login, no run directory) fails and is tried again on another machine."""
    return (
        "{ cd {1} || cd {3}; } 2>/dev/null || exit 2; "
        + (f"timeout -k 10 {shlex.quote(timeout)} " if timeout else "")
        + f"setsid -w {program} {{2}} {shlex.quote(log)} {shlex.quote(flag)} "
        f"</dev/null >{CONSOLE} 2>&1; echo {ENDED} {{#}} $?"
    )


def last_message(rundir):
    """The program's last message on its terminal: its last line that is not
    blank and not the pause dialogue."""
    try:
        with open(os.path.join(rundir, CONSOLE), encoding="latin-1") as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    for line in reversed(lines):
        if line.strip() and not line.strip().startswith(DIALOGUE):
            return line.strip()
    return None


def not_finished(rundir, flag):
    """Why the run directory holds no finished run of its inputs, or None."""
    try:
        finished_run(rundir, flag)
        return None
    except RunError as e:
        return str(e)


def run_line(name, status, rundir, args, limits, width):
    """The line of one run: finished or FAILED, the exit status, the run and,
    for a finished run, its figures (the names padded to `width`), for a
    failed one, why: its results are not whole although the flag says
    Finished, it ran out of time, or the program's last message."""
    why = not_finished(rundir, args.flag)
    if not why:
        f = run_figures(rundir, limits)
        figures = f"{' ' * (width - len(name))}  {figures_text(f)}" if f else ""
        return f"{'finished':<8} exit {status:<3} {name}{figures}"
    if not flag_finished(os.path.join(rundir, args.flag)):
        why = (f"still running after {args.timeout} s (--timeout)" if status == 124 and args.timeout
               else last_message(rundir) or "the program wrote nothing")
    return f"{'FAILED':<8} exit {status:<3} {name}: {why}"


def missing(program):
    return f"{program} is not installed (apt-get install {PACKAGES[program]})"


def run_batch(args, here):
    """Runs the batch that the options of pourheat-batch ask for, the tool
    lying in the folder `here`; prints a line per run and the summary, and
    returns the exit status."""
    if len(args.log) > 8:
        raise BatchError(f"--log {args.log} is longer than 8 characters")
    if len(args.flag) > 12:
        raise BatchError(f"--flag {args.flag} is longer than 12 characters")
    logins = [o for s in args.sshlogin for o in ("--sshlogin", s)] + \
             [o for s in args.sshloginfile for o in ("--sshloginfile", os.path.abspath(s))]
    remote = any(s != ":" for s in args.sshlogin) or bool(args.sshloginfile)
    for needed in ("parallel",) + (("ssh", "rsync") if remote else ()):
        if not shutil.which(needed):
            raise BatchError(missing(needed))
    program = args.program or default_program(here)
    if not args.remote_program:
        if not program:
            raise BatchError("no pourheat program found; name it with --program")
        if not os.path.isfile(program) or not os.access(program, os.X_OK):
            raise BatchError(f"{program} is not an executable program")
        program = os.path.abspath(program)
    projects = [project_of(p) for p in args.projects]
    if args.series and not os.path.isfile(args.series):
        raise BatchError(f"no series file {args.series}")
    limits = None
    if args.max_temp or args.max_diff or args.diff_curve:
        try:
            limits = limits_of(args.max_temp, args.max_diff, args.diff_curve)
        except LimitError as e:
            raise BatchError(str(e))

    # One directory per run, made fresh; every name and every directory to
    # replace is checked before the first is touched.
    names = run_dir_names([name for name, _, _ in projects])
    for (_, project, _), name, given in zip(projects, names, args.projects):
        shown = repr(given) if control_character(given) else given
        if name_problem(name, remote):
            raise BatchError(f"{shown}: the run's name {name!r} {name_problem(name, remote)}")
        if control_character(os.path.basename(project)):
            raise BatchError(f"{shown}: the project file's name holds a control character")
    if control_character(os.path.abspath(args.out)):
        raise BatchError(f"-o {args.out!r}: the path holds a control character")
    replaced = [os.path.join(args.out, name) for name in names if os.path.lexists(os.path.join(args.out, name))]
    for d in replaced:
        if not args.overwrite:
            raise BatchError(f"{d} exists already; use --overwrite or another --out")
        if not made_here(d):
            raise BatchError(f"{d} was not made by {PROG}; it is left alone")
    os.makedirs(args.out, exist_ok=True)
    for d in replaced:
        shutil.rmtree(d)
    jobs, inputs = [], {}
    given_of = dict(zip(names, args.projects))
    for (_, project, series), name in zip(projects, names):
        d = os.path.join(args.out, name)
        os.makedirs(d)
        open(os.path.join(d, MARKER), "w").close()
        target = os.path.basename(project)
        shutil.copyfile(project, os.path.join(d, target))
        series = args.series or series
        if not args.no_series and os.path.isfile(series):
            shutil.copyfile(series, os.path.join(d, "series.pr"))
        # A folder of pourheat-new's holds its member as described: the report's checks read it.
        member = os.path.join(os.path.dirname(project), "member.json")
        if os.path.isdir(given_of[name]) and os.path.isfile(member):
            shutil.copyfile(member, os.path.join(d, "member.json"))
        inputs[name] = {p: os.stat(p).st_mtime_ns for p in (os.path.join(d, target), os.path.join(d, "series.pr"))
                        if os.path.isfile(p)}
        jobs.append((name, target))

    jobfile = os.path.join(args.out, ".jobs")
    with open(jobfile, "w") as f:
        for name, target in jobs:
            f.write(f"{name}\t{target}\t{os.path.abspath(os.path.join(args.out, name))}\n")

    cmd = ["parallel", "--will-cite", "--colsep", "\t", "--jobs", args.jobs, "--group",
           "--joblog", ".joblog"] + logins
    # On another machine the run directories go to a work folder of this
    # batch's own, run there and come back; the program is sent once to each
    # machine, into that folder, so it lies beside the run directories there
    # as its copy does here. A job that a machine could not run is tried on
    # up to two others.
    token = f"{os.getpid()}-{secrets.token_hex(4)}"
    workdir, sent = f".pourheat-batch-{token}", f".pourheat-{token}"
    command = shlex.quote(args.remote_program or program)
    if remote:
        cmd += ["--workdir", workdir, "--retries", "3",
                "--transferfile", "{1}", "--return", "{1}", "--cleanup"]
    if remote and not args.remote_program:
        shutil.copy2(program, os.path.join(args.out, sent))
        cmd += ["--basefile", f"{os.path.abspath(args.out)}/./{sent}"]
        command = f"../{sent}"
    cmd += [job_script(command, args.log, args.flag, args.timeout), "::::", ".jobs"]

    ended, width = {}, max(len(name) for name, _ in jobs)
    try:
        with subprocess.Popen(cmd, cwd=args.out, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              text=True, errors="replace") as p:
            for line in p.stdout:
                m = re.fullmatch(rf"{ENDED} (\d+) (\d+)\n?", line)
                if not m or not 1 <= int(m[1]) <= len(jobs):
                    sys.stdout.write(line)
                    continue
                n, status = int(m[1]) - 1, int(m[2])
                ended[n] = status
                if remote:
                    # The copy back gives every file the time it came; the
                    # inputs keep the time they were written here, before the run.
                    for path, mtime in inputs[jobs[n][0]].items():
                        if os.path.isfile(path):
                            os.utime(path, ns=(mtime, mtime))
                print(run_line(jobs[n][0], status, os.path.join(args.out, jobs[n][0]), args, limits, width),
                      flush=True)
    finally:
        if remote:
            # Nothing of this batch stays on the other machines (GNU parallel
            # leaves the directories it returned), nor here.
            subprocess.run(["parallel", "--will-cite", "--nonall"] + logins
                           + ["rm -rf " + shlex.quote(workdir)],
                           cwd=args.out, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            shutil.rmtree(os.path.join(args.out, workdir), ignore_errors=True)
            if os.path.exists(os.path.join(args.out, sent)):
                os.remove(os.path.join(args.out, sent))
    # A job that never reached its end: its machine did not answer.
    logged = joblog(os.path.join(args.out, ".joblog"))
    exits = {name: str(ended[n]) for n, (name, _) in enumerate(jobs) if n in ended}
    for n, (name, _) in enumerate(jobs):
        if n not in ended:
            host, status = logged.get(n + 1, (None, "-"))
            exits[name] = "" if status == "-" else status
            where = f" on {host}" if host else ""
            print(f"{'FAILED':<8} exit {status:<3} {name}: the run did not start{where} or did not "
                  "come back (see the messages of ssh and GNU parallel above)")

    # The summary comes from the run directories as they lie here now.
    finished = [n for n, _ in jobs if not not_finished(os.path.join(args.out, n), args.flag)]
    failed = [n for n, _ in jobs if n not in finished]
    table = os.path.join(args.out, "runs.csv")
    write_table(table, names, finished, exits, limits)
    print(f"table of the runs: {table}")
    print(f"{len(jobs)} runs: {len(finished)} finished, {len(failed)} failed"
          + (f" ({', '.join(failed)})" if failed else "") + f"; results in {args.out}/")
    return 0 if not failed else 1


def joblog(path):
    """Machine and exit status of each job in GNU parallel's job log."""
    try:
        with open(path) as f:
            rows = [line.rstrip("\n").split("\t") for line in f][1:]
    except OSError:
        return {}
    return {int(r[0]): (r[1], r[6]) for r in rows if len(r) > 6 and r[0].isdigit()}
