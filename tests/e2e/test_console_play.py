"""The engine's turns at the console, driven as a person would: searching, pondering, books, undo,
mate finding, learning, and a whole game."""
import os
import re

from vrk_e2e import Checks, Session, run

c = Checks()

NO_BOOK = ("HASH=4\nHPAWN=256\nCHECKNODES=10000\nNULLMOVE=1\nMTDF=0\nABWINDOW=50\nFUTILITY=0\n"
           "RAZOR=0\nDELTA=0\nLMR=1\nEGBB=0\nEGBBCACHE=1\nEGBBPATH=egbb/\n5MEN=0\nLEARN=0\n"
           "RESIGN_VALUE=-1000\nBOOK=0\n")
WITH_BOOK = NO_BOOK.replace("BOOK=0", "BOOK=1")
RESULT = (r"(1-0 \{White mates\}|0-1 \{Black mates\}|1/2-1/2 \{Stalemate\}|"
          r"1/2-1/2 \{Draw by repetition\}|1/2-1/2 \{Draw by fifty move rule\})\n")


def engine_move(s, plies):
    """Sends on and waits for the prompt after the engine's move."""
    s.send("on\n")
    s.expect(rf"\n{plies}>vrk# $|{RESULT}", timeout=120)


# on with pondering and no user move yet: the ponder bookkeeping line, the thinking lines, the
# move, the statistics line, then the ponder search (which sd 3 bounds).
s = Session(rc=NO_BOOK)
s.send("sd 3\n")
engine_move(s, 1)
s.send("bye\n")
out, status = s.close()
c.check("exit", status == 0, out[-300:])
c.contains("ponder bookkeeping", out, "0>vrk# Lm=|Am=4444\nply score time nodes pv\n")
c.check("thinking lines", re.search(r"\n1 -?\d+ \d+ \d+ 1\. [a-h][1-8][a-h][1-8]", out) is not None, out[-1500:])
c.check("computer's move", re.search(r"Computer's move: \S+ \(([a-h][1-8]){2}\w?\) \[( *[0-9.]+ n/s| *\d+ n)\]\n", out)
        is not None, out[-1500:])
c.check("statistics line", re.search(r"\nNODES=\d+\|HASH_HIT=\d+\|HASH_PAWN_HIT=\d+\|NULL_MOVE CUT=\d+\|"
                                      r"KILLER_CUT=\d+\|LMR CUT=\d+\|EVAL=-?\d+\n", out) is not None, out[-800:])
c.check("ponder move", re.search(r"\nPonder move ([a-h][1-8]){2}\n", out) is not None, out[-800:])
c.contains("bye", out, "1>vrk# Enjoy your life!\n")

# sd 0 searches one ply; undo after the engine's move takes back that move and stops the engine.
s = Session(rc=NO_BOOK)
s.send("easy\nsd 0\n")
engine_move(s, 1)
s.send("undo\nd\n")
s.expect("FEN rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n0>vrk# $")
out, status = s.close()
thinking = out.split("ply score time nodes pv\n")[1].split("Computer's move")[0]
c.check("sd 0 is depth 1", all(l.startswith("1") for l in thinking.splitlines() if l[:1].isdigit()), thinking)
c.check("undo: no second engine move", out.count("Computer's move") == 1, out[-800:])

# st 1 plays within its second; a user move after it gets an engine reply (the engine keeps its side).
s = Session(rc=NO_BOOK)
s.send("easy\nst 1\n")
engine_move(s, 1)
s.send("a7a6\n" if "(e2e4)" not in s.out else "e7e5\n")
s.expect(r"\n3>vrk# $", timeout=30)
out, _ = s.close()
c.check("engine replies to the user", out.count("Computer's move") == 2, out[-800:])

# With the book on the engine plays book moves with their lines, then searches.
s = Session(rc=WITH_BOOK)
s.send("easy\nsd 2\n")
for n in range(1, 9):
    engine_move(s, n)
out, _ = s.close()
c.contains("book move lines", out, "Opening move found:")
c.check("book move", re.search(r"\nOpening phase: Book move: ([a-h][1-8]){2}\nOpening line=([a-h][1-8]){2}\n", out)
        is not None, out[-1500:])

# The mate finder reports every mating first move of a mate in two.
out, _, _ = run("fen r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 0\nmat 2\nd\nbye\n",
                rc=NO_BOOK)
c.contains("mat header", out, "Searching 4 half ply\ninfo depth 4 currmove ")
c.check("mat found", re.search(r"Found! \(\d+ nodes,time=\d+ sec\)\n(\w{4,5} ){3}#\n", out) is not None,
        out[-1500:])
c.check("mat summary", re.search(r"\nFound \(\d+ nodes examined,time=\d+ sec\)\n", out) is not None, out[-400:])
c.contains("mat leaves the position", out, "FEN r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq -\n")
out, _, _ = run("mat 1\nbye\n", rc=NO_BOOK)
c.check("no mate", re.search(r"Not Found :-\( \(\d+ nodes examined,time=\d+ sec\)\n", out) is not None, out[-400:])

# The learn file.
out, _, d = run("create_learn_file 1000\nbye\n", rc=NO_BOOK)
c.contains("learn file made", out, "Creating Learn File for 1000 entries...Done!\n")
with open(os.path.join(d, "vrk.lrn"), "rb") as f:
    c.check("learn file is 12000 zero bytes", f.read() == bytes(12000))

# A whole game: the engine plays both sides until the game ends.
s = Session(rc=WITH_BOOK)
s.send("easy\nsd 3\n")
for n in range(1, 396):
    engine_move(s, n)
    if re.search(RESULT, s.out):
        break
out, status = s.close()
c.check("game exit", status == 0, out[-300:])
c.check("game has a result", re.search(RESULT, out) is not None, out[-3000:])
played = [a or b for a, b in re.findall(
    r"Computer's move: \S+ \(([a-h][1-8][a-h][1-8]\w?)\)|Book move: ([a-h][1-8][a-h][1-8]\w?)\n", out)]
replay, _, _ = run("".join(m + "\n" for m in played) + "bye\n", rc=NO_BOOK, timeout=300)
c.check("every move legal", "Illegal move." not in replay and "Error" not in replay, replay[-2000:])
c.check("the replay ends the same way", re.findall(RESULT, replay)[-1:] == re.findall(RESULT, out)[-1:],
        (re.findall(RESULT, replay), re.findall(RESULT, out)))
print(f"whole game: {len(played)} plies, {re.findall(RESULT, out)[-1:]}")

c.done()
