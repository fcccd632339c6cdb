"""The Debian package from cpack, its version the project's, its dependencies
and recommendations, unpacked into a scratch root (dpkg -x): every program,
tool, the manual (groff renders it without a warning), docs and examples;
the installed tools run the installed examples with the installed program.
A tool that misses a module or program names its package and exits 2.

usage: test_install.py BUILD_DIR VERSION WORKDIR
"""

import glob
import gzip
import os
import subprocess

from toolkit import PYTHON, SOURCE, check, fresh_dir, read, run_main, write


def run(command, **options):
    return subprocess.run(command, capture_output=True, text=True, stdin=subprocess.DEVNULL, **options)


def main(build, version, work):
    work = fresh_dir(os.path.abspath(work))
    r = run(["cpack", "-G", "DEB", "--config", f"{build}/CPackConfig.cmake", "-B", f"{work}/package"])
    debs = glob.glob(f"{work}/package/pourheat_{version}_*.deb")
    check(r.returncode == 0 and len(debs) == 1, f"cpack: {r.stdout}{r.stderr}")
    fields = dict(line.split(": ", 1) for line in
                  run(["dpkg-deb", "-f", debs[0], "Version", "Depends", "Recommends"]).stdout.splitlines())
    depends = {d.split()[0] for d in fields["Depends"].split(", ")}
    check(fields["Version"] == version and {"libc6", "libstdc++6", "python3"} <= depends
          and fields["Recommends"] == "python3-matplotlib, parallel, rsync", f"control fields {fields}")

    check(run(["dpkg", "-x", debs[0], f"{work}/root"]).returncode == 0, "dpkg -x")
    usr = f"{work}/root/usr"
    tools = [t.removesuffix(".py") for t in os.listdir(f"{SOURCE}/tools") if t.startswith("pourheat-") and t.endswith(".py")]
    check(sorted(os.listdir(f"{usr}/bin")) == sorted(["pourheat", "pourheat-earlier"] + tools),
          f"usr/bin holds {os.listdir(f'{usr}/bin')}")
    for path in ("share/doc/pourheat/README.md", "share/doc/pourheat/docs/tools.md",
                 "share/pourheat/examples/footing/footing.prj"):
        check(os.path.isfile(f"{usr}/{path}"), f"no {path}")
    with gzip.open(f"{usr}/share/man/man1/pourheat.1.gz", "rt") as f:
        page = f.read()
    write(f"{work}/pourheat.1", page)
    r = run(["groff", "-man", "-Tutf8", "-ww", "-z", f"{work}/pourheat.1"])
    check(r.returncode == 0 and not r.stderr and f'"pourheat {version}"' in page, f"manual: {r.stderr}")

    # The installed tools, with the system's PATH only: the batch finds the
    # program installed beside it.
    examples = f"{usr}/share/pourheat/examples"
    env = {"PATH": "/usr/bin:/bin", "HOME": work}
    r = run([f"{usr}/bin/pourheat-batch", "-o", "runs", f"{examples}/footing", f"{examples}/shaft"],
            cwd=work, env=env)
    check(r.returncode == 0 and r.stdout.splitlines()[-1] == "2 runs: 2 finished, 0 failed; results in runs/"
          and f"setsid -w {usr}/bin/pourheat footing.prj" in read(f"{work}/runs/.joblog"),
          f"batch: {r.stdout}{r.stderr}")
    r = run([f"{usr}/bin/pourheat-plot", "runs/footing"], cwd=work, env=env)
    check(r.returncode == 0 and "runs/footing/tmax.png" in r.stdout.split(), f"plot: {r.stdout}{r.stderr}")

    # Missing pieces: a Python without matplotlib, no GNU parallel, no ssh.
    os.makedirs(f"{work}/bin")
    os.symlink("/usr/bin/parallel", f"{work}/bin/parallel")
    for command, path, package in (
            (["/usr/bin/python3", "-S", f"{usr}/bin/pourheat-plot", "runs/footing"], "/usr/bin", "python3-matplotlib"),
            ([PYTHON, f"{usr}/bin/pourheat-batch", f"{examples}/footing"], "/nowhere", "parallel"),
            ([PYTHON, f"{usr}/bin/pourheat-batch", "-S", "node1", f"{examples}/footing"], f"{work}/bin",
             "openssh-client")):
        r = run(command, cwd=work, env={"PATH": path})
        check(r.returncode == 2 and f"(apt-get install {package})" in r.stderr and "Traceback" not in r.stderr,
              f"{command[-2]} without {package}: status {r.returncode}, {r.stderr}")
    print(f"pourheat_{version}: installed from the package and run")


if __name__ == "__main__":
    run_main(main)
