// Four-men bitbases against small independent searches on the engine's own board: positions
// where the side to move is mated or stalemated, can mate at once, or can capture into a
// three-men position that is lost for the opponent (the three-men tables are checked against
// an outside reference by the end-to-end tests) must probe accordingly; and a pawn's double
// step past an enemy pawn is worth what the engine's moves, en passant included, make of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "board.h"
#include "data.h"
#include "egbb_glue.h"
#include "test_egbb_common.h"
#include "test_util.h"

namespace {

// Value for the side to move when a look `depth` plies deep settles it without the four-men
// tables: 1, 0, -1, or 2 when it does not. Three men are looked up.
int look(int depth) {
    int men = 0, legal_moves = 0;
    for (int s = 0; s < 64; s++)
        men += color[s] != EMPTY;
    if (men == 3) {
        const int r = eval_egbb();
        return (r > 0) - (r < 0);
    }
    if (depth == 0) return 2;
    gen();
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        if (!makemove(gen_dat[i].m)) continue;
        legal_moves++;
        const int child = look(depth - 1);
        takeback();
        if (child == -1) return 1;
    }
    return legal_moves ? 2 : in_check(side) ? -1 : 0;
}

// The tables' value for the side to move (no en-passant right), raised by the en-passant
// captures the engine's move generator offers.
int value_with_en_passant() {
    const int r = eval_egbb();
    int v = (r > 0) - (r < 0);
    gen();
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        if (!(move_bits(gen_dat[i].m) & FLAG_EP) || !makemove(gen_dat[i].m)) continue;
        const int child = eval_egbb();
        v = std::max(v, -((child > 0) - (child < 0)));
        takeback();
    }
    return v;
}

} // namespace

TEST(EgbbFourMen, DoubleStepsPastAPawnCountTheEnPassantReply) {
    ASSERT_TRUE(load_for_engine(8 << 20)) << EGBB_MISSING;
    std::mt19937 rng(17);
    int bad = 0;
    for (int n = 0; n < 4000; n++) {
        // The side to move has a pawn on its second rank and the other pawn stands on the
        // fourth rank of a neighbouring file, ready to take en passant.
        const int to_move = n & 1, file = (int)(rng() % 8);
        const int other = file + (file == 0 || (file < 7 && rng() % 2) ? 1 : -1);
        Position p{to_move, 0, 0, {pb::WPAWN, pb::BPAWN}, {0, 0, 0}};
        p.sq[to_move] = (to_move ? 48 : 8) + file;
        p.sq[to_move ^ 1] = (to_move ? 32 : 24) + other;
        const int step = to_move ? -8 : 8;
        auto blocks = [&](int k) {
            return k == p.sq[to_move] + step || k == p.sq[to_move] + 2 * step;
        };
        do {
            p.wk = (int)(rng() % 64), p.bk = (int)(rng() % 64);
        } while (!legal(p) || blocks(p.wk) || blocks(p.bk));
        setup_fen(fen_of(p));
        const int best = best_move_value(value_with_en_passant), r = p.probe();
        if ((r > 0) - (r < 0) != best && bad++ < 3)
            ADD_FAILURE() << fen_of(p) << ": probe " << r << ", one ply gives " << best;
    }
}

TEST(EgbbFourMen, AgreesWithAnIndependentOnePlyLook) {
    ASSERT_TRUE(load_for_engine(8 << 20)) << EGBB_MISSING;
    std::mt19937 rng(2024);
    int checked[3] = {0, 0, 0}, bad = 0;
    for (int a = 2; a <= 6; a++)
        for (int b = a; b <= 12; b++) {
            if (b == 7 || (b > 6 && b < a + 6)) continue;
            for (int n = 0; n < 4000; n++) {
                const Position p = random_position(rng, n & 1, {a, b});
                setup_fen(fen_of(p));
                const int expect = look(2);
                if (expect == 2) continue;
                checked[1 - expect]++;
                const int r = p.probe();
                if ((r > 0) - (r < 0) != expect && bad++ < 3)
                    ADD_FAILURE() << fen_of(p) << ": probe " << r << ", expected " << expect;
            }
        }
    printf("settled %d wins, %d draws, %d losses\n", checked[0], checked[1], checked[2]);
    EXPECT_TRUE(checked[0] && checked[1] && checked[2]);
}
