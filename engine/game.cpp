// The game the console and protocol loops play: its start and new games, time allocation for one
// move and the guard that keeps it within the clock, pondering on the opponent's time, the
// resignation rule and the report of a finished game.
#include "game.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "board.h"
#include "book.h"
#include "data.h"
#include "hash.h"
#include "keys.h"
#include "learn.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"

int tply;

// ---------------------------------------------------------------------------------------------
// Start-up and new games

// The game part of a reset, shared by init and new_game.
static void reset_game() {
    set_initial_position();
    start_book_line();
    last_score = 0;
    memset(last_values, 0, sizeof last_values);
}

void init(void (*over_settings)()) {
    reset_game();
    analyzing = 0;
    gen();
    opening_phase = 1;
    init_book();
    read_config();
    if (over_settings) over_settings();
    init_hash();
    if (mb_hash >= 1) {
        // The settings show the sizes the tables are made with.
        mb_hash = hash_table_mb(mb_hash);
        kb_hash_pawn = pawn_table_kb(kb_hash_pawn);
        HashInit(mb_hash);
        HashPawnInit(kb_hash_pawn);
    }
    null_move = NULL_MOVE_WORD;
    if (learning) init_learn();
}

void start_engine(void (*over_settings)()) {
    init(over_settings);
    hashing = mb_hash > 0;
}

void fresh_engine(int mb, int pawn_kb) {
    set_initial_position();
    init_hash();
    hashing = 1;
    learning = 0;
    egbb = 0;
    HashInit(mb);
    HashPawnInit(pawn_kb);
    null_move = NULL_MOVE_WORD;
    memset(history, 0, sizeof history);
    memset(bf_history, 0, sizeof bf_history);
    memset(pv, 0, sizeof pv);
    memset(killer, 0, sizeof killer);
    cnt_nm = 0;
    gen();
}

void new_game() {
    reset_game();
    learn_hit = 0;
    gen();
    opening_phase = 1;
    printf("\n New Game \n");
}

void start_book_line() {
    opening_phase = 1;
    book_ply = 0;
    memset(opening_history, 0, sizeof opening_history);
}

void add_opening_move(const char *coord) {
    size_t len = strlen(opening_history);
    if (len + 4 <= 80) {
        memcpy(opening_history + len, coord, 4);
        opening_history[len + 4] = '\0';
    }
    book_ply++;
}

// ---------------------------------------------------------------------------------------------
// Time

