"""polyglot's epd-test through vrk's UCI mode (scripts/uci-epd): three shots found at 1 s each,
the fourth position of the file left out by the count. Each is found within a thousand nodes, so a
loaded machine still solves it in its second. Without polyglot the test is skipped."""
import os
import subprocess
import sys
import tempfile

from vrk_e2e import DATA, VRK, Checks, installed, skip
from vrk_workdir import ROOT

if not installed("polyglot"):
    skip("not installed: polyglot (apt-get install --no-install-recommends polyglot)")

EPD = ('2br2k1/2q3rn/p2NppQ1/2p1P3/Pp5R/4P3/1P3PPP/3R2K1 w - - bm Rxh7; id "WAC.010";\n'
       'r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PPR/2KR4 w - - bm Qxh7+; id "WAC.004";\n'
       '5k2/6pp/p1qN4/1p1p4/3P4/2PKP2Q/PP3r2/3R4 b - - bm Qc4+; id "WAC.005";\n'
       '8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - bm Rxb2; id "WAC.002";\n')

c = Checks()
suite = os.path.join(tempfile.mkdtemp(prefix="vrk-e2e-"), "mates.epd")
with open(suite, "w") as f:
    f.write(EPD)
p = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "uci-epd"), "--vrk", VRK,
                    "--data", DATA, suite, "1", "3"],
                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
out = p.stdout.decode("latin-1")
c.check("status", p.returncode == 0, out)
for n, name in ((1, "WAC.010"), (2, "WAC.004"), (3, "WAC.005")):
    c.check(f"{name} found", f'{n}: "{name}"       OK' in out, out)
c.check("count", "WAC.002" not in out and out.rstrip().endswith("solved 3 of 3"), out)
c.done()
