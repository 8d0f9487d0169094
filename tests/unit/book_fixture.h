// Helpers of the book tests: small books made from algebraic lines or raw records, and lookups
// that return the whole candidate list. The tests run in a ScratchDir (test_util.h).
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "../../tools/rebelbook/book_tree.h"
#include "board.h"
#include "book.h"
#include "keys.h"
#include "notation.h"
#include "openings.h"
#include "test_util.h"

using Bytes = std::vector<uint8_t>;

inline void write_bytes(const std::string &name, const Bytes &bytes) {
    FILE *f = fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

inline void write_text(const std::string &name, const std::string &text) {
    write_bytes(name, Bytes(text.begin(), text.end()));
}

// Random tables of the given length in bytes from a xorshift generator (not the shipped ones).
inline void write_random_tables(size_t bytes = 4 * RANDOM_ENTRIES) {
    uint32_t x = 2463534242u;
    for (const char *name : {"random1.bin", "random2.bin"}) {
        Bytes b;
        while (b.size() < bytes) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b.push_back((uint8_t)x);
        }
        write_bytes(name, b);
    }
}

// The initial position with its key, as the debug checks of makemove expect.
inline void start_position() {
    set_initial_position();
    ComputeHashCode();
}

// The book moves of a line of algebraic moves from the initial position; a trailing '?' marks a
// move never to be played. Leaves the engine in the position after the line.
inline std::vector<BookMove> san_line(const std::string &text) {
    std::vector<BookMove> line;
    start_position();
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        bool playable = token.back() != '?';
        if (!playable) token.pop_back();
        ply = 0;
        gen();
        int i = cherche_move(token.c_str());
        EXPECT_GE(i, 0) << token;
        if (i < 0) break;
        int m = gen_dat[i].m;
        EXPECT_TRUE(makemove(m)) << token;
        line.push_back(BookMove{book_square(move_from(m)), book_square(move_to(m)), playable});
    }
    ply = 0;
    gen();
    return line;
}

inline Bytes book_of(const std::vector<std::string> &lines, bool tournament) {
    BookTree tree;
    for (const std::string &l : lines)
        tree.add_line(san_line(l));
    return tree.serialise(tournament);
}

// Writes random tables and both books, and loads them; the tournament book may be empty (FF FF).
inline void install_books(const std::vector<std::string> &tour,
                          const std::vector<std::string> &main) {
    write_random_tables();
    write_bytes("tourbook.bin", book_of(tour, true));
    write_bytes("mainbook.bin", book_of(main, false));
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 0);
}

// Writes random tables, an empty tournament book and these raw main-book records, and loads them.
inline void install_main_records(const Bytes &main) {
    write_random_tables();
    write_bytes("tourbook.bin", {0xFF, 0xFF});
    write_bytes("mainbook.bin", main);
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 0);
}

// Candidates ("E2E4") the book offers for a position text, in order of discovery.
inline std::vector<std::string> candidates_for(const std::string &position) {
    char from[3], to[3];
    int count = -1;
    FIND_OPENING(position.c_str(), from, to, &count);
    std::vector<std::string> out;
    for (int i = 0; i < book_candidate_count(); i++) {
        book_candidate(i, from, to);
        out.push_back(std::string(from) + to);
    }
    EXPECT_EQ(count, (int)out.size());
    return out;
}

// The position text of the engine's current position.
inline std::string current_position() {
    char buf[224];
    get_current_fen(buf);
    return buf;
}

// Candidates after a line of algebraic moves from the initial position.
inline std::vector<std::string> candidates_after(const std::string &moves) {
    san_line(moves);
    return candidates_for(current_position());
}
