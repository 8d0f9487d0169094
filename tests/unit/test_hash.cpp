// Transposition and pawn tables: the smallest size, ageing over many searches; the key schemes
// (the replacement rules move the bench counts: tests/e2e/test_bench.py).
#include <gtest/gtest.h>

#include "board.h"
#include "hash.h"
#include "keys.h"
#include "settings.h"
#include "test_util.h"

// The shipped sizes' lines are in the console transcripts (tests/e2e).
TEST(Hash, PawnTableBelowOneKilobyte) {
    EXPECT_EQ(capture_stdout([] { HashPawnInit(0); }), "256 ko for PAWN HASH (16384 entries)\n");
}

TEST(Hash, ClearAgesResetForgets) {
    reset_engine();
    HashInsert(1, 5, 0, 20, HASH_EXACT);
    HashInsert(2, 5, 0, 20, HASH_EXACT);
    HashClear();
    EXPECT_GT(HashUsed(), 0.0f);
    // An aged entry gives way to any other position, and finding it makes it current again.
    EXPECT_EQ(HashInsert(2 + NUM_HASH_ENTRIES, 7, 0, 0, HASH_UPPER), 1);
    HashReset(); // aged entries stay findable
    ASSERT_NE(HashFind(1), nullptr);
    EXPECT_EQ(HashStatus(HashTable[1]), SLOT_CURRENT);
    HashReset();
    EXPECT_EQ(HashFind(1), nullptr);
    EXPECT_EQ(HashUsed(), 0.0f);
}

// Many searches in a row: an entry aged long ago stays aged, one made current since is current,
// and a reset forgets exactly the current ones, however many resets and clears came before.
TEST(Hash, StatusesLastOverManySearches) {
    reset_engine();
    HashInsert(3, 5, 0, 20, HASH_EXACT);
    HashClear();
    for (int search = 0; search < 600; search++) {
        HashInsert(4, 5, 0, 20, HASH_EXACT);
        EXPECT_EQ(std::make_pair(HashStatus(HashTable[3]), HashStatus(HashTable[4])),
                  std::make_pair((int)SLOT_AGED, (int)SLOT_CURRENT));
        if (search % 3)
            HashReset();
        else
            HashClear();
        EXPECT_EQ(HashStatus(HashTable[4]), search % 3 ? SLOT_EMPTY : SLOT_AGED) << search;
        EXPECT_EQ(HashStatus(HashTable[3]), SLOT_AGED) << search;
    }
}

// The learn keys come from the runtime generator: learn files stay valid across builds only if
// the numbers never change.
TEST(Keys, LearnKeysArePinned) {
    init_hash();
    EXPECT_EQ(hash_piece[0][0][0], 2846808968u);
    EXPECT_EQ(hash_ep[63], 4004040429u);
}

TEST(Keys, EnPassantAndCastlingInTheKeys) {
    reset_engine();
    setup_fen("4k3/8/8/3pP3/8/8/8/4K2R w K d6");
    const uint64_t with_ep = hashcode;
    set_hash();
    const uint32_t learn_with_ep = hash;
    setup_fen("4k3/8/8/3pP3/8/8/8/4K2R w K -");
    EXPECT_EQ(hashcode, with_ep); // the table key has no en passant part
    set_hash();
    const uint32_t learn = hash;
    EXPECT_NE(learn, learn_with_ep);
    setup_fen("4k3/8/8/3pP3/8/8/8/4K2R w - -");
    EXPECT_NE(hashcode, with_ep);
    set_hash();
    EXPECT_EQ(hash, learn); // the learn key has no castling part
}
