"""pourheat-batch over ssh to a server of the test's own on 127.0.0.1 (fresh
keys, a free port, logins kept in a scratch "remote" home where nothing is
installed): a project folder, a NAME.prj with NAME.series.pr, and a file that
pauses beside a series.pr not its own. The results come back, each with its
own series file and equal to a run here; the pause's message is on its line;
the remote home ends empty.

usage: test_batch_ssh.py PROGRAM WORKDIR
"""

import filecmp
import os
import pwd
import socket
import subprocess
import time

from toolkit import BATCH, PYTHON, SOURCE, check, fresh_dir, read, run_main, run_program, stage, write


def start_sshd(work, home):
    for key in ("host", "user"):
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", f"{work}/{key}"], check=True)
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    write(f"{work}/sshd_config", f"Port {port}\nListenAddress 127.0.0.1\nHostKey {work}/host\nPidFile none\n"
          f"AuthorizedKeysFile {work}/user.pub\nPasswordAuthentication no\nUsePAM no\nStrictModes no\n"
          f'ForceCommand cd {home} && HOME={home} exec /bin/sh -c "$SSH_ORIGINAL_COMMAND"\n')
    write(f"{work}/known_hosts", f"[127.0.0.1]:{port} {read(f'{work}/host.pub')}")
    write(f"{work}/ssh_config", f"Host node1\n HostName 127.0.0.1\n Port {port}\n BatchMode yes\n"
          f" User {pwd.getpwuid(os.getuid()).pw_name}\n IdentityFile {work}/user\n IdentitiesOnly yes\n"
          f" UserKnownHostsFile {work}/known_hosts\n StrictHostKeyChecking yes\n"
          f" ControlMaster auto\n ControlPath /tmp/pourheat-ssh-{os.getpid()}\n ControlPersist 60\n")  # one login
    if os.geteuid() == 0:
        os.makedirs("/run/sshd", exist_ok=True)  # sshd's privilege separation directory
    with open(f"{work}/sshd.log", "w") as log:
        sshd = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", f"{work}/sshd_config"], stderr=log)
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), 1).close()
            return sshd
        except OSError:
            time.sleep(0.1)
    sshd.kill()
    raise AssertionError(f"sshd did not start: {read(f'{work}/sshd.log')}")


def main(program, work):
    work = fresh_dir(os.path.abspath(work))
    home = fresh_dir(f"{work}/remote-home")
    block, footing = os.path.join(SOURCE, "docs/examples/block"), os.path.join(SOURCE, "examples/footing")
    os.makedirs(f"{work}/p")
    write(f"{work}/p/footing.prj", read(f"{footing}/footing.prj"))
    write(f"{work}/p/footing.series.pr", read(f"{footing}/series.pr"))
    write(f"{work}/p/broken.prj", read(f"{block}/block.prj").replace("\nNDDNDD\n", "\n\n"))  # a pause
    write(f"{work}/p/series.pr", "1\n99 99 99\n")  # nobody's: a run with it would fail
    write(f"{work}/nodes", "3/node1\n")  # all three at once
    sshd = start_sshd(work, home)
    try:
        start = time.monotonic()
        r = subprocess.run([PYTHON, BATCH, "--program", program, "--sshloginfile", "nodes", "-o", "runs",
                            block, "p/footing.prj", "p/broken.prj"], cwd=work, stdin=subprocess.DEVNULL,
                           env=dict(os.environ, PARALLEL_SSH=f"ssh -F {work}/ssh_config"),
                           capture_output=True, text=True, timeout=120)
        elapsed = time.monotonic() - start
    finally:
        subprocess.run(["ssh", "-F", f"{work}/ssh_config", "-O", "exit", "node1"], capture_output=True)
        sshd.terminate()
        sshd.wait(10)
    lines, runs = r.stdout.splitlines(), f"{work}/runs"
    check(r.returncode == 1 and sorted(l[:28] for l in lines[:3]) == [
        "FAILED   exit 1   broken: PA", "finished exit 0   block    p", "finished exit 0   footing  p"]
          and "FAILED   exit 1   broken: PAUSE  trouble with bound statement executed" in lines
          and lines[-1] == "3 runs: 2 finished, 1 failed (broken); results in runs/",
          f"status {r.returncode}: {r.stdout}{r.stderr}")
    jobs = [row.split("\t") for row in read(f"{runs}/.joblog").splitlines()[1:]]
    check(all(job[1] == "node1" and "setsid -w ../.pourheat-" in job[8] for job in jobs),
          "a run did not go to node1 with the program sent along")
    check(filecmp.cmp(f"{runs}/block/series.pr", f"{block}/series.pr", shallow=False)
          and filecmp.cmp(f"{runs}/footing/series.pr", f"{footing}/series.pr", shallow=False)
          and not os.path.exists(f"{runs}/broken/series.pr"), "series.pr of the runs")
    direct = f"{work}/direct"
    check(run_program(program, stage(f"{footing}/footing.prj", direct), direct).returncode == 0, "direct run")
    for name in ("TMAX.OUT", "Center.out", "footing.out", "done.flg"):
        check(filecmp.cmp(f"{direct}/{name}", f"{runs}/footing/{name}", shallow=False), f"footing {name} differs")
    check(os.listdir(home) == [] and sorted(os.listdir(runs)) == [".joblog", ".jobs", "block", "broken", "footing", "runs.csv"],
          f"left in the remote home: {os.listdir(home)}; in runs/: {sorted(os.listdir(runs))}")
    print(f"pourheat-batch over ssh: three runs, one failed, {elapsed:.1f} s")


if __name__ == "__main__":
    run_main(main)
