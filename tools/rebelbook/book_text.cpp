#include "book_text.h"

#include <cstdio>
#include <cstring>

#include "board.h"
#include "openings.h"

namespace {

// True when the move matches the disambiguation an algebraic piece move carries between its
// letter and its destination: a file ("Nbd2") or a full square ("Qh4xe1"); a rank alone ("R1e2")
// is not read by the move lookup.
bool matches_origin(const std::string &token, int m) {
    std::string s;
    for (char c : token)
        if (c != 'x') s += c;
    std::string mid = s.size() > 3 ? s.substr(1, s.size() - 3) : "";
    int from = move_from(m);
    for (char c : mid) {
        if (c >= 'a' && c <= 'h' && (from & 7) != c - 'a') return false;
        if (c >= '1' && c <= '8' && (from >> 3) != '8' - c) return false;
    }
    return true;
}

// Number of legal root moves a piece token could mean: the piece type and destination of the
// move found, and the token's disambiguation.
int legal_readings(const std::string &token, int m) {
    int count = 0;
    for (int i = 0; i < first_move[1]; i++) {
        int g = gen_dat[i].m;
        if (piece[move_from(g)] != piece[move_from(m)] || move_to(g) != move_to(m) ||
            !matches_origin(token, g))
            continue;
        if (makemove(g)) {
            takeback();
            count++;
        }
    }
    return count;
}

// Plays one token on the engine's board and gives its book move; false with err filled when the
// token cannot go into a book.
bool play_token(std::string token, BookMove &out, std::string &err) {
    bool playable;
    std::string bare = read_book_token(token, playable);
    ply = 0;
    gen();
    int i = cherche_move(bare.c_str());
    if (i < 0) {
        err = "no move '" + token + "'";
        return false;
    }
    int m = gen_dat[i].m;
    if (move_bits(m) & FLAG_PROMOTE) {
        err = "promotion '" + token + "' cannot be stored: the book has no promotions";
        return false;
    }
    bool piece_token = strchr("NBRQK", bare[0]) != nullptr;
    if (piece_token && legal_readings(bare, m) != 1) {
        err = "ambiguous or illegal move '" + token + "' (give the origin file or square)";
        return false;
    }
    if (!makemove(m)) {
        err = "illegal move '" + token + "'";
        return false;
    }
    out = BookMove{book_square(move_from(m)), book_square(move_to(m)), playable};
    return true;
}

} // namespace

bool read_text_lines(const std::string &path, std::vector<std::string> &lines) {
    FILE *in = fopen(path.c_str(), "r");
    if (!in) return false;
    lines.clear();
    std::string text;
    for (int c = fgetc(in);; c = fgetc(in)) {
        if (c != '\n' && c != EOF) {
            if (c != '\r') text += (char)c;
            continue;
        }
        if (c == '\n' || !text.empty()) lines.push_back(text);
        if (c == EOF) break;
        text.clear();
    }
    fclose(in);
    return true;
}

// Every move must be followed by exactly one blank.
bool parse_line(const std::string &text, std::vector<BookMove> &line, std::string &err,
                const std::function<void()> &after_move) {
    set_initial_position();
    ComputeHashCode();
    line.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t blank = text.find(' ', pos);
        if (blank == std::string::npos || blank == pos) {
            err = "each move must be followed by exactly one blank";
            return false;
        }
        if ((int)line.size() == BOOK_LINE_PLIES) {
            err = "line longer than " + std::to_string(BOOK_LINE_PLIES) + " plies";
            return false;
        }
        BookMove m;
        if (!play_token(text.substr(pos, blank - pos), m, err)) return false;
        line.push_back(m);
        if (after_move) after_move();
        pos = blank + 1;
    }
    return true;
}
