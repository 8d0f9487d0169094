// The learn key's random numbers, drawn from the runtime generator with a fixed seed.
#include "keys.h"

#include "platform.h"

uint32_t hash_piece[2][6][64];
uint32_t hash_side;
uint32_t hash_nullmove;
uint32_t hash_ep[64];

// 32 draws of the runtime generator, the k-th shifted left by k - 1 bits.
uint32_t hash_rand() {
    uint32_t r = 0;
    for (int i = 0; i < 32; i += 8)
        for (int j = 0; j < 8; j++)
            r ^= (uint32_t)rt_rand() << (i + j);
    return r;
}

void init_hash() {
    rt_srand(0);
    for (auto &by_piece : hash_piece)
        for (auto &by_square : by_piece)
            for (auto &v : by_square)
                v = hash_rand();
    hash_side = hash_rand();
    hash_nullmove = hash_rand();
    for (auto &v : hash_ep)
        v = hash_rand();
}
