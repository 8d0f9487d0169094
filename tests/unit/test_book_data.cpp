// The shipped books against the texts they are built from: every position of every line gets
// exactly the moves the texts offer there (tournament book first), and the book move the engine
// plays is one of them.
#include <algorithm>
#include <map>
#include <set>

#include "book_fixture.h"
#include "platform.h"

namespace {

using Offers = std::map<std::string, std::set<std::string>>;

std::string coord(const BookMove &m) {
    return {char('A' + m.from % 8), char('1' + m.from / 8), char('A' + m.to % 8),
            char('1' + m.to / 8)};
}

// The moves a text offers by position, and every position of its lines. A move is offered
// unless a line through the same moves marks it never to be played.
Offers text_offers(const std::string &name, std::set<std::string> &positions) {
    std::map<std::string, std::pair<std::string, bool>> nodes; // by the moves up to them
    std::ifstream in(DATA + name);
    EXPECT_TRUE(in) << name;
    for (std::string line; std::getline(in, line);) {
        Moves before;
        std::vector<BookMove> moves = san_line(line, &before);
        std::string path;
        for (size_t k = 0; k < moves.size(); k++) {
            auto &node = nodes.try_emplace(path += coord(moves[k]), before[k], true).first->second;
            node.second = node.second && moves[k].playable;
        }
        positions.insert(before.begin(), before.end());
    }
    Offers out;
    for (const auto &[path, node] : nodes)
        if (node.second) out[node.first].insert(path.substr(path.size() - 4));
    return out;
}

void install_shipped_books() {
    copy_data({"random1.bin", "random2.bin", "tourbook.bin", "mainbook.bin"});
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 0);
}

// Each position is asked with either side to move: the other side's is mostly not in the book.
TEST(BookData, ShippedBooksOfferExactlyTheTextMoves) {
    reset_engine();
    std::set<std::string> positions;
    Offers tour = text_offers("tourbook.txt", positions);
    Offers main = text_offers("mainbook.txt", positions);
    ScratchDir dir;
    install_shipped_books();
    for (std::string p : positions)
        for (char side : {'w', 'b'}) {
            p.back() = side;
            const std::set<std::string> &expected = tour[p].empty() ? main[p] : tour[p];
            Moves c = candidates_for(p);
            std::sort(c.begin(), c.end());
            EXPECT_EQ(c, Moves(expected.begin(), expected.end())) << p;
        }
    EXPECT_GT(positions.size(), 2000u);
}

// After each book move the game goes on in the book until a position the book does not know.
TEST(BookData, EngineFollowsTheBook) {
    reset_engine();
    ScratchDir dir;
    install_shipped_books();
    for (unsigned seed = 0; seed < 20; seed++) {
        rt_srand(seed);
        start_position();
        for (;;) {
            Moves c = candidates_for(book_position());
            gen_rec *g = nullptr;
            std::string out = capture_stdout([&] { g = choose_book_move(); });
            std::string move = g ? move_str(g->m) : "";
            std::transform(move.begin(), move.end(), move.begin(), ::toupper);
            EXPECT_EQ(out, "Opening move found:" + move + "\n");
            ASSERT_TRUE(g ? std::count(c.begin(), c.end(), move) == 1 : c.empty()) << move;
            if (!g) break;
            ASSERT_TRUE(makemove(g->m)) << move;
        }
    }
}

} // namespace
