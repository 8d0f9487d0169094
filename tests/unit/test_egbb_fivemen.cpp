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

// The best of the side to move's moves by the tables' values of the positions they reach.
int best_move_value() {
    int best = -2;
    gen();
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        if (!makemove(gen_dat[i].m)) continue;
        best = std::max(best, -table_value());
        takeback();
    }
    return best > -2 ? best : in_check(side) ? -1 : 0;
}

} // namespace

TEST(EgbbFiveMen, EveryPositionIsWorthItsBestMove) {
    const std::string files = egbb_files();
    ASSERT_FALSE(files.empty()) << EGBB_MISSING;
    capture_stdout([&] { load_egbb_5men(files.c_str(), 16 << 20, 1); });
    reset_engine();
    std::mt19937 rng(5);
    const std::vector<int> materials[] = {{5, 5, 12}, {11, 11, 6}, {5, 5, 11}, {11, 11, 5}};
    int seen[3] = {0, 0, 0}, bad = 0;
    for (const auto &pcs : materials)
        for (int n = 0; n < 1500; n++) {
            const Position p = random_position(rng, n & 1, pcs);
            setup_fen(fen_of(p));
            const int expect = best_move_value(), r = p.probe();
            seen[1 - expect]++;
            if ((r > 0) - (r < 0) != expect && bad++ < 3)
                ADD_FAILURE() << fen_of(p) << ": probe " << r << ", best move " << expect;
        }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]) << seen[0] << " " << seen[1] << " " << seen[2];
}
