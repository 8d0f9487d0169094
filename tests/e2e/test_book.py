"""The books against the real binary: obligatory files, book moves at the console (under the
protocol: test_xboard), the makebook command."""
import os

from vrk_e2e import DATA_FILES, Checks, run, workdir

c = Checks()

LOADING = "Chargement du rebel book: tourbook.bin mainbook.bin...\n"
MISSING = "Missing obliged file(s) RANDOM1.BIN and/or RANDOM2.BIN"

# Every one of the four files is obligatory: the message without a line end, status 1.
for name in DATA_FILES + ("empty mainbook.bin",):
    d = workdir(rc=False)
    if name.startswith("empty"):
        open(os.path.join(d, "mainbook.bin"), "wb").close()
    else:
        os.remove(os.path.join(d, name))
    out, status, _ = run("bye\n", cwd=d)
    c.check(f"{name}: status 1 and message", status == 1 and out.endswith(LOADING + MISSING), out)

# The console: the engine opens from the tournament book and answers the user's reply from it.
out, status, _ = run("on\ne7e5\nbye\n", rc=False)
c.check("console: status 0", status == 0, out)
c.contains("console: first book move", out,
           "0>vrk# Opening move found:E2E4\nOpening phase: Book move: e2e4\nOpening line=e2e4\n")
c.contains("console: book answer", out, "Opening line=e2e4e7e5")

# Out of book the console says so once and searches.
out, _, _ = run("a2a3\nh7h6\nsd 1\non\nbye\n", rc=False)
c.contains("console: out of book", out, "Opening move found:\n")
c.check("console: no book move", "Opening phase: Book move" not in out, out)

# makebook writes vrkpers.opn in the working directory and reports its counts.
d = workdir(rc=False, files={"lines.txt": "e4 e5 Nf3 Nc6 \nd4 d5 c4 Qh4# \n"})
out, _, _ = run("makebook lines.txt\nmakebook none.txt\nbye\n", cwd=d)
with open(os.path.join(d, "vrkpers.opn")) as f:
    c.check("makebook: file", f.read() == "e2e4e7e5g1f3b8c6\nd2d4d7d5c2c4\n")
c.contains("makebook: moves and stats", out, "e4 => e2e4\ne5 => e7e5\nNf3 => g1f3\nNc6 => b8c6\n\n New "
           "Game \nd4 => d2d4\nd5 => d7d5\nc4 => c2c4\nQh4# => \n New Game \n\nStats: 2 variations, "
           "1 variations killees\n")
c.contains("makebook: missing file", out, "File none.txt not found !!\n")

c.done()
