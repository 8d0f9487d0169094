// The learn file vrk.lrn of root scores (learn.cpp): 12-byte little-endian records addressed by
// the root's 32-bit key `hash`.
#pragma once
#include <cstdio>

extern FILE *learn_file;
extern int learn_size;

void init_learn();
void close_learn();
void create_learn_file(int n);
void clear_learn_file();
// The stored score of the root (`hash`) for `move` when the record was searched deeper than
// `depth`; NO_SCORE when the file is not in use, the record cannot be read or holds another
// position, another move or a search that was not deeper.
int rlearn(int depth, int move);
void wlearn(int depth, int score, int move);
