// FEN set-up and output, coordinate and algebraic moves, the printed board.
#include <gtest/gtest.h>

#include <cstring>

#include "board.h"
#include "console.h"
#include "notation.h"
#include "test_util.h"

TEST(Notation, FenRoundTrip) {
    reset_engine();
    char buf[224];
    set_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR", "b", "KQkq");
    get_current_fen(buf);
    EXPECT_STREQ(buf, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");
    set_fen("k7/8/1Q6/8/8/8/8/7K", "w", "-");
    EXPECT_EQ(castle, 0);
    get_current_fen(buf);
    EXPECT_STREQ(buf, "k7/8/1Q6/8/8/8/8/7K w  -");
    EXPECT_EQ(king_position[DARK], 0);
    EXPECT_EQ(king_position[LIGHT], 63);
}

TEST(Notation, FenToleratesBadPlacement) {
    reset_engine();
    // Unknown characters skipped, squares past h1 dropped, a missing side letter means DARK.
    set_fen("k?7/8/8/8/8/8/8/4K2RQQQQ", "", "xK");
    EXPECT_EQ(side, DARK);
    EXPECT_EQ(castle, CASTLE_WK);
    EXPECT_EQ(piece[63], ROOK);
    int count = 0;
    for (int sq = 0; sq < 64; sq++) count += color[sq] != EMPTY;
    EXPECT_EQ(count, 3);
    // Pawns on their last rank are removed; rights without their king or rook at home dropped.
    set_fen("P3k2p/8/8/8/8/8/8/R3K3", "w", "KQkq");
    EXPECT_EQ(castle, CASTLE_WQ);
    EXPECT_EQ(color[0], EMPTY);
    EXPECT_EQ(color[7], EMPTY);
    set_fen("8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/88888888888pppp", "w", "-");
}

TEST(Notation, MoveStr) {
    reset_engine();
    EXPECT_STREQ(move_str(make_move_word(12, 28, 0, 0x18)), "e7e5");
    EXPECT_STREQ(move_str(make_move_word(9, 1, ROOK, 0x30)), "b7b8R");
    EXPECT_STREQ(move_str(make_move_word(60, 62, 0, FLAG_CASTLE)), "e1g1");
}

TEST(Notation, ParseMove) {
    reset_engine();
    setup_fen("7k/4P3/8/8/8/8/8/K7 w - -");
    int q = parse_move("e7e8");
    ASSERT_GE(q, 0);
    EXPECT_EQ(move_promote(gen_dat[q].m), QUEEN);
    EXPECT_EQ(parse_move("e7e8n"), q - 3);
    EXPECT_EQ(parse_move("e7e8N"), q - 3);
    EXPECT_EQ(parse_move("e7e8b"), q - 2);
    EXPECT_EQ(parse_move("e7e8R"), q - 1);
    EXPECT_EQ(parse_move("e7e8q"), q);
    EXPECT_EQ(parse_move("e2e4"), -1);
    EXPECT_EQ(parse_move("e2e"), -2);
    EXPECT_EQ(parse_move("i2i4"), -2);
    EXPECT_EQ(parse_move("a0a9"), -1);
}

TEST(Notation, San) {
    reset_engine();
    std::string san;
    std::string out = capture_stdout([&] { san = San(find_move("g1f3")); });
    EXPECT_EQ(san, "Ng1f3");
    EXPECT_EQ(out, "g1f3");
    setup_fen("4k3/8/8/3p4/4P3/8/8/4K3 w - -");
    capture_stdout([&] { san = San(find_move("e4d5")); });
    EXPECT_EQ(san, "exd5");
    setup_fen("2k5/8/8/3p4/4P3/8/8/4K3 w - -");
    capture_stdout([&] { san = San(find_move("e4d5")); });
    EXPECT_EQ(san, "exd5");
    setup_fen("8/8/2k5/3p4/4P3/8/8/4K3 w - -");
    capture_stdout([&] { san = San(find_move("e4d5")); });
    EXPECT_EQ(san, "exd5+");
    setup_fen("4k3/8/8/8/8/8/8/R3K2R w KQ -");
    capture_stdout([&] { san = San(find_move("e1c1")); });
    EXPECT_EQ(san, "O-O-O");
    capture_stdout([&] { san = San(find_move("e1g1")); });
    EXPECT_EQ(san, "O-O");
    setup_fen("3r3k/4P3/8/8/8/8/8/K7 w - -");
    capture_stdout([&] { san = San(find_move("e7d8N")); });
    EXPECT_EQ(san, "exd8=N");
    capture_stdout([&] { san = San(find_move("e7e8Q")); });
    EXPECT_EQ(san, "e8=Q+");
    setup_fen("4k3/8/8/4p3/8/5N2/8/4K3 w - -");
    capture_stdout([&] { san = San(find_move("f3e5")); });
    EXPECT_EQ(san, "Nf3xe5");
}

TEST(Notation, PrintBoard) {
    reset_engine();
    std::string out = capture_stdout(print_board);
    EXPECT_EQ(out, "\n8  r n b q k b n r\n7  p p p p p p p p\n6  . . . . . . . .\n"
                   "5  . . . . . . . .\n4  . . . . . . . .\n3  . . . . . . . .\n"
                   "2  P P P P P P P P\n1  R N B Q K B N R\n\n   a b c d e f g h\n\n");
}
