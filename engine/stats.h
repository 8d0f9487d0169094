// Statistics of the last search and the duration format of its progress lines (stats.cpp). The
// search resets and raises the counters; the evaluation raises max_ply, hash_pawn_hit and
// egbb_hit; the console's and the EPD test's reports read them.
#pragma once

extern int nodes, rest_nodes, max_ply;
extern int hash_hit, hash_pawn_hit, egbb_hit;
extern int null_stat, killer_cut, lmr_cut, lmr_nodes, futility_cut, razor_cut, delta_cut;
extern int learn_hit;

// Hours, minutes and seconds with two digits at least ("01:02:03", "100:00:00"), written into
// restc, which it returns.
extern char restc[32];
char *Time_clean(int ms);
