// The shipped books against the texts they are built from: every position of every line gets
// exactly the moves the texts offer there (tournament book first), and the book move the engine
// plays is one of them.
#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "book_fixture.h"
#include "console.h"
#include "platform.h"

namespace {

using MoveSet = std::set<std::string>;

// Position text without the castling field, which the book does not read.
std::string position_key() {
    std::string fen = current_position();
    return fen.substr(0, fen.find(' ') + 2);
}

std::string upper(std::string coord) {
    for (char &c : coord)
        c = (char)toupper(c);
    return coord;
}

struct TextBook {
    // Per tree node (the moves played so far): its position and move, playable only when no line
    // through it marks the move never to play.
    struct Node {
        std::string position, move;
        bool playable = true;
    };
    std::map<std::string, Node> nodes;
    std::vector<std::string> positions; // every position of every line, in order
    size_t lines = 0;

    void read(const std::string &path) {
        std::ifstream in(path);
        ASSERT_TRUE(in) << path;
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty()) continue;
            lines++;
            start_position();
            std::istringstream tokens(line);
            std::string token, prefix;
            while (tokens >> token) {
                bool playable = token.back() != '?';
                if (!playable) token.pop_back();
                std::string bare;
                for (char c : token)
                    if (c != '+') bare += c;
                ply = 0;
                gen();
                int i = cherche_move(bare.c_str());
                ASSERT_GE(i, 0) << path << ": " << line;
                std::string coord = upper(move_str(gen_dat[i].m));
                Node &n = nodes[prefix += coord];
                n.position = position_key();
                n.move = coord;
                n.playable = n.playable && playable;
                positions.push_back(n.position);
                ASSERT_TRUE(makemove(gen_dat[i].m)) << path << ": " << line;
            }
        }
    }

    std::map<std::string, MoveSet> offers() const {
        std::map<std::string, MoveSet> out;
        for (const auto &[path, n] : nodes)
            if (n.playable) out[n.position].insert(n.move);
        return out;
    }
};

// The data directory of the source tree (the tests run in the tree's root).
std::string data_dir() { return (std::filesystem::current_path() / "data" / "").string(); }

// Copies the shipped tables and books into the working directory and loads them.
void install_shipped_books(const std::string &data) {
    for (const char *name : {"random1.bin", "random2.bin", "tourbook.bin", "mainbook.bin"}) {
        std::ifstream in(data + name, std::ios::binary);
        std::ofstream(name, std::ios::binary) << in.rdbuf();
    }
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 0);
}

TEST(BookData, ShippedBooksOfferExactlyTheTextMoves) {
    reset_engine();
    std::string data = data_dir();
    TextBook tour, main;
    tour.read(data + "tourbook.txt");
    main.read(data + "mainbook.txt");
    EXPECT_GE(tour.lines, 30u);
    EXPECT_GE(main.lines, 300u);

    ScratchDir dir;
    install_shipped_books(data);

    std::map<std::string, MoveSet> tour_offers = tour.offers(), main_offers = main.offers();
    std::set<std::string> checked;
    for (const TextBook *book : {&tour, &main})
        for (const std::string &position : book->positions) {
            if (!checked.insert(position).second) continue;
            const MoveSet &t = tour_offers[position];
            const MoveSet &expected = t.empty() ? main_offers[position] : t;
            std::vector<std::string> c = candidates_for(position);
            EXPECT_EQ(MoveSet(c.begin(), c.end()), expected) << position;
            EXPECT_EQ(c.size(), expected.size()) << position;
        }
    EXPECT_GT(checked.size(), 2000u);
}

// The engine's side: after each book move the game goes on in the book, with a move the
// texts offer, until a position the book does not know.
TEST(BookData, EngineFollowsTheBook) {
    reset_engine();
    std::string data = data_dir();
    ScratchDir dir;
    install_shipped_books(data);
    int longest = 0;
    for (unsigned seed = 0; seed < 40; seed++) {
        rt_srand(seed);
        start_position();
        int plies = 0;
        for (;;) {
            ply = 0;
            gen();
            std::vector<std::string> c = candidates_for(current_position());
            gen_rec *g = nullptr;
            std::string out = capture_stdout([&] { g = choose_book_move(); });
            if (!g) {
                EXPECT_TRUE(c.empty());
                EXPECT_EQ(out, "Opening move found:\n");
                break;
            }
            std::string coord = upper(move_str(g->m));
            EXPECT_EQ(out, "Opening move found:" + coord + "\n");
            EXPECT_NE(std::find(c.begin(), c.end(), coord), c.end());
            ASSERT_TRUE(makemove(g->m)) << coord;
            plies++;
        }
        longest = std::max(longest, plies);
    }
    EXPECT_GE(longest, 10);
}

} // namespace
