"""scripts/match and scripts/endgames refuse an opponent that does not answer 1. e4 (it hangs, or
it crashes, as a packaged engine can on some processors): within a minute, with a message naming
it and what it did, a status other than 0, and no game played. An opponent that answers passes."""
import os
import subprocess
import sys
import tempfile
import time

from vrk_e2e import DATA, VRK, Checks
from vrk_workdir import ANSWER_SECONDS, ROOT, opponent_fault

# Stand-ins for an engine: each a shell script, and the fault the check must find in it.
FAKES = {
    "hangs": ("exec cat > /dev/null", f"gave no move within {ANSWER_SECONDS} s"),
    "crashes": ("kill -s SEGV $$", "died of signal 11 (SIGSEGV)"),
    "quits": ("exit 3", "ended with status 3 without a move"),
    "answers": ('while read -r line; do\n  case $line in e2e4) echo "move e7e5";; quit) exit;; esac\n'
                "done", None),
}

checks = Checks()
fakes = tempfile.mkdtemp(prefix="vrk-fakes-")
for name, (body, fault) in FAKES.items():
    path = os.path.join(fakes, name)
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + body + "\n")
    os.chmod(path, 0o755)
    got = opponent_fault([path], fakes)
    checks.check(f"an opponent that {name}: {fault}", got == fault, f"got {got!r}")

# Both scripts stop before their first game.
for script, fake in (("match", "hangs"), ("match", "crashes"), ("endgames", "crashes")):
    out = tempfile.mkdtemp(prefix="vrk-match-")
    args = [sys.executable, os.path.join(ROOT, "scripts", script), "--opponent",
            os.path.join(fakes, fake), "--vrk", VRK, "--data", DATA]
    started = time.time()
    p = subprocess.run(args + (["--out", out] if script == "match" else []), stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=120)
    took, report = time.time() - started, p.stdout.decode("latin-1")
    checks.check(f"{script} refuses an opponent that {fake}, in {took:.0f} s",
                 p.returncode not in (0, None) and took < 60 and FAKES[fake][1] in report
                 and "choose another opponent" in report
                 and not any(f.endswith(".pgn") for f in os.listdir(out)), report)
checks.done()
