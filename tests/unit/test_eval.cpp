// The static evaluation: tables against their grids, material and stage rules, pawn structure,
// piece terms, mobility, the pawn hash and colour symmetry.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "console.h"
#include "eval.h"
#include "hash.h"
#include "search.h"
#include "test_util.h"

namespace {

class Eval : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
};

int eval_fen(const std::string &fen) {
    setup_fen(fen);
    return eval();
}

int square(const char *name) {
    return (name[0] - 'a') + ('8' - name[1]) * 8;
}

std::string swap_case(std::string s) {
    for (char &ch : s)
        ch = std::isupper((unsigned char)ch) ? (char)std::tolower((unsigned char)ch)
                                             : (char)std::toupper((unsigned char)ch);
    return s;
}

// The same position seen from the other side: ranks reversed, colours and side to move swapped.
std::string mirror_fen(const std::string &fen) {
    std::istringstream in(fen);
    std::string placement, stm, castling;
    in >> placement >> stm >> castling;
    std::stringstream rows(placement);
    std::string out;
    for (std::string r; std::getline(rows, r, '/');)
        out = out.empty() ? r : r + "/" + out;
    return swap_case(out) + (stm == "w" ? " b " : " w ") + swap_case(castling);
}

struct Grid {
    const char *name;
    const int *table;
    const char *rows; // eighth rank first
};

const Grid grids[] = {
    {"knight_opemid_pcsq", knight_opemid_pcsq,
     "-16 -10 -8 -8 -8 -8 -10 -16\n"
     "-10 0 3 4 4 3 0 -10\n"
     "-8 4 7 8 8 7 4 -8\n"
     "-8 4 6 10 10 6 4 -8\n"
     "-8 2 5 8 8 5 2 -8\n"
     "-8 1 5 5 5 5 1 -8\n"
     "-10 -3 1 3 3 1 -3 -10\n"
     "-16 -10 -8 -8 -8 -8 -10 -16\n"},
    {"knight_lmidend_pcsq", knight_lmidend_pcsq,
     "-9 -6 -3 0 0 -3 -6 -9\n"
     "-6 -1 2 5 5 2 -1 -6\n"
     "-2 2 6 9 9 6 2 -2\n"
     "1 5 9 13 13 9 5 1\n"
     "0 4 8 12 12 8 4 0\n"
     "-4 1 5 8 8 5 1 -4\n"
     "-9 -3 1 4 4 1 -3 -9\n"
     "-16 -10 -6 -2 -2 -6 -10 -16\n"},
    {"bishop_opemid_pcsq", bishop_opemid_pcsq,
     "13 10 10 10 10 10 10 13\n"
     "11 14 12 12 12 12 14 11\n"
     "13 14 16 16 16 16 14 13\n"
     "12 14 15 17 17 15 13 12\n"
     "11 12 13 14 14 13 12 11\n"
     "10 10 11 11 11 11 10 10\n"
     "8 12 8 9 9 8 12 8\n"
     "10 8 6 4 4 6 8 10\n"},
    {"bishop_lmidend_pcsq", bishop_lmidend_pcsq,
     "24 21 18 15 15 18 21 24\n"
     "21 24 21 18 18 21 24 21\n"
     "18 21 24 24 24 24 21 18\n"
     "15 18 24 30 30 24 18 15\n"
     "15 18 24 30 30 24 18 15\n"
     "18 21 24 24 24 24 21 18\n"
     "21 24 21 18 18 21 24 21\n"
     "24 21 18 15 15 18 21 24\n"},
    {"rook_pcsq", rook_pcsq,
     "10 11 12 13 13 12 11 10\n"
     "10 11 12 13 13 12 11 10\n"
     "7 8 9 10 10 9 8 7\n"
     "0 1 2 3 3 2 1 0\n"
     "0 1 2 3 3 2 1 0\n"
     "0 1 2 3 3 2 1 0\n"
     "0 1 2 3 3 2 1 0\n"
     "0 1 2 3 3 2 1 0\n"},
    {"queen_pcsq", queen_pcsq,
     "5 6 7 8 8 7 6 5\n"
     "8 10 11 12 12 11 10 8\n"
     "10 11 12 13 13 12 11 10\n"
     "8 9 10 11 11 10 9 8\n"
     "6 7 8 9 9 8 7 6\n"
     "5 6 7 8 8 7 6 5\n"
     "4 5 6 7 7 6 5 4\n"
     "0 1 2 3 3 2 1 0\n"},
    {"pawn_emid_pcsq", pawn_emid_pcsq,
     "0 0 0 0 0 0 0 0\n"
     "0 0 0 0 0 0 0 0\n"
     "0 0 0 4 4 0 0 0\n"
     "0 0 2 8 8 0 0 0\n"
     "5 5 7 12 12 4 4 0\n"
     "3 2 3 6 6 -2 -1 -1\n"
     "0 0 0 -20 -20 0 0 0\n"
     "0 0 0 0 0 0 0 0\n"},
    {"pawn_lmid_pcsq", pawn_lmid_pcsq,
     "0 0 0 0 0 0 0 0\n"
     "0 5 5 5 6 6 5 5\n"
     "5 5 8 10 12 16 10 8\n"
     "5 1 5 7 12 16 7 5\n"
     "1 0 1 6 12 16 6 1\n"
     "0 0 1 5 8 8 5 1\n"
     "0 2 3 4 6 6 4 3\n"
     "2 0 0 0 0 0 0 0\n"},
    {"pawn_end_pcsq", pawn_end_pcsq,
     "0 0 0 0 0 0 0 0\n"
     "10 11 11 11 11 11 11 10\n"
     "8 9 9 9 9 9 9 8\n"
     "6 7 7 7 7 7 7 6\n"
     "4 4 4 4 4 4 4 4\n"
     "2 2 2 2 2 2 2 2\n"
     "0 0 0 0 0 0 0 0\n"
     "0 0 0 0 0 0 0 0\n"},
    {"king_endgame_pcsq", king_endgame_pcsq,
     "3 10 17 24 24 17 10 3\n"
     "9 20 28 35 35 28 20 9\n"
     "16 25 34 40 40 34 25 16\n"
     "20 27 33 48 48 33 27 20\n"
     "18 24 28 34 34 30 24 18\n"
     "12 17 22 27 27 22 17 12\n"
     "6 11 16 21 21 16 11 6\n"
     "-5 5 10 15 15 10 5 -5\n"},
};

