// Time allocation for one move, pondering on the opponent's time, the resignation rule and the
// report of a finished game, shared by the console and protocol loops.
#include "game.h"

#include <cstdio>
#include <cstring>

#include "board.h"
#include "console.h"
#include "platform.h"
#include "search.h"

int tply;

namespace {

constexpr double MIN_MOVE_TIME = 0.3; // seconds
constexpr double SHORT_CLOCK = 60.0;  // below this the clock is nearly spent

// Depth of the search that stands in when the engine's own ran out of time without a move.
constexpr unsigned FALLBACK_DEPTH = 3;

// How much of the remaining time one move may take, by how far the engine is behind.
int time_divisor(double own, double opp) {
    double behind = opp - own;
    if (behind > 0.1 * opp) return 40;
    if (behind > 0.05 * opp) return 35;
    return 30;
}

int square_of(const char *s) {
    return (s[0] - 'a') + (8 - (s[1] - '0')) * 8;
}

// The promotion a ponder text names, as an offset into the generator's four promotions
// (knight, bishop, rook, queen); anything else means the queen.
int promotion_offset(char c) {
    switch (c) {
    case 'n':
    case 'N':
        return 0;
    case 'b':
    case 'B':
        return 1;
    case 'r':
    case 'R':
        return 2;
    default:
        return 3;
    }
}

// The first legal move of the root position, 0 when there is none.
int first_legal_move() {
    ply = 0;
    gen();
    for (int k = first_move[0]; k < first_move[1]; k++) {
        if (!makemove(gen_dat[k].m)) continue;
        takeback();
        return gen_dat[k].m;
    }
    return 0;
}

// A short search without the table, then the first legal move should even that find nothing.
void fallback_search(int mode) {
    int saved_hashing = hashing;
    unsigned saved_depth = max_depth;
    hashing = 0;
    anticipedmove = 0;
    stop_depth = 1;
    max_depth = FALLBACK_DEPTH;
    think(mode);
    hashing = saved_hashing;
    max_depth = saved_depth;
    if (!pv[0][0]) pv[0][0] = first_legal_move();
}

} // namespace

int find_ponder_move(const char *text) {
    int from = square_of(text), to = square_of(text + 2);
    for (int k = 0; k < first_move[1]; k++) {
        int m = gen_dat[k].m;
        if (move_from(m) != from || move_to(m) != to) continue;
        return (move_bits(m) & FLAG_PROMOTE) ? k + promotion_offset(text[4]) : k;
    }
    return -1;
}

double allocate_time(double own_seconds, double opponent_seconds, int mps, int base,
                     int increment) {
    (void)base;
    double own = own_seconds, inc = increment, t;
    if (mps != 0) {
        t = own / (mps + 3 - (tply % mps));
    } else if (own > SHORT_CLOCK) {
        t = own / time_divisor(own, opponent_seconds);
        if (own - t - inc > 1.0 && increment != 0) t += inc;
    } else if (own - 0.5 - inc > 1.0 && increment != 0) {
        t = 0.5 + inc;
    } else {
        t = MIN_MOVE_TIME;
    }
    if (t <= 1.0) t = MIN_MOVE_TIME;
    tply++;
    return t;
}

int do_ponder(const char *text) {
    anticipedmove = 0;
    // Only input ends a ponder search: none may be on its way.
    if (input_cannot_arrive() || strlen(text) < 4) return 1;
    int k = find_ponder_move(text);
    if (k < 0 || !makemove(gen_dat[k].m)) return 1;
    printf("Ponder move %s\n", text);
    fflush(stdout);
    unsigned saved_time = max_time;
    max_time = NO_TIME_LIMIT;
    stop_depth = 1;
    stop_on_input_end = 1;
    think(0);
    stop_on_input_end = 0;
    takeback();
    ply = 0;
    gen();
    max_time = saved_time;
    return stop_depth;
}

void print_result() {
    int i = 0;
    while (i < first_move[1] && !makemove(gen_dat[i].m))
        i++;
    if (i < first_move[1]) takeback();
    if (i == first_move[1]) {
        if (in_check(side))
            printf(side == DARK ? "1-0 {White mates}\n" : "0-1 {Black mates}\n");
        else
            printf("1/2-1/2 {Stalemate}\n");
    } else if (reps() == 2) {
        printf("1/2-1/2 {Draw by repetition}\n");
    } else if (fifty > 99) {
        printf("1/2-1/2 {Draw by fifty move rule}\n");
    }
    fflush(stdout);
}

int resign() {
    for (int v : last_values)
        if (v >= resign_value) return 0;
    return 1;
}

// The engine's search for the move it is about to play. Aged entries outlive a reset of the
// table, so a search can answer every depth it completes from the table at the root and then
// run out of time in the first depth it really searches, before any root move improved: it
// leaves no move although the position has one. Rather than lose the game on time, the engine
// then plays the move of a short search without the table. A search that input stopped is left
// as it is: what arrived is read next.
void think_for_move(int mode) {
    // Without a time or depth limit only input ends the search, as in pondering.
    stop_on_input_end = max_time == NO_TIME_LIMIT && max_depth >= DEFAULT_MAX_DEPTH;
    think(mode);
    stop_on_input_end = 0;
    if (!pv[0][0] && !bioskey() && first_legal_move()) fallback_search(mode);
}
