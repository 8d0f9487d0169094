// Shared by the bitbase tests: the three- and four-men files of the build tree, which the
// egbb_files test generates (every table checked against the prober) before any test that
// reads them (ctest runs it first as their fixture).
#pragma once
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "egbbdll.h"

// Directory of the generated files, with a trailing separator; "" when they are missing.
inline std::string egbb_files() {
    const std::string dir = VRK_EGBB_FILES "/";
    return std::filesystem::exists(dir + "kqkr.b.cmp") ? dir : "";
}

inline const char EGBB_MISSING[] =
    "no bitbase files in " VRK_EGBB_FILES ": the ctest test egbb_files generates them";

inline int king_dist(int a, int b) {
    return std::max(std::abs((a & 7) - (b & 7)), std::abs((a >> 3) - (b >> 3)));
}

// A legal position of a material with `side` to move (prober squares), drawn at random.
struct Position {
    int side, wk, bk, pc[3], sq[3];
    int probe() const {
        return probe_egbb_5men(side, wk, bk, pc[0], sq[0], pc[1], sq[1], pc[2], sq[2]);
    }
};

// The side not to move is not in check (on the prober's own board).
inline bool legal(const Position &p) {
    static const bool ready = (egbb_prober::init_sqatt(), true);
    static egbb_prober::SEARCHER s;
    (void)ready;
    auto sq88 = [](int pc, int sq) { return pc ? egbb_prober::SQ6488(sq) : 0; };
    s.set_pos(p.side, egbb_prober::SQ6488(p.wk), egbb_prober::SQ6488(p.bk), p.pc[0], sq88(p.pc[0], p.sq[0]), p.pc[1],
              sq88(p.pc[1], p.sq[1]), p.pc[2], sq88(p.pc[2], p.sq[2]));
    return !s.attacks(p.side, egbb_prober::SQ6488(p.side == 0 ? p.bk : p.wk));
}

inline Position random_position(std::mt19937 &rng, int side, std::vector<int> pcs) {
    for (;;) {
        Position p{side, (int)(rng() % 64), (int)(rng() % 64), {0, 0, 0}, {0, 0, 0}};
        bool ok = king_dist(p.wk, p.bk) > 1;
        uint64_t used = (1ull << p.wk) | (1ull << p.bk);
        for (size_t i = 0; i < pcs.size() && ok; i++) {
            p.pc[i] = pcs[i];
            p.sq[i] = (int)(rng() % 64);
            ok = !(used >> p.sq[i] & 1) &&
                 (egbb_prober::piece_type(pcs[i]) != egbb_prober::PAWN || (p.sq[i] >= 8 && p.sq[i] < 56));
            used |= 1ull << p.sq[i];
        }
        if (ok && legal(p)) return p;
    }
}

