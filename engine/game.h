// The game both loops play (game.cpp): its start and new games, the book line so far, time
// allocation and the clock guard, the level reader, pondering, the resignation rule and the
// game-state report.
#pragma once

// Resets the game (initial position, book state, scores, analysis off), loads the books, reads
// vrk.rc, fills the key tables, (re)allocates the hash tables when HASH is at least 1 and opens
// the learn file when LEARN is set. Leaves the driver state of the loops as it was.
// `over_settings`, when given, runs right after vrk.rc is read: a driver's own settings then
// decide the tables and the learn file, which are made once.
void init(void (*over_settings)() = nullptr);
// The start of either loop: init(), then hashing as the settings ask.
void start_engine(void (*over_settings)() = nullptr);
// The state start-up leaves, for the tools and the tests, without any file: the initial position
// with its moves generated, the key tables, hash tables of `mb` MB and `pawn_kb` KB freshly
// allocated (their sizes printed), hashing on, learning and bitbases off, the null move, and the
// search's history, killers and principal variation cleared.
void fresh_engine(int mb, int pawn_kb);
// Resets the game only (no settings, tables or books) and prints "\n New Game ".
void new_game();
// The book state of a game from the initial position: in the book, no plies played from it, an
// empty line.
void start_book_line();
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

// The budget (s) of one move by the allocation rule; the moves to go follow from tply and the
// moves per control (0: the whole game or increment play). Counts the call in tply.
double allocate_time(double own_seconds, double opponent_seconds, int mps, double base,
                     double increment);
// The rule itself, with the moves to go before the clock is refilled given (0 in sudden death).
double move_allowance(double own_seconds, double opponent_seconds, int moves_to_go,
                      double increment);
// Whole milliseconds of a number of seconds, bounded so that a deadline stays meaningful.
unsigned budget_ms(double seconds);

// What a move costs outside the search, in seconds: reading it, the last stretch of nodes
// before the check that finds the deadline, sending the move and the interface's own delay.
// The protocol loop's; the UCI loop's is an option.
constexpr double MOVE_OVERHEAD = 0.05;

// The clock the interface reported ("time"), with the moves left on it before it is refilled
// (0 in sudden death), the increment and each move's overhead; the guard then caps every engine
// search by it.
void clock_reading(double own_seconds, int moves_to_go, double inc,
                   double overhead = MOVE_OVERHEAD);
void clock_forget();
// What one move may take in seconds with `left` on the clock: the rest of the clock spread
// over the moves to go (a horizon in sudden death), a reserve kept back, each move's overhead
// paid for, plus the increment.
double clock_cap(double left, int moves_to_go, double inc, double overhead = MOVE_OVERHEAD);
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
