// Time allocation, pondering, the resignation rule and the game-state report (game.cpp).
#pragma once

extern int tply;

double allocate_time(double own_seconds, double opponent_seconds, int mps, int base, int increment);
// Index of the root move a ponder text names ("e7e8n": a fifth letter picks the promotion, the
// queen when it names none); -1 when there is none.
int find_ponder_move(const char *text);
int do_ponder(const char *text);
void think_for_move(int mode);
void print_result();
int resign();
