// Start-up, configuration, the console loop and its commands (defined in console.cpp, which owns
// the configuration settings and the driver state below).
#pragma once

// Settings read from vrk.rc.
extern int mb_hash;       // HASH
extern int kb_hash_pawn;  // HPAWN
extern int check_nodes;   // CHECKNODES
extern int nulling_move;  // NULLMOVE
extern int emtdf;         // MTDF
extern int mtdf_window;   // ABWINDOW
extern int futility;      // FUTILITY
extern int razor;         // RAZOR
extern int delta;         // DELTA
extern int lmr;           // LMR
extern int egbb;          // EGBB
extern int egbb_cache;    // EGBBCACHE
extern char *egbb_path;   // EGBBPATH, a 255-byte buffer
extern int egbb_5men;     // 5MEN
extern int learning;      // LEARN
extern int resign_value;  // RESIGN_VALUE
extern int enable_book;   // BOOK
extern int hashing;       // hash tables in use: mb_hash > 0

// Driver state shared by the console and protocol loops.
extern int computer_side;
extern int pondering;
extern unsigned max_time;
extern unsigned max_depth;
constexpr unsigned DEFAULT_MAX_DEPTH = 40; // no depth limit of the user's own
extern int stop_depth;
extern unsigned start_time;
extern char last_move[8];
extern char anti_move[8];
extern int anticipedmove;
extern int opening_phase;
extern int book_ply;
extern char opening_history[81];
extern int last_values[3];
extern int analyzing;
extern char EPD[224];

void init();
void new_game();
// Reads vrk.rc from the working directory; false when it cannot be opened.
bool read_config();
// Appends the first four characters of a coordinate move to opening_history while it stays
// within 80 characters, and counts the ply.
void add_opening_move(const char *coord);
// Prints the banner, initialises, prints the settings and runs the console loop; the result is
// the program's exit status.
int console_main();
