"""UCI: the transcripts of uci_answers.txt, then a live session as interfaces and match tools
drive it: their check before a match, pondering, lines that arrive during a search, clocks
nearly spent and a game of 300 moves sent whole."""
import re
import time

from vrk_e2e import AT_ONCE, NATIVE, Checks, Running, rc_with

MOVE = r"[a-h][1-8][a-h][1-8][nbrq]?"
INFO = re.compile(r"info (?:depth \d+ seldepth \d+ score (?:cp|mate) -?\d+(?: lowerbound| upperbound)?"
                  rf" nodes \d+ nps \d+ time \d+ hashfull \d+(?: tbhits \d+)?(?: pv(?: {MOVE})+)?"
                  r"|string .*)")
BESTMOVE = re.compile(rf"bestmove ({MOVE}|0000)(?: ponder ({MOVE}))?")


def from_identity(out):
    """The output from "id name" on: what the console printed before "uci" is left out."""
    return out[out.find("id name"):] if "id name" in out else out


checks = Checks()
checks.transcripts("uci_answers.txt", "uci", from_identity)


class Uci(Running):
    """The engine in UCI mode on a live pipe."""

    def __init__(self, rc=rc_with(BOOK=0)):
        super().__init__(rc=rc)
        self.send("uci")
        self.expect(r"uciok\n")

    def answer(self, lines, pattern, timeout=30.0):
        """Sends lines and waits for a line matching pattern after them; returns (seconds from
        sending to its arrival, the match, the output in between), the match None on a timeout."""
        start, sent = len(self.text()), time.time()
        self.send(*lines)
        regex = re.compile(f"^(?:{pattern})$", re.M)
        while True:
            out = self.text()
            m = regex.search(out, start)
            if m or time.time() > sent + timeout or not self.reader.is_alive():
                break
            time.sleep(0.002)
        if not m:
            return timeout, None, out[start:]
        with self.lock:
            arrived = next(t for t, length in self.stamps if length >= m.end())
        return arrived - sent, m, out[start:m.start()]

    def legal(self, position, moves):
        """Whether the moves can be played in the position (the engine's own check)."""
        line = " ".join([position] + ([] if " moves " in position else ["moves"]) + moves)
        _, m, between = self.answer([line, "isready"], "readyok")
        return m is not None and "illegal" not in between


def search(e, name, position, go, limit):
    """Runs a search; checks that it answers within limit seconds with well-formed info lines
    (at least one with a score) and a legal best move. Returns the seconds it took."""
    e.answer([position, "isready"], "readyok")
    seconds, m, between = e.answer([go], BESTMOVE.pattern, timeout=limit + 30)
    infos = between.splitlines()
    checks.check(f"{name}: a best move in {limit:.2f} s", m and seconds <= limit,
                 f"{seconds:.3f} s\n{between}")
    checks.check(f"{name}: info lines well formed, with a score",
                 all(INFO.fullmatch(line) for line in infos) and any(" score " in x for x in infos),
                 between)
    if m:
        checks.check(f"{name}: the best move and the reply are legal",
                     e.legal(position, [x for x in m.groups() if x]), m.group(0))
    return seconds


# What match tools check before a match: identity, synchronisation, positions, and searches on
# clocks of 100 ms, for either side to move and with increments.
e = Uci()
head = e.text()
checks.check("uci: id name and id author", "\nid name vrk 1.0\n" in head and "\nid author " in head,
             head)
checks.check("nothing of the console after uci", re.search(r"vrk# \nid name", head), head)
for lines in (["isready"], ["ucinewgame", "isready"], ["position startpos", "isready"],
              ["position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
               "isready"]):
    seconds, m, _ = e.answer(lines, "readyok")
    checks.check(f"{' + '.join(lines)}: readyok at once", m and seconds < AT_ONCE, f"{seconds:.3f} s")
