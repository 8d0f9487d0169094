// Time allocation, pondering, the resignation rule and the game-state report (game.cpp).
#pragma once

extern int tply;

double allocate_time(double own_seconds, double opponent_seconds, int mps, int base, int increment);
int do_ponder(const char *text);
void think_for_move(int mode);
void print_result();
int resign();
