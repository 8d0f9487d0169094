"""The Windows programs against the Linux ones: the same transcripts (searches to a fixed depth
give the same node counts and lines; only times differ), the same perft counts, and learn and
bitbase files that read the same whichever system wrote them. The perft counts and the bench
node counts are pinned for both systems by the suite itself (perft_suite, e2e_test_bench).

Arguments: the launcher of vrk.exe, the data folder, the Windows build, the Linux build."""
import filecmp
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from vrk_e2e import BUILD, VRK, Checks, rc_with, workdir  # noqa: E402

LINUX = os.path.abspath(sys.argv[4])
RC = rc_with(BOOK=0)
c = Checks()


def mask(text):
    """Removes what depends on the clock: search times, speeds."""
    text = re.sub(r"\[ *[0-9.]+ n/s\]", "[N n/s]", text)
    text = re.sub(r"^(\d+(?:->\d+)? -?\d+) \d+ ", r"\1 T ", text, flags=re.M)  # thinking lines
    return re.sub(r"time[= ]\d+", "time T", text)


def output(cmd, script, cwd):
    p = subprocess.run(cmd, input=script.encode(), cwd=cwd, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=300)
    return p.stdout.decode("latin-1").replace("\r", ""), p.returncode


def both(name, script, rc=RC, files=None):
    """Runs script with each system's engine in a working directory of its own and checks that
    the outputs agree; returns the two directories (Linux, Windows) and the Windows output."""
    dirs, outs = [workdir(rc, files), workdir(rc, files)], []
    for program, d in zip((os.path.join(LINUX, "vrk"), VRK), dirs):
        out, status = output([program], script, d)
        outs.append(mask(out) + f"exit status {status}\n")
    la, lb = (o.splitlines() for o in outs)
    diff = next((f"line {i + 1}:\nLinux:   {x!r}\nWindows: {y!r}"
                 for i, (x, y) in enumerate(zip(la, lb)) if x != y), f"{len(la)} / {len(lb)} lines")
    c.check(name, outs[0] == outs[1] and outs[0].endswith(" status 0\n"), diff)
    return (*dirs, outs[1])


# Every search below ends by its depth: the input has ended by then, which does not stop it.
KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
both("console search, initial position", "sd 6\non\n")
both("console search, middlegame", f"fen {KIWIPETE}\nsd 5\non\n")
both("protocol search", "xboard\nnew\npost\nsd 6\ngo\n")
both("mate finder", "fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1\nmat 1\n")
both("board, moves, exchange test", "d\nml\ne2e4\nd\nundo\nml\ntestsee\n")

# The same deep searches write the same records on both systems; a file written by one system
# gives the other the same learned scores and the same file after a further game.
LEARN = rc_with(BOOK=0, LEARN=1)
dirs = both("learning game", "create_learn_file 4096\nnew\nsd 6\non\n", rc=LEARN)[:2]
lrn = [os.path.join(d, "vrk.lrn") for d in dirs]
c.check("learn files written alike, with records", filecmp.cmp(*lrn, shallow=False) and
        any(open(lrn[0], "rb").read()))
for writer, path in zip(("Linux", "Windows"), lrn):
    dirs = both(f"game with a learn file from {writer}", "sd 6\non\n", rc=LEARN,
                files={"vrk.lrn": open(path, "rb").read()})[:2]
    c.check(f"learn file from {writer} updated alike",
            filecmp.cmp(*(os.path.join(d, "vrk.lrn") for d in dirs), shallow=False))

# Generated on each system (when the generator builds there), the files are the same bytes;
# the engine on each system reads the other's files to the same search.
bb = tempfile.mkdtemp(prefix="vrk-bb-")
lin_bb, win_bb = os.path.join(bb, "linux"), os.path.join(bb, "windows")
subprocess.run([os.path.join(LINUX, "tools", "bbgen", "vrk-bbgen"), lin_bb, "kpk", "krk"],
               stdout=subprocess.DEVNULL, check=True)
win_bbgen = os.path.join(BUILD, "tools", "bbgen", "vrk-bbgen")
if os.path.exists(win_bbgen + ".exe"):
    subprocess.run([win_bbgen, win_bb, "kpk", "krk"], stdout=subprocess.DEVNULL, check=True)
    names = sorted(os.listdir(lin_bb))
    c.check("bitbase files generated alike", names == sorted(os.listdir(win_bb)) and all(filecmp.cmp(
        os.path.join(lin_bb, n), os.path.join(win_bb, n), shallow=False) for n in names), names)
else:
    print("no Windows vrk-bbgen: bitbase files from Linux only")
    win_bb = lin_bb
KPK = "fen 8/8/8/4k3/8/8/3PK3/8 w - - 0 1\nsd 8\non\n"
without = mask(output([VRK], KPK, workdir(RC))[0])
for name, path in (("Linux", lin_bb), ("Windows", win_bb)):
    out = both(f"bitbase search with files from {name}", KPK, rc=rc_with(BOOK=0, EGBBPATH=path + "/"))[2]
    c.check(f"bitbases from {name} loaded and used", "Egbbs loaded !" in out and
            out.split("Computer's move")[-1] != without.split("Computer's move")[-1], out)

c.done()
