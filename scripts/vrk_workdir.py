"""What the scripts and the end-to-end tests share about a working directory of vrk: the data
files the engine needs, the marker of a finished bitbase directory, a working directory that
records how the engine ended, the opponents from Debian's packages and the check that an
opponent plays at all.

As a program, `vrk_workdir.py bitbases DIR BBGEN` generates the three- and four-men bitbases
into DIR unless it holds a finished set (for scripts/play)."""
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The engine exits with status 1 without these in its working directory.
DATA_FILES = ("random1.bin", "random2.bin", "tourbook.bin", "mainbook.bin")
# Written into a bitbase directory once all of its files are made.
BITBASE_MARKER = ".complete"
# The command that starts vrk in its working directory (engine_dir), and its name in the games.
ENGINE_NAME = "vrk"

# Opponents from Debian's packages: package, command. Phalanx plays without its learn file so
# that runs stay comparable. gnuchess is left out: it answers late and dies on SIGINT.
OPPONENTS = {
    "fairymax": ("fairymax", "/usr/games/fairymax"),
    "phalanx": ("phalanx", "/usr/games/phalanx -l-"),
    "hoichess": ("hoichess", "/usr/games/hoichess"),
    "sjeng": ("sjeng", "/usr/games/sjeng"),
}

# An opponent must answer 1. e4 within this many seconds at each of this many starts.
ANSWER_SECONDS = 10
CHECK_STARTS = 3


def ensure_packages(packages):
    """Installs the Debian packages that are missing (without recommended ones)."""
    subprocess.run([os.path.join(ROOT, "scripts", "ensure-packages")] + packages, check=True)


def copy_data(data, d, rc=True):
    """Copies the data files, and with rc the shipped vrk.rc, from the directory data into d;
    a file missing from data is left out."""
    for name in DATA_FILES + (("vrk.rc",) if rc else ()):
        if os.path.exists(os.path.join(data, name)):
            shutil.copy(os.path.join(data, name), d)


def bitbases_ready(d):
    """Whether d holds a finished set of bitbases."""
    return os.path.exists(os.path.join(d, BITBASE_MARKER))


def engine_dir(out, vrk, data, rc, command=ENGINE_NAME):
    """vrk's working directory out/command: a copy of the binary, its data files and vrk.rc (rc,
    or the one in data), the bitbases scripts/play generated, and the command an interface
    starts (named command), which records how the engine ended in the file "exit-status"."""
    d = os.path.join(out, command)
    os.makedirs(d, exist_ok=True)
    shutil.copy(vrk, os.path.join(d, "vrk-engine"))
    copy_data(data, d, rc=False)
    shutil.copy(rc or os.path.join(data, "vrk.rc"), os.path.join(d, "vrk.rc"))
    # The bitbases scripts/play generated, at the place the shipped vrk.rc looks for them.
    bitbases = os.path.join(ROOT, "run", "egbb")
    if bitbases_ready(bitbases) and not os.path.exists(os.path.join(d, "egbb")):
        os.symlink(bitbases, os.path.join(d, "egbb"))
    recorder = os.path.join(ROOT, "scripts", "record-exit")
    with open(os.path.join(d, command), "w") as f:
        f.write(f"#!/bin/sh\nexec python3 {recorder} exit-status ./vrk-engine\n")
    os.chmod(os.path.join(d, command), 0o755)
    return d


def engine_died(d, run, out):
    """True when the engine started in its working directory d (engine_dir) ended other than by
    quitting or by the interface's kill at the end. The record is moved to out/exit-status-run
    for the next run."""
    path = os.path.join(d, "exit-status")
    for _ in range(30):  # the recorder may still be writing when the interface has exited
        if os.path.exists(path):
            break
        time.sleep(0.1)
    if not os.path.exists(path):
        return False
    with open(path) as f:
        lines = [line.strip() for line in f]
    os.rename(path, os.path.join(out, f"exit-status-{run}"))
    return any(line not in ("0", "signal 15", "signal 9") for line in lines)


def make_bitbases(d, bbgen):
    """Generates the three- and four-men bitbases into d with the generator bbgen, unless d
    already holds a finished set."""
    if bitbases_ready(d):
        return
    print(f"Generating the endgame bitbases into {d} (once)...", flush=True)
    subprocess.run([os.path.join(ROOT, "scripts", "make-bitbases"), d, bbgen], check=True)
    open(os.path.join(d, BITBASE_MARKER), "w").close()


def opponent_fault(argv, cwd, protover=True, env=None):
    """What goes wrong when the XBoard engine argv, started in cwd as xboard starts it (its error
    output joined to its standard output), gets xboard's first lines, "new" and 1. e4: None when
    it answers with a move within ANSWER_SECONDS at every one of CHECK_STARTS starts, else what
    it did ("gave no move within 10 s", "died of signal 11 (SIGSEGV)", ...)."""
    first = "xboard\n" + ("protover 2\n" if protover else "")
    lines = (first + "new\nlevel 40 0:30 0\ntime 3000\notim 3000\ne2e4\n").encode()
    for _ in range(CHECK_STARTS):
        try:
            proc = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, bufsize=0)
        except OSError as e:
            return f"could not be started ({e.strerror})"
        out, deadline, answered, closed = b"", time.time() + ANSWER_SECONDS, False, False
        try:
            proc.stdin.write(lines)
            proc.stdin.flush()
        except BrokenPipeError:
            closed = True  # it ended already: its status tells why
        while not answered and not closed and time.time() < deadline:
            ready, _, _ = select.select([proc.stdout], [], [], deadline - time.time())
            chunk = os.read(proc.stdout.fileno(), 4096) if ready else b""
            closed = ready and not chunk
            out += chunk
            answered = re.search(rb"^(move|My move is:?)\s+\S", out, re.M) is not None
        try:  # an output closed at once means an end
            status = proc.wait(1 if closed else 0.01)
        except subprocess.TimeoutExpired:
            status = None
        if status is None:  # still running: asked to quit, then killed
            try:
                proc.stdin.write(b"quit\n")
            except BrokenPipeError:
                pass
            proc.stdin.close()
            try:
                proc.wait(2 if answered else 0.01)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        proc.stdin.close()
        proc.stdout.close()
        if answered:
            continue
        if status is None:
            return f"gave no move within {ANSWER_SECONDS} s"
        if status < 0:
            return f"died of signal {-status} ({signal.Signals(-status).name})"
        return f"ended with status {status} without a move"
    return None


def require_opponent(name, argv, cwd, others, protover=True, env=None):
    """Ends the program with a message when the opponent name (command argv) does not answer a
    move (opponent_fault); others are the opponents to suggest instead."""
    fault = opponent_fault(argv, cwd, protover, env)
    if fault:
        others = ", ".join(o for o in others if o != name)
        command = " ".join(argv)
        name += f" ({command})" if command != name else ""
        sys.exit(f"The opponent {name} {fault} when given xboard's first lines "
                 f"and 1. e4, so no game was played. A packaged engine can fail on some "
                 f"processors: choose another opponent ({others}).")


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] != "bitbases":
        sys.exit("usage: vrk_workdir.py bitbases DIR BBGEN")
    make_bitbases(sys.argv[2], sys.argv[3])
