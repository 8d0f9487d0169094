"""Console transcripts against the real binary: start-up, settings, prompts, moves, commands."""
from vrk_e2e import Checks, run

c = Checks()

SETTINGS_DEFAULT = ("hash=4MB, hashpawn=1024KB, check_nodes=10000n, null move=false, mtdf=false, "
                    "alpha/beta window=100cp, fut=false, razor=false, delta=false, delta margin=0cp, "
                    "Late Move Reduction=false, egbb=false, egbb_5men=false, learing=false, "
                    "resign=-1000, book=true\n\n")
INITIAL_BOARD = ("\n8  r n b q k b n r\n7  p p p p p p p p\n6  . . . . . . . .\n5  . . . . . . . .\n"
                 "4  . . . . . . . .\n3  . . . . . . . .\n2  P P P P P P P P\n1  R N B Q K B N R\n\n"
                 "   a b c d e f g h\n\n")

# Without vrk.rc: the message, the tables of the initial settings, the settings line, the prompt.
out, status, _ = run("bye\n", rc=False)
c.check("no rc", status == 0 and out.endswith(
    "\033[00;31mhelp\033[0m displays a list of commands.\n\nChargement du rebel book: tourbook.bin "
    "mainbook.bin...\nCould not load initialization file!\n4096 ko for HASH (262144 entries)\n"
    "1024 ko for PAWN HASH (65536 entries)\n" + SETTINGS_DEFAULT + "0>vrk# Enjoy your life!\n"), out)

# Prompts count the game's plies; replies to a bad move and to an unknown word.
out, _, _ = run("e2e4\ne2e5\nhello\nd\nbye\n", rc=False)
c.contains("prompt after a move", out, "0>vrk# 1>vrk# ")
c.contains("illegal move", out, "1>vrk# Illegal move.\n" + INITIAL_BOARD.replace(
    "4  . . . . . . . .\n", "4  . . . . P . . .\n").replace("2  P P P P P P P P", "2  P P P P . P P P")
    + "Moves's list:b8a6|b8c6|g8f6|g8h6|a7a6|a7a5|b7b6|b7b5|c7c6|c7c5|d7d6|d7d5|e7e6|e7e5|f7f6|"
    "f7f5|g7g6|g7g5|h7h6|h7h5|e8g8|e8c8|\n1>vrk# ")
c.contains("unknown command", out, "Error (unknown command): hello\n")
c.contains("d shows the fen", out, "FEN rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -\n")

# d in the initial position, fen set-ups, undo, uci, info, help, book, hard / easy, ml.
out, _, _ = run("d\nfen k7/8/1Q6/8/8/8/8/7K b - - 0 1\nd\nundo\nuci\ninfo\nbook\nbook\nhard\neasy\n"
                "new\nml\nhelp\nbye\n", rc=False)
c.contains("d initial", out, "0>vrk# " + INITIAL_BOARD + "FEN rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n")
c.contains("fen stalemate", out, "1/2-1/2 {Stalemate}\n0>vrk# ")
c.contains("fen key", out, "FEN k7/8/1Q6/8/8/8/8/7K b  -\n")
c.contains("uci", out, "Not Yey Implemented!!\n")
c.contains("info", out, "Size of Hash code 64 bits\nSize of int 32 bits\nSize of BYTE 8 bits\n"
           "Size of WORD 16 bits\nSize of Hash entry 16 octets\nSize of Hash Pawn entry 16 octets\n")
c.contains("book twice", out, "book=false\n0>vrk# book=true\n")
c.contains("hard easy", out, "ponder=true\n0>vrk# ponder=false\n")
c.contains("ml", out, "Moves's list: a2a3|a2a4|b2b3|b2b4|c2c3|c2c4|d2d3|d2d4|e2e3|e2e4|f2f3|f2f4|g2g3|"
           "g2g4|h2h3|h2h4|b1a3|b1c3|g1f3|g1h3|e1g1|e1c1|\n")
c.contains("help", out, "sd n - search n ply per move (>=1)\nundo - takes back a move\n")

# A malformed vrk.rc: the settings before the first mismatch are taken, the rest keep theirs.
rc = "HASH=2\nHPAWN=512\nCHECKNODE=5000\nNULLMOVE=1\n"
out, _, _ = run("bye\n", rc=rc)
c.contains("malformed rc", out, "hash=2MB, hashpawn=512KB, check_nodes=10000n, null move=false,")
# Entries may share a line; EGBBPATH with nothing after "=" swallows the next entry.
rc = ("HASH=1 HPAWN=64 CHECKNODES=500 NULLMOVE=1 MTDF=1 ABWINDOW=30 FUTILITY=1 RAZOR=1 DELTA=50 "
      "LMR=1 EGBB=0 EGBBCACHE=2 EGBBPATH=\n5MEN=0\nLEARN=1\nRESIGN_VALUE=-500\nBOOK=0\n")
out, _, _ = run("bye\n", rc=rc)
c.contains("rc on one line", out, "hash=1MB, hashpawn=64KB, check_nodes=500n, null move=true, mtdf=true, "
           "alpha/beta window=30cp, fut=true, razor=true, delta=true, delta margin=50cp, "
           "Late Move Reduction=true, egbb=false, egbb_5men=false, learing=false, resign=-1000, book=true\n")
# HASH=0: no tables at all.
out, _, _ = run("bye\n", rc="HASH=0\n")
c.check("hash 0 allocates nothing", "ko for" not in out and "hash=0MB," in out, out)

# Over-long input is refused without harm, and the end of input ends the program cleanly.
out, status, _ = run("x" * 10000 + "\n" + "y" * (1 << 20) + " d\n")
c.check("long words refused", status == 0 and out.count("Error (word too long)") == 2, out[-500:])
c.contains("still running after long words", out, "FEN rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n")
out, status, _ = run("e2e4", rc=False)
c.check("end of input", status == 0 and out.endswith("1>vrk# "), out[-200:])

c.done()
