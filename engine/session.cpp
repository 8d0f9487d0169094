// The driver state, at its values before the first game.
#include "session.h"

#include "defs.h"

int computer_side = EMPTY;
int pondering = 1;
unsigned max_time = NO_TIME_LIMIT;
unsigned max_depth = DEFAULT_MAX_DEPTH;
int stop_depth = 1;
unsigned start_time;
char last_move[8];
char anti_move[8];
int anticipedmove;
int opening_phase = 1;
int book_ply;
char opening_history[81];
int last_values[3];
int analyzing;
char EPD[224] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
