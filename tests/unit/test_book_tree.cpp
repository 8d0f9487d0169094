// The book writer's depth-first serialisation, read back with the reader's own walk: every line
// of a random tree comes back with its moves and marks.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "../../tools/rebelbook/book_tree.h"

namespace {

// A line as the book stores it: per move the origin, then the destination with its mark.
using Line = std::string;
using Texts = std::multiset<std::string>;

// Random lines sharing prefixes, branching at random depths. A move's mark depends on the move
// alone, so that lines sharing a prefix agree on it.
std::vector<Line> random_lines(std::mt19937 &rng) {
    std::vector<Line> lines(1 + rng() % 25);
    for (size_t i = 0; i < lines.size(); i++) {
        if (i > 0 && rng() % 4) {
            const Line &other = lines[rng() % i];
            lines[i] = other.substr(0, 2 * (rng() % (other.size() / 2 + 1)));
        }
        for (int k = 1 + rng() % 8; k > 0; k--) {
            int from = rng() % 64, to = rng() % 64;
            lines[i] += {char(from), char(to | ((from + to) % 5 ? REC_BOOK_MOVE : 0))};
        }
    }
    return lines;
}

// What a walk must give: every distinct line that is no prefix of another, once. In sorted
// order a line's extensions follow it directly.
Texts leaves(const std::vector<Line> &lines) {
    std::set<Line> all(lines.begin(), lines.end());
    Texts out;
    for (auto it = all.begin(); it != all.end(); ++it)
        if (std::next(it) == all.end() || std::next(it)->rfind(*it, 0) != 0) out.insert(*it);
    return out;
}

void collect(const unsigned char *first, const unsigned char *second, int last, void *ctx) {
    std::string s;
    for (int k = 0; k <= last; k++)
        s += {char(first[k] & 63), char(second[k])};
    ((Texts *)ctx)->insert(s);
}

TEST(BookTree, RandomTreesReadBackLineByLine) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 500; round++) {
        std::vector<Line> lines = random_lines(rng);
        BookTree tree;
        for (const Line &l : lines) {
            std::vector<BookMove> moves;
            for (size_t k = 0; k < l.size(); k += 2)
                moves.push_back({l[k], l[k + 1] & 63, (l[k + 1] & REC_BOOK_MOVE) != 0});
            tree.add_line(moves);
        }
        for (bool tournament : {false, true}) {
            std::vector<uint8_t> image = tree.serialise(tournament);
            image.insert(image.end(), {0xFF, 0xFF}); // the loader's spare bytes
            Texts walked;
            walk_book(image.data(), (long)image.size(), tournament, collect, &walked);
            EXPECT_EQ(walked, leaves(lines)) << "round " << round;
        }
    }
}

// A move marked never to be played in any line stays so (the byte layout is the shipped books').
TEST(BookTree, NeverPlayWins) {
    BookTree tree;
    for (bool playable : {true, false, true})
        tree.add_line({{12, 28, playable}});
    EXPECT_EQ(tree.serialise(false), (std::vector<uint8_t>{0xC0 | 12, 28}));
}

} // namespace