namespace {

constexpr double MIN_MOVE_TIME = 0.3; // seconds
constexpr double SHORT_CLOCK = 60.0;  // below this the clock is nearly spent

// A level beyond these is taken for junk rather than a time control.
constexpr long LEVEL_MAX_MOVES = 10000;
constexpr long LEVEL_MAX_MINUTES = 60000;  // a thousand hours
constexpr long LEVEL_MAX_INCREMENT = 3600; // seconds

// Budgets stay below 2^31 ms, so that a deadline lies well within the clock's 32-bit cycle.
constexpr double MAX_BUDGET_SECONDS = 2147483.647;

// The clock guard. In sudden death the rest of the clock is spread over a horizon of moves; the
// rule's divisors are 30 to 40, so its budgets stay inside the guard while more than about
// 6 s are left. A reserve is kept back while more moves follow on the same clock, and each move
// pays its overhead (MOVE_OVERHEAD, or the one the clock reading gives).
constexpr int SUDDEN_DEATH_HORIZON = 20;  // moves
constexpr double CLOCK_RESERVE = 1.0;     // seconds
constexpr double MIN_GUARDED_MOVE = 0.01; // seconds: depth 1 is searched whatever the budget

// Depth of the search that stands in when the engine's own ran out of time without a move.
constexpr unsigned FALLBACK_DEPTH = 3;

// The last clock reading of the interface; `at` is get_ms() when it came.
struct ClockReading {
    bool known = false;
    double left = 0.0;
    int moves_to_go = 0;
    double inc = 0.0;
    double overhead = MOVE_OVERHEAD;
    uint32_t at = 0;
} reading;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A run of decimal digits at p, not above max; p is moved past it. False when there is none or
// it is larger.
bool read_whole(const char *&p, long max, long *out) {
    if (!is_digit(*p)) return false;
    long v = 0;
    for (; is_digit(*p); ++p) {
        v = v * 10 + (*p - '0');
        if (v > max) return false;
    }
    *out = v;
    return true;
}

// Skips the blanks between two numbers; false when there are none.
bool skip_separator(const char *&p) {
    const char *start = p;
    while (*p == ' ' || *p == '\t')
        ++p;
    return p != start;
}

bool at_end_of_word(const char *p) {
    return *p == '\0' || *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n';
}

// How much of the remaining time one move may take, by how far the engine is behind.
int time_divisor(double own, double opp) {
    double behind = opp - own;
    if (behind > 0.1 * opp) return 40;
    if (behind > 0.05 * opp) return 35;
    return 30;
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

// Without a time or depth limit only input ends a search, as in pondering: it must then stop
// when none can come.
bool only_input_ends(unsigned budget) {
    return budget == NO_TIME_LIMIT && max_depth >= DEFAULT_MAX_DEPTH;
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
    int from = square_at(text), to = square_at(text + 2);
    for (int k = 0; k < first_move[1]; k++) {
        int m = gen_dat[k].m;
        if (move_from(m) != from || move_to(m) != to) continue;
        return (move_bits(m) & FLAG_PROMOTE) ? k + promotion_offset(text[4]) : k;
    }
    return -1;
}

bool read_level(const char *line, Level *level) {
    long mps, minutes, seconds = 0, whole;
    const char *p = line;
    if (strncmp(p, "level", 5) != 0) return false;
    p += 5;
    if (!skip_separator(p) || !read_whole(p, LEVEL_MAX_MOVES, &mps) || !skip_separator(p) ||
        !read_whole(p, LEVEL_MAX_MINUTES, &minutes))
        return false;
    if (*p == ':' && !read_whole(++p, 59, &seconds)) return false;
    if (!skip_separator(p) || !read_whole(p, LEVEL_MAX_INCREMENT, &whole)) return false;
    double inc = (double)whole, unit = 1.0;
    if (*p == '.')
        for (++p; is_digit(*p); ++p)
            inc += (*p - '0') * (unit /= 10.0);
    if (!at_end_of_word(p) || inc > LEVEL_MAX_INCREMENT) return false;
    level->mps = (int)mps;
    level->base = minutes * 60.0 + seconds;
    level->inc = inc;
    return true;
}

double allocate_time(double own_seconds, double opponent_seconds, int mps, double base,
                     double increment) {
    (void)base;
    // The remainder has the sign of tply, which the protocol's "remove" can take below 0.
    double t = move_allowance(own_seconds, opponent_seconds, mps ? mps - tply % mps : 0, increment);
    tply++;
    return t;
}

double move_allowance(double own_seconds, double opponent_seconds, int moves_to_go,
                      double increment) {
    double own = own_seconds, inc = increment, t;
    if (moves_to_go != 0) {
        t = own / (moves_to_go + 3);
    } else if (own > SHORT_CLOCK) {
        t = own / time_divisor(own, opponent_seconds);
        if (own - t - inc > 1.0 && increment != 0) t += inc;
    } else if (own - 0.5 - inc > 1.0 && increment != 0) {
        t = 0.5 + inc;
    } else {
        t = MIN_MOVE_TIME;
    }
    if (t <= 1.0) t = MIN_MOVE_TIME;
    return t;
}

unsigned budget_ms(double seconds) {
    return (unsigned)(std::min(std::max(seconds, 0.0), MAX_BUDGET_SECONDS) * 1000.0);
}

void clock_reading(double own_seconds, int moves_to_go, double inc, double overhead) {
    reading = {true, own_seconds, moves_to_go, inc, overhead, get_ms()};
}

void clock_forget() {
    reading.known = false;
}

double clock_cap(double left, int moves_to_go, double inc, double overhead) {
    int moves = moves_to_go > 0 ? moves_to_go : SUDDEN_DEATH_HORIZON;
    // The last move before the clock is refilled keeps nothing back for later ones.
    double reserve = moves_to_go == 1 ? 0.0 : CLOCK_RESERVE;
    double cap = (left - reserve) / moves - overhead + inc;
    // The increment is added only once the move has been made.
    cap = std::min(cap, left - overhead);
    return std::max(cap, MIN_GUARDED_MOVE);
}

unsigned guarded_budget(unsigned budget) {
    if (!reading.known) return budget;
    double left = reading.left - (uint32_t)(get_ms() - reading.at) * 0.001;
    return std::min(budget,
                    budget_ms(clock_cap(left, reading.moves_to_go, reading.inc, reading.overhead)));
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
    think(THINK_SILENT);
    stop_on_input_end = 0;
    takeback();
    ply = 0;
    gen();
    max_time = saved_time;
    return stop_depth;
}

void print_result() {
    if (!first_legal_move()) {
        if (in_check(side))
            printf(side == DARK ? "1-0 {White mates}\n" : "0-1 {Black mates}\n");
        else
            printf("1/2-1/2 {Stalemate}\n");
    } else if (repetitions() >= 2) {
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

// The engine's search for the move it is about to play, within what the clock affords.
// Aged entries outlive a reset of the table, so a search can answer every depth it completes
// from the table at the root and then run out of time in the first depth it really searches,
// before any root move improved: it leaves no move although the position has one. Rather than
// lose the game on time, the engine then plays the move of a short search without the table.
// A search that input stopped is left as it is: what arrived is read next. A driver with an
// input poll of its own (input_poll) reads that input during the search, ends a search that only
// input ends itself, and wants a move whatever stopped the search.
void think_for_move(int mode) {
    const unsigned budget = max_time;
    max_time = guarded_budget(budget);
    stop_on_input_end = !input_poll && only_input_ends(budget);
    think(mode);
    stop_on_input_end = 0;
    if (!pv[0][0] && (input_poll || !bioskey()) && first_legal_move()) fallback_search(mode);
    max_time = budget;
}

void think_for_hint() {
    stop_on_input_end = only_input_ends(max_time);
    think(THINK_SILENT);
    stop_on_input_end = 0;
}
