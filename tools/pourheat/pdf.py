"""The page printed to report.pdf by headless Chromium: a copy of the page
with the paper size set, opened from a scratch folder with every network
route closed (the page holds its pictures, so nothing needs fetching)."""

import os
import re
import shutil
import subprocess
import tempfile

# Paper sizes in points (1/72 inch), as the PDF's MediaBox gives them.
PAPERS = {"A4": (595.28, 841.89), "Letter": (612.0, 792.0)}
BROWSERS = ("chromium", "chromium-browser", "google-chrome")


class PdfError(Exception):
    """No browser to print with, or it wrote no PDF: one line."""


def browser():
    for name in BROWSERS:
        path = shutil.which(name)
        if path:
            return path
    raise PdfError("no Chromium to print the page with (apt-get install chromium)")


def offline_flags(profile):
    """Headless, a scratch profile, and no way out: every host unresolvable
    and the proxy a closed port, so a page that asked for a file elsewhere
    would get nothing."""
    return ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-sync",
            "--disable-background-networking", "--disable-component-update", "--disable-quic",
            "--host-resolver-rules=MAP * ~NOTFOUND", "--proxy-server=127.0.0.1:9",
            f"--user-data-dir={profile}"]


def print_pdf(page_path, pdf_path, paper="A4", timeout=180):
    """Prints the page at `page_path` to `pdf_path` on `paper` (A4, Letter)."""
    with open(page_path, encoding="utf-8") as f:
        text = f.read()
    sized = text.replace("</style>", f"@page{{size:{paper}}}</style>", 1)
    with tempfile.TemporaryDirectory(prefix="pourheat-pdf.") as scratch:
        page = os.path.join(scratch, "page.html")
        out = os.path.join(scratch, "page.pdf")
        with open(page, "w", encoding="utf-8") as f:
            f.write(sized)
        profile = os.path.join(scratch, "profile")
        try:
            r = subprocess.run([browser(), *offline_flags(profile), "--no-pdf-header-footer",
                                f"--print-to-pdf={out}", "file://" + page],
                               stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise PdfError(f"the browser did not print the page within {timeout} s")
        if not os.path.isfile(out) or os.path.getsize(out) == 0:
            last = (r.stderr.strip().splitlines() or ["no message"])[-1]
            raise PdfError(f"the browser wrote no PDF (status {r.returncode}: {last[:200]})")
        shutil.move(out, pdf_path)
    return pdf_path


def page_sizes(pdf_path):
    """The width and height in points of each page of a PDF, from the
    MediaBox of its page objects."""
    with open(pdf_path, "rb") as f:
        data = f.read()
    boxes = re.findall(rb"/MediaBox\s*\[\s*([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s+([-\d.]+)\s*\]", data)
    return [(float(c) - float(a), float(d) - float(b)) for a, b, c, d in boxes]
