// The static evaluation: stage rules, hand-counted scores and draws (tests/data/eval.txt), the pawn
// hash and colour symmetry. Each single term, and the pawn hash's reuse across stages, also moves
// the bench counts (tests/e2e/test_bench.py).
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

TEST_F(Eval, StageBoundariesAndContempt) {
    for (const auto &r : table_rows("eval.txt", "stages")) {
        eval_fen(r[0]);
        EXPECT_EQ(std::make_pair(Stage, contempt_factor()),
                  std::make_pair(std::stoi(r[1]), std::stoi(r[2])))
            << r[0];
    }
}

TEST_F(Eval, HandCountedScores) {
    for (const auto &r : table_rows("eval.txt", "hand-counted"))
        EXPECT_EQ(eval_fen(r[0]), std::stoi(r[1])) << r[0];
    EXPECT_EQ(mobility_count(square_at("d4")), 13); // the last case's bishop
    for (const auto &r : table_rows("eval.txt", "enough material"))
        EXPECT_NE(eval_fen(r[0]), 0) << r[0];
}

// The material the search reads: the balance for the side to move, and the pieces without the
// pawns, which decide the null-move reduction (no bench count depends on the pawns' part).
TEST_F(Eval, MaterialBalance) {
    setup_fen("r1bqkbnr/pppppppp/8/8/8/8/PPPPPPP1/RNBQKBNR b KQkq -");
    EXPECT_EQ(mat_balance(), -320 + 100);
    EXPECT_EQ(nullmat, 6530 - 320);
}

// The mirror image scores the same, and so does the pawn hash.
TEST_F(Eval, MirrorAndPawnHashGiveTheFreshScore) {
    for (const auto &r : table_rows("eval.txt", "symmetric")) {
        const std::string &fen = r[0];
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

// A position set up by hand may hold more than eight pawns a side: the imbalance terms then stay
// at their last entry.
TEST_F(Eval, MoreThanEightPawnsStayInTheTables) {
    EXPECT_NE(eval_fen("4k3/8/8/8/P7/PPPPPPPP/8/RN2K3 w - -"),
              eval_fen("4k3/8/8/8/8/PPPPPPPP/8/RN2K3 w - -"));
}

} // namespace
