// Transposition and pawn hash tables (defined in hash.cpp).
#pragma once
#include <cstdint>

struct HashEntry {
    uint64_t key;
    uint8_t type; // 0 upper bound, 1 lower bound, 2 exact
    int16_t score;
    uint16_t move;
    uint8_t depth; // quarter plies
    uint8_t status; // 0 empty, 1 aged, 2 current
};

struct HashPawnEntry {
    uint64_t key;
    int16_t score;
    uint8_t status;
};

enum { HASH_UPPER = 0, HASH_LOWER = 1, HASH_EXACT = 2 };
enum { SLOT_EMPTY = 0, SLOT_AGED = 1, SLOT_CURRENT = 2 };

extern HashEntry *HashTable;
extern HashPawnEntry *HashPawnTable;
extern uint32_t NUM_HASH_ENTRIES;
extern uint32_t NUM_HASH_PAWN_ENTRIES;

void HashInit();
void HashPawnInit();
HashEntry *HashFind(uint64_t key);
int HashInsert(uint64_t key, int score, int move, int depth, int type);
HashPawnEntry *HashPawnFind(uint64_t key);
int HashPawnInsert(uint64_t key, int score);
void HashReset();
void HashPawnReset();
void HashClear();
void HashPawnClear();
float HashUsed();
float HashPawnUsed();
