"""The books against the real binary: obligatory files and the makebook command (book moves at
the console: console_answers.txt; under the protocol: test_xboard)."""
import os

from vrk_e2e import DATA_FILES, Checks, run, workdir

c = Checks()

# Every one of the four files is obligatory: the message without a line end, status 1.
for name in DATA_FILES + ("empty mainbook.bin",):
    d = workdir(rc=False)
    if name.startswith("empty"):
        open(os.path.join(d, "mainbook.bin"), "wb").close()
    else:
        os.remove(os.path.join(d, name))
    out, status, _ = run("bye\n", cwd=d)
    c.check(f"{name}: status 1 and message", status == 1 and out.endswith(
        "Chargement du rebel book: tourbook.bin mainbook.bin...\n"
        "Missing obliged file(s) RANDOM1.BIN and/or RANDOM2.BIN"), out)

# makebook writes vrkpers.opn in the working directory and reports its counts.
d = workdir(rc=False, files={"lines.txt": "e4 e5 Nf3 Nc6 \nd4 d5 c4 Qh4# \n"})
out, _, _ = run("makebook lines.txt\nmakebook none.txt\nbye\n", cwd=d)
c.check("makebook: file", open(os.path.join(d, "vrkpers.opn")).read() == "e2e4e7e5g1f3b8c6\nd2d4d7d5c2c4\n")
c.contains("makebook: moves and stats", out, "e4 => e2e4\ne5 => e7e5\nNf3 => g1f3\nNc6 => b8c6\n\n New "
           "Game \nd4 => d2d4\nd5 => d7d5\nc4 => c2c4\nQh4# => \n New Game \n\nStats: 2 variations, "
           "1 variations killees\n0>vrk# File none.txt not found !!\n")
c.done()
