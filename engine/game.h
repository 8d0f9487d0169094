// The game both loops play (game.cpp): its start and new games, the book line so far, time
// allocation and the clock guard, the level reader, pondering, the resignation rule and the
// game-state report.
#pragma once

// Resets the game (initial position, book state, scores, analysis off), loads the books, reads
// vrk.rc, fills the key tables, (re)allocates the hash tables when HASH is at least 1 and opens
// the learn file when LEARN is set. Leaves the driver state of the loops as it was.
void init();
// The start of either loop: init(), then hashing as the settings ask.
void start_engine();
// The state start-up leaves, for the tools and the tests, without any file: the initial position
// with its moves generated, the key tables, hash tables of `mb` MB and `pawn_kb` KB freshly
// allocated (their sizes printed), hashing on, learning and bitbases off, the null move, and the
// search's history, killers and principal variation cleared.
void fresh_engine(int mb, int pawn_kb);
// Resets the game only (no settings, tables or books) and prints "\n New Game ".
void new_game();
// Appends the first four characters of a coordinate move to opening_history while it stays
// within 80 characters, and counts the ply.
void add_opening_move(const char *coord);

extern int tply;

// A time control as the protocol's "level" gives it.
struct Level {
    int mps = 0;       // moves per control, 0 for the whole game
    double base = 0.0; // seconds of the control; accepted, not used by the allocation
    double inc = 0.0;  // seconds added after each move
};

// Reads "level MPS BASE INC": MPS whole moves, BASE minutes or minutes:seconds, INC a decimal
// number of seconds. False, and *level unchanged, unless all three are read and in range.
bool read_level(const char *line, Level *level);

double allocate_time(double own_seconds, double opponent_seconds, int mps, double base,
                     double increment);
// Whole milliseconds of a number of seconds, bounded so that a deadline stays meaningful.
unsigned budget_ms(double seconds);

// The clock the interface reported ("time"), with the moves left on it before it is refilled
// (0 in sudden death) and the increment; the guard then caps every engine search by it.
void clock_reading(double own_seconds, int moves_to_go, double inc);
void clock_forget();
// What one move may take in seconds with `left` on the clock: the rest of the clock spread
// over the moves to go (a horizon in sudden death), a reserve kept back, each move's overhead
// of reading and sending paid for, plus the increment.
double clock_cap(double left, int moves_to_go, double inc);
// The budget (ms) capped by the last clock reading, less the time gone since it was read.
unsigned guarded_budget(unsigned budget);

// Index of the root move a ponder text names ("e7e8n": a fifth letter picks the promotion, the
// queen when it names none); -1 when there is none.
int find_ponder_move(const char *text);
int do_ponder(const char *text);
void think_for_move(int mode);
// The search behind a hint: after analysis it has no limit, and stops when no input can come.
void think_for_hint();
// Prints the result line of the position at ply 0 when the game has ended there (mate,
// stalemate, repetition, fifty moves); nothing otherwise.
void print_result();
int resign();
