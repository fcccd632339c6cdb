"""pourheat-plot: the pictures of two real runs (files, sizes, not blank),
listed in the run's manifest when they are drawn into the run directory;
and the one-line error for a directory without a finished run of its inputs.

usage: test_plot.py PROGRAM WORKDIR
"""

import os
import shutil
import subprocess
import xml.etree.ElementTree as ET

from toolkit import PLOT, PYTHON, SOURCE, check, fresh_dir, read, run_main, run_program, stage, write

from pourheat.pictures import tmax_lines
from pourheat.results import read_history


def image_checks(path, width, height):
    import matplotlib.image
    import numpy
    pixels = matplotlib.image.imread(path)
    check(pixels.shape[:2] == (height, width), f"{path}: {pixels.shape[1]} x {pixels.shape[0]} pixels")
    rgb = pixels[:, :, :3]
    check(float(numpy.std(rgb)) > 0.05, f"{path} is nearly blank")
    colours = len(numpy.unique((rgb * 255).astype(int).reshape(-1, 3), axis=0))
    check(colours > 50, f"{path} holds only {colours} colours")


def plot_run(*args, ok=True):
    r = subprocess.run([PYTHON, PLOT, *args], capture_output=True, text=True)
    check(r.returncode == 0 or not ok, f"plot failed: {r.stderr}")
    return r


def pictures(program, work):
    # The bundled footing: defaults, PNG of 8 x 5 inches at 100 dpi.
    run = os.path.join(work, "footing")
    project = stage(f"{SOURCE}/examples/footing/footing.prj", run)
    check(run_program(program, project, run).returncode == 0, "footing did not finish")
    r = plot_run(run)
    names = ["tmax.png", "monitors.png", "field-k06.png"]
    check(r.stdout.split() == [os.path.join(run, n) for n in names], f"written: {r.stdout}")
    check(read(f"{run}/.pourheat-artefacts").split() == names, "the pictures are not in the run's manifest")
    for n in names:
        image_checks(os.path.join(run, n), 800, 500)
    # The lines drawn: highest above centre cell and average, lowest below.
    lines = {l[0]: l[2] for l in tmax_lines(read_history(os.path.join(run, "TMAX.OUT")))}
    check(all(h >= c >= l and h >= a >= l for h, a, l, c in zip(
        lines["highest"], lines["average"], lines["lowest"], lines["centre cell"]))
        and max(lines["highest"]) == max(float(l.split()[2]) for l in open(f"{run}/TMAX.OUT")),
        "tmax lines mixed up")

    # The documented block: limits, a difference, SVG into another folder.
    run = os.path.join(work, "block")
    project = stage(f"{SOURCE}/docs/examples/block/block.prj", run)
    check(run_program(program, project, run).returncode == 0, "block did not finish")
    out = os.path.join(work, "block-pictures")
    plot_run(run, "-o", out, "--format", "svg", "--max-limit", "35C", "--diff", "2,2,6", "3",
             "--diff-limit", "36F", "--layer", "6")
    names = ["tmax.svg", "monitors.svg", "difference.svg", "field-k06.svg"]
    check(sorted(os.listdir(out)) == sorted(names) and not os.path.exists(f"{run}/.pourheat-artefacts"),
          f"pictures {os.listdir(out)}, or listed in the run's manifest")
    for n in names:
        root = ET.parse(os.path.join(out, n)).getroot()
        check(root.tag.endswith("svg") and root.get("width") == "576pt", f"{n} is not an 8-inch SVG")
    plot_run(run, "--size", "6", "4", "--dpi", "50", "-o", out, "--diff", "1", "3")
    image_checks(os.path.join(out, "difference.png"), 300, 200)


def errors(work):
    # Each refused with one line and status 2: nothing read, nothing drawn.
    unfinished, no_tmax, stale = (fresh_dir(os.path.join(work, n)) for n in ("unfinished", "no-tmax", "stale"))
    write(f"{unfinished}/TMAX.OUT", "    0.0   68.0   68.0   68.0   32.0   68.0\n")
    write(f"{unfinished}/done.flg", " Stopped\n")
    write(f"{no_tmax}/a.prj", "[times]\n1 0 3 3 0.001 40\n")
    write(f"{no_tmax}/done.flg", " Finished\n")
    shutil.copytree(os.path.join(work, "block"), stale, dirs_exist_ok=True)
    write(f"{stale}/series.pr", read(f"{stale}/series.pr"))  # changed after the run
    for d, words in ((unfinished, "no finished run"), (os.path.join(work, "absent"), "not a directory"),
                     (no_tmax, "no TMAX.OUT"), (stale, "series.pr was changed after the run finished")):
        r = plot_run(d, ok=False)
        check(r.returncode == 2 and r.stdout == "", f"{d}: status {r.returncode}")
        lines = r.stderr.splitlines()
        check(len(lines) == 1 and lines[0].startswith("pourheat-plot: error:") and words in lines[0],
              f"{d}: message {r.stderr!r}")
    check(sorted(os.listdir(unfinished)) == ["TMAX.OUT", "done.flg"], "pictures of an unfinished run")


def main(program, work):
    fresh_dir(work)
    pictures(program, work)
    errors(work)
    print("pourheat-plot: pictures and errors checked")


if __name__ == "__main__":
    run_main(main)
