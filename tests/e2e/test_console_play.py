"""The engine's turns at the console: searching, pondering, books, undo, mate finding, learning,
and whole games."""
import os
import re

from vrk_e2e import Checks, run

c = Checks()

NO_BOOK = ("HASH=4\nHPAWN=256\nCHECKNODES=10000\nNULLMOVE=1\nMTDF=0\nABWINDOW=50\nFUTILITY=0\n"
           "RAZOR=0\nDELTA=0\nLMR=1\nEGBB=0\nEGBBCACHE=1\nEGBBPATH=egbb/\n5MEN=0\nLEARN=0\n"
           "RESIGN_VALUE=-1000\nBOOK=0\n")
WITH_BOOK = NO_BOOK.replace("BOOK=0", "BOOK=1")

# on with pondering and no user move yet: the ponder bookkeeping line, the thinking lines, the
# move, the statistics line; the piped input that follows stops the ponder search at once.
out, status, _ = run("sd 3\non\nbye\n", rc=NO_BOOK)
c.check("exit", status == 0, out[-300:])
c.contains("ponder bookkeeping", out, "Lm=|Am=4444\nply score time nodes pv\n")
c.check("thinking lines", re.search(r"\n1 -?\d+ \d+ \d+ 1\. \w{4}", out) is not None, out[-1500:])
c.check("computer's move", re.search(r"\nComputer's move: \S+ \([a-h][1-8][a-h][1-8]\w?\) \[", out)
        is not None, out[-1500:])
c.check("statistics line", re.search(r"\nNODES=\d+\|HASH_HIT=\d+\|HASH_PAWN_HIT=\d+\|NULL_MOVE CUT=\d+\|"
                                      r"KILLER_CUT=\d+\|LMR CUT=\d+\|EVAL=-?\d+\n", out) is not None, out[-800:])
c.contains("prompt after the engine's move", out, "1>vrk# Enjoy your life!\n")

# st and sd arithmetic, undo after the engine's move stops the engine and takes back one move.
out, _, _ = run("easy\nsd 0\non\nundo\nd\nbye\n", rc=NO_BOOK)
c.check("sd 0 searches depth 1 only", "\n2 " not in out.split("ply score time nodes pv")[1].split("Computer's move")[0],
        out[-1500:])
c.contains("undo restores the start", out, "FEN rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n0>vrk# ")
out, _, _ = run("easy\nst 1\non\nbye\n", rc=NO_BOOK)
c.contains("st 1 plays", out, "Computer's move: ")

# With the book on the engine plays book moves with their lines, then searches.
out, _, _ = run("easy\nsd 2\non\non\non\non\non\non\non\non\nbye\n", rc=WITH_BOOK)
c.contains("book move lines", out, "Opening phase: Book move: ")
c.check("opening line", re.search(r"Opening line=([a-h][1-8][a-h][1-8])+\n", out) is not None, out[-800:])

# The mate finder: every mating first move of a mate in two.
out, _, _ = run("fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 0\nmat 2\nd\nbye\n",
                rc=NO_BOOK)
c.contains("mat header", out, "Searching 4 half ply\ninfo depth 4 currmove ")
c.check("mat found", re.search(r"Found! \(\d+ nodes,time=\d+ sec\)\n(\w{4,5} ){3}#\n", out) is not None,
        out[-1500:])
c.check("mat summary", re.search(r"Found \(\d+ nodes examined,time=\d+ sec\)\n", out) is not None, out[-400:])
out, _, _ = run("mat 1\nbye\n", rc=NO_BOOK)
c.check("no mate", re.search(r"Not Found :-\( \(\d+ nodes examined,time=\d+ sec\)\n", out) is not None, out[-400:])

# The learn file.
out, _, d = run("create_learn_file 1000\nbye\n", rc=NO_BOOK)
c.contains("learn file made", out, "Creating Learn File for 1000 entries...Done!\n")
with open(os.path.join(d, "vrk.lrn"), "rb") as f:
    data = f.read()
c.check("learn file is 12000 zero bytes", data == bytes(12000), len(data))

# A whole game: the engine plays both sides until the game ends.
script = "easy\nsd 2\n" + "on\n" * 600 + "bye\n"
out, status, _ = run(script, rc=WITH_BOOK, timeout=600)
c.check("game exit", status == 0, out[-300:])
result = re.search(r"\n(1-0 \{White mates\}|0-1 \{Black mates\}|1/2-1/2 \{Stalemate\}|"
                   r"1/2-1/2 \{Draw by repetition\}|1/2-1/2 \{Draw by fifty move rule\})\n", out)
c.check("game has a result", result is not None, out[-3000:])
moves = re.findall(r"Computer's move: \S+ \(([a-h][1-8][a-h][1-8]\w?)\)|Book move: ([a-h][1-8][a-h][1-8]\w?)\n", out)
played = [a or b for a, b in moves]
# Every move replayed as a user move must be accepted.
replay, _, _ = run("".join(m + "\n" for m in played[:390]) + "bye\n", rc=NO_BOOK, timeout=300)
c.check("every move legal", "Illegal move." not in replay and "Error" not in replay, replay[-2000:])
c.check("game long enough", len(played) >= 10, played)

c.done()
