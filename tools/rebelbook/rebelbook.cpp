// vrk-rebelbook: writes the book's random tables and builds Rebel-format books from text files of
// opening lines.
//
//   vrk-rebelbook random OUTDIR                  random1.bin and random2.bin
//   vrk-rebelbook tournament|main LINES.txt OUT  one book (a tournament book ends in FF FF)
//   vrk-rebelbook all TEXTDIR OUTDIR             the tables, tourbook.bin and mainbook.bin
//
// The texts are read as book_text.h describes; empty lines are skipped.
#include <cstdio>
#include <string>
#include <vector>

#include "book_text.h"
#include "book_tree.h"

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

bool build_book(const std::string &in_path, const std::string &out_path, bool tournament) {
    std::vector<std::string> texts;
    if (!read_text_lines(in_path, texts)) {
        fprintf(stderr, "cannot read %s\n", in_path.c_str());
        return false;
    }
    BookTree tree;
    std::vector<BookMove> line;
    int lines = 0, errors = 0;
    for (size_t i = 0; i < texts.size(); i++) {
        std::string err;
        if (texts[i].empty()) continue;
        if (parse_line(texts[i], line, err)) {
            tree.add_line(line);
            lines++;
        } else {
            fprintf(stderr, "%s:%zu: %s\n", in_path.c_str(), i + 1, err.c_str());
            errors++;
        }
    }
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
