"""Three-men bitbases against an independent reference.

Generates the three-men files with vrk-bbgen into the build directory (shared with the
other bitbase tests), then probes every legal KQK, KRK, KBK, KNK and KPK position, both sides to move
and (on a sample) with the piece black, through probe_egbb of libegbbprobe.so, and compares the
win/draw/loss with the Gaviota tables shipped by Debian (packages gaviotatb, libgaviotatb1)."""
import ctypes
import ctypes.util
import fcntl
import os
import subprocess

from vrk_e2e import BUILD, Checks

GTB_DIR = "/usr/share/gaviotatb/gtb4"
EGBB_DIR = os.path.join(BUILD, "egbb-files")
BBGEN = os.path.join(BUILD, "tools", "bbgen", "vrk-bbgen")

# Prober piece codes of the white pieces; Gaviota's codes of the same pieces.
PIECES = {"q": (2, 5), "r": (3, 4), "b": (4, 3), "n": (5, 2), "p": (6, 1)}
KING_STEPS = [(1, 0), (-1, 0), (0, 1), (0, -1), (1, 1), (1, -1), (-1, 1), (-1, -1)]
KNIGHT_STEPS = [(1, 2), (2, 1), (2, -1), (1, -2), (-1, -2), (-2, -1), (-2, 1), (-1, 2)]
LINES = {"q": KING_STEPS, "r": KING_STEPS[:4], "b": KING_STEPS[4:]}


def attacks(letter, colour, sq, target, blocker):
    """Whether a piece on sq attacks target; blocker is the one other man that can block."""
    f, r = sq % 8, sq // 8
    tf, tr = target % 8, target // 8
    if letter == "k":
        return max(abs(f - tf), abs(r - tr)) == 1
    if letter == "n":
        return (tf - f, tr - r) in KNIGHT_STEPS
    if letter == "p":
        return abs(tf - f) == 1 and tr - r == (1 if colour == 0 else -1)
    for df, dr in LINES[letter]:
        x, y = f + df, r + dr
        while 0 <= x < 8 and 0 <= y < 8:
            s = y * 8 + x
            if s == target:
                return True
            if s == blocker:
                break
            x, y = x + df, y + dr
    return False


def main():
    checks = Checks()
    os.makedirs(EGBB_DIR, exist_ok=True)
    with open(os.path.join(EGBB_DIR, ".lock"), "w") as lock:  # shared with the unit tests
        fcntl.flock(lock, fcntl.LOCK_EX)
        gen = subprocess.run([BBGEN, "--verify", "2000", EGBB_DIR, "all3"], stdout=subprocess.PIPE,
                             text=True)
    checks.check("generate", gen.returncode == 0, gen.stdout)

    egbb = ctypes.CDLL(os.path.join(BUILD, "libegbbprobe.so"))
    egbb.load_egbb_5men(ctypes.c_char_p((EGBB_DIR + "/").encode()), 4 << 20, 1)

    gtb = ctypes.CDLL(ctypes.util.find_library("gaviotatb") or "libgaviotatb.so.1")
    gtb.tbpaths_init.restype = ctypes.c_void_p
    gtb.tbpaths_add.restype = ctypes.c_void_p
    gtb.tbpaths_add.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    gtb.tb_init.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_void_p]
    paths = gtb.tbpaths_add(gtb.tbpaths_init(), GTB_DIR.encode())
    gtb.tb_init(0, 4, paths)
    gtb.tbcache_init(1 << 22, 96)
    info = ctypes.c_uint()
    no_sq, sq_arr, pc_arr = 64, ctypes.c_uint * 3, ctypes.c_ubyte * 3

    def reference(stm, wk, bk, pcode, psq, colour):
        wsq = sq_arr(wk, psq, no_sq) if colour == 0 else sq_arr(wk, no_sq, no_sq)
        bsq = sq_arr(bk, psq, no_sq) if colour == 1 else sq_arr(bk, no_sq, no_sq)
        wpc = pc_arr(6, pcode, 0) if colour == 0 else pc_arr(6, 0, 0)
        bpc = pc_arr(6, pcode, 0) if colour == 1 else pc_arr(6, 0, 0)
        if not gtb.tb_probe_WDL_hard(stm, no_sq, 0, wsq, bsq, wpc, bpc, ctypes.byref(info)):
            return None
        # Gaviota answers for White; turn it into the side to move's view.
        white = {0: 0, 1: 1, 2: -1}.get(info.value)
        return None if white is None else (white if stm == 0 else -white)

    for letter, (code, gcode) in PIECES.items():
        for colour in (0, 1):
            counts, bad, unknown = [0, 0, 0], 0, 0
            pcode = code + 6 * colour
            # The colour-flipped material goes through the same tables: a fifth of it will do.
            for wk in range(0, 64, 1 if colour == 0 else 5):
                for bk in range(64):
                    if attacks("k", 0, wk, bk, -1) or wk == bk:
                        continue
                    for psq in range(64):
                        if psq in (wk, bk) or (letter == "p" and psq // 8 in (0, 7)):
                            continue
                        for stm in (0, 1):
                            # The side not to move must not be in check.
                            if colour == stm:
                                king = bk if colour == 0 else wk
                                other = wk if colour == 0 else bk
                                if attacks(letter, colour, psq, king, other):
                                    continue
                            ref = reference(stm, wk, bk, gcode, psq, colour)
                            got = egbb.probe_egbb(stm, wk, bk, pcode, psq, 0, 0)
                            if ref is None:
                                unknown += 1
                                continue
                            sign = 9 if got == 99999 else (got > 0) - (got < 0)
                            counts[1 - ref] += 1
                            if sign != ref:
                                bad += 1
                                if bad <= 3:
                                    print(f"k{letter}k colour {colour} stm {stm} wk {wk} bk {bk} "
                                          f"p {psq}: probe {got}, reference {ref}")
            name = f"k{letter}k" if colour == 0 else f"kk{letter}"
            print(f"{name}: win/draw/loss {counts[0]}/{counts[1]}/{counts[2]}, "
                  f"{bad} mismatches, {unknown} unknown to the reference")
            checks.check(f"{name} agrees with the reference", bad == 0 and unknown == 0)
    checks.done()


if __name__ == "__main__":
    main()
