// The Rebel-format book reader: loading rules, lookup by keys with parity, duplicates,
// tournament priority, the weighted choice, the book board against the engine's, lines and candidate lists beyond the buffers
// (random corruption is the fuzz target fuzz_book's).
#include <set>

#include "book_fixture.h"
#include "platform.h"

namespace {

using Moves = std::vector<std::string>;
const char START[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

class Book : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
    void TearDown() override { CLOSE_BOOK(); }
    ScratchDir dir;
};

std::set<std::string> as_set(const Moves &m) {
    return std::set<std::string>(m.begin(), m.end());
}

// Book-board index of an engine square.
int cell(int sq) {
    return (sq & 7) * 10 + (8 - (sq >> 3));
}

TEST_F(Book, InitialPositionOffersMarkedWhiteFirstMoves) {
    install_books({}, {"e4 e5 Nf3 ", "d4 d5 ", "c4? e5 ", "Nf3 d5 "});
    EXPECT_EQ(as_set(candidates_for(START)), as_set({"E2E4", "D2D4", "G1F3"}));
    // A move marked never to play is still walked through: the reply after it is offered.
    EXPECT_EQ(candidates_after("c4 "), Moves{"E7E5"});
}

TEST_F(Book, TranspositionsParityAndDuplicates) {
    // After 1.e4 e5 (White to move) and 1.e3 e5 2.e4 (Black to move) the placement is the same.
    install_books({}, {"d4 Nf6 c4 e6 Nc3 ", "c4 e6 d4 Nf6 Nc3 d5 ", "e4 e5 Nf3 ", "e3 e5 e4 Nc6 "});
    // Nc3 comes from both lines (once) though the second reaches the position in another order.
    EXPECT_EQ(candidates_after("c4 e6 d4 Nf6 "), Moves{"B1C3"});
    EXPECT_EQ(candidates_after("d4 Nf6 c4 e6 "), Moves{"B1C3"});
    san_line("e4 e5 ");
    std::string placement = current_position().substr(0, current_position().find(' '));
    EXPECT_EQ(candidates_for(placement + " w"), Moves{"G1F3"});
    EXPECT_EQ(candidates_for(placement + " b"), Moves{"B8C6"});
}

TEST_F(Book, TournamentBookHasPriority) {
    install_books({"e4 e5 "}, {"d4 d5 ", "e4 c5 Nf3 "});
    EXPECT_EQ(candidates_for(START), Moves{"E2E4"});
    EXPECT_EQ(candidates_after("e4 "), Moves{"E7E5"});
    EXPECT_EQ(candidates_after("d4 "), Moves{"D7D5"});
    EXPECT_EQ(candidates_after("e4 c5 "), Moves{"G1F3"});
}

TEST_F(Book, WeightedChoiceFollowsTheDraw) {
    install_books({}, {"e4 ", "d4 "});
    ASSERT_EQ(candidates_for(START), (Moves{"E2E4", "D2D4"}));
    std::set<int> seen;
    for (unsigned seed = 0; seed < 400; seed++) {
        rt_srand(seed);
        int v = (rt_rand() % 9999) & 63;
        seen.insert(v);
        // Weights 8 and 4: v = 0..8 the first, 9..12 the second, 13..20 the first, and so on.
        bool first = v == 0 || (v - 1) % 12 < 8;
        rt_srand(seed);
        char from[3], to[3];
        int count = 0;
        ASSERT_EQ(FIND_OPENING(START, from, to, &count), 0);
        EXPECT_EQ(count, 2);
        EXPECT_STREQ(from, first ? "E2" : "D2") << "v = " << v;
        EXPECT_STREQ(to, first ? "E4" : "D4");
    }
    EXPECT_GT(seen.size(), 50u);
}

// Random legal games on both boards: after every move the book board holds the engine's pieces
// and the incremental keys equal the keys computed from scratch.
TEST_F(Book, BookBoardFollowsTheEngineBoard) {
    install_main_records({0x0C, 0xDC});
    static const int CODE[2][6] = {{2, 3, 4, 5, 6, 7}, {8, 9, 10, 11, 12, 13}};
    rt_srand(7);
    int specials = 0;
    for (int game = 0; game < 60; game++) {
        start_position();
        BOEK_BEGIN();
        MAKE_HASHKEY();
        for (int n = 0; n < 120; n++) {
            ply = 0;
            gen();
            std::vector<int> legal;
            for (int i = 0; i < first_move[1]; i++)
                if (makemove(gen_dat[i].m)) {
                    takeback();
                    legal.push_back(gen_dat[i].m);
                }
            if (legal.empty()) break;
            int m = legal[rt_rand() % legal.size()];
            if (move_bits(m) & FLAG_PROMOTE) break;
            specials += (move_bits(m) & (FLAG_CASTLE | FLAG_EP)) != 0;
            makemove(m);
            XD = cell(move_from(m));
            XE = cell(move_to(m));
            BOEKIN();
            uint32_t k1 = HK1, k2 = HK2;
            for (int sq = 0; sq < 64; sq++)
                ASSERT_EQ(_BORD[cell(sq)], color[sq] == EMPTY ? 1 : CODE[color[sq]][piece[sq]]);
            MAKE_HASHKEY();
            ASSERT_EQ(k1, HK1);
            ASSERT_EQ(k2, HK2);
        }
    }
    EXPECT_GT(specials, 5);
}

TEST_F(Book, LoadingErrors) {
    // The file taken away ("" for an empty main book) and the error it gives; the last case
    // leaves the tournament book out.
    const std::pair<const char *, int> cases[] = {{nullptr, 0},        {"random1.bin", 2},
                                                  {"random2.bin", 2},  {"mainbook.bin", 3},
                                                  {"", 4},             {"tourbook.bin", 1}};
    for (const auto &[missing, error] : cases) {
        write_random_tables();
        write_bytes("tourbook.bin", book_of({"e4 "}, true));
        write_bytes("mainbook.bin", missing && !*missing ? Bytes{} : book_of({"d4 "}, false));
        if (missing && *missing) remove(missing);
        EXPECT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), error) << (missing ? missing : "-");
    }
    // Without a tournament book the main book answers.
    EXPECT_EQ(candidates_for(START), Moves{"D2D4"});
    // A random table shorter than 4480 bytes is no error: the missing entries stay 0.
    write_random_tables(100);
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 1);
    EXPECT_NE(RANDOM1[24], 0u);
    EXPECT_EQ(RANDOM1[25], 0u);
    EXPECT_EQ(candidates_for(START), Moves{"D2D4"});
}

