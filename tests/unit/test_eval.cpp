// The static evaluation: material and stage rules, hand-counted scores, pawn structure, piece
// terms, the pawn hash and colour symmetry.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>

#include "board.h"
#include "data.h"
#include "eval.h"
#include "hash.h"
#include "search.h"
#include "settings.h"
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

std::string swap_case(std::string s) {
    for (char &ch : s)
        ch = std::isupper((unsigned char)ch) ? std::tolower(ch) : std::toupper(ch);
    return s;
}

// The same position seen from the other side: ranks reversed, colours and side to move swapped.
std::string mirror_fen(const std::string &fen) {
    std::istringstream in(fen);
    std::string placement, stm, castling, out;
    in >> placement >> stm >> castling;
    std::stringstream rows(placement);
    for (std::string r; std::getline(rows, r, '/');)
        out = out.empty() ? r : r + "/" + out;
    return swap_case(out) + (stm == "w" ? " b " : " w ") + swap_case(castling);
}

const char *const INITIAL = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

TEST_F(Eval, StageBoundariesAndContempt) {
    const std::tuple<const char *, int, int> cases[] = {
        {"r1bqkbnr/pppppppp/8/8/8/8/PPPPPPPP/R1BQKBNR w KQkq -", 0, -50}, // 14 pieces
        {"r1b1kbnr/pppppppp/8/8/8/8/PPPPPPPP/R1B1KBNR w KQkq -", 1, -25}, // 12 pieces
        {"rb1qk2r/pppppp2/8/8/8/8/PPPPP3/RNBQK2R w KQkq -", 1, -25},      // 11 pieces, 11 pawns
        {"rb1qk2r/ppppp3/8/8/8/8/PPPPP3/RNBQK2R w KQkq -", 2, 0},         // 11 pieces, 10 pawns
        {"rb1qk2r/ppp5/8/8/8/8/PPP5/RNBQK2R w KQkq -", 3, 0},             // 11 pieces, 6 pawns
        {"r1b1k2r/pppp4/8/8/8/8/PPPP4/R1B1K2R w KQkq -", 2, 0},           // 8 pieces, 8 pawns
        {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq -", 3, 0},         // 6 pieces, 16 pawns
    };
    for (auto [fen, stage, contempt] : cases) {
        eval_fen(fen);
        EXPECT_EQ(std::make_pair(Stage, contempt_factor()), std::make_pair(stage, contempt)) << fen;
    }
}

TEST_F(Eval, InsufficientMaterialIsADraw) {
    for (const char *fen : {"4k3/8/8/8/8/8/8/2B1K3 w - -", "4k3/8/8/8/8/8/8/1N2K3 b - -",
                            "4k3/8/8/3b4/8/8/8/4K3 w - -"})
        EXPECT_EQ(eval_fen(fen), 0) << fen;
    // A pawn left, or 640 of pieces, is enough.
    for (const char *fen : {"4k3/8/8/8/8/8/P7/2B1K3 w - -", "4k3/8/8/8/8/8/8/1NN1K3 w - -"})
        EXPECT_NE(eval_fen(fen), 0) << fen;
}

// Scores added up by hand from the tables and rules, with the mobility counted where it matters.
TEST_F(Eval, HandCountedScores) {
    const std::pair<const char *, int> cases[] = {
        // Knight d4: 320 - 320 + 12 (late table) - 30 (no own pawn) = -18. DARK: 100 - 300.
        // Pawn h7 isolated (-25) and passed (+25); kings h1 and a8 both -5.
        {"k7/7p/8/8/3N4/8/8/7K w - -", 182},
        // c1 and f1 each 650/2 + 18 + mobility[7 squares] 3, pair +50; DARK bare king -300.
        {"4k3/8/8/8/8/8/8/2B1KB2 w - -", 742 + 300},
        // Bishop d4 with 8 targets (+4), pawns f6 (9 - 25 + 125) and b2 (0 - 25 + 25), Kh2 6,
        // Kh8 -5.
        {"7k/8/5P2/8/3B4/8/1P5K/8 w - -", 120 + 559 + 300},
        // Ra1: 500 + 60 (no own pawn) + 15 open file + mobility[10] 5; kings both 15.
        {"4k3/8/8/8/8/8/8/R3K3 w - -", 580 + 300},
        // Qa1 with 14 targets: 975 + 10; Kb2 11 against Ke8 15.
        {"4k3/8/8/8/8/8/1K6/Q7 w - -", -4 + 985 + 300},
        // 13 targets (the enemy king counts) are worth 0; a2 isolated and passed scores 0.
        {"7k/8/8/8/3B4/8/P6K/8 w - -", 11 + 455 + 300},
    };
    for (auto [fen, score] : cases)
        EXPECT_EQ(eval_fen(fen), score) << fen;
    // The last bishop's score would not change with 12 targets.
    EXPECT_EQ(mobility_count(square_at("d4")), 13);
}

// One term at a time: positions that differ by a piece moved between squares of equal table
// value (late middle game for the heavy pieces, so mobility stays out of it).
TEST_F(Eval, TermsAsDifferences) {
    const std::tuple<const char *, const char *, int> cases[] = {
        // Rook on an open file against a closed one, against a half-open one.
        {"4k3/1ppp4/2n2n2/8/8/2N2N2/PPPP4/4K2R w - -", "4k3/1ppp4/2n2n2/8/8/2N2N2/PPPP4/R3K3 w - -",
         15},
        {"4k3/pppp4/2n2n2/8/8/2N2N2/1PPPP3/4K2R w - -",
         "4k3/pppp4/2n2n2/8/8/2N2N2/1PPPP3/R3K3 w - -", 8},
        // h7 against h1: table 10 against 0, and the seventh rank.
        {"4k3/pppp3R/2n2n2/8/8/2N2N2/1PPPP3/4K3 w - -",
         "4k3/pppp4/2n2n2/8/8/2N2N2/1PPPP3/4K2R w - -", 30},
        // Of two rooks on a file the one nearer the eighth rank gets 4.
        {"4k3/1pppp3/2n2n2/8/8/2N2N1R/1PPPP3/4K2R w - -",
         "4k3/1pppp3/2n2n2/8/8/R1N2N2/1PPPP3/4K2R w - -", 4},
        // Queen h4 (6, with the rook h1 on its file: +5) against g4 (7).
        {"4k3/pppp4/2n2n2/8/7Q/2N2N2/1PPPP3/4K2R w - -",
         "4k3/pppp4/2n2n2/8/6Q1/2N2N2/1PPPP3/4K2R w - -", 4},
        // Queen h7 (8 + 15 + 5) against h6 (10 + 5).
        {"4k3/pppp3Q/2n2n2/8/8/2N2N2/1PPPP3/4K2R w - -",
         "4k3/pppp4/2n2n1Q/8/8/2N2N2/1PPPP3/4K2R w - -", 13},
        // A rook on the eighth rank leaves no mark on its file.
        {"4k2R/pppp4/2n2n2/8/7Q/2N2N2/1PPPP3/4K3 w - -",
         "4k2R/pppp4/2n2n2/8/6Q1/2N2N2/1PPPP3/4K3 w - -", -1},
        // A bishop shut in by its central pawns (c1 and f1 have equal table entries); with the
        // b-pawn home both are shut in.
        {"rn1qk1nr/pppppppp/8/8/8/8/P1PPPPPP/RNBQK2R w KQkq -",
         "rn1qk1nr/pppppppp/8/8/8/8/P1PPPPPP/RN1QKB1R w KQkq -", 50},
        {"rn1qk1nr/pppppppp/8/8/8/8/PPPPPPPP/RNBQK2R w KQkq -",
         "rn1qk1nr/pppppppp/8/8/8/8/PPPPPPPP/RN1QKB1R w KQkq -", 0},
    };
    for (auto [a, b, diff] : cases)
        EXPECT_EQ(eval_fen(a) - eval_fen(b), diff) << a;
}

TEST_F(Eval, PawnStructure) {
    const std::tuple<const char *, const char *, int> cases[] = {
        {"4k3/8/8/4P3/8/8/8/4K3 w - -", "e5", 7 - 25 + 100},
        // Doubled: only the front pawn, and its passed factor drops to 5.
        {"4k3/8/8/8/8/4P3/4P3/4K3 w - -", "e3", 2 - 20 - 25 + 5 * 2},
        {"4k3/8/8/8/8/4P3/4P3/4K3 w - -", "e2", 0 - 25 + 25},
        // Doubled and backward (d4 is further forward): the passed factor is -4.
        {"4k3/8/8/8/3P4/4P3/4P3/4K3 w - -", "e3", 2 - 20 - 9 - 4 * 2},
        // Pawns level on neighbouring files do not stop each other.
        {"4k3/8/8/8/2Pp4/8/8/4K3 b - -", "d4", 7 - 25 + 25 * 4},
        {"4k3/8/8/8/2Pp4/8/8/4K3 b - -", "c4", 4 - 25 + 25 * 3},
        // A pawn in front on a neighbouring file does.
        {"4k3/8/8/3p4/2P5/8/8/4K3 w - -", "c4", 4 - 25},
        // Stage 0: the table only (no pawn is isolated, backward or passed).
        {INITIAL, "d2", -20},
    };
    for (auto [fen, pawn, score] : cases) {
        eval_fen(fen);
        const int sq = square_at(pawn);
        EXPECT_EQ((color[sq] == LIGHT ? eval_light_pawn : eval_dark_pawn)(sq), score) << pawn;
    }
}

TEST_F(Eval, MaterialBalanceAndGain) {
    setup_fen(INITIAL);
    EXPECT_EQ(mat_balance(), 0);
    EXPECT_EQ(piece_mat[LIGHT], 6530 / 2 + 800);
    setup_fen("r1bqkbnr/pppppppp/8/8/8/8/PPPPPPP1/RNBQKBNR b KQkq -");
    EXPECT_EQ(mat_balance(), -320 + 100);
    EXPECT_EQ(nullmat, 6530 - 320);
    hist_rec rec{};
    rec.m = make_move_word(square_at("e4"), square_at("d5"), 0, FLAG_CAPTURE | FLAG_PAWN);
    rec.capture = ROOK;
    EXPECT_EQ(mat_gain(rec), 500);
    rec.m = make_move_word(square_at("e5"), square_at("d6"), 0, FLAG_CAPTURE | FLAG_EP | FLAG_PAWN);
    rec.capture = EMPTY;
    EXPECT_EQ(mat_gain(rec), 0);
}

// Positions without rooks or queens on the back ranks, where the rook-file bookkeeping treats
// both colours alike: the mirror image scores the same, and so does the pawn hash.
TEST_F(Eval, MirrorAndPawnHashGiveTheFreshScore) {
    for (const char *fen :
         {"1nb1kbn1/pppppppp/8/8/4P3/8/PPPP1PPP/1NB1KBN1 b - -",
          "1nb1kb2/pp1p1ppp/2p1pn2/q7/3P4/2N2N2/PPP1PPPP/2BQKB2 w - -",
          "4kb2/pppqpppp/2n2n2/3r4/3P4/2N1BN2/PPPQPPPP/4KB2 w - -",
          "2b3k1/pp3ppp/2n5/3pP3/3P4/5N2/P4PPP/4B1K1 b - -", "6k1/5ppp/8/1P6/8/8/5PPP/6K1 w - -",
          "8/2k5/3p4/2pP4/2P5/3K4/5B2/8 w - -", "8/1r3pk1/6p1/3n4/8/1B3NP1/5PK1/8 b - -",
          "8/6k1/8/4q3/8/2Q5/5K2/8 w - -", "8/4k3/8/2p1P3/8/8/4K3/8 w - -",
          "3k4/2p5/8/8/4N3/8/PP6/1K6 w - -"}) {
        HashPawnReset();
        const int fresh = eval_fen(fen), stage = Stage, hits = hash_pawn_hit;
        EXPECT_EQ(eval(), fresh) << fen;
        EXPECT_EQ(hash_pawn_hit, hits + 1) << fen;
        EXPECT_EQ(eval_fen(mirror_fen(fen)), fresh) << fen;
        EXPECT_EQ(Stage, stage) << fen;
    }
    const int hits = hash_pawn_hit, with_table = eval();
    hashing = 0; // without tables the score stands and nothing is probed
    EXPECT_EQ(eval(), with_table);
    EXPECT_EQ(hash_pawn_hit, hits + 1);
}

// A stored pawn score is reused as it stands in another stage: here one made in the late
// middle game, without the kings' endgame terms, answers in the endgame.
TEST_F(Eval, PawnHashScoreCrossesStages) {
    const char *endgame = "4k3/pppp4/8/8/3P4/8/PPP5/4K3 w - -";
    HashPawnReset();
    const int fresh = eval_fen(endgame);
    const int endgame_pawns = HashPawnFind(hashpawn)->score;
    HashPawnReset();
    eval_fen("rn2k1nr/pppp4/8/8/3P4/8/PPP5/RN2K1NR w - -");
    const int middle_pawns = HashPawnFind(hashpawn)->score;
    ASSERT_NE(middle_pawns, endgame_pawns);
    const int hits = hash_pawn_hit;
    EXPECT_EQ(eval_fen(endgame) - fresh, middle_pawns - endgame_pawns);
    EXPECT_EQ(hash_pawn_hit, hits + 1);
}

// A position set up by hand may hold more than eight pawns a side: the imbalance terms then stay
// at their last entry.
TEST_F(Eval, MoreThanEightPawnsStayInTheTables) {
    EXPECT_NE(eval_fen("4k3/8/8/8/P7/PPPPPPPP/8/RN2K3 w - -"),
              eval_fen("4k3/8/8/8/8/PPPPPPPP/8/RN2K3 w - -"));
}

} // namespace
