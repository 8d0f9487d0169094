"""The protocol (more in xboard_answers.txt): search lines matched by their shape, every protocol
line exactly."""
import re
import signal
import time

from vrk_e2e import AT_ONCE, Checks, Running, rc_with, run

CLEAR = "\033[H\033[J"
# A small table: a search's set-up clears it on the search's own clock.
RC_NO_BOOK = rc_with(HASH=1, BOOK=0)
MOVE = r"[a-h][1-8][a-h][1-8][NBRQ]?"
HEADER = "ply score time nodes pv"
THINKING = re.compile(r"\d+ -?\d+ \d+ \d+ 1\. .*")          # depth score time nodes pv
ROOT_LINE = re.compile(r"\d+->\d+ -?\d+ \d+ \d+ 1\. .*")    # d'->max_ply score time nodes pv
STAT01 = re.compile(r"stat01: \d+ \d+ \d+ \d+ \d+ " + MOVE)
MOVE_LINE = re.compile("move " + MOVE)
BOOK_LOOKUP = re.compile(r"Opening move found:\S*")
SEARCH = ("*", re.compile(f"(?:{THINKING.pattern})|(?:{ROOT_LINE.pattern})"))
ROOT_LINES = ("*", ROOT_LINE)  # printed by every search, even a silent one

checks = Checks()


class Raw(str):
    """Expected text taken as it stands, line ends included."""


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
    """The engine under the protocol, for input that arrives while it searches or ponders."""

    def __init__(self, rc=RC_NO_BOOK, lines=()):
        super().__init__(rc=rc)
        self.send("xboard", *lines)

    def finish(self, timeout=30):
        """Closes the input; returns (init text, protocol output, exit status)."""
        return (*split_session(self.close(timeout)[0]), self.proc.returncode)


def expect(name, text, expected):
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
    checks.check(name, re.fullmatch("".join(parts), text) is not None,
                 f"expected lines:\n{expected}\ngot:\n{text}")


checks.transcripts("xboard_answers.txt", "xboard", lambda out: split_session(out)[1])

for name, lines in (("new, go: a book move", ["new", "go", "quit"]),
                    ("new, e2e4: a book answer as Black", ["new", "easy", "e2e4", "quit"])):
    init_text, out, _ = session(lines)
    expect(name, out, [init_text, BOOK_LOOKUP, " Book move", MOVE_LINE])

# The "quit" read with the other lines does not cut the search short.
init_text, out, _ = session(["new", "easy", "post", "sd 2", "go", "quit"], rc=RC_NO_BOOK)
expect("sd 2, post", out, [init_text, "Anticiped move ", HEADER, SEARCH, MOVE_LINE])
depths = [int(line.split()[0]) for line in out.splitlines() if THINKING.fullmatch(line)]
checks.check("sd 2: the last iteration is depth 3", depths and max(depths) == 3, out)

start = time.time()
init_text, out, _ = session(["new", "easy", "st 1", "go"], rc=RC_NO_BOOK)
elapsed = time.time() - start
expect("st 1 without post: a move, no thinking", out,
       [init_text, "Anticiped move ", ROOT_LINES, MOVE_LINE])
checks.check("st 1 limits the search to about a second", elapsed < 5, f"{elapsed:.1f} s")


def seconds_to_move(lines, pause=0.0, during=()):
    """Seconds from "go" to the move and from the last line of during (sent `pause` apart) to the
    move, and the protocol output."""
    e = Engine(lines=["new", "easy", *lines])
    e.wait_for(re.escape(CLEAR))
    time.sleep(0.5)  # the lines before "go" are read by now
    start = sent = time.time()
    e.send("go")
    for line in during:
        time.sleep(pause)
        sent = time.time()
        e.send(line)
    e.wait_for(MOVE_LINE.pattern)
    moved = e.arrival(MOVE_LINE.pattern) or time.time()
    return moved - start, moved - sent, e.finish()[1]


# "time" turns the clock into the budget with the last "level" and "otim": 90 s for 40 moves
# give 90 / 43 = 2.09 s; 30 s with 2.5 s a move give 0.5 + 2.5 s (read as minutes:seconds and a
# decimal increment); 3 s left in sudden death give 0.3 s, which the clock guard cuts to 0.05 s.
forty = seconds_to_move(["level 40 0 0", "otim 9000", "time 9000"])[0]
increment = seconds_to_move(["level 0 0:30 2.5", "otim 3000", "time 3000"])[0]
sudden = seconds_to_move(["level 0 0 0", "otim 300", "time 300"])[0]
checks.check("time and level set the search budget", forty >= 2.0 and 2.9 <= increment < 4.5
             and sudden < 0.9, f"{forty:.2f} s, {increment:.2f} s and {sudden:.2f} s")

