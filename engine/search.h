// The search: iterative deepening, root, null-window and quiescence search, exchange evaluation,
// ordering, time checks and the mate finder (defined in search.cpp).
#pragma once
#include <csetjmp>

#include "defs.h"
#include "stats.h" // the statistics of the last search, read with it

extern int stop_search;
extern jmp_buf env;
extern unsigned stop_time;
extern int last_score;
extern int last_score_before_research;
extern int found_time;
extern char best_variation[384];
extern int inf6men;
extern int follow_pv;

// Set around a search that only input can end (pondering, analysis): the periodic check then
// also stops the search once no input can come to end it (input_cannot_arrive), so that it
// cannot run forever.
extern int stop_on_input_end;

// The input poll of the periodic check, bioskey when unset. A driver that reads its input during
// a search sets its own (the UCI loop): nonzero then ends the search.
extern int (*input_poll)();

// Limits a driver may add to a search, none unless set: the node count at which it ends (0: no
// limit; the periodic check is scheduled to fall on it), a mate to look for, and the root moves
// it may play (the root skips the others, and its table entry only orders them meanwhile; none
// listed: every move).
extern int node_limit;
// A search ends once a finished iteration has found a mate within this many plies (0: never).
extern int mate_plies;
constexpr int MAX_ROOT_MOVES = 256;
extern int root_moves[MAX_ROOT_MOVES];
extern int root_move_count;

extern int pv[64][64];
extern int pv_length[64];
extern int killer[64][2];

// The modes of think: which progress lines it prints. THINK_UCI prints no header and none of the
// lines below, but UCI "info" lines: one per root search of the drivers (a failed window or
// probe marked lowerbound or upperbound) and one per new best root move.
enum ThinkMode {
    THINK_SILENT = 0,
    THINK_CONSOLE = 1,
    THINK_POST = 2,
    THINK_EPD = 3,
    THINK_UCI = 4
};

// Searches the position on the board by iterative deepening from stop_depth to max_depth within
// max_time ms (continuing the last search when stop_depth > 1 outside analysis). `mode` chooses
// the progress lines: THINK_SILENT none; THINK_CONSOLE and THINK_POST the header
// "ply score time nodes pv", then "depth score time nodes pv" after every root search with
// aspiration windows (failed windows included) or after every MTD(f) probe and once more per
// depth; THINK_EPD the same, each line as "info depth D score cp S time T nodes N found (when)
// pv ...". In every mode the root prints "depth->max_ply score time nodes pv" for each new best
// move, and in analysis a "stat01:" line per root move. Afterwards pv[0][0] is the move (0 when
// none was found), best_variation its text and last_score its score. A side to move without a
// legal move is not searched: after the set-up (and the header) pv[0][0] is 0, best_variation
// empty and last_score as it was.
void think(int mode);
int mtdf(int mode, int guess, int depth);
int aspiration_search(int mode, int score);
int root_search(int alpha, int beta, int depth);
int search_nw(int alpha, int beta, int depth, int null_allowed);
int quiesce_nw(int alpha, int beta);
int see(int sq);
int mat_search(int depth, int mode, int defender, int print);
void checkup();

// The principal variation as far as its moves can be played on the board (behind a root move the
// learn file answered, row 0 may continue with another line's moves): its length, the moves in
// line[]. From the position at the current ply, whose moves pv[0][0 .. ply - 1] are on the board
// (ply 0 between searches, or 1 inside the root's loop); the position is left as it was.
int playable_pv(int line[MAX_PLY]);

// Ordering steps shared by the three searches, on the move list of the current ply.
void pv_marks();
void killer_marks();
// Brings the move for place i to gen_dat[i]: the first with the hash move's squares, else the
// first of the highest score. A bound (the score this returned for place i - 1) lets the scan stop
// at the first move that reaches it; NO_BOUND is returned after a pick by the hash move.
constexpr int NO_BOUND = -2;
int select_move(int i, int hash_move, int bound = NO_BOUND);
// Rebuilds best_variation from row 0 of pv: "!" for a score 100 above
// last_score_before_research, "!!" for 300; the score then becomes the new reference.
void build_variation(int score);
// Copies the child's line behind move m into row ply - 1 (m is still made).
void update_pv(int m);

// Pieces of the null-window search's node set-up (depths in quarter plies).
// Depth of the null-move search from a node of this depth; non_pawn is `nullmat`.
int null_move_depth(int depth, int non_pawn);
// Extensions known before generation; writes hist_dat[hply].check_flag.
int node_extensions(int pv_node, int incheck, int threat);
// Extensions read from the generated list of the current ply (n pseudo-legal moves).
int list_extensions(int incheck, int n);
// Razoring (may lower *depth) and futility set-up; returns 1 with *base set when the node may
// prune moves by futility.
int razor_futility(int alpha, int *depth, int *base);
