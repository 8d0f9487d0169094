"""The bench signature: the same fixed-depth searches give the same node count every time. The
search tools' searches that end without a move."""
import os
import re
import subprocess
import tempfile
import time

from vrk_e2e import BUILD, Checks

BENCH = os.path.join(BUILD, "tools", "bench", "vrk-bench")
WAC = os.path.join(BUILD, "tools", "wac", "vrk-wac")
TOTAL = re.compile(r"^(\d+) nodes (\d+) nps \(\d+ nps of processor time\)$", re.M)

# The behaviour signature: any change of the search or the evaluation changes these counts, and
# such a change must be deliberate (name the new counts in the commit message).
checks = Checks()
for args, pinned in ((["4"], 723746), (["--all", "4"], 903580)):
    out = subprocess.run([BENCH, *args], stdout=subprocess.PIPE, timeout=300).stdout.decode()
    m = TOTAL.search(out)
    checks.check(f"bench {' '.join(args)} gives {pinned} nodes", m and int(m.group(1)) == pinned, out)
    checks.check("one line per position", len(re.findall(r"^Position +\d+: +\d+ nodes", out, re.M)) == 30, out)

# Depth 0 searches nothing: move 0 (a8a8) for every position.
out = subprocess.run([BENCH, "0"], stdout=subprocess.PIPE, timeout=60).stdout.decode()
checks.check("bench 0: no move", len(re.findall(r"^Position +\d+: +0 nodes  a8a8$", out, re.M)) == 30
             and TOTAL.search(out)[1] == "0", out)

# A mated and a stalemated side are not searched, though each has 5 s: nothing solved, at once.
d = tempfile.mkdtemp(prefix="vrk-e2e-")
with open(os.path.join(d, "nomove.epd"), "w") as f:
    f.write("3rK3/6p1/5q2/5p2/4kP2/8/8/8 w - - bm Kd7;\nk7/8/1Q6/8/8/8/8/7K b - - bm Kb8;\n")
start = time.time()
out = subprocess.run([WAC, "nomove.epd", "5"], cwd=d, stdout=subprocess.PIPE, timeout=60).stdout.decode()
elapsed = time.time() - start
checks.check("wac: no search without a legal move", elapsed < 5 and re.search(
    r"\n  1 a8a8   Kd7        -\n  2 a8a8   Kb8        -\n\nSolved 0 of 2\n$", out), f"{elapsed:.1f} s\n{out}")
checks.done()
