// The position, the move stacks, generation, make / take back, attack tests and repetitions
// (all defined in board.cpp).
#pragma once
#include "defs.h"
#include <cstdint>

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

// The position by colour and piece, kept in step with color[] and piece[] by every move made or
// taken back, and rebuilt by finish_setup() after a set-up that wrote the squares directly.
extern uint64_t piece_bb[2][6]; // squares of each colour's pieces of each kind
extern uint64_t color_bb[2];    // squares of each colour
extern int piece_count[2][6];   // number of each colour's pieces of each kind
inline uint64_t occupied_bb() {
    return color_bb[LIGHT] | color_bb[DARK];
}

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

int makemove(int m);
// The key hashcode would have after move m, the position left as it is.
uint64_t key_after(int m);
// The keys of the position on the board, computed whole: hashcode (the table's) and hash (the
// learn file's).
void ComputeHashCode();
void set_hash();
void takeback();
int newattack(int sq, int s);
int attack(int sq, int s);
int in_check(int s);
int reps();
int repetitions();
// The first legal move of the position at ply 0 (its list generated afresh), 0 when it has none:
// the side to move is mated or stalemated.
int first_legal_move();

// Makes a position set up by hand safe to generate from: pawns on the first or last rank are
// removed and castling rights whose king or rook is not at home are dropped.
void sanitize_setup();
// Puts the initial position on the board with an empty history and its key (no move generation).
void set_initial_position();
// Ends a set-up that wrote color[] and piece[] square by square: finds the kings and rebuilds the
// bitboards and piece counts.
void finish_setup();
// Drops the oldest records of the game's move stack, keeping those the searches and the
// repetition tests read (back to the last capture or pawn move, at most the hundred plies of the
// fifty-move rule), so that a long game leaves the stack room for a search. The position stays;
// the dropped moves can no longer be taken back. Only at ply 0.
void drop_old_history();
// Debug check of the whole position: pieces, kings, bitboards and counts, key recomputed from
// scratch.
bool position_ok();
