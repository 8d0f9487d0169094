// Four-men bitbases against a small independent search on the engine's own board: positions
// where the side to move is mated or stalemated, can mate at once, or can capture into a
// three-men position that is lost for the opponent (the three-men tables are checked against
// an outside reference by the end-to-end tests) must probe accordingly.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "board.h"
#include "data.h"
#include "egbbdll.h"
#include "test_egbb_common.h"
#include "test_util.h"

namespace {

constexpr int SAMPLES = 2000; // per material and side to move

// FEN letters of the prober's piece codes.
const char LETTER[13] = {'.', 'K', 'Q', 'R', 'B', 'N', 'P', 'k', 'q', 'r', 'b', 'n', 'p'};

std::string fen_of(const Position &p) {
    std::string board(64, '.'), fen;
    board[p.wk] = 'K', board[p.bk] = 'k';
    for (int i = 0; i < 2; i++)
        board[p.sq[i]] = LETTER[p.pc[i]];
    for (int row = 7; row >= 0; row--) {
        for (int f = 0; f < 8; f++) {
            const char c = board[row * 8 + f];
            if (c != '.')
                fen += c;
            else if (!fen.empty() && isdigit((unsigned char)fen.back()))
                fen.back()++;
            else
                fen += '1';
        }
        fen += row ? "/" : p.side ? " b - - 0 1" : " w - - 0 1";
    }
    return fen;
}

int pieces_on_board(int *pc, int *sq) {
    static const int code[5] = {6, 5, 4, 3, 2};
    int n = 0;
    for (int s = 0; s < 64; s++)
        if (color[s] != EMPTY && piece[s] != KING) {
            if (n < 3) pc[n] = code[piece[s]] + (color[s] == DARK ? 6 : 0), sq[n] = flip[s];
            n++;
        }
    return n;
}

// Value of the position after a move for its side to move when it is known without the
// four-men tables: 1, 0, -1, or 2 when unknown.
int known_child() {
    int pc[3] = {0, 0, 0}, sq[3] = {0, 0, 0};
    const int n = pieces_on_board(pc, sq);
    if (n == 0) return 0;
    if (n == 1) {
        const int r = probe_egbb(side, flip[king_position[LIGHT]], flip[king_position[DARK]], pc[0],
                                 sq[0], 0, 0);
        return (r > 0) - (r < 0);
    }
    if (!in_check(side)) return 2;
    gen();
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++)
        if (makemove(gen_dat[i].m)) {
            takeback();
            return 2;
        }
    return -1; // mated
}

// 1, 0, -1 when a one-ply look settles the position, 2 otherwise.
int settled() {
    int legal_moves = 0;
    for (int i = first_move[0]; i < first_move[1]; i++) {
        if (!makemove(gen_dat[i].m)) continue;
        legal_moves++;
        const int child = known_child();
        takeback();
        if (child == -1) return 1;
    }
    if (!legal_moves) return in_check(side) ? -1 : 0;
    return 2;
}

} // namespace

TEST(EgbbFourMen, AgreesWithAnIndependentOnePlyLook) {
    const std::string files = egbb_files();
    ASSERT_FALSE(files.empty()) << EGBB_MISSING;
    capture_stdout([&] { load_egbb_5men(files.c_str(), 8 << 20, 1); });
    reset_engine();
    std::mt19937 rng(2024);
    for (int a = 2; a <= 6; a++)
        for (int b = a; b <= 12; b++) {
            if (b == 7 || (b > 6 && b < a + 6)) continue;
            int checked[3] = {0, 0, 0}, bad = 0;
            for (int n = 0; n < 2 * SAMPLES; n++) {
                const Position p = random_position(rng, n & 1, {a, b});
                setup_fen(fen_of(p));
                const int expect = settled();
                if (expect == 2) continue;
                checked[1 - expect]++;
                const int r = p.probe();
                if ((r > 0) - (r < 0) != expect && bad++ < 3)
                    ADD_FAILURE() << fen_of(p) << ": probe " << r << ", expected " << expect;
            }
            char name[32];
            egbb_prober::table_name(name, 0, a, b, 0);
            printf("%.*s: settled %d wins, %d draws, %d losses of %d\n",
                   (int)(strchr(name, '.') - name), name, checked[0], checked[1], checked[2],
                   2 * SAMPLES);
            EXPECT_EQ(bad, 0);
        }
}
