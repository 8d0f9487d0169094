// The engine's side of the endgame bitbases: start-up loading and the evaluation hook, which
// translates the engine board (0 = a8, engine piece codes) into the prober's terms.
#include "egbb_glue.h"

#include <climits>
#include <cstdio>

#include "board.h"
#include "data.h"
#include "defs.h"
#include "egbbdll.h"
#include "settings.h"

// The prober's answer passes through as the engine's.
static_assert(EGBB_NOT_AVAILABLE == NO_SCORE,
              "the prober's 'not available' is the engine's no score");

int init_egbb(bool quiet) {
    // Sizes of 2 GB and more are held to the largest the prober's int takes.
    long long bytes = (long long)egbb_cache * 1048576;
    int cache = bytes > INT_MAX ? INT_MAX : (int)bytes, options = egbb_5men ? 3 : 1;
    if (quiet) {
        load_egbb_quietly(egbb_path, cache, options);
        return 0;
    }
    printf("Path for EGBB: %s\n", egbb_path);
    fflush(stdout);
    load_egbb_5men(egbb_path, cache, options);
    return 0;
}

int find_egbb4(int player, int w_king, int b_king, int piece1, int square1, int piece2,
               int square2) {
    return probe_egbb(player, w_king, b_king, piece1, square1, piece2, square2);
}

int find_egbb5(int player, int w_king, int b_king, int piece1, int square1, int piece2, int square2,
               int piece3, int square3) {
    return probe_egbb_5men(player, w_king, b_king, piece1, square1, piece2, square2, piece3,
                           square3);
}

int eval_egbb() {
    // Prober codes of the white pieces by engine piece: pawn, knight, bishop, rook, queen.
    static const int prober_code[5] = {6, 5, 4, 3, 2};
    int pc[3] = {0, 0, 0}, sq[3] = {0, 0, 0}, n = 0;
    for (int s = 0; s < 64; s++) {
        if (color[s] == EMPTY || piece[s] == KING) continue;
        if (n == 3) return NO_SCORE;
        pc[n] = prober_code[piece[s]] + (color[s] == DARK ? 6 : 0);
        sq[n] = flip[s];
        n++;
    }
    return find_egbb5(side, flip[king_position[LIGHT]], flip[king_position[DARK]], pc[0], sq[0],
                      pc[1], sq[1], pc[2], sq[2]);
}
