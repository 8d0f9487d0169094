// Sets of squares as 64-bit words, bit sq for square sq (0 = a8, 63 = h1), and the bit scans on
// them: the compiler's instructions where it has them, portable code elsewhere.
#pragma once
#include <cstdint>

inline uint64_t square_bit(int sq) {
    return (uint64_t)1 << sq;
}

// The lowest and the highest square of a non-empty set.
#if defined(__GNUC__)
inline int lsb(uint64_t b) {
    return __builtin_ctzll(b);
}
inline int msb(uint64_t b) {
    return 63 - __builtin_clzll(b);
}
#else
inline int lsb(uint64_t b) {
    // The isolated lowest bit times a de Bruijn sequence leaves a distinct top six bits per bit.
    static const int index[64] = {0,  1,  48, 2,  57, 49, 28, 3,  61, 58, 50, 42, 38, 29, 17, 4,
                                  62, 55, 59, 36, 53, 51, 43, 22, 45, 39, 33, 30, 24, 18, 12, 5,
                                  63, 47, 56, 27, 60, 41, 37, 16, 54, 35, 52, 21, 44, 32, 23, 11,
                                  46, 26, 40, 15, 34, 20, 31, 10, 25, 14, 19, 9,  13, 8,  7,  6};
    return index[((b & (0 - b)) * 0x03f79d71b4cb0a89ULL) >> 58];
}
inline int msb(uint64_t b) {
    int n = 0;
    for (int shift = 32; shift; shift >>= 1)
        if (b >> shift) {
            b >>= shift;
            n += shift;
        }
    return n;
}
#endif

// Hints the processor to start loading a cache line that will soon be read.
inline void prefetch(const void *p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}
