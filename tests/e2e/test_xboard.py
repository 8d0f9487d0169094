"""Protocol transcripts: lines in through the console's "xboard" command, output compared line
by line. Search lines are matched by their shape (their times and node counts vary); every
protocol line is compared exactly."""
import os
import re
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vrk_e2e import VRK, Checks, Running, run, workdir  # noqa: E402

CLEAR = "\033[H\033[J"
# Settings for the tests that search: no book, and a small table, since a search's set-up
# clears the table on the search's own clock.
RC_NO_BOOK = re.sub(r"HASH=\d+", "HASH=1", open(os.path.join(sys.argv[2], "vrk.rc")).read(),
                    count=1).replace("BOOK=1", "BOOK=0")
MOVE = r"[a-h][1-8][a-h][1-8][NBRQ]?"
HEADER = "ply score time nodes pv"
THINKING = re.compile(r"\d+ -?\d+ \d+ \d+ 1\. .*")          # depth score time nodes pv
ROOT_LINE = re.compile(r"\d+->\d+ -?\d+ \d+ \d+ 1\. .*")    # d'->max_ply score time nodes pv
STAT01 = re.compile(r"stat01: \d+ \d+ \d+ \d+ \d+ " + MOVE)
MOVE_LINE = re.compile("move " + MOVE)
BOOK_LOOKUP = re.compile(r"Opening move found:\S*")
SEARCH = ("*", re.compile(f"(?:{THINKING.pattern})|(?:{ROOT_LINE.pattern})"))
ROOT_LINES = ("*", ROOT_LINE)  # printed by every search, even a silent one


class Raw(str):
    """Expected text taken as it stands, line ends included."""


checks = Checks()


def split_session(out):
    """(what init printed on entering the loop, the protocol output after the clear-screen)."""
    head, sep, tail = out.partition(CLEAR)
    if not sep:
        return Raw(""), out
    return Raw(head[head.rfind("# \n") + 3:]), tail


def session(lines, rc=True, timeout=60):
    """Runs the protocol lines; returns (init text, protocol output, exit status)."""
    out, status, _ = run("xboard\n" + "".join(line + "\n" for line in lines), rc=rc,
                         timeout=timeout)
    return (*split_session(out), status)


class Engine(Running):
    """The engine under the protocol, driven line by line while it runs: for input that
    arrives while it searches or ponders."""

    def __init__(self, rc=True):
        super().__init__([VRK], workdir(rc))
        self.send("xboard")

    def wait_for(self, pattern, timeout=20):
        """The first match of pattern in the protocol output; None after the timeout."""
        end = time.time() + timeout
        while time.time() < end:
            m = re.search(pattern, split_session(self.text())[1])
            if m:
                return m
            time.sleep(0.05)
        return None

    def wait_for_entry(self, timeout=20):
        """Waits until the protocol loop has started."""
        end = time.time() + timeout
        while CLEAR not in self.text() and time.time() < end:
            time.sleep(0.05)

    def finish(self, timeout=30):
        """Closes the input; returns (init text, protocol output, exit status)."""
        out, status = self.close(timeout)
        return (*split_session(out), status)


def transcript_regex(expected):
    """Expected lines: a text (exact line), a compiled regex (one line), ("*", regex) (any
    number of lines) or Raw text."""
    parts = []
    for e in expected:
        if isinstance(e, Raw):
            parts.append(re.escape(e))
        elif isinstance(e, str):
            parts.append(re.escape(e + "\n"))
        elif isinstance(e, tuple):
            parts.append(f"(?:(?:{e[1].pattern})\n)*")
        else:
            parts.append(f"(?:{e.pattern})\n")
    return "".join(parts)


def expect(name, text, expected):
    checks.check(name, re.fullmatch(transcript_regex(expected), text) is not None,
                 f"expected lines:\n{expected}\ngot:\n{text}")


def silent(name, lines, rc=True):
    """The lines are accepted without a word in reply."""
    _, out, status = session(lines + ["quit"], rc=rc)
    checks.check(name, out == "" and status == 0, f"status {status}, output:\n{out!r}")


# ---- commands that answer nothing ----

silent("commands without output",
       ["protover 2", "xboard", "random", "computer", "name someone", "rating 2100 1800",
        "xtime 100", "otim 100", "time 100", "level 40 5 0", "st 10", "sd 2", "post",
        "nopost", "hard", "easy", "result 1-0 {White mates}", "", "force"])

# ---- unknown commands and illegal moves ----

_, out, status = session(["usermove e2e4", "exit", "e2e5", "e7e5", "i2i4", "quit"])
expect("unknown commands and illegal moves", out, [
    "Error (unknown command): usermove e2e4", "",
    "Error (unknown command): exit", "",
    "Illegal move.", "",
    "Illegal move.", "",
    "Error (unknown command): i2i4", "",
])
checks.check("quit ends with status 0", status == 0, f"status {status}")

