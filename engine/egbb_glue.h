// The engine's side of the endgame bitbases (egbb_glue.cpp): loading at start-up and the
// evaluation's probe of the current position.
#pragma once

// Prints the bitbase path and loads the tables from egbb_path with the configured cache; quiet,
// without a word (the caller reports the loading).
int init_egbb(bool quiet = false);
// The bitbase score of the current position for the side to move, NO_SCORE when it has none.
// The caller guarantees at most three pieces besides the kings.
int eval_egbb();
// Forwarders to the prober's probe functions (prober squares and piece codes).
int find_egbb4(int player, int w_king, int b_king, int piece1, int square1, int piece2,
               int square2);
int find_egbb5(int player, int w_king, int b_king, int piece1, int square1, int piece2, int square2,
               int piece3, int square3);
