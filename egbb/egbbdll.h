// The endgame bitbase prober's exported interface, all that the engine includes. The prober keeps
// its own state and knows nothing of the engine; its internals are in prober_internal.h.
//
// Prober conventions: squares 0..63 with 0 = a1; piece codes 0 none, 1..6 white king, queen,
// rook, bishop, knight, pawn, 7..12 the black ones, 13 off-board; player 0 white, 1 black.
#pragma once

#if defined(_WIN32)
#define EGBB_API extern "C" __declspec(dllexport)
#else
#define EGBB_API extern "C" __attribute__((visibility("default")))
#endif

// Results of the probes: EGBB_NOT_AVAILABLE, 0 draw, else a score for the side to move.
constexpr int EGBB_NOT_AVAILABLE = 99999;
EGBB_API int load_egbb(const char *path);
EGBB_API int load_egbb_5men(const char *path, int cache_size, int load_options);
EGBB_API int probe_egbb(int player, int w_king, int b_king, int piece1, int square1, int piece2,
                        int square2);
EGBB_API int probe_egbb_5men(int player, int w_king, int b_king, int piece1, int square1,
                             int piece2, int square2, int piece3, int square3);
// load_egbb_5men without the prober's messages, for a caller that reports the loading itself.
// Not one of the exported functions.
int load_egbb_quietly(const char *path, int cache_size, int load_options);
EGBB_API int load_egbb_into_ram(int side, int piece1, int piece2, int piece3);
EGBB_API int unload_egbb_from_ram(int side, int piece1, int piece2, int piece3);
