"""pourheat-batch on three projects, one of which pauses and has a name of
blanks, quotes, brackets and a comma: the batch runs on a terminal whose
input stays open (so a run that waited for an answer would hang the test),
every run gets its own directory with its series.pr, the paused run is
reported failed and the two others finished, with the same results as a
direct run; an existing run directory is only replaced on request.

usage: test_batch.py PROGRAM WORKDIR
"""

import filecmp
import os
import shutil
import subprocess

from toolkit import BATCH, PYTHON, SOURCE, check, fresh_dir, read, run_main, run_program, stage, write


def batch(program, work, projects, *options):
    command = [PYTHON, BATCH, "--program", program, "-o", "runs", *options, *projects]
    if shutil.which("script"):
        # A pseudo-terminal whose input is held open until the batch ends.
        command = ["script", "-qec", subprocess.list2cmdline(command), "/dev/null"]
    try:  # on a timeout the batch is killed
        p = subprocess.run(command, cwd=work, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True, errors="replace", timeout=300)
    except subprocess.TimeoutExpired:
        raise AssertionError("the batch did not end: a run waits for an answer")
    return p.returncode, p.stdout.replace("\r", "")


def main(program, work):
    fresh_dir(work)
    block = os.path.join(SOURCE, "docs", "examples", "block", "block.prj")
    footing = os.path.join(SOURCE, "examples", "footing", "footing.prj")
    os.makedirs(f"{work}/broken")
    broken = "broken 'a', [b]"  # a name the shell and a spreadsheet would take apart
    write(f"{work}/broken/{broken}.prj", read(block).replace("\nNDDNDD\n", "\n\n"))  # blank face codes: a pause
    projects = [os.path.dirname(block), os.path.dirname(footing), f"{work}/broken/{broken}.prj"]

    status, out = batch(program, work, projects)
    lines = out.splitlines()
    check(status == 1, f"batch status {status}: {out}")
    for expected in ("finished exit 0   block", "finished exit 0   footing"):
        check(any(l.startswith(expected + " ") and " peak " in l for l in lines), f"no line {expected!r} in {lines}")
    expected = f"FAILED   exit 1   {broken}: PAUSE  trouble with bound statement executed"
    check(expected in lines, f"no line {expected!r} in {lines}")
    check(lines[-1] == f"3 runs: 2 finished, 1 failed ({broken}); results in runs/", f"summary {lines[-1]!r}")

    runs = f"{work}/runs"
    check(sorted(d for d in os.listdir(runs) if not d.startswith(".") and d != "runs.csv") == ["block", broken, "footing"],
          f"run directories {os.listdir(runs)}")
    check(read(f"{runs}/runs.csv").splitlines()[3] == f'"{broken}",FAILED,1,,,,,', "runs.csv")
    for name, project in (("block", block), ("footing", footing)):
        check(read(f"{runs}/{name}/done.flg") == " Finished\n", f"{name}: no flag")
        check(filecmp.cmp(f"{runs}/{name}/series.pr", os.path.join(os.path.dirname(project), "series.pr"),
                          shallow=False), f"{name}: series.pr")
    check(not os.path.exists(f"{runs}/{broken}/done.flg") and not os.path.exists(f"{runs}/{broken}/series.pr"),
          "broken: a flag or a series.pr")
    check("PAUSE  trouble with bound" in read(f"{runs}/{broken}/console.txt"),
          "broken: the pause is not in console.txt")

    # The same results as the program run by hand.
    direct = f"{work}/direct"
    check(run_program(program, stage(footing, direct), direct).returncode == 0, "direct run")
    for name in ("TMAX.OUT", "Center.out", "footing.out"):
        check(filecmp.cmp(f"{direct}/{name}", f"{runs}/footing/{name}", shallow=False), f"footing {name} differs")

    # A second batch does not run over the first, unless asked to.
    status, out = batch(program, work, [block])
    check(status == 2 and "exists already" in out, f"second batch: {status} {out}")
    os.remove(f"{runs}/block/TMAX.OUT")
    status, out = batch(program, work, [block], "--overwrite", "--no-series")
    check(status == 0 and out.splitlines()[-1].startswith("1 runs: 1 finished, 0 failed"), out)
    check(os.path.exists(f"{runs}/block/TMAX.OUT") and not os.path.exists(f"{runs}/block/series.pr"),
          "--overwrite --no-series")
    print("pourheat-batch: three runs, one failed, checked")


if __name__ == "__main__":
    run_main(main)
