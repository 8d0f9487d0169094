// Move generation, make / take back, attack tests and repetitions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board.h"
#include "data.h"
#include "keys.h"
#include "notation.h"
#include "test_util.h"

namespace {

using Moves = std::vector<std::string>;

Moves root_moves() {
    Moves v;
    for (int i = first_move[0]; i < first_move[1]; i++)
        v.push_back(move_str(gen_dat[i].m));
    return v;
}

int score_of(const std::string &coord) {
    for (int i = first_move[0]; i < first_move[1]; i++)
        if (coord == move_str(gen_dat[i].m)) return gen_dat[i].score;
    return -1;
}

void play(std::initializer_list<const char *> moves) {
    for (const char *coord : moves) {
        ASSERT_EQ(makemove(find_move(coord)), 1) << coord;
        ply = 0;
        gen();
    }
}

// All that make and take back must restore.
std::vector<int64_t> snapshot() {
    std::vector<int64_t> v(color, color + 64);
    v.insert(v.end(), piece, piece + 64);
    v.insert(v.end(), {castle, ep, fifty, hply, ply, king_position[0], king_position[1], side,
                       (int64_t)hashcode});
    return v;
}

// The moves of the list at ply, with those of only the given flags when `flags` is not 0.
std::vector<int> listed(int flags) {
    std::vector<int> v;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++)
        if (!flags || (move_bits(gen_dat[i].m) & flags)) v.push_back(gen_dat[i].m);
    return v;
}

// Walks the legal tree checking that every make / take back restores the position exactly, that
// every position made is sound, its incremental key equal to the key made from scratch and to
// key_after's forecast, and that gen_caps() lists gen()'s captures and promotions in the same
// order.
long walk(int depth) {
    if (depth == 0) return 1;
    gen_caps();
    const std::vector<int> caps = listed(0);
    gen();
    EXPECT_EQ(caps, listed(FLAG_CAPTURE | FLAG_PROMOTE));
    long n = 0;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        const std::vector<int64_t> before = snapshot();
        const int m = gen_dat[i].m;
        const uint64_t key = key_after(m);
        if (makemove(m)) {
            EXPECT_TRUE(position_ok()) << move_str(m);
            EXPECT_EQ(hashcode, key) << move_str(m);
            n += walk(depth - 1);
            takeback();
        }
        EXPECT_EQ(snapshot(), before) << move_str(m);
    }
    return n;
}

class Board : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
};

TEST_F(Board, InitialPosition) {
    // The pawn moves file by file, then the knights, then castling listed on the rights alone.
    EXPECT_EQ(root_moves(), (Moves{"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3", "d2d4",
                                   "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4",
                                   "b1a3", "b1c3", "g1f3", "g1h3", "e1g1", "e1c1"}));
    gen_caps();
    EXPECT_EQ(first_move[1], first_move[0]);
}

TEST_F(Board, EnPassantSquareFiftyAndNullMove) {
    play({"e2e4", "d7d5"});
    EXPECT_EQ(ep, 19);
    play({"g1f3"});
    EXPECT_EQ(std::make_pair(ep, fifty), std::make_pair(-1, 1));
    // A null move keeps the counter and the rights, clears ep, and changes the key by its own
    // entry alone; a second one restores the key.
    const std::vector<int64_t> before = snapshot();
    const uint64_t key = hashcode;
    ASSERT_EQ(makemove(null_move), 1);
    EXPECT_EQ(std::make_tuple(ep, fifty, castle), std::make_tuple(-1, 1, 15));
    EXPECT_EQ(hashcode, key ^ null_key());
    ASSERT_EQ(makemove(null_move), 1);
    EXPECT_EQ(hashcode, key);
    takeback();
    takeback();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Board, EnPassantGeneratedLast) {
    play({"e2e4", "d7d5", "e4e5", "f7f5"});
    EXPECT_EQ(ep, 21);
    const int last = gen_dat[first_move[1] - 1].m;
    EXPECT_STREQ(move_str(last), "e5f6");
    gen_caps();
    const Moves caps = root_moves();
    EXPECT_NE(std::find(caps.begin(), caps.end(), "e5f6"), caps.end());
    ASSERT_EQ(makemove(last), 1);
    EXPECT_EQ(color[29], EMPTY); // the f5 pawn is gone
}

