// Move generation, make / take back, attack tests and repetitions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board.h"
#include "data.h"
#include "keys.h"
#include "notation.h"
#include "test_util.h"

namespace {

std::vector<std::string> root_moves() {
    std::vector<std::string> v;
    for (int i = first_move[0]; i < first_move[1]; i++) v.push_back(move_str(gen_dat[i].m));
    return v;
}

int score_of(const std::string &coord) {
    for (int i = first_move[0]; i < first_move[1]; i++)
        if (coord == move_str(gen_dat[i].m)) return gen_dat[i].score;
    return -1;
}

void play(const char *coord) {
    int m = find_move(coord);
    ASSERT_NE(m, 0) << coord;
    ASSERT_EQ(makemove(m), 1) << coord;
    ply = 0;
    gen();
}

struct Snapshot {
    int color[64], piece[64], castle, ep, fifty, hply, ply, kings[2];
    uint64_t key;
    int side;
    static Snapshot take() {
        Snapshot s;
        memcpy(s.color, ::color, sizeof s.color);
        memcpy(s.piece, ::piece, sizeof s.piece);
        s.castle = ::castle;
        s.ep = ::ep;
        s.fifty = ::fifty;
        s.hply = ::hply;
        s.ply = ::ply;
        s.kings[0] = king_position[0];
        s.kings[1] = king_position[1];
        s.key = hashcode;
        s.side = ::side;
        return s;
    }
    bool operator==(const Snapshot &o) const {
        return !memcmp(color, o.color, sizeof color) && !memcmp(piece, o.piece, sizeof piece) &&
               castle == o.castle && ep == o.ep && fifty == o.fifty && hply == o.hply &&
               ply == o.ply && kings[0] == o.kings[0] && kings[1] == o.kings[1] && key == o.key &&
               side == o.side;
    }
};

// Walks the legal tree checking that every make / take back restores the position exactly and
// that the incremental key always equals the key computed from scratch.
long walk(int depth) {
    if (depth == 0) return 1;
    gen();
    long n = 0;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        Snapshot before = Snapshot::take();
        int m = gen_dat[i].m;
        if (!makemove(m)) {
            EXPECT_TRUE(Snapshot::take() == before) << "refused move changed the position";
            continue;
        }
        EXPECT_TRUE(position_ok()) << move_str(m);
        n += walk(depth - 1);
        takeback();
        EXPECT_TRUE(Snapshot::take() == before) << "take back of " << move_str(m);
    }
    return n;
}

} // namespace

TEST(Board, InitialPosition) {
    reset_engine();
    EXPECT_EQ(castle, 15);
    EXPECT_EQ(ep, -1);
    EXPECT_EQ(king_position[LIGHT], 60);
    EXPECT_EQ(king_position[DARK], 4);
    EXPECT_EQ(color[60], LIGHT);
    EXPECT_EQ(piece[60], KING);
    // The pawn moves file by file, then the knights, then castling listed on the rights alone.
    std::vector<std::string> expected = {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3",
                                         "d2d4", "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4",
                                         "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3", "e1g1",
                                         "e1c1"};
    EXPECT_EQ(root_moves(), expected);
    EXPECT_EQ(score_of("e2e4"), 0);
}

TEST(Board, FrameTables) {
    EXPECT_EQ(mailbox[mailbox64[0] - 10], -1);
    EXPECT_EQ(mailbox[mailbox64[7] + 1], -1);
    EXPECT_EQ(mailbox[mailbox64[63] - 11], 54);
    EXPECT_EQ(flip[0], 56);
    EXPECT_EQ(flip[63], 7);
}

TEST(Board, EnPassantSquareAndFifty) {
    reset_engine();
    play("e2e4");
    EXPECT_EQ(ep, 44);
    EXPECT_EQ(fifty, 0);
    play("d7d5");
    EXPECT_EQ(ep, 19);
    play("g1f3");
    EXPECT_EQ(ep, -1);
    EXPECT_EQ(fifty, 1);
    // A null move keeps the counter and the rights, clears ep, and changes the key by its own
    // entry alone; a second one restores the key.
    uint64_t key = hashcode;
    int f = fifty, c = castle;
    ASSERT_EQ(makemove(null_move), 1);
    EXPECT_EQ(ep, -1);
    EXPECT_EQ(fifty, f);
    EXPECT_EQ(castle, c);
    EXPECT_EQ(hashcode, key ^ null_key());
    ASSERT_EQ(makemove(null_move), 1);
    EXPECT_EQ(hashcode, key);
    takeback();
    takeback();
    EXPECT_EQ(hashcode, key);
}

