// Helpers of the book tests: small books made from algebraic lines or raw records, and lookups
// that return the whole candidate list. The tests run in a ScratchDir (test_util.h).
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
using Moves = std::vector<std::string>;

// The shipped data of the source tree, where the tests start.
inline const std::string DATA = (std::filesystem::current_path() / "data" / "").string();

inline void copy_data(std::initializer_list<const char *> names) {
    for (const char *name : names)
        std::filesystem::copy_file(DATA + name, name,
                                   std::filesystem::copy_options::overwrite_existing);
}

inline void write_bytes(const std::string &name, const Bytes &bytes) {
    std::ofstream(name, std::ios::binary).write((const char *)bytes.data(), bytes.size());
}

// The initial position with its key, as the debug checks of makemove expect.
inline void start_position() {
    set_initial_position();
    ComputeHashCode();
}

// What the book reads of the current position: placement and side to move.
inline std::string book_position() {
    char buf[224];
    get_current_fen(buf);
    std::string fen = buf;
    return fen.substr(0, fen.find(' ') + 2);
}

// The book moves of a line of a book text, played from the initial position; `before` receives
// the position before each move. Leaves the engine in the position after the line.
inline std::vector<BookMove> san_line(const std::string &text, Moves *before = nullptr) {
    std::vector<BookMove> line;
    start_position();
    std::istringstream in(text);
    for (std::string token; in >> token;) {
        bool playable;
        std::string move = read_book_token(token, playable);
        if (before) before->push_back(book_position());
        ply = 0;
        gen();
        int i = cherche_move(move.c_str());
        int m = i < 0 ? 0 : gen_dat[i].m;
        if (i < 0 || !makemove(m)) {
            ADD_FAILURE() << "no move " << token << " in " << text;
            break;
        }
        line.push_back(BookMove{book_square(move_from(m)), book_square(move_to(m)), playable});
    }
    ply = 0;
    gen();
    return line;
}

inline Bytes book_of(const Moves &lines, bool tournament) {
    BookTree tree;
    for (const std::string &l : lines)
        tree.add_line(san_line(l));
    return tree.serialise(tournament);
}

// Writes the shipped random tables and these books, and loads them; an empty tournament book is
// FF FF.
inline void install_records(const Bytes &tour, const Bytes &main) {
    copy_data({"random1.bin", "random2.bin"});
    write_bytes("tourbook.bin", tour);
    write_bytes("mainbook.bin", main);
    ASSERT_EQ(INITIALIZE("tourbook.bin", "mainbook.bin"), 0);
}

inline void install_books(const Moves &tour, const Moves &main) {
    install_records(book_of(tour, true), book_of(main, false));
}

// Candidates ("E2E4") the book offers for a position text, in order of discovery; `chosen`
// receives the one drawn.
inline Moves candidates_for(const std::string &position, std::string *chosen = nullptr) {
    char from[3], to[3];
    int count = -1;
    FIND_OPENING(position.c_str(), from, to, &count);
    if (chosen) *chosen = std::string(from) + to;
    Moves out;
    for (int i = 0; i < book_candidate_count(); i++) {
        book_candidate(i, from, to);
        out.push_back(std::string(from) + to);
    }
    EXPECT_EQ(count, (int)out.size());
    return out;
}
