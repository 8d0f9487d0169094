"""The engine under faults: a learn file that shrinks or goes away while the engine runs, files
that cannot be created or written (an unwritable directory, a full disk), and standard input
that ends in the middle of a search or a game. Each must end in a clear message or the
documented behaviour: never a signal, a sanitizer report, a hang or a silent loss."""
import os
import re
import subprocess
import time

from vrk_e2e import VRK, Checks, Session, run, workdir

c = Checks()

RC = ("HASH=4\nHPAWN=256\nCHECKNODES=10000\nNULLMOVE=1\nMTDF=0\nABWINDOW=50\nFUTILITY=0\n"
      "RAZOR=0\nDELTA=0\nLMR=1\nEGBB=0\nEGBBCACHE=1\nEGBBPATH=egbb/\n5MEN=0\nLEARN=1\n"
      "RESIGN_VALUE=-1000\nBOOK=0\n")
FILES = {"lines.txt": "e4 e5 Nf3 Nc6 \n",
         "one.epd": "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - bm Bb5;\n"}
WRITTEN = ("vrk.log", "vrkpers.opn", "vrk.lrn")


def ended_cleanly(name, status, out, detail=""):
    c.check(name + ": clean end", status == 0 and "Sanitizer" not in out and "runtime error" not in out,
            f"status {status} {detail}\n{out[-1500:]}")


