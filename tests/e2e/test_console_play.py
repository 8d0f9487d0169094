"""The engine's turns at the console, driven as a person would: searching, pondering, undo,
mate finding and a whole game; scripts piped in or read from a file, and lines
typed at a terminal while the engine thinks."""
import re
import time

from vrk_e2e import AT_ONCE, NATIVE, Checks, Running, rc_with, run

c = Checks()

NO_BOOK = rc_with(HASH=4, EGBB=0, BOOK=0)
RESULT = (r"(1-0 \{White mates\}|0-1 \{Black mates\}|1/2-1/2 \{Stalemate\}|"
          r"1/2-1/2 \{Draw by repetition\}|1/2-1/2 \{Draw by fifty move rule\})\n")


def engine_move(s, plies):
    """Sends on and waits for the prompt after the engine's move."""
    s.send("on")
    s.expect(rf"\n{plies}>vrk# $|{RESULT}", timeout=120)


# A script is read whole by the first read, as the runtime reads it: the "bye" behind "on" is
# no input arriving during the search, which runs to its depth and plays the move of depth 7.
# Pondering (on by default) does not start: its end is already there. The same from a file.
for how in ("piped", "from a file"):
    out, status, _ = run("sd 7\non\nbye\n", rc=NO_BOOK, from_file=how != "piped")
    last = re.findall(r"^7 -?\d+ \d+ (\d+) 1\. (?:\.\.\. )?(\S+)", out, re.M)[-1:]
    played = re.findall(r"Computer's move: \S+ \((\S+)\)", out)
    c.check(f"a script {how}: the depth-7 move is played, no pondering, then bye",
            status == 0 and last and int(last[0][0]) > 10000 and played == [last[0][1]]
            and "Ponder move" not in out and out.endswith("Enjoy your life!\n"), out[-1500:])

# At a terminal a line counts once Enter is pressed: a bare Enter does not stop the search, a
# line typed 2 s into "st 100" stops it at once; the engine plays and then reads the line.
if NATIVE:  # a terminal of this system, not an emulator's
    s = Running(rc=NO_BOOK, tty=True)
    s.send("easy", "st 100", "on")
    s.expect(r"ply score time nodes pv\n")
    time.sleep(1.0)
    s.send("")
    time.sleep(1.0)
    sent = time.time()
    s.send("d")
    s.expect(r"Computer's move: ")
    late = s.arrival(r"Computer's move: ") - sent
    s.expect(r"\nFEN \S+ b KQkq -\n1>vrk# ")
    s.send("bye")
    out, status = s.close()
    print(f"terminal: the move came {late:.3f} s after the line")
    c.check("a typed line stops the search at once, a bare Enter does not",
            0 <= late < AT_ONCE and status == 0 and out.count("Computer's move") == 1, f"{late:.3f} s\n{out[-500:]}")

# on with pondering and no user move yet: the ponder bookkeeping line, the thinking lines, the
# move, the statistics line, then the ponder search (which sd 3 bounds).
s = Running(rc=NO_BOOK)
s.send("sd 3")
engine_move(s, 1)
s.send("bye")
out, status = s.close()
c.check("exit", status == 0 and out.endswith("1>vrk# Enjoy your life!\n"), out[-300:])
c.check("a search with pondering", re.search(
    r"0>vrk# Lm=\|Am=4444\nply score time nodes pv\n(?:.*\n)*?1 -?\d+ \d+ \d+ 1\. ([a-h][1-8]){2}"
    r".*\n(?:.*\n)*?.*Computer's move: \S+ \(([a-h][1-8]){2}\w?\) \[( *[0-9.]+ n/s| *\d+ n)\]\n"
    r"(?:.*\n)*?NODES=\d+\|HASH_HIT=\d+\|HASH_PAWN_HIT=\d+\|NULL_MOVE CUT=\d+\|KILLER_CUT=\d+\|"
    r"LMR CUT=\d+\|EVAL=-?\d+\n(?:.*\n)*?Ponder move ([a-h][1-8]){2}\n", out), out[-1500:])

# sd 0 searches one ply; the engine answers the user's move (it keeps its side); undo after
# its move takes back that move and stops the engine.
s = Running(rc=NO_BOOK)
s.send("easy", "sd 0")
engine_move(s, 1)
s.send("a7a6")
s.expect(r"\n3>vrk# $", timeout=30)
s.send("undo", "d")
s.expect(r"\nFEN \S+/p7/\S+ w \S+ -\n2>vrk# $")
out, status = s.close()
thinking = out.split("ply score time nodes pv\n")[1].split("Computer's move")[0]
c.check("sd 0 is depth 1", all(l.startswith("1") for l in thinking.splitlines() if l[:1].isdigit()), thinking)
c.check("undo: no further engine move", out.count("Computer's move") == 2, out[-800:])

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

# A whole game: the engine plays both sides, from the book, until the game ends; every move
# replays legally to the same end.
s = Running(rc=rc_with(HASH=4, EGBB=0))
s.send("easy", "sd 3")
for n in range(1, 396):
    engine_move(s, n)
    if re.search(RESULT, s.text()):
        break
out, status = s.close()
c.check("game exit", status == 0 and re.search(RESULT, out), out[-3000:])
played = [a or b for a, b in re.findall(
    r"Computer's move: \S+ \(([a-h][1-8][a-h][1-8]\w?)\)|Book move: ([a-h][1-8][a-h][1-8]\w?)\n", out)]
replay, _, _ = run("".join(m + "\n" for m in played) + "bye\n", rc=NO_BOOK, timeout=300)
c.check("every move legal", "Illegal move." not in replay and "Error" not in replay, replay[-2000:])
c.check("the replay ends the same way", re.findall(RESULT, replay)[-1:] == re.findall(RESULT, out)[-1:],
        (re.findall(RESULT, replay), re.findall(RESULT, out)))
print(f"whole game: {len(played)} plies, {re.findall(RESULT, out)[-1:]}")

c.done()
