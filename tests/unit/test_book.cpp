// The Rebel-format book reader: loading rules, the weighted choice, the book board against the
// engine's, lines and candidate lists beyond the buffers (lookups in real books are
// test_book_data's, random corruption is the fuzz target fuzz_book's).
#include <algorithm>

#include "book_fixture.h"
#include "platform.h"

namespace {

const char START[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

class Book : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
    void TearDown() override { CLOSE_BOOK(); }
    ScratchDir dir;
};

// Book-board index of an engine square.
int cell(int sq) {
    return (sq & 7) * 10 + (8 - (sq >> 3));
}

TEST_F(Book, WeightedChoiceFollowsTheDraw) {
    install_books({}, {"e4 ", "d4 "});
    for (unsigned seed = 0; seed < 200; seed++) {
        rt_srand(seed);
        int v = (rt_rand() % 9999) & 63;
        rt_srand(seed);
        std::string chosen;
        ASSERT_EQ(candidates_for(START, &chosen), (Moves{"E2E4", "D2D4"}));
        // Weights 8 and 4: v = 0..8 the first, 9..12 the second, 13..20 the first, and so on.
        EXPECT_EQ(chosen, v == 0 || (v - 1) % 12 < 8 ? "E2E4" : "D2D4") << "v = " << v;
    }
}

// Random legal games on both boards: after every move the book board holds the engine's pieces
// and the incremental keys equal the keys computed from scratch.
TEST_F(Book, BookBoardFollowsTheEngineBoard) {
    install_books({}, {"e4 "}); // the keys need random tables
    rt_srand(6);
    int specials = 0;
    for (int game = 0; game < 60; game++) {
        start_position();
        BOEK_BEGIN();
        MAKE_HASHKEY();
        for (int n = 0; n < 120; n++) {
            ply = 0;
            gen();
            int m = first_move[1] ? gen_dat[rt_rand() % first_move[1]].m : 0;
            for (int i = 0; i < first_move[1]; i++) // castles and en passant as often as not
                if ((move_bits(gen_dat[i].m) & (FLAG_CASTLE | FLAG_EP)) && rt_rand() % 2)
                    m = gen_dat[i].m;
            if (!m || (move_bits(m) & FLAG_PROMOTE)) break;
            if (!makemove(m)) continue;
            specials += (move_bits(m) & (FLAG_CASTLE | FLAG_EP)) != 0;
            XD = cell(move_from(m));
            XE = cell(move_to(m));
            BOEKIN();
            uint32_t k1 = HK1, k2 = HK2;
            for (int sq = 0; sq < 64; sq++)
                ASSERT_EQ(_BORD[cell(sq)],
                          color[sq] == EMPTY ? BOOK_EMPTY : BOOK_WPAWN + 6 * color[sq] + piece[sq]);
            MAKE_HASHKEY();
            ASSERT_TRUE(k1 == HK1 && k2 == HK2);
        }
    }
    EXPECT_GT(specials, 5);
}

// A random table shorter than 4480 bytes is no error: the missing entries become 0.
TEST_F(Book, ShortRandomTable) {
    install_books({}, {"d4 "});
    std::filesystem::resize_file("random1.bin", 100);
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), BOOK_OK);
    EXPECT_TRUE(RANDOM1[24] != 0 && RANDOM1[25] == 0);
}

TEST_F(Book, OddMainBookAndTournamentTerminator) {
    // A stray last byte of the main book becomes part of its terminator; a tournament book
    // without its own terminator loses its last record to it.
    Bytes main = book_of({"e4 ", "d4 "}, false);
    main.push_back(0x8A); // would read as a leaf c2-h8
    install_records(book_of({"Nf3 ", "c4 "}, false), main);
    EXPECT_EQ(candidates_for(START), Moves{"G1F3"});
    install_records({0xFF, 0xFF}, main);
    EXPECT_EQ(candidates_for(START), (Moves{"E2E4", "D2D4"}));
}

TEST_F(Book, UnreadablePositionText) {
    install_books({}, {"e4 "});
    char from[3] = "X", to[3] = "X";
    int count = 5;
    for (const char *text : {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "rnbqkbnr/ppxppppp/8",
                             "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR  w", "8/8/8/8/8/8/8/7 w",
                             "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x", ""}) {
        EXPECT_EQ(FIND_OPENING(text, from, to, &count), 3) << text;
        EXPECT_TRUE(count == 0 && !from[0]) << text;
    }
    // A count that runs past h1 ends the placement as well.
    EXPECT_EQ(FIND_OPENING("8/8/8/8/8/8/8/78 w", from, to, &count), 0);
}

// Raw records: unmarked knight shuffles back to the initial position, then Nc3 and a marked e5
// ending the line. The position after Nc3 first occurs deep in the line.
Bytes shuffle_line(int plies) {
    static const int SHUFFLE[4][2] = {{6, 21}, {62, 45}, {21, 6}, {45, 62}}; // g1f3 g8f6 f3g1 f6g8
    Bytes b;
    for (int p = 0; p < plies; p++)
        b.insert(b.end(), {(uint8_t)SHUFFLE[p % 4][0], (uint8_t)SHUFFLE[p % 4][1]});
    b.insert(b.end(), {1, 18});                // b1c3
    b.insert(b.end(), {0xC0 | 52, 0x40 | 36}); // e7e5, end of line, last alternative
    return b;
}

TEST_F(Book, DeepLinesAreFollowedOrCutSafely) {
    const char after_nc3[] = "rnbqkbnr/pppppppp/8/8/8/2N5/PPPPPPPP/R1BQKBNR b KQkq -";
    install_records({0xFF, 0xFF}, shuffle_line(216)); // 218 plies: within the line buffers
    EXPECT_EQ(candidates_for(after_nc3), Moves{"E7E5"});
    EXPECT_EQ(candidates_for(START), Moves{}); // matched first at ply 0, where g1f3 is unmarked
    install_records({0xFF, 0xFF}, shuffle_line(400));
    EXPECT_EQ(candidates_for(after_nc3), Moves{});
}

TEST_F(Book, MoreCandidatesThanTheListHolds) {
    Bytes b;
    for (int k = 0; k < 512; k++) // distinct first-ply leaves, all marked
        b.insert(b.end(),
                 {(uint8_t)(k / 64 | 0x80 | (k == 511 ? 0x40 : 0)), (uint8_t)(k % 64 | 0x40)});
    install_records({0xFF, 0xFF}, b);
    for (unsigned seed = 0; seed < 20; seed++) {
        rt_srand(seed);
        std::string chosen;
        Moves c = candidates_for(START, &chosen);
        EXPECT_EQ(c.size(), (size_t)BOOK_MAX_CANDIDATES);
        // Candidates beyond the weight table are never chosen.
        EXPECT_LT(std::find(c.begin(), c.end(), chosen) - c.begin(), 13);
    }
}

} // namespace
