// The engine always has a move to play when the position has one.
#include <gtest/gtest.h>

#include "board.h"
#include "game.h"
#include "hash.h"
#include "notation.h"
#include "search.h"
#include "session.h"
#include "settings.h"
#include "test_util.h"

namespace {

// A root entry left aged by an earlier search, deep and with a score far from the truth: every
// depth it covers is answered from the table, and the first real depth fails low everywhere.
void plant_aged_root_entry() {
    HashInsert(hashcode, 9991, 0xFFFF, 252, HASH_EXACT);
    HashClear();
    last_score = 9991;
    anticipedmove = 0;
    stop_depth = 1;
    max_depth = 64;
    max_time = 300;
}

TEST(EngineTurn, AMoveWheneverThePositionHasOne) {
    reset_engine();
    setup_fen("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
    plant_aged_root_entry();
    capture_stdout([] { think(THINK_SILENT); });
    EXPECT_EQ(pv[0][0], 0) << "the plain search is expected to end without a move here";
    plant_aged_root_entry();
    capture_stdout([] { think_for_move(THINK_SILENT); });
    ASSERT_NE(pv[0][0], 0);
    EXPECT_NE(find_move(move_str(pv[0][0])), 0);
    EXPECT_EQ(hashing, 1);
    reset_engine();
    setup_fen("R5k1/5ppp/8/8/8/8/5PPP/6K1 b - -"); // mated
    capture_stdout([] { think_for_move(THINK_SILENT); });
    EXPECT_EQ(pv[0][0], 0);
}

} // namespace