TEST_F(Eval, PieceSquareTablesMatchTheirGrids) {
    for (const Grid &g : grids) {
        std::istringstream in(g.rows);
        for (int sq = 0; sq < 64; ++sq) {
            int v = 0;
            ASSERT_TRUE(in >> v) << g.name;
            EXPECT_EQ(g.table[sq], v) << g.name << " square " << sq;
        }
    }
}

TEST_F(Eval, MobilityTable) {
    const std::vector<int> bishop = {-4, -3, -2, -1, 0, 1, 2, 3, 4};
    const std::vector<int> rook = {-5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<int> queen = {-8, -7, -6, -5, -4, -1, 0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::vector<int> *rows[7] = {nullptr, nullptr, &bishop, &rook, &queen, nullptr, nullptr};
    for (int p = KNIGHT; p <= QUEEN; ++p)
        for (int n = 0; n < 30; ++n) {
            const std::vector<int> *r = rows[p];
            int want = r && n < (int)r->size() ? (*r)[n] : 0;
            EXPECT_EQ(mobility[p][n], want) << "piece " << p << " count " << n;
        }
}

TEST_F(Eval, StageBoundaries) {
    struct {
        const char *fen;
        int stage;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 0},
        {"r1bqkbnr/pppppppp/8/8/8/8/PPPPPPPP/R1BQKBNR w KQkq -", 0}, // 14 pieces
        {"r1b1kbnr/pppppppp/8/8/8/8/PPPPPPPP/R1B1KBNR w KQkq -", 1}, // 12 pieces
        {"rb1qk2r/pppppp2/8/8/8/8/PPPPP3/RNBQK2R w KQkq -", 1},      // 11 pieces, 11 pawns
        {"rb1qk2r/ppppp3/8/8/8/8/PPPPP3/RNBQK2R w KQkq -", 2},       // 11 pieces, 10 pawns
        {"rb1qk2r/ppp5/8/8/8/8/PPP5/RNBQK2R w KQkq -", 3},           // 11 pieces, 6 pawns
        {"r1b1k2r/pppp4/8/8/8/8/PPPP4/R1B1K2R w KQkq -", 2},         // 8 pieces, 8 pawns
        {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq -", 3},       // 6 pieces, 16 pawns
    };
    for (const auto &c : cases) {
        eval_fen(c.fen);
        EXPECT_EQ(Stage, c.stage) << c.fen;
    }
}

TEST_F(Eval, InitialPositionIsLevelForBothSides) {
    EXPECT_EQ(eval_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"), 0);
    EXPECT_EQ(eval_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"), 0);
    EXPECT_EQ(n_pieces, 16);
    EXPECT_EQ(n_pawns, 16);
    const int light = eval_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
    const int dark = eval_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");
    EXPECT_NE(light, 0);
    EXPECT_EQ(dark, -light);
}

TEST_F(Eval, InsufficientMaterialIsADraw) {
    EXPECT_EQ(eval_fen("4k3/8/8/8/8/8/8/2B1K3 w - -"), 0);
    EXPECT_EQ(eval_fen("4k3/8/8/8/8/8/8/1N2K3 b - -"), 0);
    EXPECT_EQ(eval_fen("4k3/8/8/3b4/8/8/8/4K3 w - -"), 0);
    EXPECT_NE(eval_fen("4k3/8/8/8/8/8/8/R3K3 w - -"), 0);   // 500 is enough
    EXPECT_NE(eval_fen("4k3/8/8/8/8/8/P7/2B1K3 w - -"), 0); // a pawn is left
    EXPECT_NE(eval_fen("4k3/8/8/8/8/8/8/1NN1K3 w - -"), 0); // 640
}

// The expected scores below are added up by hand from the tables and rules.
TEST_F(Eval, LoneMinorAgainstBareKingWithPawn) {
    // Knight d4: 320 - 320 + 12 (late table) - 30 (no own pawn) = -18. DARK: 100 - 300.
    // Pawn h7 isolated (-25) and passed (+25); kings h1 and a8 both -5.
    EXPECT_EQ(eval_fen("k7/7p/8/8/3N4/8/8/7K w - -"), 182);
    EXPECT_EQ(Stage, 3);
    EXPECT_EQ(eval_fen("k7/7p/8/8/3N4/8/8/7K b - -"), -182);
}

TEST_F(Eval, BishopPairAndMobility) {
    // c1 and f1 each 650/2 + 18 + mobility[7 squares] 3, pair +50; DARK bare king -300.
    EXPECT_EQ(eval_fen("4k3/8/8/8/8/8/8/2B1KB2 w - -"), 742 + 300);
    // Bishop d4 with 8 targets (+4), pawns f6 (9 - 25 + 125) and b2 (0 - 25 + 25), Kh2 6, Kh8 -5.
    EXPECT_EQ(eval_fen("7k/8/5P2/8/3B4/8/1P5K/8 w - -"), 120 + 559 + 300);
    EXPECT_EQ(mobility_count(square("d4")), 8);
    // 13 targets (the enemy king counts) are worth 0; a2 isolated and passed scores 0.
    EXPECT_EQ(eval_fen("7k/8/8/8/3B4/8/P6K/8 w - -"), 11 + 455 + 300);
    EXPECT_EQ(mobility_count(square("d4")), 13);
}

TEST_F(Eval, RookAndQueenEndgameTerms) {
    // Ra1: 500 + 60 (no own pawn) + 15 open file + mobility[10] 5; kings both 15.
    EXPECT_EQ(eval_fen("4k3/8/8/8/8/8/8/R3K3 w - -"), 580 + 300);
    EXPECT_EQ(mobility_count(square("a1")), 10);
    // Qa1 with 14 targets: 975 + 10; Kb2 11 against Ke8 15.
    EXPECT_EQ(eval_fen("4k3/8/8/8/8/8/1K6/Q7 w - -"), -4 + 985 + 300);
    EXPECT_EQ(mobility_count(square("a1")), 14);
}

// Moving a rook between files with equal table entries isolates its file terms (late middle
// game, so mobility stays out of it).
TEST_F(Eval, RookFilesAndSeventhRank) {
    const char *closed = "4k3/1ppp4/2n2n2/8/8/2N2N2/PPPP4/R3K3 w - -";
    const char *open = "4k3/1ppp4/2n2n2/8/8/2N2N2/PPPP4/4K2R w - -";
    EXPECT_EQ(eval_fen(open) - eval_fen(closed), 15);
    EXPECT_EQ(Stage, 2);
    const char *half_open = "4k3/pppp4/2n2n2/8/8/2N2N2/1PPPP3/R3K3 w - -";
    const char *open2 = "4k3/pppp4/2n2n2/8/8/2N2N2/1PPPP3/4K2R w - -";
    EXPECT_EQ(eval_fen(open2) - eval_fen(half_open), 8);
    // h7 against h1: table 10 against 0, and the seventh rank.
    EXPECT_EQ(eval_fen("4k3/pppp3R/2n2n2/8/8/2N2N2/1PPPP3/4K3 w - -") - eval_fen(open2), 30);
    // Of two rooks on a file the one nearer the eighth rank gets 4.
    EXPECT_EQ(eval_fen("4k3/1pppp3/2n2n2/8/8/2N2N1R/1PPPP3/4K2R w - -") -
                  eval_fen("4k3/1pppp3/2n2n2/8/8/R1N2N2/1PPPP3/4K2R w - -"),
              4);
}

TEST_F(Eval, QueenBesideRookAndOnTheSeventh) {
    // h4 (6, with the rook h1 on its file: +5) against g4 (7).
    EXPECT_EQ(eval_fen("4k3/pppp4/2n2n2/8/7Q/2N2N2/1PPPP3/4K2R w - -") -
                  eval_fen("4k3/pppp4/2n2n2/8/6Q1/2N2N2/1PPPP3/4K2R w - -"),
              4);
    EXPECT_EQ(Stage, 2);
    // h7 (8 + 15 + 5) against h6 (10 + 5).
    EXPECT_EQ(eval_fen("4k3/pppp3Q/2n2n2/8/8/2N2N2/1PPPP3/4K2R w - -") -
                  eval_fen("4k3/pppp4/2n2n1Q/8/8/2N2N2/1PPPP3/4K2R w - -"),
              13);
    // A rook on the eighth rank leaves no mark on its file.
    EXPECT_EQ(eval_fen("4k2R/pppp4/2n2n2/8/7Q/2N2N2/1PPPP3/4K3 w - -") -
                  eval_fen("4k2R/pppp4/2n2n2/8/6Q1/2N2N2/1PPPP3/4K3 w - -"),
              -1);
}

TEST_F(Eval, BishopShutInByItsCentralPawns) {
    // c1 and f1 have equal table entries: only the trap tells them apart.
    const char *f1 = "rn1qk1nr/pppppppp/8/8/8/8/P1PPPPPP/RN1QKB1R w KQkq -";
    const char *c1 = "rn1qk1nr/pppppppp/8/8/8/8/P1PPPPPP/RNBQK2R w KQkq -";
    EXPECT_EQ(eval_fen(c1) - eval_fen(f1), 50);
    EXPECT_EQ(Stage, 1);
    const char *both_f1 = "rn1qk1nr/pppppppp/8/8/8/8/PPPPPPPP/RN1QKB1R w KQkq -";
    const char *both_c1 = "rn1qk1nr/pppppppp/8/8/8/8/PPPPPPPP/RNBQK2R w KQkq -";
    EXPECT_EQ(eval_fen(both_c1) - eval_fen(both_f1), 0);
    // The same for DARK, seen from DARK's side.
    EXPECT_EQ(eval_fen(mirror_fen(c1)) - eval_fen(mirror_fen(f1)), 50);
}

TEST_F(Eval, PawnStructure) {
    eval_fen("4k3/8/8/4P3/8/8/8/4K3 w - -");
    ASSERT_EQ(Stage, 3);
    EXPECT_EQ(eval_light_pawn(square("e5")), 7 - 25 + 100);
    // Doubled: only the front pawn, and its passed factor drops to 5.
    eval_fen("4k3/8/8/8/8/4P3/4P3/4K3 w - -");
    EXPECT_EQ(eval_light_pawn(square("e3")), 2 - 20 - 25 + 5 * 2);
    EXPECT_EQ(eval_light_pawn(square("e2")), 0 - 25 + 25);
    // Doubled and backward (d4 is further forward): the passed factor is -4.
    eval_fen("4k3/8/8/8/3P4/4P3/4P3/4K3 w - -");
    EXPECT_EQ(eval_light_pawn(square("e3")), 2 - 20 - 9 - 4 * 2);
    // Pawns level on neighbouring files do not stop each other.
    eval_fen("4k3/8/8/8/2Pp4/8/8/4K3 b - -");
    EXPECT_EQ(eval_dark_pawn(square("d4")), 7 - 25 + 25 * 4);
    EXPECT_EQ(eval_light_pawn(square("c4")), 4 - 25 + 25 * 3);
    // A pawn in front on a neighbouring file does.
    eval_fen("4k3/8/8/3p4/2P5/8/8/4K3 w - -");
    EXPECT_EQ(eval_light_pawn(square("c4")), 4 - 25);
    // Stage 0: the table only (no pawn of the initial position is isolated, backward or passed).
    eval_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(eval_light_pawn(square("d2")), -20);
    EXPECT_EQ(eval_dark_pawn(square("a7")), 0);
}

TEST_F(Eval, ContemptFollowsTheStage) {
    eval_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(contempt_factor(), -50);
    eval_fen("r1b1kbnr/pppppppp/8/8/8/8/PPPPPPPP/R1B1KBNR w KQkq -");
    EXPECT_EQ(contempt_factor(), -25);
    eval_fen("r1b1k2r/pppp4/8/8/8/8/PPPP4/R1B1K2R w KQkq -");
    EXPECT_EQ(contempt_factor(), 0);
    eval_fen("4k3/8/8/8/8/8/8/R3K3 w - -");
    EXPECT_EQ(contempt_factor(), 0);
}

TEST_F(Eval, MaterialBalanceAndGain) {
    setup_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(mat_balance(), 0);
    EXPECT_EQ(nullmat, 6530);
    EXPECT_EQ(piece_mat[LIGHT], 6530 / 2 + 800);
    setup_fen("r1bqkbnr/pppppppp/8/8/8/8/PPPPPPP1/RNBQKBNR b KQkq -");
    EXPECT_EQ(mat_balance(), -320 + 100);
    EXPECT_EQ(nullmat, 6530 - 320);

    hist_rec rec{};
    rec.m = make_move_word(square("e4"), square("d5"), 0, FLAG_CAPTURE | FLAG_PAWN);
    rec.capture = ROOK;
    EXPECT_EQ(mat_gain(rec), 500);
    rec.m = make_move_word(square("e5"), square("d6"), 0, FLAG_CAPTURE | FLAG_EP | FLAG_PAWN);
    rec.capture = EMPTY;
    EXPECT_EQ(mat_gain(rec), 0);
    rec.m = make_move_word(square("e2"), square("e4"), 0, FLAG_DOUBLE | FLAG_PAWN);
    EXPECT_EQ(mat_gain(rec), 0);
}

// Positions without rooks or queens on the back ranks, where the rook-file bookkeeping treats
// both colours alike.
const char *const symmetric_set[] = {
    "1nb1kbn1/pppppppp/8/8/4P3/8/PPPP1PPP/1NB1KBN1 b - -",
    "1nb1kb2/pp1p1ppp/2p1pn2/q7/3P4/2N2N2/PPP1PPPP/2BQKB2 w - -",
    "4kb2/pppqpppp/2n2n2/3r4/3P4/2N1BN2/PPPQPPPP/4KB2 w - -",
    "2b3k1/pp3ppp/2n5/3pP3/3P4/5N2/P4PPP/4B1K1 b - -",
    "6k1/5ppp/8/1P6/8/8/5PPP/6K1 w - -",
    "8/2k5/3p4/2pP4/2P5/3K4/5B2/8 w - -",
    "8/1r3pk1/6p1/3n4/8/1B3NP1/5PK1/8 b - -",
    "8/6k1/8/4q3/8/2Q5/5K2/8 w - -",
    "8/4k3/8/2p1P3/8/8/4K3/8 w - -",
    "3k4/2p5/8/8/4N3/8/PP6/1K6 w - -",
};

TEST_F(Eval, MirroredPositionScoresTheSame) {
    for (const char *fen : symmetric_set) {
        const int original = eval_fen(fen);
        const int stage = Stage;
        const std::string mirrored = mirror_fen(fen);
        EXPECT_EQ(eval_fen(mirrored), original) << fen << " / " << mirrored;
        EXPECT_EQ(Stage, stage) << fen;
    }
}

TEST_F(Eval, PawnHashGivesTheFreshValue) {
    for (const char *fen : symmetric_set) {
        HashPawnReset();
        const int before = hash_pawn_hit;
        const int fresh = eval_fen(fen);
        EXPECT_EQ(hash_pawn_hit, before) << fen;
        EXPECT_EQ(eval(), fresh) << fen;
        EXPECT_EQ(hash_pawn_hit, before + 1) << fen;
        hashing = 0;
        EXPECT_EQ(eval(), fresh) << fen;
        EXPECT_EQ(hash_pawn_hit, before + 1) << fen;
        hashing = 1;
    }
}

// A stored pawn score is reused as it stands in another stage: here one made in the late
// middle game, without the kings' endgame terms, answers in the endgame.
TEST_F(Eval, PawnHashScoreCrossesStages) {
    const char *endgame = "4k3/pppp4/8/8/3P4/8/PPP5/4K3 w - -";
    const char *middle = "rn2k1nr/pppp4/8/8/3P4/8/PPP5/RN2K1NR w - -";
    HashPawnReset();
    const int fresh = eval_fen(endgame);
    ASSERT_EQ(Stage, 3);
    const int endgame_pawns = HashPawnFind(hashpawn)->score;
    HashPawnReset();
    eval_fen(middle);
    ASSERT_EQ(Stage, 2);
    const int middle_pawns = HashPawnFind(hashpawn)->score;
    ASSERT_NE(middle_pawns, endgame_pawns);
    const int hits = hash_pawn_hit;
    EXPECT_EQ(eval_fen(endgame) - fresh, middle_pawns - endgame_pawns);
    EXPECT_EQ(hash_pawn_hit, hits + 1);
}

// A position set up by hand may hold more than eight pawns a side: the imbalance terms then stay
// at their last entry.
TEST_F(Eval, MoreThanEightPawnsStayInTheTables) {
    const int nine = eval_fen("4k3/8/8/8/P7/PPPPPPPP/8/RN2K3 w - -");
    const int eight = eval_fen("4k3/8/8/8/8/PPPPPPPP/8/RN2K3 w - -");
    EXPECT_NE(nine, eight);
}

} // namespace