TEST_F(Book, OddMainBookAndTournamentTerminator) {
    write_random_tables();
    // A stray last byte of the main book becomes part of its terminator.
    Bytes main = book_of({"e4 ", "d4 "}, false);
    main.push_back(0x0A);
    write_bytes("mainbook.bin", main);
    // A tournament book without its own terminator loses its last record to it.
    write_bytes("tourbook.bin", book_of({"Nf3 ", "c4 "}, false));
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 0);
    EXPECT_EQ(candidates_for(START), Moves{"G1F3"});
    EXPECT_EQ(candidates_after("Nf3 "), Moves{});
    write_bytes("tourbook.bin", {0xFF, 0xFF});
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 0);
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
        EXPECT_EQ(count, 0);
        EXPECT_STREQ(from, "");
        EXPECT_STREQ(to, "");
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
    install_main_records(shuffle_line(216)); // 218 plies: within the line buffers
    EXPECT_EQ(candidates_for(after_nc3), Moves{"E7E5"});
    EXPECT_EQ(candidates_for(START), Moves{}); // matched first at ply 0, where g1f3 is unmarked
    install_main_records(shuffle_line(400));
    EXPECT_EQ(candidates_for(after_nc3), Moves{});
}

TEST_F(Book, MoreCandidatesThanTheListHolds) {
    Bytes b;
    for (int from = 0; from < 8; from++)
        for (int to = 0; to < 64; to++) // 512 distinct first-ply leaves, all marked
            b.insert(b.end(), {(uint8_t)(from | 0x80 | (from == 7 && to == 63 ? 0x40 : 0)),
                               (uint8_t)(to | 0x40)});
    install_main_records(b);
    for (unsigned seed = 0; seed < 20; seed++) {
        rt_srand(seed);
        char from[3], to[3];
        int count = 0;
        FIND_OPENING(START, from, to, &count);
        EXPECT_EQ(count, BOOK_MAX_CANDIDATES);
        // Candidates beyond the weight table are never chosen: all 13 weighted ones are on a1.
        EXPECT_STREQ(from, "A1");
    }
}

} // namespace
