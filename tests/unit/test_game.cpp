// Time allocation, the resignation rule, pondering's choice of move and the game-state report.
#include <gtest/gtest.h>

#include <string>

#include "board.h"
#include "console.h"
#include "game.h"
#include "keys.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "test_util.h"

namespace {

class Game : public ::testing::Test {
  protected:
    void SetUp() override {
        input_use_text("");
        reset_engine();
        tply = 0;
    }
};

TEST_F(Game, MovesPerControl) {
    EXPECT_NEAR(allocate_time(300, 300, 40, 5, 0), 300.0 / 43, 1e-9);
    EXPECT_EQ(tply, 1);
    tply = 39;
    EXPECT_DOUBLE_EQ(allocate_time(300, 300, 40, 5, 0), 75.0);
    EXPECT_EQ(tply, 40);
    tply = 40; // the count wraps with the control
    EXPECT_NEAR(allocate_time(300, 300, 40, 5, 0), 300.0 / 43, 1e-9);
    tply = 0;
    EXPECT_NEAR(allocate_time(50, 50, 40, 0, 0), 50.0 / 43, 1e-9);
    tply = 0;
    EXPECT_DOUBLE_EQ(allocate_time(40, 50, 40, 0, 0), 0.3); // 0.93 s is too little
    tply = 0;
    EXPECT_EQ((unsigned)(allocate_time(300, 300, 40, 5, 0) * 1000.0), 6976u);
}

TEST_F(Game, WholeGameDivisorByHowFarBehind) {
    EXPECT_DOUBLE_EQ(allocate_time(100, 200, 0, 0, 0), 2.5);
    EXPECT_NEAR(allocate_time(100, 104, 0, 0, 0), 100.0 / 30, 1e-9);
    EXPECT_NEAR(allocate_time(100, 108, 0, 0, 0), 100.0 / 35, 1e-9);
    EXPECT_NEAR(allocate_time(100, 100, 0, 0, 2), 100.0 / 30 + 2, 1e-9);
    EXPECT_EQ(tply, 4);
}

TEST_F(Game, ShortClock) {
    EXPECT_DOUBLE_EQ(allocate_time(30, 30, 0, 0, 0), 0.3);
    EXPECT_DOUBLE_EQ(allocate_time(30, 30, 0, 0, 2), 2.5);
    EXPECT_DOUBLE_EQ(allocate_time(2, 30, 0, 0, 2), 0.3);
}

TEST_F(Game, ResignAfterThreeBadScores) {
    resign_value = -1000;
    last_values[0] = -1200, last_values[1] = -1500, last_values[2] = -1001;
    EXPECT_EQ(resign(), 1);
    last_values[1] = -1000;
    EXPECT_EQ(resign(), 0);
    last_values[0] = last_values[1] = last_values[2] = 0;
    EXPECT_EQ(resign(), 0);
    resign_value = 1;
    EXPECT_EQ(resign(), 1);
    resign_value = -1000;
}

// The ponder search is stopped at once by waiting input; with learning on its fresh start
// keys the root, which tells which move was pondered.
uint32_t pondered_key(const char *text) {
    input_use_text("stop\n");
    learning = 1;
    capture_stdout([&] { do_ponder(text); });
    learning = 0;
    input_use_text("");
    return hash;
}

uint32_t key_after(const char *coord) {
    makemove(find_move(coord));
    set_hash();
    takeback();
    return hash;
}

TEST_F(Game, PonderTextChoosesThePromotion) {
    setup_fen("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
    EXPECT_EQ(pondered_key("e7e8n"), key_after("e7e8N"));
    EXPECT_EQ(pondered_key("e7e8N"), key_after("e7e8N"));
    EXPECT_EQ(pondered_key("e7e8r"), key_after("e7e8R"));
    EXPECT_EQ(pondered_key("e7e8"), key_after("e7e8Q"));
    EXPECT_EQ(hply, 0);
    EXPECT_EQ(anticipedmove, 0);
}

TEST_F(Game, PonderRefusesUnknownOrIllegalMoves) {
    anticipedmove = 1;
    std::string out = capture_stdout([] {
        EXPECT_EQ(do_ponder("4444"), 1);
        EXPECT_EQ(do_ponder("e2e5"), 1);
        EXPECT_EQ(do_ponder("a8a8"), 1);
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(anticipedmove, 0);
    setup_fen("4k3/8/8/8/8/8/4r3/4K2R w - - 0 1"); // Kf2 walks into the rook
    out = capture_stdout([] { EXPECT_EQ(do_ponder("e1f2"), 1); });
    EXPECT_EQ(out, "");
}

std::string result_of(const std::string &fen) {
    setup_fen(fen);
    return capture_stdout([] { print_result(); });
}

TEST_F(Game, ResultLines) {
    EXPECT_EQ(result_of("r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4"),
              "1-0 {White mates}\n");
    EXPECT_EQ(result_of("6k1/5ppp/8/8/8/8/5PPP/1r4K1 w - - 0 1"), "0-1 {Black mates}\n");
    EXPECT_EQ(result_of("k7/8/1Q6/8/8/8/8/7K b - - 0 1"), "1/2-1/2 {Stalemate}\n");
    EXPECT_EQ(result_of("k7/8/8/8/8/8/1R6/K7 b - - 100 80"), "1/2-1/2 {Draw by fifty move rule}\n");
    EXPECT_EQ(result_of("k7/8/8/8/8/8/1R6/K7 b - - 99 80"), "");
}

TEST_F(Game, RepetitionIsReported) {
    std::string out;
    for (const char *m : {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"}) {
        makemove(find_move(m));
        ply = 0;
        gen();
        out = capture_stdout([] { print_result(); });
    }
    EXPECT_EQ(out, "1/2-1/2 {Draw by repetition}\n");
}

} // namespace
