"""Smoke test under the real xboard program: two short games of vrk against a second vrk (its own
working directory and vrk.rc), one with each colour, through scripts/match, headless under Xvfb;
then two more with the first vrk over UCI, through the adapter polyglot. Every game must end over
the board or by xboard's move-count adjudication: no illegal move, time forfeit, false claim or
crash, no line refused between polyglot and vrk, and vrk's memory stays flat. Only xboard, Xvfb
and polyglot come from outside: xboard or Xvfb missing, or unable to start, the test is reported
as skipped; polyglot missing, the games over UCI are left out and, the others passing, the test
is reported as skipped."""
import os
import re
import subprocess
import sys
import tempfile

from vrk_e2e import DATA, NATIVE, VRK, Checks, installed, skip
from vrk_workdir import ROOT

NEEDED = {"xboard": "xboard", "Xvfb": "xvfb"}
# Growth of vrk's resident memory over the games that still counts as flat (the tables are
# allocated at the start; what comes later is the runtime's own).
MEMORY_SLACK_MB = 8

missing = [pkg for prog, pkg in NEEDED.items() if not installed(prog)]
if missing:
    skip(f"not installed: {' '.join(missing)} "
         f"(apt-get install --no-install-recommends {' '.join(missing)})")

checks = Checks()


def play(what, *options):
    """Two games through scripts/match with these options; returns its report."""
    out_dir = tempfile.mkdtemp(prefix="vrk-gui-")
    # 40 moves a minute: 1.4 s a move at the start, far from the clock's limits.
    p = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "match"), "-n", "2",
                        "--tc", "40/1", "--max-moves", "12", "--opponent", "vrk-b",
                        "--opponent-rc", os.path.join(DATA, "vrk.rc"), "--ponder", "on",
                        "--vrk", VRK, "--data", DATA, "--out", out_dir, *options],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=270)
    report = p.stdout.decode("latin-1")
    print(report)
    if "Xvfb did not start" in report:
        skip("Xvfb does not start here")
    if not os.path.exists(os.path.join(out_dir, "xboard-1.log")):
        skip("xboard does not start here")
    checks.check(f"{what}: two games, none lost by illegal move, time, false claim or crash",
                 p.returncode == 0 and "games 2:" in report and
                 "vrk lost by illegal move 0, time forfeit 0, false claim 0, crash 0" in report and
                 "opponent lost by illegal move 0, time forfeit 0, false claim 0, crash 0"
                 in report, report)
    pgn = "".join(open(os.path.join(out_dir, f), encoding="latin-1").read()
                  for f in os.listdir(out_dir) if f.endswith(".pgn"))
    checks.check(f"{what}: both colours played", '[White "vrk"]' in pgn and '[Black "vrk"]' in pgn,
                 pgn)
    # The engine's process is found by its name, which an emulator's process does not have;
    # under the sanitizers memory grows by their design.
    if NATIVE and not os.environ.get("VRK_SANITIZED"):
        memory = re.findall(r"first ([\d.]+) MB, max ([\d.]+) MB", report)
        checks.check(f"{what}: vrk's memory flat", memory and all(
            float(top) <= float(first) + MEMORY_SLACK_MB for first, top in memory), report)
    return report


play("XBoard")
if installed("polyglot"):
    report = play("UCI", "--uci")
    checks.contains("UCI: no line refused", report, "input refused between polyglot and vrk: 0\n")
else:
    checks.cannot_check("not installed: polyglot, for the games over UCI "
                        "(apt-get install --no-install-recommends polyglot)")
checks.done()
