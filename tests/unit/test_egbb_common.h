// Shared by the bitbase tests that read the three- and four-men files which the ctest fixture
// egbb_files generates into the build tree (every table checked against the prober).
#pragma once
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "board.h"
#include "prober_internal.h"
#include "test_util.h"

namespace pb = egbb_prober;

// Directory of the generated files, with a trailing separator; "" when they are missing.
inline std::string egbb_files() {
    const std::string dir = VRK_EGBB_FILES "/";
    return std::filesystem::exists(dir + "kqkr.b.cmp") ? dir : "";
}

inline const char EGBB_MISSING[] =
    "no bitbase files in " VRK_EGBB_FILES ": the ctest test egbb_files generates them";

// Loads the generated files for probes from the engine's board (three and four men in memory,
// five men through a block cache of `cache_bytes`) and resets the engine; false when missing.
inline bool load_for_engine(int cache_bytes) {
    const std::string files = egbb_files();
    if (files.empty()) return false;
    capture_stdout([&] { load_egbb_5men(files.c_str(), cache_bytes, 1); });
    reset_engine();
    return true;
}

// The value for the side to move of its best move on the engine's board, each move valued by
// `child` (1, 0, -1 for the side then to move); without a move, mated -1 or stalemated 0.
template <class Child> int best_move_value(Child child) {
    int best = -2;
    gen();
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        if (!makemove(gen_dat[i].m)) continue;
        best = std::max(best, -child());
        takeback();
    }
    return best > -2 ? best : in_check(side) ? -1 : 0;
}

// A position in prober squares and codes; absent pieces are 0.
struct Position {
    int side, wk, bk, pc[3], sq[3];
    int probe() const {
        return probe_egbb_5men(side, wk, bk, pc[0], sq[0], pc[1], sq[1], pc[2], sq[2]);
    }
};

// Kings apart, men on distinct squares, pawns off the end ranks and the side not to move not
// in check (on the prober's own board).
inline bool legal(const Position &p) {
    static const bool ready = (pb::init_sqatt(), true);
    static pb::SEARCHER s;
    (void)ready;
    if (std::max(std::abs(p.wk % 8 - p.bk % 8), std::abs(p.wk / 8 - p.bk / 8)) <= 1) return false;
    uint64_t used = 1ull << p.wk | 1ull << p.bk;
    int sq88[3] = {0, 0, 0};
    for (int i = 0; i < 3 && p.pc[i]; i++) {
        if (used >> p.sq[i] & 1 || (p.pc[i] % 6 == 0 && (p.sq[i] < 8 || p.sq[i] >= 56)))
            return false;
        used |= 1ull << p.sq[i];
        sq88[i] = pb::SQ6488(p.sq[i]);
    }
    s.set_pos(p.side, pb::SQ6488(p.wk), pb::SQ6488(p.bk), p.pc[0], sq88[0], p.pc[1], sq88[1],
              p.pc[2], sq88[2]);
    return !s.attacks(p.side, pb::SQ6488(p.side == 0 ? p.bk : p.wk));
}

// The position in FEN, for the engine's board.
inline std::string fen_of(const Position &p) {
    std::string board(64, '1'), fen;
    board[p.wk] = 'K', board[p.bk] = 'k';
    for (int i = 0; i < 3 && p.pc[i]; i++)
        board[p.sq[i]] = ".KQRBNPkqrbnp"[p.pc[i]];
    for (int row = 7; row >= 0; row--)
        fen += board.substr(row * 8, 8) + (row ? "/" : p.side ? " b - - 0 1" : " w - - 0 1");
    return fen;
}

// A legal position of the material with `to_move` to move, drawn at random.
inline Position random_position(std::mt19937 &rng, int to_move, const std::vector<int> &pcs) {
    for (;;) {
        Position p{to_move, (int)(rng() % 64), (int)(rng() % 64), {0, 0, 0}, {0, 0, 0}};
        for (size_t i = 0; i < pcs.size(); i++)
            p.pc[i] = pcs[i], p.sq[i] = (int)(rng() % 64);
        if (legal(p)) return p;
    }
}
