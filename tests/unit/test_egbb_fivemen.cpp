// Five-men bitbases (two knights against a pawn, and the two-knights tables its promotions
// reach) on the engine's own board: every position is worth the best of its moves, each child
// valued by the tables (five men, or four after a capture), mates and stalemates included, with
// the pieces of either colour so that the one-against-two colour flip is read too.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "board.h"
#include "egbb_glue.h"
#include "test_egbb_common.h"
#include "test_util.h"

namespace {

int table_value() {
    const int r = eval_egbb();
    EXPECT_NE(r, pb::NOT_AVAILABLE);
    return (r > 0) - (r < 0);
}

} // namespace

TEST(EgbbFiveMen, EveryPositionIsWorthItsBestMove) {
    ASSERT_TRUE(load_for_engine(16 << 20)) << EGBB_MISSING;
    std::mt19937 rng(5);
    const std::vector<int> materials[] = {{5, 5, 12}, {11, 11, 6}, {5, 5, 11}, {11, 11, 5}};
    int seen[3] = {0, 0, 0}, bad = 0;
    for (const auto &pcs : materials)
        for (int n = 0; n < 1500; n++) {
            const Position p = random_position(rng, n & 1, pcs);
            setup_fen(fen_of(p));
            const int expect = best_move_value(table_value), r = p.probe();
            seen[1 - expect]++;
            if ((r > 0) - (r < 0) != expect && bad++ < 3)
                ADD_FAILURE() << fen_of(p) << ": probe " << r << ", best move " << expect;
        }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]) << seen[0] << " " << seen[1] << " " << seen[2];
}
