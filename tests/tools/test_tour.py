"""The README's tour works when pasted line by line: its shell lines run in
order in one shell, at the top of a scratch tree that holds the source's
examples, docs and tools and the build, with no error message; the study's
runs all finish.

usage: test_tour.py BUILD_DIR WORKDIR
"""

import os
import re
import subprocess

from toolkit import SOURCE, check, fresh_dir, read, run_main


def main(build, work):
    work = fresh_dir(os.path.abspath(work))
    for name in ("examples", "docs", "tools"):
        os.symlink(os.path.join(SOURCE, name), os.path.join(work, name))
    os.symlink(os.path.abspath(build), os.path.join(work, "build"))
    readme = read(os.path.join(SOURCE, "README.md"), "utf-8")
    script = "".join(re.findall(r"```sh\n(.*?)```", readme[readme.index("## Tour"):], re.S))
    r = subprocess.run(["bash", "-c", script], cwd=work, stdin=subprocess.DEVNULL,
                       capture_output=True, text=True, timeout=120)
    check(r.returncode == 0 and not r.stderr and re.search(r"^(\d+) runs: \1 finished, 0 failed", r.stdout, re.M),
          f"the tour ends with status {r.returncode}:\n{r.stdout}{r.stderr}")
    print("README tour: every line ran")


if __name__ == "__main__":
    run_main(main)
