// vrk-rebelbook: writes the book's random tables and builds Rebel-format books from text files of
// opening lines.
//
//   vrk-rebelbook random OUTDIR                  random1.bin and random2.bin
//   vrk-rebelbook tournament|main LINES.txt OUT  one book (a tournament book ends in FF FF)
//   vrk-rebelbook all TEXTDIR OUTDIR             the tables, tourbook.bin and mainbook.bin
//
// A text holds one variation per line from the initial position: short algebraic moves, each
// followed by one blank, as the console's makebook reads them. A '+' is ignored; a trailing '?'
// keeps the move in the tree but marks it never to be played. Empty lines are skipped.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board.h"
#include "book_tree.h"
#include "keys.h"
#include "openings.h"

namespace {

// splitmix64, from a fixed seed: the tables must come out the same on every build.
constexpr uint64_t RANDOM_SEED = 0x7262626F6F6B3031ULL;

uint64_t splitmix64(uint64_t &state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

bool write_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    size_t n = fwrite(bytes.data(), 1, bytes.size(), f);
    bool ok = fclose(f) == 0 && n == bytes.size();
    if (!ok) fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

bool write_random_tables(const std::string &dir) {
    uint64_t state = RANDOM_SEED;
    for (const char *name : {"random1.bin", "random2.bin"}) {
        std::vector<uint8_t> bytes;
        for (int k = 0; k < RANDOM_ENTRIES; k++) {
            uint32_t v = (uint32_t)(splitmix64(state) >> 32);
            for (int b = 0; b < 4; b++)
                bytes.push_back((uint8_t)(v >> (8 * b)));
        }
        if (!write_file(dir + "/" + name, bytes)) return false;
    }
    return true;
}

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

// Reads one text line into book moves; every move must be followed by exactly one blank.
bool parse_line(const std::string &text, std::vector<BookMove> &line, std::string &err) {
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
        pos = blank + 1;
    }
    return true;
}

bool build_book(const std::string &in_path, const std::string &out_path, bool tournament) {
    FILE *in = fopen(in_path.c_str(), "r");
    if (!in) {
        fprintf(stderr, "cannot read %s\n", in_path.c_str());
        return false;
    }
    BookTree tree;
    std::vector<BookMove> line;
    std::string text;
    int number = 0, lines = 0, errors = 0, c;
    do {
        c = fgetc(in);
        if (c != '\n' && c != EOF) {
            if (c != '\r') text += (char)c;
            continue;
        }
        number++;
        std::string err;
        if (!text.empty() && parse_line(text, line, err)) {
            tree.add_line(line);
            lines++;
        } else if (!text.empty()) {
            fprintf(stderr, "%s:%d: %s\n", in_path.c_str(), number, err.c_str());
            errors++;
        }
        text.clear();
    } while (c != EOF);
    fclose(in);
    if (errors) return false;
    std::vector<uint8_t> bytes = tree.serialise(tournament);
    printf("%s: %d lines, %zu records\n", out_path.c_str(), lines, bytes.size() / 2);
    return write_file(out_path, bytes);
}

int usage() {
    fprintf(stderr, "usage: vrk-rebelbook random OUTDIR\n"
                    "       vrk-rebelbook tournament|main LINES.txt OUT.bin\n"
                    "       vrk-rebelbook all TEXTDIR OUTDIR\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    bool ok;
    if (cmd == "random" && argc == 3) {
        ok = write_random_tables(argv[2]);
    } else if ((cmd == "tournament" || cmd == "main") && argc == 4) {
        ok = build_book(argv[2], argv[3], cmd == "tournament");
    } else if (cmd == "all" && argc == 4) {
        std::string text = argv[2], out = argv[3];
        // Every book is checked even when an earlier one fails, so that one run lists all errors.
        bool tables = write_random_tables(out);
        bool tour = build_book(text + "/tourbook.txt", out + "/tourbook.bin", true);
        bool main_book = build_book(text + "/mainbook.txt", out + "/mainbook.bin", false);
        ok = tables && tour && main_book;
    } else {
        return usage();
    }
    return ok ? 0 : 1;
}