IN_TIME = 0.1 if NATIVE else AT_ONCE  # the clock's 100 ms, or an emulator's start-up
for name, position, go in (
        ("White, wtime 100", "position startpos", "go wtime 100"),
        ("Black, btime 100", "position startpos moves e2e4", "go btime 100"),
        ("both clocks 100 with increments",
         "position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
         "go wtime 100 winc 100 btime 100 binc 100"),
        ("a middle game, both clocks 100", "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/"
         "2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", "go wtime 100 btime 100"),
        ("an ending, Black", "position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 b - - 0 1",
         "go wtime 100 btime 100"),
        ("a clock already spent", "position startpos moves d2d4", "go wtime -20 btime -20")):
    print(f"{name}: {search(e, name, position, go, IN_TIME):.3f} s")
seconds = search(e, "movetime 1000", "position startpos moves e2e4 e7e5", "go movetime 1000", 2.0)
checks.check("movetime 1000 takes about a second less the overhead", 0.85 <= seconds,
             f"{seconds:.3f} s")
print(f"movetime 1000: {seconds:.3f} s")

# Pondering: nothing before the ponder hit, then the move on the clock of the "go"; or "stop".
position = "position startpos moves e2e4 e7e5"
_, m, _ = e.answer([position, "go ponder wtime 5000 btime 5000"], BESTMOVE.pattern, timeout=1.0)
checks.check("go ponder: no best move before the ponder hit", m is None, m and m.group(0))
seconds, m, _ = e.answer(["ponderhit"], BESTMOVE.pattern)
checks.check("ponderhit: the best move on the clock's budget", m and seconds < 0.5 + AT_ONCE,
             f"{seconds:.3f} s")
_, m, _ = e.answer([position, "go ponder wtime 5000 btime 5000"], BESTMOVE.pattern, timeout=1.0)
seconds, m, _ = e.answer(["stop"], BESTMOVE.pattern)
checks.check("go ponder, stop: the best move at once", m and seconds < AT_ONCE, f"{seconds:.3f} s")

# An analysis: isready is answered while the search goes on; stop answers at once.
_, m, _ = e.answer(["position startpos moves d2d4", "go infinite"], BESTMOVE.pattern, timeout=1.0)
checks.check("go infinite: no best move before stop", m is None, m and m.group(0))
ready = []
for _ in range(5):
    seconds, m, between = e.answer(["isready"], "readyok")
    ready.append(seconds)
    checks.check("isready during a search: the search goes on", m and "bestmove" not in between,
                 between)
    time.sleep(0.2)
seconds, m, _ = e.answer(["stop"], BESTMOVE.pattern)
print(f"isready during a search: {max(ready):.4f} s at most; stop: {seconds:.4f} s")
checks.check("isready during a search: readyok at once", max(ready) < AT_ONCE, f"{ready}")
checks.check("stop during go infinite: the best move at once", m and seconds < AT_ONCE,
             f"{seconds:.3f} s")

# A game of 300 moves, sent whole with every move as interfaces do: the knights walk out and
# back (the history reaches past what the move stack holds for a search).
game = ["g1f3", "g8f6", "f3g1", "f6g8"] * 150
for plies in (596, 598, 600):
    line = "position startpos moves " + " ".join(game[:plies])
    seconds, m, between = e.answer([line, "isready"], "readyok")
    checks.check(f"{plies} plies read at once", m and seconds < AT_ONCE and not between,
                 f"{seconds:.3f} s\n{between}")
    search(e, f"{plies} plies, then a search", line, "go depth 4", 30.0)
_, status = e.close()
checks.check("the end of input ends the session", status == 0, f"status {status}")

# quit during a search ends the program at once.
e = Uci()
e.answer(["position startpos", "go infinite"], BESTMOVE.pattern, timeout=0.5)
sent = time.time()
e.send("quit")
e.proc.wait(timeout=30)
seconds = time.time() - sent
checks.check("quit during a search ends the program", e.proc.returncode == 0 and seconds < AT_ONCE,
             f"status {e.proc.returncode} after {seconds:.3f} s")
e.close()

checks.done()
