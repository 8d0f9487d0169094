"""The Windows programs against the Linux ones: the same transcripts (searches to a fixed depth
give the same node counts and lines; only times differ), the same perft counts, and learn and
bitbase files that read the same whichever system wrote them.

Arguments: the launcher of vrk.exe, the data folder, the Windows build, the Linux build."""
import filecmp
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from vrk_e2e import BUILD, VRK, Checks, mask_times, workdir  # noqa: E402

LINUX = os.path.abspath(sys.argv[4])
RC = open(os.path.join(sys.argv[2], "vrk.rc")).read().replace("BOOK=1", "BOOK=0")
c = Checks()


def mask(text):
    """Removes what depends on the clock: search times, speeds."""
    text = mask_times(text)
    text = re.sub(r"^(\d+(?:->\d+)? -?\d+) \d+ ", r"\1 T ", text, flags=re.M)  # thinking lines
    text = re.sub(r"time[= ]\d+", "time T", text)
    return text


def engine(program, script, cwd):
    p = subprocess.run([program], input=script.encode(), cwd=cwd, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=300)
    return p.stdout.decode("latin-1"), p.returncode


def both(name, script, rc=RC, files=None):
    """Runs script on each system in a working directory of its own; checks that the outputs
    agree. Returns the two working directories (Linux, Windows) and the Windows output."""
    dirs = []
    outs = []
    for program in (os.path.join(LINUX, "vrk"), VRK):
        d = workdir(rc, files)
        out, status = engine(program, script, d)
        outs.append((mask(out), status))
        dirs.append(d)
    same = outs[0] == outs[1]
    detail = "" if same else diff_text(outs[0][0], outs[1][0])
    c.check(name, same and outs[0][1] == 0, f"status {outs[0][1]} {outs[1][1]}\n{detail}")
    return (*dirs, outs[1][0])


def diff_text(a, b):
    la, lb = a.splitlines(), b.splitlines()
    for i, (x, y) in enumerate(zip(la, lb)):
        if x != y:
            return f"first difference at line {i + 1}:\nLinux:   {x!r}\nWindows: {y!r}"
    return f"lengths differ: {len(la)} / {len(lb)} lines"


# ---- transcripts ----
# Every search below ends by its depth: the input has ended by then, which does not stop it.
KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
both("console search, initial position", "sd 6\non\n")
both("console search, middlegame", f"fen {KIWIPETE}\nsd 5\non\n")
both("protocol search", "xboard\nnew\npost\nsd 6\ngo\n")
both("mate finder", "fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1\nmat 1\n")
both("board, moves, exchange test", "d\nml\ne2e4\nd\nundo\nml\ntestsee\n")

# ---- perft ----
# The suite's summary at depth 4, and the per-move counts of its first positions.
suite = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "perftsuite.epd")
fens = [line.split(";")[0].strip() for line in open(suite)][:8]
for args in [["--suite", suite, "4"]] + [[fen, "3", "--divide"] for fen in fens]:
    runs = []
    for cmd in ([os.path.join(LINUX, "tools", "perft", "vrk-perft")],
                [os.path.join(BUILD, "tools", "perft", "vrk-perft")]):
        p = subprocess.run(cmd + args, stdout=subprocess.PIPE, text=True)
        runs.append(re.sub(r" time .*", "", p.stdout.replace("\r", "")))
    c.check(f"perft {args[0]}", runs[0] == runs[1] and runs[0].strip() != "", diff_text(*runs))

# ---- bench signature ----
runs = []
for program in (os.path.join(LINUX, "tools", "bench", "vrk-bench"),
                os.path.join(BUILD, "tools", "bench", "vrk-bench")):
    p = subprocess.run([program, "4"], stdout=subprocess.PIPE, text=True)
    runs.append(re.sub(r"\d+ nps.*", "", p.stdout))
c.check("bench node counts", runs[0] == runs[1] and "nodes" in runs[0], diff_text(*runs))

# ---- learn files ----
# The same deep searches write the same records on both systems; a file written by one system
# gives the other the same learned scores and the same file after a further game.
LEARN = RC.replace("LEARN=0", "LEARN=1")
lin, win, _ = both("learning game", "create_learn_file 4096\nnew\nsd 6\non\n", rc=LEARN)
lin_lrn, win_lrn = (os.path.join(d, "vrk.lrn") for d in (lin, win))
c.check("learn files written alike", filecmp.cmp(lin_lrn, win_lrn, shallow=False))
with open(lin_lrn, "rb") as f:
    c.check("learn file holds records", any(f.read()), "no record written")
for writer, lrn in (("Linux", lin_lrn), ("Windows", win_lrn)):
    lin2, win2, _ = both(f"game with a learn file from {writer}", "sd 6\non\n", rc=LEARN,
                      files={"vrk.lrn": open(lrn, "rb").read()})
    c.check(f"learn file from {writer} updated alike",
            filecmp.cmp(os.path.join(lin2, "vrk.lrn"), os.path.join(win2, "vrk.lrn"), shallow=False))

# ---- bitbase files ----
# Generated on each system (when the generator builds there), the files are the same bytes;
# the engine on each system reads the other's files to the same search.
bb = tempfile.mkdtemp(prefix="vrk-bb-")
lin_bb, win_bb = os.path.join(bb, "linux"), os.path.join(bb, "windows")
subprocess.run([os.path.join(LINUX, "tools", "bbgen", "vrk-bbgen"), lin_bb, "kpk", "krk"],
               stdout=subprocess.DEVNULL, check=True)
win_bbgen = os.path.join(BUILD, "tools", "bbgen", "vrk-bbgen")
if os.path.exists(win_bbgen + ".exe"):
    subprocess.run([win_bbgen, win_bb, "kpk", "krk"], stdout=subprocess.DEVNULL, check=True)
    same = sorted(os.listdir(lin_bb)) == sorted(os.listdir(win_bb)) and all(
        filecmp.cmp(os.path.join(lin_bb, n), os.path.join(win_bb, n), shallow=False)
        for n in os.listdir(lin_bb))
    c.check("bitbase files generated alike", same, f"{os.listdir(lin_bb)} {os.listdir(win_bb)}")
else:
    print("no Windows vrk-bbgen: bitbase files from Linux only")
    win_bb = lin_bb
KPK = "fen 8/8/8/4k3/8/8/3PK3/8 w - - 0 1\nsd 8\non\n"
without = mask(engine(VRK, KPK, workdir(RC))[0])
for name, path in (("Linux", lin_bb), ("Windows", win_bb)):
    rc = RC.replace("EGBB=0", "EGBB=1").replace("EGBBPATH=egbb/", f"EGBBPATH={path}/")
    out = both(f"bitbase search with files from {name}", KPK, rc=rc)[2]
    c.check(f"bitbases from {name} loaded and used", "Egbbs loaded !" in out and
            out.split("Computer's move")[-1] != without.split("Computer's move")[-1], out)

c.done()
