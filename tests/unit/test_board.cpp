// Make / take back and the keys on walked trees and the null move (move counts and attack tests:
// the perft suite; move order: the console transcripts and the bench counts; repetitions:
// test_game's result lines).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board.h"
#include "data.h"
#include "keys.h"
#include "notation.h"
#include "test_util.h"

namespace {

void play(std::initializer_list<const char *> moves) {
    for (const char *coord : moves) {
        makemove(find_move(coord));
        ply = 0;
        gen();
    }
}

// All that make and take back must restore.
std::vector<int64_t> snapshot() {
    std::vector<int64_t> v(color, color + 64);
    v.insert(v.end(), piece, piece + 64);
    v.insert(v.end(), {castle, ep, fifty, hply, ply, king_position[0], king_position[1], side,
                       (int64_t)hashcode});
    return v;
}

// The moves of the list at ply, with those of only the given flags when `flags` is not 0.
std::vector<int> listed(int flags) {
    std::vector<int> v;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++)
        if (!flags || (move_bits(gen_dat[i].m) & flags)) v.push_back(gen_dat[i].m);
    return v;
}

// Walks the legal tree checking that every make / take back restores the position exactly, that
// every position made is sound, its incremental key equal to the key made from scratch and to
// key_after's forecast, and that gen_caps() lists gen()'s captures and promotions in the same
// order.
long walk(int depth) {
    if (depth == 0) return 1;
    gen_caps();
    const std::vector<int> caps = listed(0);
    gen();
    EXPECT_EQ(caps, listed(FLAG_CAPTURE | FLAG_PROMOTE));
    long n = 0;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        const std::vector<int64_t> before = snapshot();
        const int m = gen_dat[i].m;
        const uint64_t key = key_after(m);
        if (makemove(m)) {
            EXPECT_TRUE(position_ok()) << move_str(m);
            EXPECT_EQ(hashcode, key) << move_str(m);
            n += walk(depth - 1);
            takeback();
        }
        EXPECT_EQ(snapshot(), before) << move_str(m);
    }
    return n;
}

class Board : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
};

TEST_F(Board, EnPassantSquareFiftyAndNullMove) {
    play({"e2e4", "d7d5"});
    EXPECT_EQ(ep, 19);
    // A null move keeps the counter and the rights, clears ep, and changes the key by its own
    // entry alone; a second one restores the key.
    const std::vector<int64_t> before = snapshot();
    const uint64_t key = hashcode;
    ASSERT_EQ(makemove(null_move), 1);
    EXPECT_EQ(std::make_tuple(ep, fifty, castle), std::make_tuple(-1, 0, 15));
    EXPECT_EQ(hashcode, key ^ null_key());
    ASSERT_EQ(makemove(null_move), 1);
    EXPECT_EQ(hashcode, key);
    takeback();
    takeback();
    EXPECT_EQ(snapshot(), before);
    gen(); // the null move emptied this ply's list
    play({"g1f3"});
    EXPECT_EQ(std::make_pair(ep, fifty), std::make_pair(-1, 1));
}

TEST_F(Board, WalkTreesRestoreEverything) {
    for (const auto &r : table_rows("board.txt", "walk")) {
        setup_fen(r[0]);
        const long n = walk(3);
        EXPECT_EQ(r[1] == "-" ? -1 : n, r[1] == "-" ? -1 : std::stol(r[1])) << r[0];
    }
}

} // namespace
