// The learn file: records, offsets, depth rules, and its use by the root search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "board.h"
#include "console.h"
#include "defs.h"
#include "keys.h"
#include "learn.h"
#include "platform.h"
#include "search.h"
#include "test_util.h"

namespace {

std::vector<unsigned char> file_bytes() {
    std::vector<unsigned char> v;
    FILE *f = fopen("vrk.lrn", "rb");
    if (!f) return v;
    for (int c; (c = fgetc(f)) != EOF;)
        v.push_back((unsigned char)c);
    fclose(f);
    return v;
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
        close_learn();
        if (learn_file) fclose(learn_file);
        learn_file = nullptr;
        learning = 0;
    }
    int e2e4 = make_move_word(52, 36, 0, FLAG_PAWN | FLAG_DOUBLE);
};

TEST_F(Learn, RecordLayoutAtItsOffset) {
    wlearn(6, -250, e2e4);
    auto b = file_bytes();
    ASSERT_EQ(b.size(), 12000u);
    const unsigned char want[12] = {0x01, 0x00, 0x00, 0x80, 52, 36, 0x06, 0xFF, 6, 0, 0, 0};
    EXPECT_TRUE(std::equal(want, want + 12, b.begin() + 7788));
    EXPECT_EQ(std::count(b.begin(), b.end(), 0), 12000 - 7);
    EXPECT_EQ(rlearn(5, e2e4), -250); // sign-extended
}

TEST_F(Learn, ReadNeedsDeeperResultForThisPositionAndSquares) {
    wlearn(6, 120, e2e4);
    EXPECT_EQ(rlearn(5, e2e4), 120);
    EXPECT_EQ(rlearn(6, e2e4), NO_LEARN);
    EXPECT_EQ(rlearn(5, make_move_word(52, 44, 0, FLAG_PAWN)), NO_LEARN);
    EXPECT_EQ(rlearn(5, e2e4 | 0x00040000), 120); // the promotion piece is not recorded
    hash += 1000;                                 // same record, another position
    EXPECT_EQ(rlearn(5, e2e4), NO_LEARN);
    learning = 0;
    hash -= 1000;
    EXPECT_EQ(rlearn(5, e2e4), NO_LEARN);
}

TEST_F(Learn, WriteRules) {
    wlearn(4, 120, e2e4); // too shallow
    CurrentStage = 2;     // too late in the game
    wlearn(9, 120, e2e4);
    auto b = file_bytes();
    EXPECT_EQ(std::count(b.begin(), b.end(), 0), 12000);
    // A deeper result is never overwritten, whatever position it belongs to.
    CurrentStage = 0;
    wlearn(6, 120, e2e4);
    hash += 1000;
    wlearn(5, 33, e2e4);
    EXPECT_EQ(rlearn(4, e2e4), NO_LEARN);
    wlearn(6, 44, e2e4);
    EXPECT_EQ(rlearn(5, e2e4), 44);
}

TEST_F(Learn, ClearKeepsTheSizeAndReopens) {
    wlearn(6, 120, e2e4);
    std::string out = capture_stdout([] { clear_learn_file(); });
    EXPECT_EQ(out, "Cleaning Learn File for 1000 entries...Done!\n"
                   "Learn file => vrk.lrn open (1000 entries)\n");
    EXPECT_EQ(file_bytes().size(), 12000u);
    EXPECT_EQ(rlearn(5, e2e4), NO_LEARN);
    EXPECT_NE(learn_file, nullptr);
}

TEST_F(Learn, MissingFileMeansNoLearning) {
    close_learn();
    remove("vrk.lrn");
    std::string out = capture_stdout([] { init_learn(); });
    EXPECT_EQ(out, "Cannot open learn file vrk.lrn !!\n");
    EXPECT_EQ(rlearn(0, e2e4), NO_LEARN);
    wlearn(9, 1, e2e4);
    EXPECT_TRUE(file_bytes().empty());
}

TEST_F(Learn, RootTakesStoredScoresAndWritesDeepResults) {
    set_hash();
    wlearn(20, 900, e2e4);
    max_time = NO_TIME_LIMIT;
    max_depth = 1;
    stop_depth = 1;
    capture_stdout([] { think(0); });
    EXPECT_EQ(pv[0][0], e2e4);
    EXPECT_EQ(last_score, 900);
    EXPECT_EQ(learn_hit, 2); // 900 fails high: the depth is searched again
    // A depth-5 search stores its best root move over an emptier record.
    setup_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1");
    capture_stdout([] { clear_learn_file(); });
    max_depth = 5;
    capture_stdout([] { think(0); });
    EXPECT_EQ(rlearn(4, pv[0][0]), last_score);
}

} // namespace
