// The book in play, and the book maker (openings.cpp).
#pragma once
#include "defs.h"

gen_rec *choose_book_move();
int cherche_move(const char *text);
void makebook(const char *path);
