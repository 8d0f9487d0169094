"""The EPD runner at the console."""
import os
import re

from vrk_e2e import Checks, run

c = Checks()

EPD = ("2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"WAC.001\";\n"
       "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RK1 b - - bm Rg4; id \"WAC.003\";\n")

# More positions asked than the file holds: the run stops at the end of the file. The "bye"
# read with the command does not cut the searches short: each runs its second.
out, status, d = run("test two.epd 1 5\nbye\n", files={"two.epd": EPD})
c.check("test exit", status == 0, out[-300:])
c.contains("first line echoed", out, EPD.splitlines()[0] + "\n\n\n1/5 => 2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w\n")
c.contains("second header", out, "\n2/5 => 5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RK1 b\n")
c.check("result lines", "\n=> 1:" in out and "\n=> 2:" in out, out)
with open(os.path.join(d, "vrk.log")) as f:
    log = f.read().splitlines()
c.check("log: a line a position", len(log) == 2 and log[0].startswith("1:") and log[1].startswith("2:"),
        repr(log))
depths_nodes = [re.search(r"\[(\d+)\] (\d+) nodes", line) for line in log]
c.check("log: full searches", all(m and int(m[1]) >= 4 and int(m[2]) > 100000 for m in depths_nodes),
        repr(log))

# A mated or stalemated side is not searched: right after the header comes the result line,
# which names move 0, a8a8 (a bare square, then the king standing there). The tail of a line
# longer than 199 characters is skipped, and 0 s per position are taken for 1 s.
out, _, d = run("test nomove.epd 0 2\nbye\n", files={"nomove.epd": "3rK3/6p1/5q2/5p2/4kP2/8/8/8 w - - id \""
                                                                   + "x" * 200 + "\";\n"
                                                                   "k7/8/1Q6/8/8/8/8/7K b - -\n"})
results = ["1:a8a8 (00:00:00) 0 [1] 0 nodes 0 nps \n", "2:Ka8a8 (00:00:00) 0 [1] 0 nodes 0 nps \n"]
for r in results:
    c.contains("no move: no search", out, "ply score time nodes pv\na8a8\n=> " + r)
c.check("no move: log", open(os.path.join(d, "vrk.log")).read() == "".join(results), out[-300:])

# A missing file leaves the last run's log alone.
out, _, d = run("test nofile.epd 5 2\nbye\n", files={"vrk.log": "last\n"})
c.check("missing file", "File nofile.epd not found !!\n" in out and open(os.path.join(d, "vrk.log")).read() == "last\n", out)

c.done()
