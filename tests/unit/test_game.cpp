// Time allocation, the level reader, the clock guard, the resignation rule, pondering's choice
// of move and the game-state report.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "board.h"
#include "game.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"
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

TEST_F(Game, AllocateTime) {
    for (const auto &r : table_rows("game.txt", "allocate")) {
        tply = std::stoi(r[5]);
        EXPECT_NEAR(allocate_time(std::stod(r[0]), std::stod(r[1]), std::stoi(r[2]),
                                  std::stoi(r[3]), std::stod(r[4])),
                    std::stod(r[6]), 1e-9)
            << r[0] << " " << r[1] << " " << r[2] << " " << r[5];
        EXPECT_EQ(tply, std::stoi(r[5]) + 1);
    }
}

TEST_F(Game, LevelReader) {
    for (const auto &r : table_rows("game.txt", "level")) {
        Level l;
        ASSERT_TRUE(read_level((r[0] + "\n").c_str(), &l)) << r[0];
        EXPECT_EQ(std::make_tuple(l.mps, l.base, l.inc),
                  std::make_tuple(std::stoi(r[1]), std::stod(r[2]), std::stod(r[3])))
            << r[0];
    }
    for (const auto &r : table_rows("game.txt", "level junk")) {
        Level l;
        l.mps = 7;
        EXPECT_FALSE(read_level(r[0].c_str(), &l)) << r[0];
        EXPECT_EQ(l.mps, 7) << r[0];
    }
}

// Moves to go before the clock is refilled, as the protocol gives them to the guard.
int to_go(int mps, int moves_made) {
    return mps ? mps - moves_made % mps : 0;
}

// Wherever the rule spreads the clock (more than a minute left in sudden death, more than
// 43 s on a control of 40 moves), the guard leaves its budget alone.
TEST_F(Game, ClockGuardKeepsTheRuleWhereAffordable) {
    for (double own = 43.5; own < 7200; own *= 1.1)
        for (int made = 0; made < 80; made++)
            for (auto [mps, inc] : {std::pair{40, 0.0}, {0, 0.0}, {0, 0.1}, {0, 2.0}, {0, 12.0}}) {
                if (mps == 0 && own <= 60) continue;
                tply = made;
                double rule = allocate_time(own, own, mps, 0, inc);
                EXPECT_GE(clock_cap(own, to_go(mps, made), inc), rule)
                    << own << " s, " << mps << " moves, " << made << " made, +" << inc;
            }
}

// Near an empty clock the guard plays faster: a few budgets, and whole games in which each
// move costs its budget plus the time spent outside the search never see the clock run out.
TEST_F(Game, ClockGuardNearlyEmptyClocks) {
    for (const auto &r : table_rows("game.txt", "clock cap"))
        EXPECT_NEAR(clock_cap(std::stod(r[0]), std::stoi(r[1]), std::stod(r[2])), std::stod(r[3]),
                    1e-9)
            << r[0] << " " << r[1];
    const std::pair<Level, int> games[] = {
        {{0, 10, 0.1}, 300}, {{0, 60, 0}, 200}, {{40, 30, 0}, 120}, {{200, 60, 0}, 200}};
    for (const auto &[level, moves] : games) {
        tply = 0;
        double clock = level.base, least = clock;
        for (int move = 0; move < moves; move++) {
            int moves_to_go = to_go(level.mps, tply);
            double rule = allocate_time(clock, clock, level.mps, level.base, level.inc);
            clock -= std::min(rule, clock_cap(clock, moves_to_go, level.inc)) + 0.04;
            least = std::min(least, clock);
            clock += level.inc + (moves_to_go == 1 ? level.base : 0);
        }
        EXPECT_GT(least, 0.2) << level.mps << " moves in " << level.base << " s +" << level.inc;
    }
    clock_reading(3.0, 0, 0);
    EXPECT_NEAR(guarded_budget(300), 50, 2);
    EXPECT_EQ(guarded_budget(20), 20u);
    clock_forget();
    EXPECT_EQ(guarded_budget(300), 300u);
    EXPECT_EQ(budget_ms(1e12), 2147483647u);
}

TEST_F(Game, ResignAfterThreeBadScores) {
    resign_value = -1000;
    last_values[0] = -1200, last_values[1] = -1500, last_values[2] = -1001;
    EXPECT_EQ(resign(), 1);
    last_values[1] = -1000;
    EXPECT_EQ(resign(), 0);
    resign_value = 1;
    EXPECT_EQ(resign(), 1);
    resign_value = -1000;
}

TEST_F(Game, PonderMoveText) {
    setup_fen("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
    for (const auto &r : table_rows("game.txt", "ponder")) {
        const int i = find_ponder_move(r[0].c_str());
        EXPECT_EQ(i < 0 ? "-" : move_str(gen_dat[i].m), r[1]) << r[0];
    }
    // No input can come from a text, as from a file: nothing is pondered, not a word printed.
    anticipedmove = 1;
    EXPECT_EQ(capture_stdout([] { EXPECT_EQ(do_ponder("e7e8"), 1); }), "");
    EXPECT_EQ(std::make_pair(hply, anticipedmove), std::make_pair(0, 0));
}

TEST_F(Game, ResultLines) {
    for (const auto &r : table_rows("game.txt", "result")) {
        setup_fen(r[0]);
        std::istringstream moves(r[1]);
        for (std::string m; moves >> m; gen()) {
            makemove(find_move(m));
            ply = 0;
        }
        EXPECT_EQ(capture_stdout(print_result), r[2] == "-" ? "" : r[2] + "\n") << r[0];
    }
}

} // namespace
