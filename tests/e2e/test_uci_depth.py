"""The same search in both protocols: from the positions of a game, "go depth N" in UCI gives the
move, score and node count that "sd N" gives in the XBoard loop, for N = 3 to 5. The game is the
engine's own at depth 3 from the initial position, and both loops reach each position by its
moves, so that castling rights, en passant squares and the history are the same."""
import re
import time

from vrk_e2e import Checks, Running, rc_with

PLIES, EVERY = 120, 4  # thirty positions from the opening to the ending
DEPTHS = (3, 4, 5)
RC = rc_with(BOOK=0)
THINKING = re.compile(r"(\d+) (-?\d+) \d+ (\d+) 1\. .*")  # depth score time nodes pv
UCI_LINE = re.compile(r"info depth (\d+) seldepth \d+ score (cp|mate) (-?\d+) nodes (\d+) .*")


def live(first, searches, answer):
    """Runs a session as an interface does: the first lines, then each search's lines once the
    last search has answered (a line matching answer). Returns the output."""
    engine = Running(rc=RC)
    engine.send(*first)
    for n, lines in enumerate(searches):
        engine.send(*lines)
        while len(re.findall(answer, engine.text(), re.M)) <= n and engine.reader.is_alive():
            time.sleep(0.005)
    return engine.close()[0]


def play_game():
    """The engine's game against itself, each move searched to depth 3 as an interface asks."""
    engine, game = Running(rc=RC), []
    engine.send("uci")
    while len(game) < PLIES:
        engine.send(f"position startpos moves {' '.join(game)}", "go depth 3")
        while len(re.findall(r"^bestmove (\S+)", engine.text(), re.M)) <= len(game):
            time.sleep(0.005)
        move = re.findall(r"^bestmove (\S+)", engine.text(), re.M)[len(game)]
        if move == "0000":
            break
        game.append(move)
    engine.close()
    return game


game = play_game()
positions = [game[:n] for n in range(0, len(game), EVERY)]


def mate_text(score):
    """A score of the XBoard loop as UCI writes it."""
    if score > 9936:
        return f"mate {(10000 - score + 1) // 2}"
    if score < -9936:
        return f"mate {-((10000 + score) // 2)}"
    return f"cp {score}"


out = live(["xboard", "easy", "post"], [["new", "force", *moves, f"sd {depth}", "go"]
                                         for moves in positions for depth in DEPTHS], "^move ")
xboard = []
for block in out.split("Anticiped move")[1:]:
    lines = block.splitlines()
    move = next(line[5:] for line in lines if line.startswith("move "))
    last = [m for m in map(THINKING.fullmatch, lines) if m][-1]
    xboard.append((move.lower(), mate_text(int(last[2])), int(last[3])))

out = live(["uci"], [[f"position startpos moves {' '.join(moves)}", f"go depth {depth}"]
                     for moves in positions for depth in DEPTHS], "^bestmove ")
uci = []
chunks = out.split("bestmove ")  # a search's lines, then its best move at the next chunk's start
for lines, after in zip(chunks, chunks[1:]):
    last = [m for m in map(UCI_LINE.fullmatch, lines.splitlines()) if m][-1]
    uci.append((after.split()[0], f"{last[2]} {last[3]}", int(last[4])))

checks = Checks()
cases = [(len(moves), depth) for moves in positions for depth in DEPTHS]
checks.check("a result for every search", len(xboard) == len(uci) == len(cases),
             f"{len(xboard)} / {len(uci)} / {len(cases)}")
for (plies, depth), x, u in zip(cases, xboard, uci):
    checks.check(f"after {plies} plies, depth {depth}", x == u, f"XBoard: {x}\nUCI:    {u}")
checks.done()
