"""Faults: a learn file that shrinks or goes away, files that cannot be written, input that ends
mid-search. Each ends in a message or the documented behaviour, never a crash, hang or loss."""
import os
import re
import subprocess
import time

from vrk_e2e import NATIVE, VRK, Checks, Running, rc_with, run, workdir

c = Checks()

RC = rc_with(HASH=4, EGBB=0, LEARN=1, BOOK=0)
FILES = {"lines.txt": "e4 e5 Nf3 Nc6 \n",
         "one.epd": "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - bm Bb5;\n"}
WRITTEN = ("vrk.log", "vrkpers.opn", "vrk.lrn")


def ended_cleanly(name, status, out, detail=""):
    c.check(name + ": clean end", status == 0 and "Sanitizer" not in out and "runtime error" not in out,
            f"status {status} {detail}\n{out[-1500:]}")


def holds_result(record):
    """A record written by a search: a key and a depth of 5 or more."""
    return len(record) == 12 and record[:4] != bytes(4) and record[8] >= 5


# A record the shrunk file no longer holds reads as empty and is written again; a removed file
# is reported at the next game, which is played without learning.
s = Running(rc=RC, files={"vrk.lrn": bytes(12000)})
s.send("easy", "sd 5")
lrn = os.path.join(s.dir, "vrk.lrn")
for plies, size in ((1, 12000), (2, 5), (3, 0)):
    os.truncate(lrn, size)
    s.send("on")
    s.expect(rf"\n{plies}>vrk# $")
    data = open(lrn, "rb").read()
    c.check(f"learn: the result is kept in a file of {size} bytes", len(data) % 12 == 0 and any(
        holds_result(data[i:i + 12]) for i in range(0, len(data), 12)), str(data[-12:]))
os.remove(lrn)
s.send("on")
s.expect(r"\n4>vrk# $")
s.send("new", "on")
s.expect(r"\n1>vrk# $")
s.send("bye")
out, status = s.close()
ended_cleanly("learn file removed", status, out)
c.contains("learn: a removed file is reported at the next game", out, "Cannot open learn file vrk.lrn !!\n")
c.check("learn: every search played its move", out.count("Computer's move") == 5, out[-1500:])


SCRIPT = "makebook lines.txt\ncreate_learn_file 10\ntest one.epd 1 1\n"


def run_read_only(d):
    """Runs SCRIPT in d mounted read-only in a private mount namespace, where an existing learn
    file cannot be opened either; None when the system gives no such mount without privileges."""
    shell = 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" "$1" && cd "$1" && exec "$2"'

    def in_namespace(program, **kw):
        return subprocess.run(["unshare", "-rm", "sh", "-c", shell, "sh", d, program],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120, **kw)
    try:
        if in_namespace("true").returncode != 0:
            return None
    except FileNotFoundError:
        return None
    open(os.path.join(d, "vrk.lrn"), "wb").write(bytes(120))
    p = in_namespace(VRK, input=SCRIPT.encode())
    return p.stdout.decode("latin-1"), p.returncode


def run_spoiled(spoil):
    """A runner of SCRIPT in a directory where spoil has been applied to each file it writes."""
    def runner(d):
        for written in WRITTEN:
            spoil(os.path.join(d, written))
        return run(SCRIPT, cwd=d)[:2]
    return runner


UNWRITABLE = ["Cannot open learn file vrk.lrn !!\n", "Cannot create vrkpers.opn\n",
              "Creating Learn File for 10 entries...Cannot write learn file vrk.lrn !!\n",
              "0>vrk# Cannot write vrk.log !!\n"]
FULL = ["Stats: 1 variations, 0 variations killees\nCannot write vrkpers.opn\n",
        "Creating Learn File for 10 entries...Cannot write learn file vrk.lrn !!\n",
        " nps \nCannot write vrk.log !!\n"]

# Under an emulator the writes go through its file layer, outside the namespace, and writes
# to /dev/full are reported as done.
CASES = [("names taken by directories", run_spoiled(os.mkdir), UNWRITABLE)]
if NATIVE:
    CASES += [("full disk", run_spoiled(lambda path: os.symlink("/dev/full", path)), FULL),
              ("read-only directory", run_read_only, UNWRITABLE)]
for name, runner, messages in CASES:
    result = runner(workdir(RC, FILES))
    if result is None:
        print(f"{name}: no read-only mount here without privileges: simulated only")
        continue
    out, status = result
    ended_cleanly(name, status, out)
    for m in messages:
        c.contains(name, out, m)
    c.check(name + ": no success claimed", "Done!" not in out, out)


# A search that only input would end (no time limit, sd 40 never reached, pondering, analysis)
# stops when input ends and plays its move; then the program ends as for bye / quit.
# (name, input, output that shows the point is reached, what is printed after it)
MOVE = r"\nmove [a-h][1-8][a-h][1-8][NBRQ]?\n"
ENDINGS = [
    ("console search with sd 40", "easy\nsd 40\non\n", r"ply score time nodes pv\n", "Computer's move: "),
    ("console pondering", "hard\nst 1\non\n", r"\nNODES=.*\n", None),
    ("protocol go without a clock", "xboard\nnew\neasy\ngo\n", r"Anticiped move", MOVE),
    ("protocol pondering", "xboard\nnew\nhard\nst 1\ne2e4\n", MOVE, None),
    ("protocol analysis", "xboard\npost\nanalyze\n", r"stat01: ", None),
    ("protocol edit", "xboard\nforce\ne2e4\nedit\n#\nKe1\n", r"\033\[J", None),
]
for name, lines, marker, printed in ENDINGS:
    s = Running(rc=rc_with(HASH=4, EGBB=0, BOOK=0))
    s.send(*lines.splitlines())
    seen = s.expect(marker).end()
    time.sleep(0.3)  # well inside the search, or the pondering when there is a reply to ponder on
    start = time.time()
    out, status = s.close(timeout=10)
    ended_cleanly(name, status, out, f"after {time.time() - start:.1f} s")
    if printed:
        c.check(name + ": " + printed, re.search(printed, out[seen:]) is not None, out[-300:])

c.done()
