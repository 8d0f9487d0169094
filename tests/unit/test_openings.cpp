// Notation and the book in play: FEN set-up, coordinate and algebraic moves, book making with its
// cuts, a book move onto the last rank turned into a generated move and one the position refuses
// left unplayed (FEN output and the printed board: tests/e2e; the rest of the book's answers:
// test_book_data).
#include <cstring>

#include "book_fixture.h"
#include "session.h"

namespace {

class Notation : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
};

TEST_F(Notation, FenToleratesBadPlacement) {
    // Unknown characters skipped, squares past h1 dropped, a missing side letter means DARK.
    set_fen("k?7/8/8/8/8/8/8/4K2RQQQQ", "", "xK");
    EXPECT_EQ(std::make_tuple(side, castle, piece[63]), std::make_tuple(DARK, CASTLE_WK, ROOK));
    EXPECT_EQ(std::count_if(color, color + 64, [](int c) { return c != EMPTY; }), 3);
    // Pawns on their last rank are removed; rights without their king or rook at home dropped.
    set_fen("P3k2p/8/8/8/8/8/8/R3K3", "w", "KQkq");
    EXPECT_EQ(std::make_tuple(castle, color[0], color[7]),
              std::make_tuple(CASTLE_WQ, EMPTY, EMPTY));
    set_fen("8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/"
            "88888888888pppp",
            "w", "-");
}

TEST_F(Notation, ParseMove) {
    setup_fen("7k/4P3/8/8/8/8/8/K7 w - -");
    for (const auto &r : table_rows("notation.txt", "parse")) {
        const int i = parse_move(r[0].c_str());
        EXPECT_EQ(i < 0 ? std::to_string(i) : move_str(gen_dat[i].m), r[1]) << r[0];
    }
}

TEST_F(Notation, San) {
    std::string san;
    EXPECT_EQ(capture_stdout([&] { san = San(find_move("g1f3")); }), "g1f3");
    EXPECT_EQ(san, "Ng1f3");
    for (const auto &r : table_rows("notation.txt", "san")) {
        setup_fen(r[0]);
        capture_stdout([&] { san = San(find_move(r[1])); });
        EXPECT_EQ(san, r[2]) << r[0];
    }
}

// Coordinate text of the move cherche_move finds in a position, "-" when it finds none.
std::string found(const std::string &fen, const char *text) {
    setup_fen(fen);
    int i = cherche_move(text);
    return i < 0 ? "-" : move_str(gen_dat[i].m);
}

TEST_F(Notation, ChercheMove) {
    for (const auto &r : table_rows("notation.txt", "cherche"))
        EXPECT_EQ(found(r[0], r[1].c_str()), r[2]) << r[0] << " " << r[1];
}

// Book making: an empty token (two blanks), '#', a token longer than 14 characters and a
// promotion cut the line; '+' is dropped and CR line ends are read; a byte 0xFF ends the run
// mid-line.
TEST(Makebook, LinesCutsAndSummary) {
    reset_engine();
    ScratchDir dir;
    std::ofstream("lines.txt", std::ios::binary)
        << "e4  e5 \nf3 e5 g4 Qh4# \ne4 f5 Qh5+ g6 \r\nNc3 h6 b4 h5 b5 h4 b6 h3 bxc7 hxg2 cxd8=Q "
           "Kxd8 \nNf3aaaaaaaaaaaaaaaaaaaaaaaa e5 \ne4 e5 \nd4 \xff d5 \nc4 \n";
    const std::string out = capture_stdout([] { makebook("lines.txt"); });
    std::ifstream in("vrkpers.opn");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "e2e4\nf2f3e7e5g2g4\ne2e4f7f5d1h5g7g6\nb1c3h7h6b2b4h6h5b4b5h5h4b5b6h4h3b6c7h3g2\n\n"
              "e2e4e7e5\nd2d4");
    EXPECT_NE(out.find("Nf3aaaaaaaaaaa => \n"), std::string::npos) << out; // 14 characters kept
    EXPECT_NE(out.find("\nStats: 6 variations, 4 variations killees\n"), std::string::npos) << out;
}

// Loads a book of one line: the algebraic moves, then a raw move the book writer would not take
// (from and to as engine squares). The position after the moves is left on the board.
void install_line_then(const char *moves, int from, int to) {
    BookTree tree;
    std::vector<BookMove> line = san_line(moves);
    line.push_back({book_square(from), book_square(to), true});
    tree.add_line(line);
    install_records({0xFF, 0xFF}, tree.serialise(false));
    san_line(moves);
}

// A raw line ending in a pawn's step to the last rank (the writer refuses promotions): the book
// move becomes the first promotion the generator lists.
TEST(ChooseBookMove, PromotionSquaresGiveTheFirstPromotion) {
    reset_engine();
    ScratchDir dir;
    install_line_then("h4 g5 hxg5 h6 gxh6 Bg7 hxg7 Nf6 ", 14, 7); // g7h8
    gen_rec *g = nullptr;
    EXPECT_EQ(capture_stdout([&] { g = choose_book_move(); }), "Opening move found:G7H8\n");
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(move_str(g->m), "g7h8N");
    CLOSE_BOOK();
}

// A book move the position refuses (a7a6 leaves Black in check) is not played: the position and
// the opening line stay, and the loops leave the book.
TEST(ChooseBookMove, ARefusedMoveIsNotPlayed) {
    reset_engine();
    ScratchDir dir;
    install_line_then("e4 f5 Qh5 ", 8, 16); // a7a6
    strcpy(opening_history, "e2e4f7f5d1h5");
    book_ply = 3;
    int m = -1;
    EXPECT_EQ(capture_stdout([&] { m = play_book_move(); }), "Opening move found:A7A6\n");
    EXPECT_EQ(std::make_tuple(m, hply, book_ply, std::string(opening_history)),
              std::make_tuple(0, 3, 3, std::string("e2e4f7f5d1h5")));
    CLOSE_BOOK();
}

} // namespace
