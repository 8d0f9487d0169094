// Four-men bitbases against a small independent search on the engine's own board: positions
// where the side to move is mated or stalemated, can mate at once, or can capture into a
// three-men position that is lost for the opponent (the three-men tables are checked against
// an outside reference by the end-to-end tests) must probe accordingly.
#include <gtest/gtest.h>

#include <string>

#include "board.h"
#include "data.h"
#include "egbb_glue.h"
#include "test_egbb_common.h"
#include "test_util.h"

namespace {

std::string fen_of(const Position &p) {
    std::string board(64, '1'), fen;
    board[p.wk] = 'K', board[p.bk] = 'k';
    for (int i = 0; i < 2; i++)
        board[p.sq[i]] = ".KQRBNPkqrbnp"[p.pc[i]];
    for (int row = 7; row >= 0; row--)
        fen += board.substr(row * 8, 8) + (row ? "/" : p.side ? " b - - 0 1" : " w - - 0 1");
    return fen;
}

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

} // namespace

TEST(EgbbFourMen, AgreesWithAnIndependentOnePlyLook) {
    const std::string files = egbb_files();
    ASSERT_FALSE(files.empty()) << EGBB_MISSING;
    capture_stdout([&] { load_egbb_5men(files.c_str(), 8 << 20, 1); });
    reset_engine();
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
