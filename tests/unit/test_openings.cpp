// The book in play and the book maker: algebraic lookup row by row, book making with its cuts,
// and a book move onto the last rank turned into a generated move (the rest of the book's
// answers are checked against the shipped books in test_book_data).
#include "book_fixture.h"

namespace {

// Coordinate text of the move cherche_move finds in a position, "-" when it finds none.
std::string found(const std::string &fen, const char *text) {
    setup_fen(fen);
    int i = cherche_move(text);
    return i < 0 ? "-" : move_str(gen_dat[i].m);
}

TEST(ChercheMove, RowsOfTheTable) {
    reset_engine();
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

// A raw line ending in a pawn's step to the last rank (the writer refuses promotions): the book
// move becomes the first promotion the generator lists.
TEST(ChooseBookMove, PromotionSquaresGiveTheFirstPromotion) {
    reset_engine();
    ScratchDir dir;
    const char moves[] = "h4 g5 hxg5 h6 gxh6 Bg7 hxg7 Nf6 ";
    BookTree tree;
    std::vector<BookMove> line = san_line(moves);
    line.push_back({book_square(14), book_square(7), true}); // g7h8
    tree.add_line(line);
    install_records({0xFF, 0xFF}, tree.serialise(false));
    san_line(moves);
    gen_rec *g = nullptr;
    EXPECT_EQ(capture_stdout([&] { g = choose_book_move(); }), "Opening move found:G7H8\n");
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(move_str(g->m), "g7h8N");
    CLOSE_BOOK();
}

} // namespace
