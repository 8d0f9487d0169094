"""The engine's turns at the console (more in console_answers.txt): scripts piped or read from a
file, lines typed while it thinks, pondering and a whole game."""
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


# A script is read whole at once: "bye" is no input arriving during the search, which plays
# its depth-7 move; pondering (on by default) does not start.
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

# on with pondering: bookkeeping, thinking, move, statistics, then the ponder search.
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

# A whole game of both sides from the book; every move replays legally to the same end.
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
