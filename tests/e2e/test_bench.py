"""The bench signature: the same fixed-depth searches give the same node count every time."""
import os
import re
import subprocess

from vrk_e2e import BUILD, Checks

BENCH = os.path.join(BUILD, "tools", "bench", "vrk-bench")
TOTAL = re.compile(r"^(\d+) nodes (\d+) nps \(\d+ nps of processor time\)$", re.M)


def bench(*args):
    out = subprocess.run([BENCH, *args], stdout=subprocess.PIPE, timeout=300).stdout.decode()
    m = TOTAL.search(out)
    return (int(m.group(1)) if m else None), out


# The behaviour signature: any change of the search or the evaluation changes these counts, and
# such a change must be deliberate (name the new counts in the commit message).
BENCH_DEPTH4 = 723746
BENCH_ALL_DEPTH4 = 903580

checks = Checks()
first, out = bench("4")
checks.check("bench prints its total", first is not None, out)
checks.check("one line per position", len(re.findall(r"^Position +\d+: +\d+ nodes", out, re.M)) == 30, out)
again, out2 = bench("4")
checks.check("same count twice", first == again, f"{first} then {again}")
pruned, out3 = bench("--all", "4")
checks.check("prunings change the count", pruned is not None and pruned != first, out3)
checks.check("signature", first == BENCH_DEPTH4, f"bench 4 gives {first}, pinned {BENCH_DEPTH4}")
checks.check("signature with every pruning", pruned == BENCH_ALL_DEPTH4,
             f"bench --all 4 gives {pruned}, pinned {BENCH_ALL_DEPTH4}")
checks.done()
