// Bitbase prober without table files: king-pair tables, canonical forms and indices, canonical
// Huffman codes, block decoding (including corrupt input), the block cache and the score.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "egbbdll.h"

namespace pb = egbb_prober;

namespace {

int dist(int a, int b) {
    return std::max(std::abs((a & 7) - (b & 7)), std::abs((a >> 3) - (b >> 3)));
}

// The eight images of a square: rot bit 1 left-right, 2 top-bottom, 4 transpose.
int image(int s, int g) {
    if (g & 1) s ^= 7;
    if (g & 2) s ^= 56;
    if (g & 4) s = (s >> 3) | ((s & 7) << 3);
    return s;
}

// Whether both kings lie on the a1-h8 diagonal once the pair is in its canonical form.
bool kings_on_diagonal(int wk, int bk) {
    const int r = pb::rotation[wk * 64 + bk], w = image(wk, r), b = image(bk, r);
    return (w & 7) == (w >> 3) && (b & 7) == (b >> 3);
}

class EgbbFormat : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        pb::init_indices();
        pb::init_sqatt();
    }
    static uint32_t index_of(int player, int wk, int bk, std::vector<int> pc, std::vector<int> sq,
                             pb::TABLE_INDEX *t = nullptr) {
        pc.resize(3, 0);
        sq.resize(3, -1);
        pb::TABLE_INDEX x{};
        EXPECT_GT(pb::canonical_index(player, wk, bk, pc.data(), sq.data(), x), 0);
        if (t) *t = x;
        return x.index;
    }
};

// The table a position is looked up in: side to move and the pieces, strongest first.
std::tuple<int, int, int, int> form(const pb::TABLE_INDEX &t) {
    return {t.side, t.a, t.b, t.c};
}

// MSB-first bit writer for hand-made blocks.
struct Bits {
    std::vector<uint8_t> bytes;
    int n = 0;
    void put(uint32_t v, int len) {
        for (int k = len - 1; k >= 0; k--, n++) {
            if (n % 8 == 0) bytes.push_back(0);
            bytes.back() |= ((v >> k) & 1) << (7 - n % 8);
        }
    }
};

void set_lengths(pb::HUFFMAN &h, const std::vector<std::pair<int, int>> &lengths) {
    ASSERT_TRUE(h.allocate());
    for (uint32_t s = 0; s < h.n_symbols; s++)
        h.cann[s] = {s, 0, 0, 0};
    for (auto [sym, len] : lengths)
        h.cann[sym].length = (uint8_t)len;
    h.build_cann_from_length();
}

std::vector<uint32_t> codes(const pb::HUFFMAN &h, std::initializer_list<uint32_t> symbols) {
    std::vector<uint32_t> v;
    for (uint32_t sym : symbols)
        for (uint32_t k = 0; k < h.n_symbols; k++)
            if (h.cann[k].symbol == sym) v.push_back(h.cann[k].code);
    return v;
}

} // namespace

// 462 pawnless king pairs up to symmetry, 3612 pairs of kings apart with pawns. Every image of a
// pair shares its index, and the rotation brings the white king into the triangle a1-d1-d4 and,
// off the diagonal, every image to one form.
TEST_F(EgbbFormat, KingPairTables) {
    std::set<int> kk;
    int wp_count = 0;
    for (int wk = 0; wk < 64; wk++)
        for (int bk = 0; bk < 64; bk++) {
            const int i = wk * 64 + bk, cw = image(wk, pb::rotation[i]);
            const bool apart = dist(wk, bk) > 1;
            EXPECT_EQ(pb::KK_index[i] == -2, !apart);
            EXPECT_EQ(pb::KK_WP_index[i], apart ? wp_count++ : -2);
            if (!apart) continue;
            kk.insert(pb::KK_index[i]);
            EXPECT_LE(cw >> 3, cw & 7);
            EXPECT_LE(cw & 7, 3);
            for (int g = 0; g < 8; g++) {
                const int w = image(wk, g), b = image(bk, g), r = pb::rotation[w * 64 + b];
                ASSERT_EQ(pb::KK_index[w * 64 + b], pb::KK_index[i]);
                if ((image(w, r) & 7) != (image(w, r) >> 3)) {
                    EXPECT_EQ(std::make_pair(image(w, r), image(b, r)),
                              std::make_pair(cw, image(bk, pb::rotation[i])));
                }
            }
        }
    EXPECT_EQ(std::make_tuple(kk.size(), *kk.begin(), *kk.rbegin(), wp_count),
              std::make_tuple(462u, 0, 461, 3612));
    EXPECT_EQ(pb::KK_index[0 * 64 + 2], 0); // white king a1, black king c1: the first pair
    EXPECT_EQ(pb::KK_index[0 * 64 + 3], 1);
}

