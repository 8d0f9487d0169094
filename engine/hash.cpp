// The transposition table and the pawn hash table: direct-mapped, one slot per index, full-key
// verification, and a slot status that lets a new search forget (reset) or age (clear) entries.
#include "hash.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef __linux__
#include <sys/mman.h>
#endif

#include "platform.h"

HashEntry *HashTable = nullptr;
HashPawnEntry *HashPawnTable = nullptr;
uint32_t NUM_HASH_ENTRIES = 0;
uint32_t NUM_HASH_PAWN_ENTRIES = 0;
uint64_t hash_mask = 0, hash_pawn_mask = 0;

namespace {

// Each probe lands on a random page of a table far larger than the caches: on Linux a table of a
// megabyte or more is asked for in huge pages, which spares most of the address-translation
// misses.
void *table_memory(size_t bytes) {
#ifdef __linux__
    constexpr size_t HUGE_PAGE = (size_t)2 << 20;
    if (bytes >= HUGE_PAGE / 2) {
        const size_t rounded = (bytes + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE;
        void *p = aligned_alloc(HUGE_PAGE, rounded);
        if (p) madvise(p, rounded, MADV_HUGEPAGE);
        return p;
    }
#endif
    return malloc(bytes);
}

// Allocates n zeroed entries, halving n while the system refuses; the table must exist.
template <typename T> T *allocate(uint32_t &n) {
    T *t = nullptr;
    while (n > 1 && !(t = static_cast<T *>(table_memory((size_t)n * sizeof(T)))))
        n /= 2;
    if (!t) {
        n = 1;
        t = static_cast<T *>(table_memory(sizeof(T)));
    }
    if (!t) {
        perror("memory failure");
        exit(1);
    }
    // Touch every page now: left to the first search, the system's zero pages would be paid for
    // on the clock of a move.
    memset(static_cast<void *>(t), 0, (size_t)n * sizeof(T));
    return t;
}

uint64_t mask_of(uint32_t n) {
    return (n & (n - 1)) == 0 ? n - 1 : 0;
}

// A slot's status is read through its stamp. Stamp 0 means empty and stamp 1 aged for good (a
// fresh table is all zeros); each later stamp marks the entries made current during one stretch
// of searches, and a reset or a clear ends the stretch by giving its stamp the status empty or
// aged: every current entry changes at once, without a pass over the table. Only when the
// stamps run out does one pass write every slot back to stamp 0 or 1.
constexpr uint8_t STAMP_EMPTY = 0, STAMP_AGED = 1, FIRST_STAMP = 2, LAST_STAMP = 255;

struct Stamps {
    uint8_t status[LAST_STAMP + 1];
    uint8_t current;

    void start() {
        status[STAMP_EMPTY] = SLOT_EMPTY;
        status[STAMP_AGED] = SLOT_AGED;
        current = FIRST_STAMP;
        status[current] = SLOT_CURRENT;
    }

    // The current entries become `now` (empty or aged).
    template <typename T> void retire(T *t, uint32_t n, uint8_t now) {
        status[current] = now;
        if (current == LAST_STAMP) {
            for (uint32_t i = 0; i < n; i++)
                t[i].stamp = status[t[i].stamp] == SLOT_AGED ? STAMP_AGED : STAMP_EMPTY;
            current = FIRST_STAMP - 1;
        }
        status[++current] = SLOT_CURRENT;
    }

    template <typename T> float used(const T *t, uint32_t n) const {
        uint32_t count = 0;
        for (uint32_t i = 0; i < n; i++)
            if (status[t[i].stamp] != SLOT_EMPTY) count++;
        return n ? (float)count / (float)n : 0.0f;
    }
};

Stamps hash_stamps, pawn_stamps;

} // namespace

int hash_table_mb(int mb) {
    return mb > MAX_HASH_MB ? MAX_HASH_MB : mb;
}

int pawn_table_kb(int kb) {
    if (kb < 1) return DEFAULT_PAWN_KB;
    return kb > MAX_HASH_MB * 1024 ? MAX_HASH_MB * 1024 : kb;
}

void HashInit(int mb) {
    mb = hash_table_mb(mb);
    free(HashTable);
    NUM_HASH_ENTRIES = (uint32_t)mb * 65536u;
    HashTable = allocate<HashEntry>(NUM_HASH_ENTRIES);
    hash_mask = mask_of(NUM_HASH_ENTRIES);
    hash_stamps.start();
    message("%d ko for HASH (%d entries)\n", mb * 1024, (int)NUM_HASH_ENTRIES);
}

void HashPawnInit(int kb) {
    kb = pawn_table_kb(kb);
    free(HashPawnTable);
    NUM_HASH_PAWN_ENTRIES = (uint32_t)kb * 64u;
    HashPawnTable = allocate<HashPawnEntry>(NUM_HASH_PAWN_ENTRIES);
    hash_pawn_mask = mask_of(NUM_HASH_PAWN_ENTRIES);
    pawn_stamps.start();
    message("%d ko for PAWN HASH (%d entries)\n", kb, (int)NUM_HASH_PAWN_ENTRIES);
}

HashEntry *HashFind(uint64_t key) {
    HashEntry *e = &HashTable[hash_slot(key, hash_mask, NUM_HASH_ENTRIES)];
    if (e->key != key || hash_stamps.status[e->stamp] == SLOT_EMPTY) return nullptr;
    e->stamp = hash_stamps.current;
    return e;
}

const HashEntry *HashPeek(uint64_t key) {
    if (!NUM_HASH_ENTRIES) return nullptr;
    const HashEntry *e = &HashTable[hash_slot(key, hash_mask, NUM_HASH_ENTRIES)];
    return e->key == key && hash_stamps.status[e->stamp] != SLOT_EMPTY ? e : nullptr;
}

// The same position is always overwritten; another position's current entry only by a search at
// least as deep; empty and aged slots always.
int HashInsert(uint64_t key, int score, int move, int depth, int type) {
    HashEntry *e = &HashTable[hash_slot(key, hash_mask, NUM_HASH_ENTRIES)];
    if (e->key != key && e->stamp == hash_stamps.current && e->depth > (uint8_t)depth) return 0;
    e->key = key;
    e->score = (int16_t)score;
    e->move = (uint16_t)move;
    e->depth = (uint8_t)depth;
    e->type = (uint8_t)type;
    e->stamp = hash_stamps.current;
    return 1;
}

HashPawnEntry *HashPawnFind(uint64_t key) {
    HashPawnEntry *e = &HashPawnTable[hash_slot(key, hash_pawn_mask, NUM_HASH_PAWN_ENTRIES)];
    if (e->key != key || pawn_stamps.status[e->stamp] == SLOT_EMPTY) return nullptr;
    e->stamp = pawn_stamps.current;
    return e;
}

// A current entry of another pawn structure is never displaced.
int HashPawnInsert(uint64_t key, int score) {
    HashPawnEntry *e = &HashPawnTable[hash_slot(key, hash_pawn_mask, NUM_HASH_PAWN_ENTRIES)];
    if (e->key != key && e->stamp == pawn_stamps.current) return 0;
    e->key = key;
    e->score = (int16_t)score;
    e->stamp = pawn_stamps.current;
    return 1;
}

void HashReset() {
    hash_stamps.retire(HashTable, NUM_HASH_ENTRIES, SLOT_EMPTY);
}
void HashPawnReset() {
    pawn_stamps.retire(HashPawnTable, NUM_HASH_PAWN_ENTRIES, SLOT_EMPTY);
}
void HashClear() {
    hash_stamps.retire(HashTable, NUM_HASH_ENTRIES, SLOT_AGED);
}
void HashPawnClear() {
    pawn_stamps.retire(HashPawnTable, NUM_HASH_PAWN_ENTRIES, SLOT_AGED);
}
float HashUsed() {
    return hash_stamps.used(HashTable, NUM_HASH_ENTRIES);
}
int HashFullPermill() {
    constexpr uint32_t SAMPLE = 1000;
    uint32_t n = NUM_HASH_ENTRIES < SAMPLE ? NUM_HASH_ENTRIES : SAMPLE;
    return (int)(hash_stamps.used(HashTable, n) * 1000.0f + 0.5f);
}
float HashPawnUsed() {
    return pawn_stamps.used(HashPawnTable, NUM_HASH_PAWN_ENTRIES);
}
int HashStatus(const HashEntry &e) {
    return hash_stamps.status[e.stamp];
}
int HashPawnStatus(const HashPawnEntry &e) {
    return pawn_stamps.status[e.stamp];
}
