// The random numbers behind the position keys: the 64-bit table key and the 32-bit learn key
// (keys_table.cpp, keys.cpp); board.cpp computes the keys of the position from them.
#pragma once
#include <cstdint>

extern const uint64_t hash_code[1024];
extern uint32_t hash_piece[2][6][64];
extern uint32_t hash_side;
extern uint32_t hash_nullmove;
extern uint32_t hash_ep[64];

// Entries of hash_code.
inline uint64_t zobrist(int sq, int c, int p) {
    return hash_code[sq * 16 + c * 8 + p];
}
inline uint64_t castle_key(int rights) {
    return hash_code[rights * 16 + 7];
}
constexpr int SIDE_KEY_INDEX = 15;
constexpr int NULL_KEY_INDEX = 322;
inline uint64_t side_key() {
    return hash_code[SIDE_KEY_INDEX];
}
inline uint64_t null_key() {
    return hash_code[NULL_KEY_INDEX];
}

void init_hash();
uint32_t hash_rand();