TEST_F(EgbbFormat, PawnlessIndexIsSymmetric) {
    std::mt19937 rng(7);
    for (int n = 0; n < 20000; n++) {
        const int wk = rng() % 64, bk = rng() % 64, a = rng() % 64, b = rng() % 64;
        if (dist(wk, bk) <= 1 || a == wk || a == bk || b == wk || b == bk || a == b) continue;
        const uint32_t base = index_of(0, wk, bk, {2, 9}, {a, b});
        for (int g = 1; g < 8; g++) {
            const int w = image(wk, g), k = image(bk, g);
            // Kings both on the long diagonal keep the two transposed piece layouts apart.
            if (kings_on_diagonal(w, k)) continue;
            ASSERT_EQ(index_of(0, w, k, {2, 9}, {image(a, g), image(b, g)}), base);
        }
    }
}

TEST_F(EgbbFormat, CanonicalForms) {
    pb::TABLE_INDEX t;
    // King and rook against king, black to move, rook black: the white-to-move rook table
    // with every square flipped top-bottom.
    const uint32_t i = index_of(1, 4, 60, {9}, {20}, &t);
    EXPECT_EQ(form(t), std::make_tuple(0, 3, 0, 0));
    EXPECT_EQ(i, index_of(0, 60 ^ 56, 4 ^ 56, {3}, {20 ^ 56}));
    // Two white knights index differently in the two orders.
    EXPECT_NE(index_of(0, 0, 63, {5, 5}, {20, 42}), index_of(0, 0, 63, {5, 5}, {42, 20}));
    // The stronger piece leads whatever the order given, and a black leader flips colours.
    EXPECT_EQ(index_of(0, 0, 63, {9, 2}, {20, 42}, &t), index_of(0, 0, 63, {2, 9}, {42, 20}));
    EXPECT_EQ(form(t), std::make_tuple(0, 2, 9, 0));
    index_of(0, 0, 63, {8, 3}, {20, 42}, &t);
    EXPECT_EQ(form(t), std::make_tuple(1, 2, 9, 0));
    // A pawn on file e is mirrored to file d with both kings.
    EXPECT_EQ(index_of(0, 1, 50, {6}, {28}), index_of(0, 1 ^ 7, 50 ^ 7, {6}, {27}));
    EXPECT_EQ(index_of(0, 1, 50, {6}, {27}),
              (uint32_t)pb::KK_WP_index[1 * 64 + 50] * 24 + 3 + 4 * 2);
    // Five men, one against two: the pair becomes white.
    index_of(0, 0, 63, {3, 8, 12}, {20, 42, 35}, &t);
    EXPECT_EQ(form(t), std::make_tuple(1, 2, 6, 9));
    // Absent pieces and kings alone: a plain draw, no table.
    const int none[3] = {0, 0, 0}, nosq[3] = {-1, -1, -1};
    EXPECT_EQ(pb::canonical_index(0, 0, 63, none, nosq, t), 0);
    // Adjacent kings and pawns on the last rank are outside the index spaces.
    const int pawn[3] = {6, 0, 0}, last[3] = {60, -1, -1}, mid[3] = {20, -1, -1};
    EXPECT_EQ(pb::canonical_index(0, 0, 9, pawn, mid, t), -1);
    EXPECT_EQ(pb::canonical_index(0, 0, 50, pawn, last, t), -1);
}

TEST_F(EgbbFormat, IndicesStayInsideTheirSpaces) {
    std::mt19937 rng(11);
    const std::vector<std::vector<int>> materials = {
        {2},       {6},       {2, 3},     {4, 11},    {6, 12},   {2, 6},    {6, 6},
        {2, 3, 4}, {2, 6, 9}, {6, 6, 12}, {2, 3, 12}, {3, 6, 6}, {6, 6, 6}, {2, 8, 12}};
    for (const auto &m : materials) {
        for (int n = 0; n < 5000; n++) {
            int wk = rng() % 64, bk = rng() % 64;
            std::vector<int> sq;
            std::set<int> used{wk, bk};
            for (int p : m) {
                int s;
                do
                    s = pb::piece_type(p) == pb::PAWN ? 8 + rng() % 48 : rng() % 64;
                while (used.count(s));
                used.insert(s);
                sq.push_back(s);
            }
            if (dist(wk, bk) <= 1) continue;
            pb::TABLE_INDEX t;
            index_of(rng() & 1, wk, bk, m, sq, &t);
            ASSERT_LT(t.index, pb::index_space(t.a, t.b, t.c));
        }
    }
}