# End of input ends the loop as quit does.
_, out, status = session(["force", "e2e4"])
checks.check("end of input ends the loop", out == "" and status == 0, f"{status} {out!r}")

# The interface interrupts the engine before each of the opponent's moves.
e = Engine()
e.wait_for_entry()
e.proc.send_signal(signal.SIGINT)
e.send("quit")
_, out, status = e.finish()
checks.check("SIGINT is ignored in the protocol loop", status == 0, f"status {status}")

# A line longer than the 256-byte buffer counts as one line: its tail (here a legal move)
# is never read as a line of its own.
silent("over-long line", ["name " + "x" * 250 + "e2e4", "force", "e2e4"])

# ---- moves and promotions ----

PROMOTION_EDIT = ["force", "edit", "#", "Ka1", "Pe7", "c", "Ka3", "."]
# The promoted piece shows in the moves it can make afterwards: e8h5 needs a queen or a
# bishop, e8e2 a queen or a rook, e8f6 a knight.
silent("e7e8q promotes to a queen",
       PROMOTION_EDIT + ["e7e8q", "a3b3", "e8h5", "undo", "undo", "undo",
                         "e7e8Q", "a3b3", "e8e2", "undo", "undo", "undo",
                         "e7e8", "a3b3", "e8h5", "undo", "e8e2"])
_, out, _ = session(PROMOTION_EDIT + ["e7e8n", "a3b3", "e8h5", "e8f6", "quit"])
expect("e7e8n promotes to a knight", out, ["Illegal move.", ""])

# ---- undo and remove ----

# Neither takes back more moves than the game has: after "remove" with one move made,
# e2e4 is still on the board and Black is to move.
_, out, _ = session(["force", "undo", "remove", "e2e4", "remove", "e2e4", "e7e5", "remove",
                     "e2e4", "undo", "e2e4", "quit"])
expect("undo and remove bounds", out, ["Illegal move.", ""])

# ---- edit ----

silent("edit: kings, pawn, colour switch",
       ["force", "edit", "#", "Ke1", "c", "Ke8", "Pa7", ".", "e1e2", "a7a5", "e2d3", "e8d7"])
_, out, _ = session(["force", "edit", "#", "Ke1", "Rh1", "c", "Ke8", "Pa7", ".", "e1g1",
                     "quit"])
expect("an edited position has no castling rights", out, ["Illegal move.", ""])
# The kings' squares are found again: Black in check from g1 may not play a pawn move.
_, out, _ = session(["force", "edit", "#", "Kb1", "Rh1", "c", "Kg8", "Pa7", ".", "h1g1",
                     "a7a6", "g8f7", "quit"])
expect("an edit records the kings' squares", out, ["Illegal move.", ""])
_, out, _ = session(["force", "edit", "xa2", ".", "a2a3", "b2b3", "quit"])
expect("xa2 empties the square", out, ["Illegal move.", ""])
# Lines naming no square, a piece line before any piece letter and a pawn on the first rank
# are ignored; an unknown letter places the piece of the last letter recognised (a pawn on b2).
_, out, _ = session(["force", "edit", "#", "?d4", "Ke1", "Ka9", "Pz2", "?b2", "Pc1", "K",
                     "Q" * 300, "c", "Kh8", ".", "d4d5", "c1c2", "b2b4", "quit"])
expect("edit lines off the board", out, ["Illegal move.", "", "Illegal move.", ""])
# The edit keeps the side to move and clears the en passant square.
_, out, _ = session(["force", "e2e4", "d7d5", "e4e5", "f7f5", "edit", ".", "e5f6", "quit"])
expect("an edit clears en passant", out, ["Illegal move.", ""])

# ---- the engine's turn ----

init_text, out, _ = session(["new", "go", "quit"])
expect("new, go: a book move", out, [init_text, BOOK_LOOKUP, " Book move", MOVE_LINE])

init_text, out, _ = session(["new", "easy", "e2e4", "quit"])
expect("new, e2e4: the engine answers as Black from the book", out,
       [init_text, BOOK_LOOKUP, " Book move", MOVE_LINE])

# Searches end by their limits here: a pending "quit" would interrupt them at once.
init_text, out, _ = session(["new", "easy", "post", "sd 2", "go"], rc=RC_NO_BOOK)
expect("sd 2 searches to depth 3", out,
       [init_text, "Anticiped move ", HEADER, SEARCH, MOVE_LINE])
depths = [int(line.split()[0]) for line in out.splitlines() if THINKING.fullmatch(line)]
checks.check("sd 2: the last iteration is depth 3", depths and max(depths) == 3, out)

init_text, out, _ = session(["new", "easy", "sd 3", "go"], rc=RC_NO_BOOK)
expect("nopost: no thinking output", out,
       [init_text, "Anticiped move ", ROOT_LINES, MOVE_LINE])

start = time.time()
init_text, out, _ = session(["new", "easy", "st 1", "go"], rc=RC_NO_BOOK)
elapsed = time.time() - start
expect("st 1: a move", out, [init_text, "Anticiped move ", ROOT_LINES, MOVE_LINE])
checks.check("st 1 limits the search to about a second", elapsed < 5, f"{elapsed:.1f} s")

