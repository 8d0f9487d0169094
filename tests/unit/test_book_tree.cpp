// The book writer's depth-first serialisation, read back with the reader's own walk: every line
// of a random tree comes back, in order, with its moves and marks.
#include <gtest/gtest.h>

#include <random>
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

// Random tree: a few lines sharing prefixes, branching at random depths.
std::vector<Line> random_lines(std::mt19937 &rng) {
    std::vector<Line> lines;
    int count = 1 + rng() % 25;
    for (int i = 0; i < count; i++) {
        Line line;
        if (!lines.empty() && rng() % 4) { // share a prefix of an earlier line
            const Line &other = lines[rng() % lines.size()];
            line.assign(other.begin(), other.begin() + rng() % (other.size() + 1));
        }
        int extra = 1 + rng() % 8;
        for (int k = 0; k < extra; k++)
            line.push_back(BookMove{(int)(rng() % 64), (int)(rng() % 64), rng() % 5 != 0});
        lines.push_back(line);
    }
    return lines;
}

// The lines of a tree as the writer orders them: depth first, children in order of insertion,
// only the leaves (a line that is a prefix of another is absorbed by it).
std::vector<std::string> leaves_in_order(const std::vector<Line> &lines) {
    // Rebuild the tree the simple way: a child list keyed by the move path.
    struct Node {
        BookMove move;
        std::vector<int> children;
    };
    std::vector<Node> nodes(1);
    for (const Line &line : lines) {
        int n = 0;
        for (const BookMove &m : line) {
            int found = -1;
            for (int c : nodes[n].children)
                if (nodes[c].move.from == m.from && nodes[c].move.to == m.to) found = c;
            if (found < 0) {
                found = (int)nodes.size();
                nodes.push_back(Node{m, {}});
                nodes[n].children.push_back(found);
            }
            nodes[found].move.playable = nodes[found].move.playable && m.playable;
            n = found;
        }
    }
    std::vector<std::string> out;
    Line path;
    std::vector<std::pair<int, size_t>> stack{{0, 0}};
    while (!stack.empty()) {
        auto &[n, next] = stack.back();
        if (next < nodes[n].children.size()) {
            int c = nodes[n].children[next++];
            path.push_back(nodes[c].move);
            if (nodes[c].children.empty()) {
                out.push_back(text(path));
                path.pop_back();
            } else {
                stack.push_back({c, 0});
            }
        } else {
            stack.pop_back();
            if (!path.empty()) path.pop_back();
        }
    }
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
        for (const Line &l : lines) tree.add_line(l);
        std::vector<std::string> expected = leaves_in_order(lines);
        EXPECT_EQ(walk(tree.serialise(false), false), expected) << "round " << round;
        EXPECT_EQ(walk(tree.serialise(true), true), expected) << "round " << round;
    }
}

TEST(BookTree, SharedPrefixesAreWrittenOnce) {
    BookTree tree;
    tree.add_line({{12, 28, true}, {52, 36, true}, {6, 21, true}});
    tree.add_line({{12, 28, true}, {52, 36, true}, {5, 26, true}});
    tree.add_line({{12, 28, true}, {50, 34, false}});
    tree.add_line({{11, 27, true}});
    // e2e4 e7e5 { g1f3 | f1c4 } | c7c5? ; d2d4
    std::vector<uint8_t> expected = {12,   28 | 0x40, 52,   36 | 0x40, 0x80 | 6, 21 | 0x40,
                                     0xC0 | 5, 26 | 0x40, 0xC0 | 50, 34, 0xC0 | 11, 27 | 0x40};
    EXPECT_EQ(tree.serialise(false), expected);
    expected.insert(expected.end(), {0xFF, 0xFF});
    EXPECT_EQ(tree.serialise(true), expected);
}

TEST(BookTree, NeverPlayWinsOverPlayable) {
    BookTree tree;
    tree.add_line({{12, 28, true}});
    tree.add_line({{12, 28, false}, {52, 36, true}});
    EXPECT_EQ(tree.serialise(false), (std::vector<uint8_t>{0x40 | 12, 28, 0xC0 | 52, 36 | 0x40}));
}

} // namespace
