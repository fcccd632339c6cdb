"""pourheat-report and the batch's table: the verdict lines and exit statuses
on hand-made runs (data/report/cases.txt), the page and the PDF of one member
of each template in headless Chromium (every picture drawn, no error, nothing
fetched, nothing wider than a printed page, the verdict the data gives, the
PDF's paper), and a batch of three runs, one failing, with a limit.

usage: test_report.py PROGRAM WORKDIR
"""

import csv
import glob
import json
import os
import re
import shlex
import shutil
import subprocess
import tempfile

from toolkit import BATCH, PYTHON, SOURCE, check, fresh_dir, read, run_main, run_program, stage, write

from pourheat.pdf import page_sizes

REPORT = os.path.join(SOURCE, "tools", "pourheat-report")
DATA = os.path.join(SOURCE, "tests", "tools", "data", "report")

# Injected into a copy of the page: counts errors from the start, and after
# the load writes what was drawn and fetched into the page.
CATCH = "<script>window.errs=0;addEventListener('error',()=>window.errs++,true);</script>"
CHECKER = """<script>addEventListener('load',()=>{const all=[...document.images];
const drawn=all.filter(i=>i.complete&&i.naturalWidth>0).length;
const p=document.createElement('pre');p.id='checked';
const wide=[...document.querySelectorAll('table,img,pre')].filter(e=>e.getBoundingClientRect().right>innerWidth).length;
p.textContent=`pictures ${drawn} of ${all.length}, fetched ${performance.getEntriesByType('resource').length}, errors ${window.errs}, too wide ${wide}`;
document.body.appendChild(p);});</script>"""


def report(cwd, *args):
    return subprocess.run([PYTHON, REPORT, *args], cwd=cwd, capture_output=True, text=True)


def cases(work):
    runs = os.path.join(work, "cases")
    shutil.copytree(DATA, runs)
    for flag in glob.glob(f"{runs}/*/done.flg"):
        os.utime(flag)  # written after the inputs, as a run writes it
    later = os.stat(f"{runs}/stale/done.flg").st_mtime_ns + 10**9
    os.utime(f"{runs}/stale/stale.prj", ns=(later, later))
    for line in read(f"{DATA}/cases.txt").splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        status, expected, *args = shlex.split(line)
        if os.path.exists(f"{runs}/report.html"):
            os.remove(f"{runs}/report.html")
        r = report(runs, "-o", "report.html", *args)
        got = r.stdout if status != "2" else r.stderr.splitlines()[-1] + "\n"
        check(r.returncode == int(status) and got == read(f"{DATA}/expected/{expected}"),
              f"{line}: status {r.returncode}\n{r.stdout}{r.stderr}")
        check(os.path.exists(f"{runs}/report.html") == (status != "2"), f"{line}: report.html")
        if status != "2":  # the page's header: the project's name, the run and the verdict
            title = os.path.basename(glob.glob(f"{runs}/{args[0]}/*.prj")[0])[:-4]
            verdict = "FAIL" if status == "1" else "PASS"
            check(f"<h1>Thermal report: {title}</h1>\n<p class=note>Run directory {args[0]}; written by "
                  f"pourheat-report from the run's files.</p>\n<div class='verdict {verdict}' id=verdict>"
                  f"{verdict}</div>" in read(f"{runs}/report.html", "utf-8"), f"{line}: the page's header")


def chromium(*args):
    browser = shutil.which("chromium")
    check(browser, "no chromium to show the page: apt-get install chromium")
    with tempfile.TemporaryDirectory() as profile:
        return subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                               "--no-first-run", "--disable-background-networking", "--disable-component-update",
                               "--disable-sync", f"--user-data-dir={profile}", *args],
                              capture_output=True, text=True, timeout=120).stdout


# One member of each template, small and short (the mat 28 days in hourly
# weather); the footing with a described
# member, its named points and sections beside the run (data/report/described).
TEMPLATES = ("footing-sound", "mat-weather", "column-sound", "round-column-sound", "shaft-sound", "wall")
# The footing's pairs hold 21 C where its hottest minus coldest does not.
PEAK, DIFF = 70, 21
LIMITS = ("--max-temp", f"{PEAK}C", "--max-diff", f"{DIFF}C")


