// The book in play, and the book maker (openings.cpp).
#pragma once
#include "defs.h"

// The book's entry for the position on the board (moves generated at ply 0), nullptr when it has
// none; with `announce` (as the console and the protocol loop have it) the lookup's line
// "Opening move found:..." is printed.
gen_rec *choose_book_move(bool announce = true);
int cherche_move(const char *text);
void makebook(const char *path);
