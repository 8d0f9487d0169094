// The book in play, and the book maker (openings.cpp).
#pragma once
#include "defs.h"

gen_rec *choose_book_move();
// Plays the book's move in the position at ply 0, adds it to the opening line and generates the
// moves of the new position. Returns the move, or 0 when the book has none or the position
// refuses it (a move that leaves its king in check would be offered again for ever).
int play_book_move();
// The book's move for the position at ply 0 when the position accepts it, else 0; the position
// stays as it is. `announce` as for choose_book_move.
int legal_book_move(bool announce);
int cherche_move(const char *text);
void makebook(const char *path);
// The same lookup, announced with its line "Opening move found:..." or not: a driver that reports
// book moves its own way (the UCI loop) does without the line.
gen_rec *choose_book_move(bool announce);
