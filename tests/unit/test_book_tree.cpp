// The book writer's depth-first serialisation, read back with the reader's own walk: every line
// of a random tree comes back, in order, with its moves and marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "../../tools/rebelbook/book_tree.h"

namespace {

using Line = std::vector<BookMove>;

std::string text(const Line &line) {
    std::string s;
    for (const BookMove &m : line)
        s += std::to_string(m.from) + "-" + std::to_string(m.to) + (m.playable ? " " : "? ");
    return s;
}

// Random lines sharing prefixes, branching at random depths. A move's mark depends on the move
// alone, so that lines sharing a prefix agree on it.
std::vector<Line> random_lines(std::mt19937 &rng) {
    std::vector<Line> lines;
    int count = 1 + rng() % 25;
    for (int i = 0; i < count; i++) {
        Line line;
        if (!lines.empty() && rng() % 4) {
            const Line &other = lines[rng() % lines.size()];
            line.assign(other.begin(), other.begin() + rng() % (other.size() + 1));
        }
        for (int k = 1 + rng() % 8; k > 0; k--) {
            int from = rng() % 64, to = rng() % 64;
            line.push_back(BookMove{from, to, (from + to) % 5 != 0});
        }
        lines.push_back(line);
    }
    return lines;
}

// What a walk must give: every distinct line that is no prefix of another, once.
std::multiset<std::string> leaves(const std::vector<Line> &lines) {
    std::set<std::string> texts;
    for (const Line &l : lines)
        texts.insert(text(l));
    std::multiset<std::string> out;
    for (const std::string &t : texts)
        if (std::none_of(texts.begin(), texts.end(),
                         [&](const std::string &o) { return o != t && o.rfind(t, 0) == 0; }))
            out.insert(t);
    return out;
}

void collect(const unsigned char *first, const unsigned char *second, int last, void *ctx) {
    Line line;
    for (int k = 0; k <= last; k++)
        line.push_back(BookMove{first[k] & 63, second[k] & 63, second[k] >= REC_BOOK_MOVE});
    ((std::vector<std::string> *)ctx)->push_back(text(line));
}

std::vector<std::string> walk(const std::vector<uint8_t> &bytes, bool tournament) {
    std::vector<uint8_t> image = bytes;
    image.insert(image.end(), {0xFF, 0xFF}); // the loader's spare bytes
    std::vector<std::string> lines;
    walk_book(image.data(), (long)image.size(), tournament, collect, &lines);
    return lines;
}

TEST(BookTree, RandomTreesReadBackLineByLine) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 500; round++) {
        std::vector<Line> lines = random_lines(rng);
        BookTree tree;
        for (const Line &l : lines)
            tree.add_line(l);
        std::multiset<std::string> expected = leaves(lines);
        for (bool tournament : {false, true}) {
            std::vector<std::string> walked = walk(tree.serialise(tournament), tournament);
            EXPECT_EQ(std::multiset<std::string>(walked.begin(), walked.end()), expected)
                << "round " << round;
        }
    }
}

TEST(BookTree, SharedPrefixesAreWrittenOnce) {
    BookTree tree;
    tree.add_line({{12, 28, true}, {52, 36, true}, {6, 21, true}});
    tree.add_line({{12, 28, true}, {52, 36, true}, {5, 26, true}});
    tree.add_line({{12, 28, true}, {50, 34, false}});
    tree.add_line({{12, 28, true}, {50, 34, true}}); // "never play" wins
    tree.add_line({{11, 27, true}});
    // e2e4 e7e5 { g1f3 | f1c4 } | c7c5? ; d2d4
    std::vector<uint8_t> expected = {12,        28 | 0x40, 52,        36 | 0x40,
                                     0x80 | 6,  21 | 0x40, 0xC0 | 5,  26 | 0x40,
                                     0xC0 | 50, 34,        0xC0 | 11, 27 | 0x40};
    EXPECT_EQ(tree.serialise(false), expected);
    expected.insert(expected.end(), {0xFF, 0xFF});
    EXPECT_EQ(tree.serialise(true), expected);
}

} // namespace