TEST(Board, EnPassantGeneratedLast) {
    reset_engine();
    for (const char *m : {"e2e4", "d7d5", "e4e5", "f7f5"}) play(m);
    EXPECT_EQ(ep, 21);
    int last = gen_dat[first_move[1] - 1].m;
    EXPECT_STREQ(move_str(last), "e5f6");
    EXPECT_EQ(move_bits(last), 0x15);
    gen_caps();
    bool found = false;
    for (int i = first_move[0]; i < first_move[1]; i++)
        found |= !strcmp(move_str(gen_dat[i].m), "e5f6");
    EXPECT_TRUE(found);
    ASSERT_EQ(makemove(last), 1);
    EXPECT_EQ(color[29], EMPTY); // the f5 pawn is gone
    uint64_t key = hashcode;
    ComputeHashCode();
    EXPECT_EQ(key, hashcode);
}

TEST(Board, PromotionOrderAndScores) {
    reset_engine();
    setup_fen("1r5k/P7/8/8/8/8/8/7K w - -");
    std::vector<std::string> moves = root_moves();
    std::vector<std::string> first(moves.begin(), moves.begin() + 8);
    EXPECT_EQ(first, (std::vector<std::string>{"a7b8N", "a7b8B", "a7b8R", "a7b8Q", "a7a8N",
                                                "a7a8B", "a7a8R", "a7a8Q"}));
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(gen_dat[i].score, 1500010 + 10 * (i % 4));
        EXPECT_EQ(move_bits(gen_dat[i].m), i < 4 ? 0x31 : 0x30);
    }
}

TEST(Board, CaptureScores) {
    reset_engine();
    setup_fen("7k/8/8/3q4/4P3/8/8/Q6K w - -");
    EXPECT_EQ(score_of("e4d5"), 1000040); // pawn takes queen
    setup_fen("7k/8/8/8/8/1p6/8/Q6K w - -");
    EXPECT_EQ(score_of("a1b1"), 0);
    setup_fen("7k/8/8/8/8/8/1p6/Q6K w - -");
    EXPECT_EQ(score_of("a1b2"), 999996); // queen takes pawn
}

TEST(Board, GenCapsOnlyCapturesAndPromotions) {
    reset_engine();
    gen_caps();
    EXPECT_EQ(first_move[1], first_move[0]);
    setup_fen("7k/4P3/8/8/8/8/6p1/K7 b - -");
    gen_caps();
    std::vector<std::string> v = root_moves();
    EXPECT_EQ(v, (std::vector<std::string>{"g2g1N", "g2g1B", "g2g1R", "g2g1Q"}));
}

TEST(Board, PawnStepsBlocked) {
    reset_engine();
    setup_fen("4k3/8/8/8/8/p7/P3P3/4K3 w - -"); // a2 blocked at once
    std::vector<std::string> v = root_moves();
    EXPECT_EQ(std::count(v.begin(), v.end(), "a2a3"), 0);
    EXPECT_EQ(std::count(v.begin(), v.end(), "a2a4"), 0);
    setup_fen("4k3/8/8/8/4p3/8/4P3/4K3 w - -"); // e2 one step only
    v = root_moves();
    EXPECT_EQ(std::count(v.begin(), v.end(), "e2e3"), 1);
    EXPECT_EQ(std::count(v.begin(), v.end(), "e2e4"), 0);
}