def expected_verdict(run):
    """The verdict from the run's files alone: the peak of concrete.csv, and
    the core against each surface point and each pair of member.json in
    points.csv (without named points, the hottest minus the coldest)."""
    with open(f"{run}/concrete.csv") as f:
        rows = list(csv.DictReader(f))
    hot = max(float(r["max_C"]) for r in rows) > PEAK
    if not os.path.exists(f"{run}/points.csv"):
        return "FAIL" if hot or max(float(r["diff_C"]) for r in rows) > DIFF else "PASS"
    member = json.loads(read(f"{run}/member.json")) if os.path.exists(f"{run}/member.json") else {}
    with open(f"{run}/points.csv") as f:
        points = list(csv.DictReader(f))
    pairs = [("core", p["name"]) for p in member.get("points", []) if p["role"] == "surface"]
    pairs += [tuple(p) for p in member.get("pairs", [])]
    wide = any(float(r[a]) - float(r[b]) > DIFF for a, b in pairs for r in points)
    return "FAIL" if hot or wide else "PASS"


def pages(program, work):
    for n, name in enumerate(TEMPLATES):
        run = os.path.join(work, name)
        shutil.copytree(f"{SOURCE}/tests/tools/new/written/{name}", run)
        check(run_program(program, glob.glob(f"{run}/*.prj")[0], run).returncode == 0, f"{name} did not finish")
        if name == "footing-sound":
            for f in glob.glob(f"{DATA}/described/*"):
                shutil.copy(f, run)
        units = ("SI", "US")[n % 2]
        r = report(run, ".", *LIMITS, "--pdf", "--units", units)
        expected = expected_verdict(run)
        check(r.returncode in (0, 1) and read(f"{run}/.pourheat-artefacts") == "report.html\nreport.pdf\n",
              f"{name}: status {r.returncode}\n{r.stdout}{r.stderr}")
        paper = (612, 792) if units == "US" else (595.3, 841.9)
        sizes = page_sizes(f"{run}/report.pdf")
        check(sizes and all(abs(w - paper[0]) < 1 and abs(h - paper[1]) < 1 for w, h in sizes),
              f"{name}: PDF pages {sizes}, not {paper}")
        text = read(f"{run}/report.html", "utf-8")
        air = json.loads(read(f"{run}/member.json")).get("air") or {}
        check(bool(air.get("file") or len(air.get("points") or []) > 1) == ("the air temperature against time" in text),
              f"{name}: the air's chart")
        check(not re.search(r"""(?:src|href)\s*=\s*(?!['"]?(?:data:|#))""", text), "the page refers to another file")
        write(f"{run}/shown.html", text.replace("<head>", "<head>" + CATCH, 1).replace("</body>", CHECKER + "</body>"),
              "utf-8")
        # At the width a printed page gives (186 mm of A4, about 700 px), nothing sticks out.
        dom = chromium("--virtual-time-budget=10000", "--window-size=700,1000", "--dump-dom", f"file://{run}/shown.html")
        seen = re.search(r'<pre id="checked">pictures (\d+) of (\d+), (.*?)</pre>', dom)
        check(seen and seen.group(1) == seen.group(2) and int(seen.group(2)) >= 3
              and seen.group(3) == "fetched 0, errors 0, too wide 0", f"{name} in the browser: {seen and seen.group(0)}")
        shown = re.search(r'id="verdict">(\w+)<', dom)
        check(shown and shown.group(1) == expected, f"{name}: the page says {shown and shown.group(1)}, the data {expected}")


def batch(program, work):
    d = fresh_dir(os.path.join(work, "batch"))
    mixes = read(f"{SOURCE}/tests/golden/concrete-mixes/project.prj")
    write(f"{d}/mixes.prj", mixes)
    write(f"{d}/hot.prj", mixes.replace("placement=20.0", "placement=30.0"))
    write(f"{d}/broken.prj", mixes.replace("\nDDDDDN\n", "\n\n"))  # blank face codes: a pause
    r = subprocess.run([PYTHON, BATCH, "--program", program, "-o", "runs", "--max-temp", "30C",
                        "mixes.prj", "hot.prj", "broken.prj"], cwd=d, capture_output=True, text=True,
                       stdin=subprocess.DEVNULL, timeout=300)
    check(r.returncode == 1 and read(f"{d}/runs/runs.csv") == read(f"{DATA}/runs.csv"),
          f"batch: status {r.returncode}\n{r.stdout}{r.stderr}")
    line = "finished exit 0   mixes   peak 29.9 C (85.8 F) at 6 h, largest difference 6.9 C (12.4 F) at 6 h, PASS"
    check(line in r.stdout.splitlines()
          and any(l.startswith("FAILED   exit 1   broken: ") for l in r.stdout.splitlines()), r.stdout)


def main(program, work):
    fresh_dir(work)
    cases(work)
    pages(program, work)
    batch(program, work)
    print("pourheat-report: verdicts, statuses, the page in a browser and the batch table checked")


if __name__ == "__main__":
    run_main(main)
