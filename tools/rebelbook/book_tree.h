// The tree of book lines, its Rebel-format serialisation and the reading of the text lines it is
// built from (header only: the tool and the unit tests share it).
//
// The records are written depth first. The first byte of a record holds the origin square, bit 7
// when the move ends a line (a leaf) and bit 6 when it is the last child of its parent. The
// reader, after a leaf, resumes at the same ply when bit 6 is clear (a sibling follows), else at
// the deepest earlier ply of the line whose move still has siblings (bit 6 clear): with bit 6 set
// on exactly the last children, that is where the next record of the depth-first order belongs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "book.h"

// A move in book square numbers (0 = a1 .. 63 = h8); playable moves may be offered by the book.
struct BookMove {
    int from, to;
    bool playable;
};

// One move token of a line text: drops a trailing '?' from the token (the move stays in the tree
// but is never to be played) and returns the move as the lookup reads it, without any '+'.
inline std::string read_book_token(std::string &token, bool &playable) {
    playable = token.empty() || token.back() != '?';
    if (!playable) token.pop_back();
    std::string move;
    for (char c : token)
        if (c != '+') move += c;
    return move;
}

class BookTree {
  public:
    BookTree() : nodes_(1) {}

    // Adds a line from the initial position; shared prefixes are stored once. A move seen as
    // "never play" in any line stays unplayable.
    void add_line(const std::vector<BookMove> &line) {
        int node = 0;
        for (const BookMove &m : line) {
            int child = find_child(node, m);
            if (child < 0) {
                child = (int)nodes_.size();
                nodes_.push_back(Node{m, {}});
                nodes_[node].children.push_back(child);
            } else if (!m.playable) {
                nodes_[child].move.playable = false;
            }
            node = child;
        }
    }

    bool empty() const { return nodes_[0].children.empty(); }

    // The records, followed by the FF FF terminator a tournament book carries.
    std::vector<uint8_t> serialise(bool terminator) const {
        std::vector<uint8_t> out;
        const std::vector<int> &roots = nodes_[0].children;
        for (size_t i = 0; i < roots.size(); i++)
            write(roots[i], i + 1 == roots.size(), out);
        if (terminator) out.insert(out.end(), {0xFF, 0xFF});
        return out;
    }

  private:
    struct Node {
        BookMove move;
        std::vector<int> children;
    };
    std::vector<Node> nodes_; // node 0 is the initial position

    int find_child(int node, const BookMove &m) const {
        for (int c : nodes_[node].children)
            if (nodes_[c].move.from == m.from && nodes_[c].move.to == m.to) return c;
        return -1;
    }

    void write(int node, bool last, std::vector<uint8_t> &out) const {
        const Node &n = nodes_[node];
        out.push_back((uint8_t)(n.move.from | (last ? REC_LAST_ALT : 0) |
                                (n.children.empty() ? REC_END_LINE : 0)));
        out.push_back((uint8_t)(n.move.to | (n.move.playable ? REC_BOOK_MOVE : 0)));
        for (size_t i = 0; i < n.children.size(); i++)
            write(n.children[i], i + 1 == n.children.size(), out);
    }
};
