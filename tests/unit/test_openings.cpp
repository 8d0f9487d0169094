// The book in play and the book maker: algebraic lookup row by row, book making with its cuts,
// and the book's answer turned into a generated move.
#include <fstream>

#include "book_fixture.h"
#include "console.h"

namespace {

// Coordinate text of the move cherche_move finds in a position, "-" when it finds none.
std::string found(const std::string &fen, const char *text) {
    setup_fen(fen);
    int i = cherche_move(text);
    return i < 0 ? "-" : move_str(gen_dat[i].m);
}

const char START[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

TEST(ChercheMove, RowsOfTheTable) {
    reset_engine();
    const char *castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -";
    const char *knights = "4k3/8/8/8/8/5N2/8/1N2K1N1 w - -"; // three knights can reach d2 / e2
    const char *promote = "3qk3/2P5/8/8/8/8/8/4K3 w - -";
    struct Case {
        const char *fen, *text, *expected;
    } cases[] = {
        {START, "e4", "e2e4"},
        {START, "Nf3", "g1f3"},
        {START, "Ng1f3", "g1f3"},
        {START, "O-O", "e1g1"},                        // listed on the rights alone
        {"r3k2r/8/8/8/8/8/8/R3K2R w - -", "O-O", "-"}, // not generated: a piece move, fails
        {castles, "O-O", "e1g1"},
        {castles, "O-O-O", "e1c1"},
        {knights, "Nbd2", "b1d2"},
        {knights, "Nfd2", "f3d2"},
        {knights, "Ng1e2", "g1e2"},
        {knights, "N1d2", "-"}, // rank-only disambiguation is not read
        {"4k3/8/8/3p4/4P3/8/8/4K3 w - -", "exd5", "e4d5"},
        {"4k3/8/8/3p4/3P4/8/8/3QK3 w - -", "Qxd5", "-"}, // blocked by its own pawn
        {"4k3/8/8/3p4/8/8/8/3QK3 w - -", "Qxd5", "d1d5"},
        {"4k3/8/8/3p4/8/8/8/3QK3 w - -", "Qd1xd5", "d1d5"},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "exd6", "e5d6"},
        {promote, "c8=Q", "c7c8Q"},
        {promote, "c8=N", "c7c8N"},
        {promote, "cxd8=R", "c7d8R"},
        {promote, "c8", "c7c8N"}, // a pawn push onto the last rank finds the first promotion
        {START, "", "-"},
        {START, "Qh5#", "-"},
        {START, "Nf3g", "-"},
        {START, "=", "-"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(found(c.fen, c.text), c.expected) << c.fen << " " << c.text;
}

class Makebook : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
    ScratchDir dir;

    // Runs makebook on the text from the current position; returns vrkpers.opn and the output.
    std::pair<std::string, std::string> run(const std::string &text) {
        write_text("lines.txt", text);
        std::string out = capture_stdout([] { makebook("lines.txt"); });
        std::ifstream in("vrkpers.opn");
        std::stringstream book;
        book << in.rdbuf();
        return {book.str(), out};
    }
};

TEST_F(Makebook, WritesCoordinateLines) {
    auto [book, out] = run("e4 e5 Nf3 Nc6 \nd4 d5 \n");
    EXPECT_EQ(book, "e2e4e7e5g1f3b8c6\nd2d4d7d5\n");
    EXPECT_NE(out.find("e4 => e2e4\ne5 => e7e5\nNf3 => g1f3\nNc6 => b8c6\n"), std::string::npos);
    EXPECT_NE(out.find("\nStats: 2 variations, 0 variations killees\n"), std::string::npos);
}

TEST_F(Makebook, CutsAndSigns) {
    // An empty token (two blanks) and '#' find nothing; '+' is dropped; CR line ends are read.
    auto [book, out] = run("e4  e5 \r\nf3 e5 g4 Qh4# \ne4 f5 Qh5+ g6 \n");
    EXPECT_EQ(book, "e2e4\nf2f3e7e5g2g4\ne2e4f7f5d1h5g7g6\n");
    EXPECT_NE(out.find("\nStats: 3 variations, 2 variations killees\n"), std::string::npos);
}

TEST_F(Makebook, PromotionCutsTheLine) {
    // The first line starts from the position on the board.
    setup_fen("4k3/P7/8/8/8/8/8/4K3 w - -");
    auto [book, out] = run("Kd1 Kd8 a8=Q Kc8 \n");
    EXPECT_EQ(book, "e1d1e8d8\n");
    EXPECT_NE(out.find("\nStats: 1 variations, 1 variations killees\n"), std::string::npos);
}

TEST_F(Makebook, EndOfInputAndMissingFile) {
    auto [book, out] = run("e4 e5 \nd4 \xff d5 \nc4 \n");
    EXPECT_EQ(book, "e2e4e7e5\nd2d4");
    EXPECT_NE(out.find("\nStats: 1 variations, 0 variations killees\n"), std::string::npos);
    // A token longer than 14 characters is cut and finds nothing.
    std::tie(book, out) = run("Nf3aaaaaaaaaaaaaaaaaaaaaaaa e5 \n");
    EXPECT_EQ(book, "\n");
    EXPECT_EQ(capture_stdout([] { makebook("no-such-file.txt"); }),
              "File no-such-file.txt not found !!\n");
}

class ChooseBookMove : public ::testing::Test {
  protected:
    void SetUp() override { reset_engine(); }
    void TearDown() override { CLOSE_BOOK(); }
    ScratchDir dir;
};

TEST_F(ChooseBookMove, NoBookMove) {
    install_books({}, {"d4 d5 "});
    san_line("e4 ");
    gen_rec *g = nullptr;
    EXPECT_EQ(capture_stdout([&] { g = choose_book_move(); }), "Opening move found:\n");
    EXPECT_EQ(g, nullptr);
    EXPECT_EQ(ply, 0);
}

TEST_F(ChooseBookMove, ReturnsTheGeneratedMove) {
    install_books({}, {"d4 d5 "});
    start_position();
    gen_rec *g = nullptr;
    EXPECT_EQ(capture_stdout([&] { g = choose_book_move(); }), "Opening move found:D2D4\n");
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(move_str(g->m), "d2d4");
    EXPECT_GE(g - gen_dat, 0);
    EXPECT_LT(g - gen_dat, first_move[1]);
}

TEST_F(ChooseBookMove, PromotionSquaresGiveTheFirstPromotion) {
    // A raw line ending in a pawn's step to the last rank (the writer refuses promotions).
    std::vector<BookMove> line = san_line("h4 g5 hxg5 h6 gxh6 Bg7 hxg7 Nf6 ");
    line.push_back({book_square(14), book_square(7), true}); // g7h8
    BookTree tree;
    tree.add_line(line);
    write_random_tables();
    write_bytes("tourbook.bin", {0xFF, 0xFF});
    write_bytes("mainbook.bin", tree.serialise(false));
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 0);
    san_line("h4 g5 hxg5 h6 gxh6 Bg7 hxg7 Nf6 ");
    gen_rec *g = nullptr;
    EXPECT_EQ(capture_stdout([&] { g = choose_book_move(); }), "Opening move found:G7H8\n");
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(move_str(g->m), "g7h8N");
}

} // namespace