def last_record(path):
    """The last 12-byte record of the learn file, or None when the file has none."""
    data = open(path, "rb").read() if os.path.exists(path) else b""
    return data[len(data) // 12 * 12 - 12:len(data) // 12 * 12] if len(data) >= 12 else None


def holds_result(record):
    """A record written by a search: a key and a depth of 5 or more."""
    return record is not None and record[:4] != bytes(4) and record[8] >= 5


# ---- the learn file shrinks, empties or goes away between two searches ----

# The engine keeps the table size it opened: a record the file no longer holds reads as empty,
# so the next search's result is written there again. A file deleted while open is not found at
# the next game, which says so; the engine plays on without learning.
s = Session(rc=RC, files={"vrk.lrn": bytes(12000)})
s.send("easy\nsd 5\non\n")
s.expect(r"\n1>vrk# $")
lrn = os.path.join(s.dir, "vrk.lrn")
data = open(lrn, "rb").read()
c.check("learn: a search writes a record", any(holds_result(data[i:i + 12]) for i in range(0, 12000, 12)))
for plies, size in ((2, 5), (3, 0)):
    os.truncate(lrn, size)
    s.send("on\n")
    s.expect(rf"\n{plies}>vrk# $")
    c.check(f"learn: the result is kept in a file cut to {size} bytes",
            os.path.getsize(lrn) % 12 == 0 and holds_result(last_record(lrn)), str(last_record(lrn)))
os.remove(lrn)
s.send("on\n")
s.expect(r"\n4>vrk# $")
s.send("new\non\n")
s.expect(r"\n1>vrk# $")
s.send("bye\n")
out, status = s.close()
ended_cleanly("learn file removed", status, out)
c.contains("learn: a removed file is reported at the next game", out, "Cannot open learn file vrk.lrn !!\n")
c.check("learn: every search played its move", out.count("Computer's move") == 5, out[-1500:])


# ---- files that cannot be created or written ----

SCRIPT = "makebook lines.txt\ncreate_learn_file 10\ntest one.epd 1 1\n"


def take_names_by_directories(d):
    for name in WRITTEN:
        os.mkdir(os.path.join(d, name))


def fill_disk(d):
    for name in WRITTEN:
        os.symlink("/dev/full", os.path.join(d, name))


def run_read_only(d):
    """Runs SCRIPT in d mounted read-only in a private mount namespace; None when the system
    gives no such mount without privileges."""
    shell = 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" "$1" && cd "$1" && exec "$2"'

    def in_namespace(program, **kw):
        return subprocess.run(["unshare", "-rm", "sh", "-c", shell, "sh", d, program],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120, **kw)
    try:
        if in_namespace("true").returncode != 0:
            return None
    except FileNotFoundError:
        return None
    p = in_namespace(VRK, input=SCRIPT.encode())
    return p.stdout.decode("latin-1"), p.returncode


UNWRITABLE = ["Cannot open learn file vrk.lrn !!\n", "Cannot create vrkpers.opn\n",
              "Creating Learn File for 10 entries...Cannot write learn file vrk.lrn !!\n",
              "0>vrk# Cannot write vrk.log !!\n"]
FULL = ["Stats: 1 variations, 0 variations killees\nCannot write vrkpers.opn\n",
        "Creating Learn File for 10 entries...Cannot write learn file vrk.lrn !!\n",
        " nps \nCannot write vrk.log !!\n"]

# /dev/full and mount namespaces belong to this system: an engine run under an emulator writes
# through the emulator's file layer, which lives outside the namespace and reports the writes
# to /dev/full as done.
NATIVE = open(VRK, "rb").read(4) == b"\x7fELF"
SPOILED = [("names taken by directories", take_names_by_directories, UNWRITABLE)]
if NATIVE:
    SPOILED.append(("full disk", fill_disk, FULL))
for name, spoil, messages in SPOILED:
    d = workdir(RC, FILES)
    spoil(d)
    out, status, _ = run(SCRIPT, cwd=d)
    ended_cleanly(name, status, out)
    for m in messages:
        c.contains(name, out, m)
    c.check(name + ": no success claimed", "Done!" not in out, out)

# A real read-only directory where the system allows it; its learn file cannot be opened either.
d = workdir(RC, dict(FILES, **{"vrk.lrn": bytes(120)}))
result = run_read_only(d) if NATIVE else None
if result is None:
    print("no read-only mount here (none without privileges, or an emulated engine): simulated only")
else:
    out, status = result
    ended_cleanly("read-only directory", status, out)
    for m in UNWRITABLE:
        c.contains("read-only directory", out, m)
    c.check("read-only directory: learn file untouched",
            open(os.path.join(d, "vrk.lrn"), "rb").read() == bytes(120))


# ---- standard input ends in the middle of a search, of pondering, of an analysis, a game ----

# A search with a limit runs to it and its move is played; one that only input would end (no
# time limit and a depth never reached, pondering, analysis) stops when input ends. Then the
# program ends as for bye / quit. Pondering follows a move when the search left a reply.
RC_PLAIN = RC.replace("LEARN=1", "LEARN=0")
MOVE = r"[a-h][1-8][a-h][1-8][NBRQ]?"
# (name, input, what shows the engine is at the point, seconds it may take to end once input
# has ended, what it prints before it ends)
ENDINGS = [
    ("console search with st 3", "easy\nst 3\non\n", r"ply score time nodes pv\n", 20,
     r"Computer's move: "),
    ("console search with sd 40", "easy\nsd 40\non\n", r"ply score time nodes pv\n", 10,
     r"Computer's move: "),
    ("console pondering", "hard\nst 1\non\n", r"\nNODES=.*\n", 10, None),
    ("protocol go without a clock", "xboard\nnew\neasy\ngo\n", r"Anticiped move", 10,
     rf"\nmove {MOVE}\n"),
    ("protocol pondering", "xboard\nnew\nhard\nst 1\ne2e4\n", rf"\nmove {MOVE}\n", 10, None),
    ("protocol analysis", "xboard\npost\nanalyze\n", r"stat01: ", 10, None),
    ("protocol edit", "xboard\nforce\ne2e4\nedit\n#\nKe1\n", r"\033\[J", 10, None),
]
for name, lines, marker, limit, printed in ENDINGS:
    s = Session(rc=RC_PLAIN)
    s.send(lines)
    s.expect(marker)
    time.sleep(0.3)  # well inside the search, or the pondering when there is a reply to ponder on
    start = time.time()
    seen = len(s.out)
    out, status = s.close(timeout=limit)
    ended_cleanly(name, status, out, f"after {time.time() - start:.1f} s")
    if printed:
        c.check(name + ": " + printed, re.search(printed, out[seen:]) is not None, out[-300:])

c.done()
