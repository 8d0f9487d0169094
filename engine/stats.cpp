#include "stats.h"

#include <cstdio>

int nodes, rest_nodes, max_ply, hash_hit, hash_pawn_hit, egbb_hit;
int null_stat, killer_cut, lmr_cut, lmr_nodes, futility_cut, razor_cut, delta_cut, learn_hit;
char restc[32];

char *Time_clean(int ms) {
    unsigned s = (unsigned)ms / 1000;
    unsigned h = s / 3600 % 1000000, m = s % 3600 / 60, sec = s % 60;
    snprintf(restc, sizeof restc, "%s%u:%s%u:%s%u", h > 9 ? "" : "0", h, m > 9 ? "" : "0", m,
             sec > 9 ? "" : "0", sec);
    return restc;
}