# "time" turns the clock into the budget with the last "level" and "otim": 3 s left in
# sudden death give 0.3 s, 90 s for 40 moves give 90 / 43 = 2.09 s (from "go" to "move").
budgets = []
for level, clock in (("level 0 0 0", "300"), ("level 40 0 0", "9000")):
    e = Engine(rc=RC_NO_BOOK)
    for line in ("new", "easy", level, "otim " + clock, "time " + clock):
        e.send(line)
    e.wait_for_entry()
    time.sleep(0.5)  # "new" and the clock lines are read by now
    start = time.time()
    e.send("go")
    e.wait_for(MOVE_LINE.pattern)
    budgets.append(time.time() - start)
    e.finish()
checks.check("time and level set the search budget", budgets[0] < 1.9 and budgets[1] >= 2.0,
             f"{budgets[0]:.2f} s and {budgets[1]:.2f} s")

# Pondering: after its move the engine searches the reply it expects until the next input.
# When that reply comes, the next search goes on at the depth pondering reached.
e = Engine(rc=RC_NO_BOOK)
for line in ("new", "post", "st 1", "go"):
    e.send(line)
m = e.wait_for(r"Ponder move (\S+)\n")
if m:
    time.sleep(1.0)
    e.send(m.group(1))
    e.wait_for(r"Anticiped move \S+\n(?:.*\n)*?move \S+\n")
    time.sleep(0.3)
    e.send("quit")
init_text, out, _ = e.finish()
reply = m.group(1) if m else "?"
expect("a ponder hit", out, [init_text, "Anticiped move ", HEADER, SEARCH, MOVE_LINE,
                             "Ponder move " + reply, ROOT_LINES, "Anticiped move " + reply,
                             HEADER, SEARCH, MOVE_LINE,
                             ("*", re.compile(f"Ponder move {MOVE}|{ROOT_LINE.pattern}"))])
after_hit = out[out.find("Anticiped move " + reply):]
first = re.search(r"^(\d+)(?: |->)", after_hit, re.M)  # first thinking or root line
checks.check("a ponder hit continues the search past depth 1", first and int(first.group(1)) > 1,
             out)

# A new game starts its searches afresh, whatever the last game left: here a resignation
# right after a search taken for a ponder hit (the first one of a session is).
e = Engine(rc=re.sub(r"RESIGN_VALUE=-?\d+", "RESIGN_VALUE=10000", RC_NO_BOOK))
for line in ("post", "sd 3", "go"):
    e.send(line)
e.wait_for(r"resign\n")
e.send("new")
e.send("go")
e.wait_for(r"resign\n(?:.*\n)*resign\n")
_, out, _ = e.finish()
second = out[out.find("resign\n") + 7:]
checks.check("a new game does not continue the last game's search",
             re.search(r"^1 -?\d+ \d+ \d+ 1\. ", second, re.M) is not None, out)

# "." lines and empty lines reaching the engine while it searches do not interrupt it: the
# move still comes when the 2 s of "st 2" are spent.
e = Engine(rc=RC_NO_BOOK)
for line in ("new", "easy", "st 2"):
    e.send(line)
e.wait_for_entry()
time.sleep(0.5)
start = time.time()
e.send("go")
for line in (".", "", "."):
    time.sleep(0.3)
    e.send(line)
e.wait_for(MOVE_LINE.pattern)
elapsed = time.time() - start
_, out, _ = e.finish()
checks.check("'.' during a search does not stop it", elapsed >= 1.9, f"{elapsed:.2f} s\n{out}")
checks.check("'.' during a search is consumed", "Error" not in out, out)

# ---- hint and analysis ----

_, out, _ = session(["force", "sd 2", "hint"])
expect("hint", out, [ROOT_LINES, re.compile("Hint: " + MOVE)])

e = Engine()
e.send("post")
e.send("analyze")
e.wait_for(r"stat01: ")
time.sleep(0.5)
e.send(".")
time.sleep(0.5)
e.send("e2e4")
e.wait_for(r"stat01: .* e7e5\n")
e.send("quit")
_, out, status = e.finish()
stats = [line for line in out.splitlines() if STAT01.fullmatch(line)]
checks.check("analyze prints stat01 lines", len(stats) >= 40, out)
checks.check("analysis goes on after '.'", "Error" not in out, out)
checks.check("analysis of the position after e2e4", any(s.endswith(" e7e5") for s in stats), out)
expect("analysis transcript", out, [HEADER, ("*", re.compile(
    f"(?:{STAT01.pattern})|(?:{THINKING.pattern})|(?:{ROOT_LINE.pattern})|{HEADER}"))])

start = time.time()
_, out, status = session(["analyze"], timeout=30)
checks.check("analysis ends with the input", status == 0 and time.time() - start < 10,
             f"status {status}, {time.time() - start:.1f} s")

checks.done()
