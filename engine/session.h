// The driver state the console and protocol loops share, read by the search, the time rules and
// the book (session.cpp owns it).
#pragma once

// The colour the engine plays (LIGHT or DARK), EMPTY while it plays neither.
extern int computer_side;
// Think on the opponent's time after each engine move.
extern int pondering;
// Budget (ms) and last iteration depth of the next search.
extern unsigned max_time;
extern unsigned max_depth;
constexpr unsigned DEFAULT_MAX_DEPTH = 40; // no depth limit of the user's own
// First iteration depth of the next search: above 1 after a ponder hit, which continues it.
extern int stop_depth;
// get_ms() at the start of the current search.
extern unsigned start_time;
// Coordinate texts of the user's last move and of the reply the engine expects.
extern char last_move[8];
extern char anti_move[8];
// The opponent played the expected reply.
extern int anticipedmove;
// The book state: still in the book, plies played from it, the line so far (at most 80
// characters, four a ply).
extern int opening_phase;
extern int book_ply;
extern char opening_history[81];
// The last three search scores, for the resignation rule.
extern int last_values[3];
// Analysis mode of the protocol loop.
extern int analyzing;
// The FEN of the position last displayed; the initial position's at start.
extern char EPD[224];
