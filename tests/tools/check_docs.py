"""The documentation cannot drift from the example files: every code block
marked <!-- path --> in docs/*.md equals that file, every example project in
docs/ is shown in a page, and every relative link in docs/ and README.md
leads to a file that exists.

usage: check_docs.py SOURCE_DIR
"""

import glob
import os
import re
import sys

from toolkit import read

MARKED = re.compile(r"<!-- *([\w./-]+) *-->\n```[a-z]*\n(.*?)```", re.S)
LINK = re.compile(r"\]\(([^)#\s]+)(?:#[^)]*)?\)")


def main(source):
    failures = []
    shown = set()
    pages = sorted(glob.glob(os.path.join(source, "docs", "**", "*.md"), recursive=True))
    for page in pages:
        for rel, block in MARKED.findall(read(page, "utf-8")):
            path = os.path.join(source, rel)
            shown.add(os.path.normpath(path))
            if not os.path.isfile(path):
                failures.append(f"{page}: marked block names a missing file {rel}")
            elif read(path, "latin-1") != block:
                failures.append(f"{page}: the block marked {rel} differs from the file")
    for page in pages + [os.path.join(source, "README.md")]:
        for target in LINK.findall(read(page, "utf-8")):
            if "://" not in target and not os.path.exists(os.path.join(os.path.dirname(page), target)):
                failures.append(f"{page}: link to a missing {target}")
    quickstart = os.path.normpath(os.path.join(source, "docs", "examples", "block", "block.prj"))
    if quickstart not in shown:
        failures.append("docs: the complete example block.prj is not shown in a page")
    for f in failures:
        print("FAIL:", f, file=sys.stderr)
    print(f"{len(pages)} pages, {len(shown)} marked blocks checked")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