TEST_F(EgbbFormat, CanonicalCodeConstruction) {
    pb::HUFFMAN h;
    h.set_symbols(pb::DIST_SYMBOLS);
    set_lengths(h, {{3, 2}, {1, 2}, {7, 2}, {5, 2}});
    // One length: consecutive codes from 0, increasing with the symbol.
    EXPECT_EQ(codes(h, {1, 3, 5, 7}), (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(std::make_tuple(h.min_length, h.max_length), std::make_tuple(2, 2));
    EXPECT_EQ(h.pstart[2]->symbol, 1u);
    // Longer codes take the smaller values.
    set_lengths(h, {{0, 1}, {1, 2}, {2, 3}, {3, 3}});
    EXPECT_EQ(codes(h, {2, 3, 1, 0}), (std::vector<uint32_t>{0, 1, 1, 1}));
    EXPECT_EQ(h.pstart[3]->symbol, 2u);
    EXPECT_EQ(h.pstart[0], nullptr);
    h.release();
}

namespace {

// A table object with literal 'A' (00), end of block (01), match of length 4 (1) and a
// distance code with symbols 1 (distance 1, code 0) and 23 (3072 + 10 bits, code 1).
struct SmallCode : pb::EGBB {
    SmallCode() {
        set_lengths(huffman, {{'A', 2}, {pb::END_OF_BLOCK, 2}, {257, 1}});
        set_lengths(huffman_pos, {{1, 1}, {23, 1}});
    }
    ~SmallCode() {
        huffman.release();
        huffman_pos.release();
    }
};

} // namespace

TEST_F(EgbbFormat, DecodesLiteralsMatchesAndEndOfBlock) {
    SmallCode e;
    Bits b;
    b.put(0, 2);              // 'A'
    b.put(1, 1), b.put(0, 1); // match of 4 at distance 1
    b.put(1, 2);              // end of block
    b.put(0, 2);              // after the end: ignored
    uint8_t out[pb::BLOCK_SIZE];
    ASSERT_EQ(e.decode(b.bytes.data(), (uint32_t)b.bytes.size(), out), 5);
    EXPECT_EQ(std::string((char *)out, 5), "AAAAA");
}

TEST_F(EgbbFormat, CorruptBlocksStopEarly) {
    SmallCode e;
    uint8_t out[pb::BLOCK_SIZE + 64];
    memset(out, 0x55, sizeof out);
    // A match before any output (distance beyond what was written).
    Bits b1;
    b1.put(1, 1), b1.put(0, 1), b1.put(0, 2);
    EXPECT_EQ(e.decode(b1.bytes.data(), (uint32_t)b1.bytes.size(), out), 0);
    // A distance of 3072 or more after one byte.
    Bits b2;
    b2.put(0, 2), b2.put(1, 1), b2.put(1, 1), b2.put(0, 10);
    EXPECT_EQ(e.decode(b2.bytes.data(), (uint32_t)b2.bytes.size(), out), 1);
    // A block that would decode far past 8092 bytes.
    Bits b3;
    b3.put(0, 2);
    for (int k = 0; k < 2100; k++)
        b3.put(1, 1), b3.put(0, 1);
    EXPECT_LE(e.decode(b3.bytes.data(), (uint32_t)b3.bytes.size(), out), pb::BLOCK_SIZE);
    EXPECT_EQ(out[pb::BLOCK_SIZE], 0x55);
    // Random bytes, including bit patterns that match no code of an incomplete code.
    pb::EGBB sparse;
    set_lengths(sparse.huffman, {{0, 3}, {255, 3}, {pb::END_OF_BLOCK, 9}, {300, 5}, {512, 31}});
    set_lengths(sparse.huffman_pos, {{0, 2}, {23, 2}, {7, 31}});
    std::mt19937 rng(3);
    std::vector<uint8_t> in(pb::COMP_BUFFER);
    for (int n = 0; n < 300; n++) {
        for (auto &x : in)
            x = (uint8_t)rng();
        EXPECT_LE(e.decode(in.data(), (uint32_t)in.size(), out), pb::BLOCK_SIZE);
        EXPECT_LE(sparse.decode(in.data(), (uint32_t)(rng() % in.size()), out), pb::BLOCK_SIZE);
        EXPECT_EQ(out[pb::BLOCK_SIZE], 0x55);
    }
    sparse.huffman.release();
    sparse.huffman_pos.release();
}

TEST_F(EgbbFormat, CacheEvictsFromTheLeastRecentTableHoldingTwoBlocks) {
    auto block = [](uint32_t key) {
        static pb::INFO info;
        memset(info.block, (int)key, sizeof info.block);
        info.key = key;
        return &info;
    };
    uint8_t v = 0;
    {
        pb::LRU_CACHE t1, t2, t3;
        ASSERT_TRUE(pb::LRU_CACHE::alloc(3 * pb::INFO_SIZE, false));
        EXPECT_EQ(pb::LRU_CACHE::size, 3u);
        t1.add(block(10));
        t2.add(block(20));
        t2.add(block(21));
        t3.add(block(30)); // t1 is least recent but holds one block: t2 gives up 20
        EXPECT_EQ(t1.get(10, 5, v), 1);
        EXPECT_EQ(v, 10);
        EXPECT_EQ(t2.get(20, 0, v), 0);
        EXPECT_EQ(t2.get(21, 0, v), 1);
        EXPECT_EQ(t3.get(30, 0, v), 1);
        // Now nobody holds two blocks: a new block is not cached and nothing is lost.
        pb::LRU_CACHE t4;
        t4.add(block(40));
        EXPECT_EQ(t4.get(40, 0, v), 0);
        EXPECT_EQ(t1.blocks() + t2.blocks() + t3.blocks(), 3);
    }
    {
        pb::LRU_CACHE t1, t2, t3;
        ASSERT_TRUE(pb::LRU_CACHE::alloc(4 * pb::INFO_SIZE + 100, false));
        t1.add(block(1));
        t1.add(block(2));
        t2.add(block(3));
        t2.add(block(4));
        EXPECT_EQ(t2.get(3, 0, v), 1); // t2: 3 then 4
        EXPECT_EQ(t1.get(1, 0, v), 1); // t1 becomes the most recent table
        t3.add(block(5));              // so t2 gives up its oldest block, 4
        EXPECT_EQ(t2.get(4, 0, v), 0);
        EXPECT_EQ(t2.get(3, 0, v), 1);
        EXPECT_EQ(t1.blocks(), 2);
        t3.add(block(6)); // t1 is now least recent with two blocks: it gives up 2
        EXPECT_EQ(t1.get(2, 0, v), 0);
        EXPECT_EQ(t1.get(1, 0, v), 1);
    }
    pb::LRU_CACHE::alloc(0, false);
}

TEST_F(EgbbFormat, Scores) {
    const int q[3] = {2, 0, 0}, qsq[3] = {3, -1, -1};
    // White king e1, black king e8, queen d1: both kings on an edge, distance 7.
    EXPECT_EQ(pb::egbb_score(1, 0, 4, 60, q, qsq), 450 + 6000 - 600 - 14);
    EXPECT_EQ(pb::egbb_score(-1, 1, 4, 60, q, qsq), -450 - 6000 + 600 + 14);
    // Centralising the winner's king and cornering the loser's raise the winner's score.
    EXPECT_GT(pb::egbb_score(1, 0, 27, 56, q, qsq), pb::egbb_score(1, 0, 4, 60, q, qsq));
    // King, bishop and knight: the weaker king is driven to a corner of the bishop's colour.
    const int bn[3] = {4, 5, 0}, dark[3] = {2, 40, -1}, light[3] = {5, 40, -1};
    // Dark-squared bishop (c1): black king a1 (dark corner) against h1, kings mirrored.
    EXPECT_EQ(pb::egbb_score(1, 0, 18, 0, bn, dark) - pb::egbb_score(1, 0, 21, 7, bn, dark), 35);
    EXPECT_EQ(pb::egbb_score(1, 0, 21, 7, bn, light) - pb::egbb_score(1, 0, 18, 0, bn, light), 35);
    // The losing side prefers the wrong corner.
    EXPECT_LT(pb::egbb_score(-1, 1, 18, 0, bn, dark), pb::egbb_score(-1, 1, 21, 7, bn, dark));
    // Five men: pawns near the white king count against white when it is to move.
    const int p3[3] = {2, 6, 12}, s3[3] = {3, 12, 52};
    const int near = pb::egbb_score(1, 0, 4, 60, p3, s3);
    const int s3far[3] = {3, 15, 52};
    EXPECT_EQ(pb::egbb_score(1, 0, 4, 60, p3, s3far) - near, -7 * 2 * 2);
}
