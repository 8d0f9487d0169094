// Bitbase prober without table files: king-pair tables, canonical forms and indices, canonical
// Huffman codes, block decoding (including corrupt input), the block cache and the score.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "prober_internal.h"
#include "test_util.h"

namespace pb = egbb_prober;

namespace {

int dist(int a, int b) {
    return std::max(std::abs((a & 7) - (b & 7)), std::abs((a >> 3) - (b >> 3)));
}

// The eight images of a square: bit 1 left-right, 2 top-bottom, 4 transpose (rotation's bits).
int image(int s, int g) {
    if (g & 1) s ^= 7;
    if (g & 2) s ^= 56;
    if (g & 4) s = (s >> 3) | ((s & 7) << 3);
    return s;
}

class EgbbFormat : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { pb::init_indices(); }
    // The index of a position that must have one; t receives the table it lies in.
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

// The men of a table row: prober codes and squares, absent ones 0 on square -1.
void men(const std::string &pieces, const std::string &squares, int *pc, int *sq) {
    std::istringstream p(pieces), s(squares);
    for (int i = 0; i < 3; i++)
        if (!(p >> pc[i] && s >> sq[i])) pc[i] = 0, sq[i] = -1;
}

} // namespace

// 462 pawnless king pairs up to symmetry, numbered from a1-c1, and 3612 pairs of kings apart
// with pawns; the rotation brings the white king into the triangle a1-d1-d4.
TEST_F(EgbbFormat, KingPairTables) {
    std::set<int> kk;
    int wp_count = 0;
    for (int i = 0; i < 4096; i++) {
        const bool apart = dist(i / 64, i % 64) > 1;
        const int cw = image(i / 64, pb::rotation[i]);
        EXPECT_EQ(pb::KK_index[i] == -2, !apart);
        EXPECT_EQ(pb::KK_WP_index[i], apart ? wp_count++ : -2);
        if (apart) kk.insert(pb::KK_index[i]);
        EXPECT_TRUE(!apart || (cw >> 3 <= (cw & 7) && (cw & 7) <= 3)) << i;
    }
    EXPECT_EQ(std::make_tuple(kk.size(), *kk.begin(), *kk.rbegin(), wp_count),
              std::make_tuple(462u, 0, 461, 3612));
    EXPECT_EQ(std::make_pair(pb::KK_index[0 * 64 + 2], pb::KK_index[0 * 64 + 3]),
              std::make_pair(0, 1));
}

// Positions of every kind of material on every pair of kings apart get an index inside their
// table, and every image of a position the same one (with pawns only the left-right mirror;
// pawnless, kings both on the long diagonal keep the two transposed piece layouts apart).
TEST_F(EgbbFormat, IndicesAreInsideTheirSpacesAndSymmetric) {
    std::mt19937 rng(11);
    auto on_diagonal = [](int s) { return (s & 7) == (s >> 3); };
    const std::vector<std::vector<int>> materials = {
        {2},       {6},       {2, 3},     {2, 9},     {4, 11},   {6, 12},   {2, 6},    {6, 6},
        {2, 3, 4}, {2, 6, 9}, {6, 6, 12}, {2, 3, 12}, {3, 6, 6}, {6, 6, 6}, {2, 8, 12}};
    for (const auto &m : materials) {
        const bool pawns = std::any_of(m.begin(), m.end(), [](int p) { return p % 6 == 0; });
        for (int i = 0; i < 4096; i++) {
            const int wk = i / 64, bk = i % 64, player = rng() & 1;
            if (dist(wk, bk) <= 1) continue;
            std::vector<int> sq;
            std::set<int> used{wk, bk};
            for (int p : m) {
                int s;
                do
                    s = p % 6 == 0 ? 8 + rng() % 48 : rng() % 64;
                while (!used.insert(s).second);
                sq.push_back(s);
            }
            const uint32_t base = index_of(player, wk, bk, m, sq);
            for (int g = 1; g < (pawns ? 2 : 8); g++) {
                const int w = image(wk, g), k = image(bk, g), r = pb::rotation[w * 64 + k];
                if (!pawns && on_diagonal(image(w, r)) && on_diagonal(image(k, r))) continue;
                std::vector<int> images;
                for (int s : sq)
                    images.push_back(image(s, g));
                ASSERT_EQ(index_of(player, w, k, m, images), base) << i << " image " << g;
            }
        }
    }
}

// The table and index of each position of [index] in tests/data/egbb.txt.
TEST_F(EgbbFormat, CanonicalForms) {
    for (const auto &r : table_rows("egbb.txt", "index")) {
        int pc[3], sq[3];
        men(r[3], r[4], pc, sq);
        pb::TABLE_INDEX t{};
        std::ostringstream got;
        got << pb::canonical_index(std::stoi(r[0]), std::stoi(r[1]), std::stoi(r[2]), pc, sq, t);
        if (got.str() != "0" && got.str() != "-1")
            got << " | " << t.side << " " << t.a << " " << t.b << " " << t.c << " | " << t.index;
        EXPECT_EQ(got.str(), r[5] + (r.size() > 6 ? " | " + r[6] + " | " + r[7] : "")) << r[4];
    }
}

