// FEN set-up, coordinate and algebraic moves (FEN output and the printed board: tests/e2e; the
// coordinate text of generated moves: test_board).
#include <gtest/gtest.h>

#include "board.h"
#include "notation.h"
#include "test_util.h"

class Notation : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
};

TEST_F(Notation, FenToleratesBadPlacement) {
    // Unknown characters skipped, squares past h1 dropped, a missing side letter means DARK.
    set_fen("k?7/8/8/8/8/8/8/4K2RQQQQ", "", "xK");
    EXPECT_EQ(side, DARK);
    EXPECT_EQ(castle, CASTLE_WK);
    EXPECT_EQ(piece[63], ROOK);
    EXPECT_EQ(std::count_if(color, color + 64, [](int c) { return c != EMPTY; }), 3);
    // Pawns on their last rank are removed; rights without their king or rook at home dropped.
    set_fen("P3k2p/8/8/8/8/8/8/R3K3", "w", "KQkq");
    EXPECT_EQ(castle, CASTLE_WQ);
    EXPECT_EQ(std::make_tuple(color[0], color[7]), std::make_tuple(EMPTY, EMPTY));
    set_fen("8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/"
            "88888888888pppp",
            "w", "-");
}

// A promotion without its letter is to a queen; -1 for no such move, -2 for no move text.
TEST_F(Notation, ParseMove) {
    setup_fen("7k/4P3/8/8/8/8/8/K7 w - -");
    const int q = parse_move("e7e8");
    ASSERT_GE(q, 0);
    const std::pair<const char *, int> cases[] = {
        {"e7e8n", q - 3}, {"e7e8N", q - 3}, {"e7e8b", q - 2}, {"e7e8R", q - 1}, {"e7e8q", q},
        {"e2e4", -1},     {"a0a9", -1},     {"e2e", -2},      {"i2i4", -2}};
    for (auto [text, index] : cases)
        EXPECT_EQ(parse_move(text), index) << text;
}

TEST_F(Notation, San) {
    std::string san;
    EXPECT_EQ(capture_stdout([&] { san = San(find_move("g1f3")); }), "g1f3");
    EXPECT_EQ(san, "Ng1f3");
    for (const auto &r : table_rows("notation.txt", "san")) {
        setup_fen(r[0]);
        capture_stdout([&] { san = San(find_move(r[1])); });
        EXPECT_EQ(san, r[2]) << r[0];
    }
}
