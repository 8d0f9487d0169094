"""What the scripts and the end-to-end tests share about a working directory of vrk: the data
files the engine needs, the marker of a finished bitbase directory and the opponents from
Debian's packages.

As a program, `vrk_workdir.py bitbases DIR BBGEN` generates the three- and four-men bitbases
into DIR unless it holds a finished set (for scripts/play)."""
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The engine exits with status 1 without these in its working directory.
DATA_FILES = ("random1.bin", "random2.bin", "tourbook.bin", "mainbook.bin")
# Written into a bitbase directory once all of its files are made.
BITBASE_MARKER = ".complete"

# Opponents from Debian's packages: package, command. Phalanx plays without its learn file so
# that runs stay comparable. gnuchess is left out: it answers late and dies on SIGINT.
OPPONENTS = {
    "fairymax": ("fairymax", "/usr/games/fairymax"),
    "phalanx": ("phalanx", "/usr/games/phalanx -l-"),
    "hoichess": ("hoichess", "/usr/games/hoichess"),
    "sjeng": ("sjeng", "/usr/games/sjeng"),
}


def copy_data(data, d, rc=True):
    """Copies the data files, and with rc the shipped vrk.rc, from the directory data into d;
    a file missing from data is left out."""
    for name in DATA_FILES + (("vrk.rc",) if rc else ()):
        if os.path.exists(os.path.join(data, name)):
            shutil.copy(os.path.join(data, name), d)


def bitbases_ready(d):
    """Whether d holds a finished set of bitbases."""
    return os.path.exists(os.path.join(d, BITBASE_MARKER))


def make_bitbases(d, bbgen):
    """Generates the three- and four-men bitbases into d with the generator bbgen, unless d
    already holds a finished set."""
    if bitbases_ready(d):
        return
    print(f"Generating the endgame bitbases into {d} (once)...", flush=True)
    subprocess.run([os.path.join(ROOT, "scripts", "make-bitbases"), d, bbgen], check=True)
    open(os.path.join(d, BITBASE_MARKER), "w").close()


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] != "bitbases":
        sys.exit("usage: vrk_workdir.py bitbases DIR BBGEN")
    make_bitbases(sys.argv[2], sys.argv[3])