namespace {

using Lengths = std::vector<std::pair<int, int>>;

// A table object with codes of the given (symbol, length) pairs, released with it.
struct Coded : pb::EGBB {
    Coded(const Lengths &lit, const Lengths &pos) {
        for (auto [h, lengths] : {std::pair{&huffman, &lit}, {&huffman_pos, &pos}}) {
            EXPECT_TRUE(h->allocate());
            for (uint32_t s = 0; s < h->n_symbols; s++)
                h->cann[s].symbol = s;
            for (auto [sym, len] : *lengths)
                h->cann[sym].length = (uint8_t)len;
            h->build_cann_from_length();
        }
    }
    ~Coded() {
        huffman.release();
        huffman_pos.release();
    }
};

// (value, length) fields, packed most significant bit first.
using Fields = std::vector<std::pair<uint32_t, int>>;

std::vector<uint8_t> pack(const Fields &fields) {
    std::vector<uint8_t> bytes;
    int n = 0;
    for (auto [v, len] : fields)
        for (int k = len - 1; k >= 0; k--, n++) {
            if (n % 8 == 0) bytes.push_back(0);
            bytes.back() |= ((v >> k) & 1) << (7 - n % 8);
        }
    return bytes;
}

} // namespace

// Canonical codes (longer codes take the smaller values, and within one length the codes
// increase with the symbol): literal 'A' 00, end of block 01, match of length 4 1, distance
// symbols 1 (distance 1) 0 and 23 (3072 + 10 bits) 1. Then random bytes through an incomplete
// code with gaps and 31-bit codes.
TEST_F(EgbbFormat, DecodingStopsAtTheEndOfBlockOrCorruptInput) {
    const Coded e({{'A', 2}, {pb::END_OF_BLOCK, 2}, {257, 1}}, {{1, 1}, {23, 1}});
    Fields flood = {{0, 2}};
    for (int k = 0; k < 2100; k++)
        flood.insert(flood.end(), {{1, 1}, {0, 1}});
    const std::pair<Fields, int> blocks[] = {
        // 'A', a match of 4 at distance 1, the end, and an 'A' after the end that is ignored
        {{{0, 2}, {1, 1}, {0, 1}, {1, 2}, {0, 2}}, 5},
        {{{1, 1}, {0, 1}, {1, 2}}, 0},          // a match before any output
        {{{0, 2}, {1, 1}, {1, 1}, {0, 10}}, 1}, // distance 3072, beyond the output
        {flood, 1 + 4 * 2022},                  // output beyond one block
    };
    uint8_t out[pb::BLOCK_SIZE + 1];
    out[pb::BLOCK_SIZE] = 0x55;
    for (const auto &[fields, written] : blocks) {
        const std::vector<uint8_t> in = pack(fields);
        EXPECT_EQ(e.decode(in.data(), (uint32_t)in.size(), out), written);
        EXPECT_EQ(std::count(out, out + written, 'A'), written);
    }
    const Coded sparse({{0, 3}, {255, 3}, {pb::END_OF_BLOCK, 9}, {300, 5}, {512, 31}},
                       {{0, 2}, {23, 2}, {7, 31}});
    std::mt19937 rng(3);
    std::vector<uint8_t> in(pb::COMP_BUFFER);
    for (int n = 0; n < 300; n++) {
        for (auto &x : in)
            x = (uint8_t)rng();
        EXPECT_LE(sparse.decode(in.data(), (uint32_t)(rng() % in.size()), out), pb::BLOCK_SIZE);
    }
    EXPECT_EQ(out[pb::BLOCK_SIZE], 0x55);
}

// A full cache evicts the oldest block of the least recent table holding two or more, and
// caches nothing when no table holds two.
TEST_F(EgbbFormat, CacheEviction) {
    auto block = [](uint32_t key) {
        static pb::INFO info;
        memset(info.block, (int)key, sizeof info.block);
        info.key = key;
        return &info;
    };
    uint8_t v = 0;
    pb::LRU_CACHE t1, t2, t3, t4, t5;
    ASSERT_TRUE(pb::LRU_CACHE::alloc(4 * pb::INFO_SIZE + 100, false));
    t1.add(block(1));
    t1.add(block(2));
    t2.add(block(3));
    t2.add(block(4));
    EXPECT_EQ(t2.get(3, 5, v), 1); // t2 holds 3 then 4
    EXPECT_EQ(v, 3);
    EXPECT_EQ(t1.get(1, 0, v), 1); // t1 becomes the most recent table
    t3.add(block(5));              // so t2 gives up its oldest block, 4
    EXPECT_EQ(t2.get(4, 0, v), 0);
    EXPECT_EQ(t2.get(3, 0, v), 1);
    t3.add(block(6)); // t1 is now least recent: it gives up 2
    EXPECT_EQ(t1.get(2, 0, v), 0);
    EXPECT_EQ(t1.get(1, 0, v), 1);
    t4.add(block(7)); // t2, least recent, holds one block: t3 gives up 5
    EXPECT_EQ(t3.get(5, 0, v), 0);
    EXPECT_EQ(t2.get(3, 0, v), 1);
    t5.add(block(8)); // nobody holds two blocks: not cached, nothing lost
    EXPECT_EQ(t5.get(8, 0, v), 0);
    EXPECT_EQ(t1.blocks() + t2.blocks() + t3.blocks() + t4.blocks(), 4);
    pb::LRU_CACHE::alloc(0, false);
}

TEST_F(EgbbFormat, Scores) {
    for (const auto &r : table_rows("egbb.txt", "score")) {
        int pc[3], sq[3];
        men(r[4], r[5], pc, sq);
        EXPECT_EQ(pb::egbb_score(std::stoi(r[0]), std::stoi(r[1]), std::stoi(r[2]), std::stoi(r[3]),
                                 pc, sq),
                  std::stoi(r[6]))
            << r[2] << " " << r[3] << " " << r[5];
    }
}
