// The static evaluation (defined in eval.cpp, which owns the globals below; the statistics it
// raises, max_ply, hash_pawn_hit and egbb_hit, are the search's, in stats.h).
#pragma once
#include "defs.h"
#include <cstdint>

// Counters of the last call of eval(), indexed by colour.
extern int nb_pieces[2];
extern int piece_mat[2];
extern int nb_pions[2];
extern int pawn_mat[2];
extern int knight_mat[2];
extern int bishop_mat[2];
extern int rook_mat[2];
extern int n_pieces;
extern int n_pawns;
extern int Stage;
// The stage of the root position, taken from Stage when a search starts (Stage itself follows
// the moves the search makes).
extern int CurrentStage;
extern int nullmat;
extern int pawn_rank[2][10];
extern int rook_rank[2][10];
extern uint64_t hashpawn;

// Constant tables of the evaluation, LIGHT's view, square 0 = a8 (DARK reads them at flip[sq]).
extern const int knight_imbalance[9];
extern const int rook_imbalance[9];
extern const int knight_opemid_pcsq[64];
extern const int knight_lmidend_pcsq[64];
extern const int bishop_opemid_pcsq[64];
extern const int bishop_lmidend_pcsq[64];
extern const int rook_pcsq[64];
extern const int queen_pcsq[64];
extern const int pawn_emid_pcsq[64];
extern const int pawn_lmid_pcsq[64];
extern const int pawn_end_pcsq[64];
extern const int king_endgame_pcsq[64];
extern const int mobility[7][30];

// Values of Stage: opening, early middle game, late middle game, endgame.
constexpr int STAGE_OPENING = 0, STAGE_EARLY_MID = 1, STAGE_LATE_MID = 2, STAGE_ENDGAME = 3;

int eval();
int eval_light_pawn(int sq);
int eval_dark_pawn(int sq);
int mat_balance();
int mat_gain(const hist_rec &rec);
int contempt_factor();
// Number of pseudo-legal target squares of the piece on sq (stepping through the mailbox frame).
int mobility_count(int sq);
