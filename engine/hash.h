// Transposition and pawn hash tables (defined in hash.cpp).
#pragma once
#include <cstdint>

#include "bits.h"

// Each slot is empty, aged (left from an earlier search) or current. A slot holds its status as a
// stamp, which HashStatus / HashPawnStatus read: see hash.cpp.
struct HashEntry {
    uint64_t key;
    uint8_t type; // 0 upper bound, 1 lower bound, 2 exact
    int16_t score;
    uint16_t move;
    uint8_t depth; // quarter plies
    uint8_t stamp;
};

struct HashPawnEntry {
    uint64_t key;
    int16_t score;
    uint8_t stamp;
};

enum { HASH_UPPER = 0, HASH_LOWER = 1, HASH_EXACT = 2 };
enum { SLOT_EMPTY = 0, SLOT_AGED = 1, SLOT_CURRENT = 2 };

extern HashEntry *HashTable;
extern HashPawnEntry *HashPawnTable;
extern uint32_t NUM_HASH_ENTRIES;
extern uint32_t NUM_HASH_PAWN_ENTRIES;
// Size - 1 when the size is a power of two (the usual case), else 0: the slot is then found by a
// mask instead of a 64-bit division on every probe.
extern uint64_t hash_mask, hash_pawn_mask;

inline uint32_t hash_slot(uint64_t key, uint64_t mask, uint32_t n) {
    return (uint32_t)(mask ? key & mask : key % n);
}

// Start loading the slot of a key about to be probed: the tables are larger than the caches, and
// the rest of the move (or of the evaluation) can run meanwhile.
inline void HashPrefetch(uint64_t key) {
    if (NUM_HASH_ENTRIES) prefetch(&HashTable[hash_slot(key, hash_mask, NUM_HASH_ENTRIES)]);
}
inline void HashPawnPrefetch(uint64_t key) {
    prefetch(&HashPawnTable[hash_slot(key, hash_pawn_mask, NUM_HASH_PAWN_ENTRIES)]);
}

// The table sizes made for the sizes asked for: the transposition table has at most MAX_HASH_MB
// megabytes; a pawn table below 1 KB gets DEFAULT_PAWN_KB, and at most MAX_HASH_MB megabytes.
constexpr int MAX_HASH_MB = 2047;
constexpr int DEFAULT_PAWN_KB = 256;
int hash_table_mb(int mb);
int pawn_table_kb(int kb);

// (Re)allocate a table of the size hash_table_mb(mb) / pawn_table_kb(kb), free the previous one,
// mark every slot empty, and print "%d ko for HASH (%d entries)" with the size in KB (or
// "%d ko for PAWN HASH (%d entries)") and the entry count.
void HashInit(int mb);
void HashPawnInit(int kb);
// The entry of this key, made current, or nullptr when its slot is empty or holds another key
// (an aged entry of the same key is found).
HashEntry *HashFind(uint64_t key);
// The entry HashFind would find, left as it is (its status unchanged): for output, which must
// not change what the search finds.
const HashEntry *HashPeek(uint64_t key);
// Stores into the key's slot unless it holds another position's current entry of a greater depth;
// 1 when stored.
int HashInsert(uint64_t key, int score, int move, int depth, int type);
HashPawnEntry *HashPawnFind(uint64_t key);
// Stores unless the slot holds another pawn structure's current entry; 1 when stored.
int HashPawnInsert(uint64_t key, int score);
// Reset (before a fresh search): every current entry becomes empty, so it is never found again;
// aged entries stay. Clear (before a search that continues one): every current entry becomes
// aged, still found but replaced by any insert. Neither frees nor reallocates the table.
void HashReset();
void HashPawnReset();
void HashClear();
void HashPawnClear();
// The share of slots that are not empty, 0 to 1.
float HashUsed();
float HashPawnUsed();
// The transposition table's use in thousandths, from a sample of its first thousand slots: what
// interfaces show as the table's fill, cheap enough for every progress line.
int HashFullPermill();
// SLOT_EMPTY, SLOT_AGED or SLOT_CURRENT.
int HashStatus(const HashEntry &e);
int HashPawnStatus(const HashPawnEntry &e);
