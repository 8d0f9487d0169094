"""The bench signature: the same fixed-depth searches give the same node count every time."""
import os
import re
import subprocess

from vrk_e2e import BUILD, Checks

BENCH = os.path.join(BUILD, "tools", "bench", "vrk-bench")
TOTAL = re.compile(r"^(\d+) nodes (\d+) nps \(\d+ nps of processor time\)$", re.M)

# The behaviour signature: any change of the search or the evaluation changes these counts, and
# such a change must be deliberate (name the new counts in the commit message).
checks = Checks()
for args, pinned in ((["4"], 723746), (["--all", "4"], 903580)):
    out = subprocess.run([BENCH, *args], stdout=subprocess.PIPE, timeout=300).stdout.decode()
    m = TOTAL.search(out)
    checks.check(f"bench {' '.join(args)} gives {pinned} nodes", m and int(m.group(1)) == pinned, out)
    checks.check("one line per position", len(re.findall(r"^Position +\d+: +\d+ nodes", out, re.M)) == 30, out)
checks.done()