# "st" without a number applies its arithmetic to the budget in force: 1000 s after "st 1".
# The search then goes on until a line comes, 2 s into it, and stops at once.
elapsed, late, out = seconds_to_move(["st 1", "st x"], 2.0, ["post"])
checks.check("st x after st 1, and a line stops the search at once", elapsed >= 1.9 and late < AT_ONCE,
             f"{elapsed:.2f} s, {late:.3f} s after the line\n{out}")

# "." lines and empty lines do not interrupt a search: the move comes when "st 2" is spent.
elapsed, _, out = seconds_to_move(["st 2"], 0.3, [".", "", "."])
checks.check("'.' during a search neither stops it nor is taken for a command",
             elapsed >= 1.9 and "Error" not in out, f"{elapsed:.2f} s\n{out}")

# A ponder hit: the next search goes on at the depth pondering reached.
e = Engine(lines=["new", "post", "st 1", "go"])
m = e.wait_for(r"Ponder move (\S+)\n")
reply = m.group(1) if m else "?"
if m:
    time.sleep(1.0)
    e.send(reply)
    e.wait_for(r"Anticiped move \S+\n(?:.*\n)*?move \S+\n")
    time.sleep(0.3)
    e.send("quit")
init_text, out, _ = e.finish()
expect("a ponder hit", out, [init_text, "Anticiped move ", HEADER, SEARCH, MOVE_LINE,
                             "Ponder move " + reply, ROOT_LINES, "Anticiped move " + reply,
                             HEADER, SEARCH, MOVE_LINE,
                             ("*", re.compile(f"Ponder move {MOVE}|{ROOT_LINE.pattern}"))])
first = re.search(r"^(\d+)(?: |->)", out[out.find("Anticiped move " + reply):], re.M)
checks.check("a ponder hit continues the search past depth 1", first and int(first.group(1)) > 1,
             out)

# Analysis goes on after "." lines and follows the moves entered; "exit" (unknown here) stops it
# at once. SIGINT, which the interface sends before each of the opponent's moves, is ignored.
e = Engine(rc=True)
e.wait_for(re.escape(CLEAR))
e.proc.send_signal(signal.SIGINT)
e.send("post", "analyze")
e.wait_for(r"stat01: ")
for _ in range(3):
    time.sleep(0.3)
    e.send(".")
time.sleep(0.3)
e.send("e2e4")
e.wait_for(r"stat01: .* e7e5\n")
sent = time.time()
e.send("exit")
e.expect(r"Error \(unknown command\): exit\n")
late = e.arrival(r"Error \(unknown command\): exit\n") - sent
e.send("quit")
_, out, status = e.finish()
checks.check("SIGINT ignored, quit ends with status 0", status == 0, f"status {status}")
analysis, _, after = out.partition("Error (unknown command): exit\n\n")
stats = [line for line in analysis.splitlines() if STAT01.fullmatch(line)]
checks.check("analysis of the position after e2e4",
             len(stats) >= 40 and any(s.endswith(" e7e5") for s in stats), out)
expect("analysis transcript: '.' does not stop it", analysis, [HEADER, ("*", re.compile(
    f"(?:{STAT01.pattern})|(?:{THINKING.pattern})|(?:{ROOT_LINE.pattern})|{HEADER}"))])
checks.check("exit stops the analysis at once", late < AT_ONCE and after == "", f"{late:.3f} s\n{after}")

# Analysis of a side without a legal move waits for input without searching: the header, and
# nothing more until the next line comes.
for name, setup, result in (("mated", ["Ke8", "Pf4", "c", "Rd8", "Pg7", "Qf6", "Pf5", "Ke4", "."], []),
                            ("stalemated", ["Qb6", "Kh1", "c", "Ka8", ".", "black"],
                             ["1/2-1/2 {Stalemate}"])):
    e = Engine(lines=["post", "force", "edit", "#", *setup, "analyze"])
    e.expect(re.escape(HEADER))
    time.sleep(1.0)
    e.send("quit")
    expect(f"analysis of a {name} side: no search", e.finish()[1], [*result, HEADER])

checks.done()