TEST_F(Board, PromotionAndCaptureOrder) {
    setup_fen("1r5k/P7/8/8/8/8/8/7K w - -");
    const Moves moves = root_moves();
    EXPECT_EQ(Moves(moves.begin(), moves.begin() + 8),
              (Moves{"a7b8N", "a7b8B", "a7b8R", "a7b8Q", "a7a8N", "a7a8B", "a7a8R", "a7a8Q"}));
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(gen_dat[i].score, 1500010 + 10 * (i % 4));
    setup_fen("7k/4P3/8/8/8/8/6p1/K7 b - -");
    gen_caps();
    EXPECT_EQ(root_moves(), (Moves{"g2g1N", "g2g1B", "g2g1R", "g2g1Q"}));
    // Most valuable victim, then least valuable attacker; a quiet move scores 0.
    setup_fen("7k/8/8/3q4/4P3/8/8/Q6K w - -");
    EXPECT_EQ(score_of("e4d5"), 1000040);
    setup_fen("7k/8/8/8/8/1p6/1p6/Q6K w - -");
    EXPECT_EQ(score_of("a1b2"), 999996);
    EXPECT_EQ(score_of("a1b1"), 0);
}

TEST_F(Board, CastlingRefusals) {
    // Out of check, through f1, into g1; c1 allowed with only b1 attacked, not with b1 occupied.
    const std::tuple<const char *, const char *, int> cases[] = {
        {"4k3/8/8/8/8/8/8/R3K2R w KQ -", "e1g1", 1},
        {"4k3/4r3/8/8/8/8/8/R3K2R w KQ -", "e1g1", 0},
        {"4k3/5r2/8/8/8/8/8/R3K2R w KQ -", "e1g1", 0},
        {"4k3/6r1/8/8/8/8/8/R3K2R w KQ -", "e1g1", 0},
        {"4k3/3r4/8/8/8/8/8/R3K2R w KQ -", "e1c1", 0},
        {"4k3/1r6/8/8/8/8/8/R3K2R w KQ -", "e1c1", 1},
        {"4k3/8/8/8/8/8/8/RN2K2R w KQ -", "e1c1", 0},
        {"r3k2r/8/8/8/8/8/8/4K3 b kq -", "e8c8", 1},
        {"r3k2r/8/8/8/8/8/5R2/4K3 b kq -", "e8g8", 0},
    };
    for (auto [fen, move, legal] : cases) {
        setup_fen(fen);
        const std::vector<int64_t> before = snapshot();
        const int m = find_move(move);
        ASSERT_NE(m, 0) << fen;
        EXPECT_EQ(makemove(m), legal) << fen << " " << move;
        if (legal) takeback();
        EXPECT_EQ(snapshot(), before) << fen;
    }
}

TEST_F(Board, CastleRightsByMove) {
    setup_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    const std::pair<const char *, int> cases[] = {{"h1h5", 15 & ~CASTLE_WK},
                                                  {"e1f1", CASTLE_BK | CASTLE_BQ},
                                                  {"a1a8", CASTLE_WK | CASTLE_BK}};
    for (auto [move, rights] : cases) {
        ASSERT_EQ(makemove(find_move(move)), 1);
        EXPECT_EQ(castle, rights) << move;
        takeback();
    }
}

TEST_F(Board, AttackTestsAgree) {
    for (const char *fen : {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                            "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -"}) {
        setup_fen(fen);
        for (int s = 0; s < 2; s++)
            for (int sq = 0; sq < 64; sq++)
                EXPECT_EQ(attack(sq, s), newattack(sq, s)) << fen << " sq " << sq << " s " << s;
    }
}

TEST_F(Board, Repetitions) {
    play({"g1f3", "g8f6", "f3g1"});
    EXPECT_EQ(reps(), 0); // fifty is 3: no scan
    play({"f6g8"});
    EXPECT_EQ(reps(), 1);
    play({"g1f3", "g8f6", "f3g1", "f6g8"});
    EXPECT_EQ(reps(), 2);
}

// Published perft counts at depth 3 (-1: a position with en passant, counted elsewhere).
TEST_F(Board, WalkTreesRestoreEverything) {
    const std::pair<const char *, long> cases[] = {
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 97862},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 2812},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -", 9467},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -", 62379},
        {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6", -1},
    };
    for (auto [fen, count] : cases) {
        setup_fen(fen);
        const long n = walk(3);
        EXPECT_EQ(count < 0 ? count : n, count) << fen;
    }
}

} // namespace
