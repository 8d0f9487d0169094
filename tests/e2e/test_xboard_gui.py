"""Smoke test under the real xboard program: two short games (one with each colour) against
Fairy-Max through scripts/match, headless under Xvfb. Every game must end over the board or by
xboard's move-count adjudication: no illegal move, time forfeit, false claim or crash of ours.
Reported as skipped when xboard, Xvfb or Fairy-Max is not installed."""
import os
import shutil
import subprocess
import sys
import tempfile

from vrk_e2e import DATA, VRK, Checks, skip

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NEEDED = {"xboard": "xboard", "Xvfb": "xvfb", "fairymax": "fairymax"}

missing = [pkg for prog, pkg in NEEDED.items()
           if not (shutil.which(prog) or os.path.exists(os.path.join("/usr/games", prog)))]
if missing:
    skip(f"not installed: {' '.join(missing)} "
         f"(apt-get install --no-install-recommends {' '.join(missing)})")

checks = Checks()
out_dir = tempfile.mkdtemp(prefix="vrk-gui-")
# 40 moves a minute: 1.4 s a move at the start, far from the clock's limits.
p = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "match"), "-n", "2",
                    "--tc", "40/1", "--max-moves", "12", "--opponent", "fairymax",
                    "--ponder", "on", "--vrk", VRK, "--data", DATA, "--out", out_dir],
                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=540)
report = p.stdout.decode("latin-1")
print(report)

checks.check("two games, none lost by illegal move, time, false claim or crash",
             p.returncode == 0 and "games 2:" in report and
             "vrk lost by illegal move 0, time forfeit 0, false claim 0, crash 0" in report, report)
pgn = "".join(open(os.path.join(out_dir, f), encoding="latin-1").read()
              for f in os.listdir(out_dir) if f.endswith(".pgn"))
checks.check("both colours played", '[White "vrk"]' in pgn and '[Black "vrk"]' in pgn, pgn)
checks.done()
