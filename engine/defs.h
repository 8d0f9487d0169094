// Codes, flags, limits and the records of the move stacks shared by every subsystem.
#pragma once
#include <cstdint>

// Colours (in color[], side, xside) and pieces (in piece[]).
enum { LIGHT = 0, DARK = 1, EMPTY = 6 };
enum { PAWN = 0, KNIGHT = 1, BISHOP = 2, ROOK = 3, QUEEN = 4, KING = 5 };

// Flags of the move word's top byte.
constexpr int FLAG_CAPTURE = 0x01;
constexpr int FLAG_CASTLE = 0x02;
constexpr int FLAG_EP = 0x04;
constexpr int FLAG_DOUBLE = 0x08;
constexpr int FLAG_PAWN = 0x10;
constexpr int FLAG_PROMOTE = 0x20;
constexpr int FLAG_NULL = 0x40;

// Castling rights in `castle`.
constexpr int CASTLE_WK = 1, CASTLE_WQ = 2, CASTLE_BK = 4, CASTLE_BQ = 8;

constexpr int GEN_STACK = 2240;
constexpr int MAX_PLY = 64;
constexpr int HIST_STACK = 400;
// The longest game; the last records of the move stack are kept for the searches from it.
constexpr int MAX_GAME_PLIES = HIST_STACK - 2;

// Scores.
constexpr int INF_SCORE = 10000;
constexpr int MATE_BOUND = -9936; // below this a score is a mate score
// No score: what the learn file and the bitbases answer when they have none.
constexpr int NO_SCORE = 99999;

// The "no time limit" budget of a search, in milliseconds.
constexpr unsigned NO_TIME_LIMIT = 1048576;

// A move word: byte 0 from, byte 1 to (both signed), byte 2 promote, byte 3 flags.
inline int move_from(int m) {
    return (int8_t)(m & 0xFF);
}
inline int move_to(int m) {
    return (int8_t)((m >> 8) & 0xFF);
}
inline int move_promote(int m) {
    return (int8_t)((m >> 16) & 0xFF);
}
inline int move_bits(int m) {
    return ((unsigned)m >> 24) & 0xFF;
}
constexpr int make_move_word(int from, int to, int promote, int bits) {
    return (int)(((unsigned)from & 0xFF) | (((unsigned)to & 0xFF) << 8) |
                 (((unsigned)promote & 0xFF) << 16) | (((unsigned)bits & 0xFF) << 24));
}
// The null move: from and to 8, no piece moved.
constexpr int NULL_MOVE_WORD = make_move_word(8, 8, 0, FLAG_NULL);
// The 16-bit hash move key of a move: (from << 8) | to; 0xFFFF when there is none.
constexpr int NO_HASH_MOVE = 0xFFFF;
inline int hash_move_key(int m) {
    return ((move_from(m) & 0xFF) << 8) | (move_to(m) & 0xFF);
}

struct gen_rec {
    int m;
    int score;
};

struct hist_rec {
    int m;
    int capture;
    int castle;
    int ep;
    int fifty;
    int16_t check_flag;
    uint64_t key;
};