TEST(Board, CastlingRefusals) {
    reset_engine();
    // Blocked: listed but refused.
    EXPECT_EQ(makemove(find_move("e1g1")), 0);
    // Out of check, through f1, into g1; c1 allowed with only b1 attacked, not with b1 occupied.
    struct Case {
        const char *fen, *move;
        int legal;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/R3K2R w KQ -", "e1g1", 1},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ -", "e1c1", 1},
        {"4k3/4r3/8/8/8/8/8/R3K2R w KQ -", "e1g1", 0},
        {"4k3/5r2/8/8/8/8/8/R3K2R w KQ -", "e1g1", 0},
        {"4k3/6r1/8/8/8/8/8/R3K2R w KQ -", "e1g1", 0},
        {"4k3/3r4/8/8/8/8/8/R3K2R w KQ -", "e1c1", 0},
        {"4k3/1r6/8/8/8/8/8/R3K2R w KQ -", "e1c1", 1},
        {"4k3/8/8/8/8/8/8/RN2K2R w KQ -", "e1c1", 0},
        {"r3k2r/8/8/8/8/8/8/4K3 b kq -", "e8c8", 1},
        {"r3k2r/8/8/8/8/8/5R2/4K3 b kq -", "e8g8", 0},
    };
    for (const Case &c : cases) {
        setup_fen(c.fen);
        Snapshot before = Snapshot::take();
        int m = find_move(c.move);
        ASSERT_NE(m, 0) << c.fen;
        EXPECT_EQ(makemove(m), c.legal) << c.fen << " " << c.move;
        if (c.legal) {
            EXPECT_TRUE(position_ok());
            takeback();
        }
        EXPECT_TRUE(Snapshot::take() == before) << c.fen;
    }
}

TEST(Board, CastleRightsByMove) {
    reset_engine();
    setup_fen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
    int m = find_move("h1h5");
    ASSERT_EQ(makemove(m), 1);
    EXPECT_EQ(castle, 15 & ~CASTLE_WK);
    takeback();
    ASSERT_EQ(makemove(find_move("e1f1")), 1);
    EXPECT_EQ(castle, CASTLE_BK | CASTLE_BQ);
    takeback();
    EXPECT_EQ(castle, 15);
    ASSERT_EQ(makemove(find_move("a1a8")), 1);
    EXPECT_EQ(castle, CASTLE_WK | CASTLE_BK);
}

TEST(Board, IllegalMoveLeavesEverything) {
    reset_engine();
    setup_fen("4k3/8/8/8/8/8/4r3/4K3 w - -");
    Snapshot before = Snapshot::take();
    EXPECT_EQ(makemove(find_move("e1d1")), 1);
    takeback();
    EXPECT_EQ(makemove(find_move("e1f2")), 0); // f2 is on the rook's rank
    EXPECT_TRUE(Snapshot::take() == before);
}

TEST(Board, AttackTestsAgree) {
    reset_engine();
    const char *fens[] = {"r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq -",
                          "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -"};
    for (const char *fen : fens) {
        setup_fen(fen);
        for (int s = 0; s < 2; s++)
            for (int sq = 0; sq < 64; sq++)
                EXPECT_EQ(attack(sq, s), newattack(sq, s)) << fen << " sq " << sq << " s " << s;
    }
}

TEST(Board, InCheckAfterCheckingMove) {
    reset_engine();
    for (const char *m : {"e2e4", "f7f6", "d1h5"}) play(m);
    EXPECT_EQ(in_check(side), 1);
}

TEST(Board, Repetitions) {
    reset_engine();
    cnt_nm = 0;
    for (const char *m : {"g1f3", "g8f6", "f3g1"}) play(m);
    EXPECT_EQ(reps(), 0); // fifty is 3: no scan
    play("f6g8");
    EXPECT_EQ(reps(), 1);
    for (const char *m : {"g1f3", "g8f6", "f3g1", "f6g8"}) play(m);
    EXPECT_EQ(reps(), 2);
}

TEST(Board, WalkTreesRestoreEverything) {
    reset_engine();
    const char *fens[] = {
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",
    };
    long expected[] = {97862, 2812, 9467, 62379};
    for (int k = 0; k < 4; k++) {
        setup_fen(fens[k]);
        EXPECT_EQ(walk(3), expected[k]) << fens[k];
    }
    setup_fen(fens[4]);
    EXPECT_GT(walk(3), 0);
}
