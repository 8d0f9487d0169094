"""The shipped random tables and books are exactly what the book tool makes from the texts."""
import os
import subprocess
import tempfile

from vrk_e2e import BUILD, DATA, Checks

c = Checks()
tool = os.path.join(BUILD, "tools", "rebelbook", "vrk-rebelbook")
out = tempfile.mkdtemp(prefix="vrk-books-")
p = subprocess.run([tool, "all", DATA, out], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
c.check("tool runs", p.returncode == 0, p.stdout.decode())
for name in ("random1.bin", "random2.bin", "tourbook.bin", "mainbook.bin"):
    with open(os.path.join(DATA, name), "rb") as shipped, open(os.path.join(out, name), "rb") as made:
        c.check(f"{name} identical", shipped.read() == made.read(), f"rebuild data/{name}: "
                f"{tool} all data data")

# Lines the tool refuses, each with its reason, and nothing written.
lines = os.path.join(out, "bad.txt")
with open(lines, "w") as f:
    f.write("e4 e5 Nf3 Nc6 \ne4 e5 Ke3 \nh4 g5 hxg5 h6 gxh6 Bg7 hxg7 Nf6 gxh8=Q \ne4  e5 \n"
            "d4 d5 Nf3 Nf6 Nd2 \n")
p = subprocess.run([tool, "main", lines, os.path.join(out, "bad.bin")], stdout=subprocess.PIPE,
                   stderr=subprocess.STDOUT)
text = p.stdout.decode()
c.check("refused: status", p.returncode == 1, text)
c.contains("refused: no move", text, "bad.txt:2: no move 'Ke3'")
c.contains("refused: promotion", text, "bad.txt:3: promotion 'gxh8=Q' cannot be stored")
c.contains("refused: blanks", text, "bad.txt:4: each move must be followed by exactly one blank")
c.contains("refused: ambiguous", text, "bad.txt:5: ambiguous or illegal move 'Nd2'")
c.check("refused: nothing written", not os.path.exists(os.path.join(out, "bad.bin")))
c.done()
