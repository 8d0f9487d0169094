// Four-men bitbases against small independent searches on the engine's own board: positions
// where the side to move is mated or stalemated, can mate at once, or can capture into a
// three-men position that is lost for the opponent (the three-men tables are checked against
// an outside reference by the end-to-end tests) must probe accordingly; and a pawn's double
// step past an enemy pawn is worth what the engine's moves, en passant included, make of it.
// The published counts of the three- and four-men materials hold for the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

// A square under one of the board's symmetries: bit 0 mirrors left-right, bit 1 top-bottom,
// bit 2 reflects in the a1-h8 diagonal.
int image(int s, int symmetry) {
    if (symmetry & 1) s ^= 7;
    if (symmetry & 2) s ^= 56;
    return symmetry & 4 ? (s >> 3) | (s & 7) << 3 : s;
}

// A position's squares under a symmetry: the kings, then the pieces in their order.
std::array<int, 4> key(const Position &p, int n, int symmetry) {
    std::array<int, 4> k{image(p.wk, symmetry), image(p.bk, symmetry), 0, 0};
    for (int i = 0; i < n; i++)
        k[2 + i] = image(p.sq[i], symmetry);
    return k;
}

} // namespace

// Every legal position on the whole board, each class under the symmetries (all eight without
// pawns, the left-right mirror with them) counted once by its least key, probed one by one: a
// reduction of its own, not the counter's. Men of one kind are told apart by their order, as the
// published statistics count them.
TEST(EgbbFourMen, PublishedCountsPositionByPosition) {
    ASSERT_TRUE(load_for_engine(8 << 20)) << EGBB_MISSING;
    int materials = 0;
    for (const auto &row : table_rows("egbb_counts.txt", "counts")) {
        const std::string &name = row[0];
        if (name.size() > 4) continue; // five men: ctest egbb_count_* on the fixture's tables
        materials++;
        Position p{0, 0, 0, {0, 0, 0}, {0, 0, 0}};
        int n = 0, symmetries = 8;
        for (size_t i = 1, black = 0; i < name.size(); i++)
            if (name[i] == 'k')
                black = 6;
            else
                p.pc[n++] = (int)(std::string(" kqrbnp").find(name[i]) + black);
        for (int i = 0; i < n; i++)
            if (p.pc[i] % 6 == 0) symmetries = 2;
        long counted[2][3] = {};
        for (int i = 0; i < 1 << 6 * (n + 2); i++) {
            p.wk = i >> 6 * (n + 1), p.bk = i >> 6 * n & 63;
            for (int k = 0; k < n; k++)
                p.sq[k] = i >> 6 * k & 63;
            const std::array<int, 4> own = key(p, n, 0);
            bool least = true;
            for (int s = 1; s < symmetries && least; s++)
                least = !(key(p, n, s) < own);
            for (p.side = 0; least && p.side < 2; p.side++)
                if (legal(p)) {
                    const int r = p.probe();
                    counted[p.side][r > 0 ? 0 : r == 0 ? 1 : 2]++;
                }
        }
        char text[2][64];
        for (int to_move = 0; to_move < 2; to_move++)
            snprintf(text[to_move], sizeof text[to_move], "%ld %ld %ld", counted[to_move][0],
                     counted[to_move][1], counted[to_move][2]);
        EXPECT_EQ(text[0], row[1]) << name << ", White to move";
        EXPECT_EQ(text[1], row[2]) << name << ", Black to move";
    }
    EXPECT_EQ(materials, 35);
}

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
