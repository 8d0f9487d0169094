"""The shipped random tables and books are exactly what the book tool makes from the texts."""
import os
import subprocess
import tempfile

from vrk_e2e import BUILD, DATA, DATA_FILES, Checks

c = Checks()
tool = os.path.join(BUILD, "tools", "rebelbook", "vrk-rebelbook")
out = tempfile.mkdtemp(prefix="vrk-books-")


def run_tool(*args):
    p = subprocess.run([tool, *args], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return p.returncode, p.stdout.decode()


status, text = run_tool("all", DATA, out)
c.check("tool runs", status == 0, text)
for name in DATA_FILES:
    with open(os.path.join(DATA, name), "rb") as shipped, open(os.path.join(out, name), "rb") as made:
        c.check(f"{name} identical", shipped.read() == made.read(), f"rebuild data/{name}: "
                f"{tool} all data data")

# Lines the tool refuses, each with its reason, and nothing written.
lines = os.path.join(out, "bad.txt")
with open(lines, "w") as f:
    f.write("e4 e5 Nf3 Nc6 \ne4 e5 Ke3 \nh4 g5 hxg5 h6 gxh6 Bg7 hxg7 Nf6 gxh8=Q \ne4  e5 \n"
            "d4 d5 Nf3 Nf6 Nd2 \n")
status, text = run_tool("main", lines, os.path.join(out, "bad.bin"))
c.check("refused: status", status == 1, text)
c.check("refused: reasons", text == f"{lines}:2: no move 'Ke3'\n{lines}:3: promotion 'gxh8=Q' cannot "
        f"be stored: the book has no promotions\n{lines}:4: each move must be followed by exactly one "
        f"blank\n{lines}:5: ambiguous or illegal move 'Nd2' (give the origin file or square)\n", text)
c.check("refused: nothing written", not os.path.exists(os.path.join(out, "bad.bin")))
c.done()
