"""Every legal KQK, KRK, KBK, KNK and KPK position of the generated bitbases (with the piece
black on a sample), probed through libegbbprobe.so, against the Gaviota tables' win/draw/loss."""
import ctypes
import ctypes.util
import itertools
import os

from vrk_e2e import BUILD, Checks, skip

GTB_DIR = "/usr/share/gaviotatb/gtb4"
EGBB_DIR = os.path.join(BUILD, "egbb-files", "")

# Prober piece codes of the white pieces; Gaviota's codes of the same pieces.
PIECES = {"q": (2, 5), "r": (3, 4), "b": (4, 3), "n": (5, 2), "p": (6, 1)}
KING = [(1, 0), (-1, 0), (0, 1), (0, -1), (1, 1), (1, -1), (-1, 1), (-1, -1)]
KNIGHT = [(1, 2), (2, 1), (2, -1), (1, -2), (-1, -2), (-2, -1), (-2, 1), (-1, 2)]
# Steps of each piece and how many of them it can take in a line.
MOVES = {"k": (KING, 1), "n": (KNIGHT, 1), "q": (KING, 7), "r": (KING[:4], 7), "b": (KING[4:], 7)}


def attacks(letter, colour, sq, target, blocker):
    """Whether a piece on sq attacks target; blocker is the one other man that can block."""
    if letter == "p":
        return abs(target % 8 - sq % 8) == 1 and target // 8 - sq // 8 == 1 - 2 * colour
    steps, reach = MOVES[letter]
    for df, dr in steps:
        x, y = sq % 8, sq // 8
        for _ in range(reach):
            x, y = x + df, y + dr
            if not (0 <= x < 8 and 0 <= y < 8) or y * 8 + x == blocker:
                break
            if y * 8 + x == target:
                return True
    return False


def main():
    gaviota = ctypes.util.find_library("gaviotatb")
    if not gaviota or not os.path.isdir(GTB_DIR):
        skip("the Gaviota tables are not installed (apt-get install gaviotatb libgaviotatb1)")
    try:
        gtb = ctypes.CDLL(gaviota)
    except OSError as e:
        skip(f"the Gaviota library does not load: {e}")
    checks = Checks()
    egbb = ctypes.CDLL(os.path.join(BUILD, "libegbbprobe.so"))
    egbb.load_egbb_5men(EGBB_DIR.encode(), 4 << 20, 1)
    gtb.tbpaths_init.restype = gtb.tbpaths_add.restype = ctypes.c_void_p
    gtb.tbpaths_add.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    gtb.tb_init.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_void_p]
    gtb.tb_init(0, 4, gtb.tbpaths_add(gtb.tbpaths_init(), GTB_DIR.encode()))
    # Bit 1: every three-men table found and readable. Without them the reference is broken,
    # which says nothing about the bitbases.
    if not gtb.tb_availability() & 2:
        skip(f"the Gaviota library finds no complete set of three-men tables in {GTB_DIR}")
    gtb.tbcache_init(1 << 22, 96)
    info = ctypes.c_uint()

    def reference(stm, wk, bk, gcode, psq, colour):
        """Win/draw/loss for the side to move (Gaviota answers for White), None when unknown."""
        sqs, pcs = [[wk, 64, 64], [bk, 64, 64]], [[6, 0, 0], [6, 0, 0]]
        sqs[colour][1], pcs[colour][1] = psq, gcode
        args = [(ctypes.c_uint * 3)(*s) for s in sqs] + [(ctypes.c_ubyte * 3)(*p) for p in pcs]
        if not gtb.tb_probe_WDL_hard(stm, 64, 0, *args, ctypes.byref(info)):
            return None
        white = {0: 0, 1: 1, 2: -1}.get(info.value)
        return None if white is None else (white if stm == 0 else -white)

    for (letter, (code, gcode)), colour in itertools.product(PIECES.items(), (0, 1)):
        counts, bad, unknown = [0, 0, 0], 0, 0
        # The colour-flipped material goes through the same tables: a fifth of it will do.
        for wk, bk, psq, stm in itertools.product(range(0, 64, 1 + 4 * colour), range(64),
                                                  range(64), (0, 1)):
            if len({wk, bk, psq}) < 3 or attacks("k", 0, wk, bk, -1) or (
                    letter == "p" and psq // 8 in (0, 7)):
                continue
            # The side not to move must not be in check.
            if colour == stm and attacks(letter, colour, psq, (bk, wk)[colour], (wk, bk)[colour]):
                continue
            ref = reference(stm, wk, bk, gcode, psq, colour)
            got = egbb.probe_egbb(stm, wk, bk, code + 6 * colour, psq, 0, 0)
            if ref is None:
                unknown += 1
                continue
            counts[1 - ref] += 1
            if (got > 0) - (got < 0) != ref or got == 99999:
                bad += 1
                if bad <= 3:
                    print(f"k{letter}k colour {colour} stm {stm} wk {wk} bk {bk} p {psq}: "
                          f"probe {got}, reference {ref}")
        name = f"k{letter}k" if colour == 0 else f"kk{letter}"
        print(f"{name}: win/draw/loss {counts[0]}/{counts[1]}/{counts[2]}, {bad} mismatches, "
              f"{unknown} unknown to the reference")
        checks.check(f"{name} agrees with the reference", bad == 0 and unknown == 0)
    checks.done()


if __name__ == "__main__":
    main()
