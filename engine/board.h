// The position, the move stacks, generation, make / take back, attack tests and repetitions
// (all defined in board.cpp).
#pragma once
#include <cstdint>
#include "defs.h"

// The position.
extern int color[64];
extern int piece[64];
extern int side, xside;
extern int castle;
extern int ep;
extern int fifty;
extern int ply;
extern int hply;
extern int king_position[2];
extern uint64_t hashcode;
extern uint32_t hash;
extern int null_move;

// The move stacks.
extern gen_rec gen_dat[GEN_STACK];
extern int first_move[MAX_PLY];
extern hist_rec hist_dat[HIST_STACK];

// Quiet-move ordering counts, by [from][to]: written by the search, read by the generator.
extern int history[64][64];
extern int bf_history[64][64];

// Null moves on the current search line (the repetition scan discounts them).
extern int cnt_nm;

void gen();
void gen_caps();
// The squares whose color[] is c (LIGHT, DARK or EMPTY), bit sq for square sq.
uint64_t squares_of(int c);

int makemove(int m);
void takeback();
int newattack(int sq, int s);
int attack(int sq, int s);
int in_check(int s);
int reps();
int repetitions();

// Makes a position set up by hand safe to generate from: pawns on the first or last rank are
// removed and castling rights whose king or rook is not at home are dropped.
void sanitize_setup();
// Puts the initial position on the board with an empty history and its key (no move generation).
void set_initial_position();
// Debug check of the whole position: pieces, kings, key recomputed from scratch.
bool position_ok();
