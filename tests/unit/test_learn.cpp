// The learn file: records, offsets, depth rules, and its use by the root search.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "board.h"
#include "eval.h"
#include "learn.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"
#include "test_util.h"

namespace {

std::string file_bytes() {
    std::ifstream in("vrk.lrn", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each test works in a fresh directory with a learn file of 1000 records open.
class Learn : public ::testing::Test {
  protected:
    ScratchDir dir;
    void SetUp() override {
        input_use_text("");
        reset_engine();
        learning = 1;
        CurrentStage = 0;
        capture_stdout([] {
            create_learn_file(1000);
            init_learn();
        });
        hash = 2147483649u; // record 649
    }
    void TearDown() override {
        learning = 1;
        close_learn();
        learning = 0;
    }
    int e2e4 = make_move_word(52, 36, 0, FLAG_PAWN | FLAG_DOUBLE);
};

TEST_F(Learn, RecordLayoutAndReadRules) {
    wlearn(6, -250, e2e4);
    std::string b = file_bytes();
    const char want[12] = {0x01, 0x00, 0x00, '\x80', 52, 36, 0x06, '\xFF', 6, 0, 0, 0};
    EXPECT_EQ(b.substr(7788, 12), std::string(want, 12));
    EXPECT_EQ(std::count(b.begin(), b.end(), 0), 12000 - 7);
    // Read back sign-extended by a shallower search, for this position and these squares.
    EXPECT_EQ(std::make_pair(rlearn(5, e2e4), rlearn(6, e2e4)), std::make_pair(-250, NO_SCORE));
    EXPECT_EQ(rlearn(5, make_move_word(52, 44, 0, FLAG_PAWN)), NO_SCORE);
    EXPECT_EQ(rlearn(5, e2e4 | 0x00040000), -250); // the promotion piece is not recorded
    hash += 1000;                                  // same record, another position
    EXPECT_EQ(rlearn(5, e2e4), NO_SCORE);
    learning = 0;
    hash -= 1000;
    EXPECT_EQ(rlearn(5, e2e4), NO_SCORE);
}

TEST_F(Learn, WriteRules) {
    wlearn(4, 120, e2e4); // too shallow
    CurrentStage = 2;     // too late in the game
    wlearn(9, 120, e2e4);
    EXPECT_EQ(file_bytes(), std::string(12000, 0));
    // A deeper result is never overwritten, whatever position it belongs to.
    CurrentStage = 0;
    wlearn(6, 120, e2e4);
    hash += 1000;
    wlearn(5, 33, e2e4);
    EXPECT_EQ(rlearn(4, e2e4), NO_SCORE);
    wlearn(6, 44, e2e4);
    EXPECT_EQ(rlearn(5, e2e4), 44);
}

TEST_F(Learn, ClearKeepsTheSizeAndReopens) {
    wlearn(6, 120, e2e4);
    EXPECT_EQ(capture_stdout([] { clear_learn_file(); }),
              "Cleaning Learn File for 1000 entries...Done!\n"
              "Learn file => vrk.lrn open (1000 entries)\n");
    EXPECT_EQ(file_bytes(), std::string(12000, 0));
    EXPECT_NE(learn_file, nullptr);
}

// (That a search of depth 5 stores its result is the fault transcripts'.)
TEST_F(Learn, RootTakesStoredScores) {
    set_hash();
    wlearn(20, 900, e2e4);
    max_time = NO_TIME_LIMIT;
    max_depth = stop_depth = 1;
    capture_stdout([] { think(THINK_SILENT); });
    // 900 fails high: the depth is searched again.
    EXPECT_EQ(std::make_tuple(pv[0][0], last_score, learn_hit), std::make_tuple(e2e4, 900, 2));
}

} // namespace
