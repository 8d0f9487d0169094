// Rebel-format books and random tables: the data holds a tournament book, a main book and a
// first random table (each preceded by its length, two bytes little-endian; an empty table part
// keeps the real table, so that the lookups find the books' positions), loaded with INITIALIZE;
// then FIND_OPENING is asked about a few positions and about the text that follows the parts.
#include <fstream>
#include <iterator>
#include <string>

#include "book.h"
#include "fuzz_util.h"

namespace {

const char *const POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -",
    "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -",
    "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq -",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -",
};

// Takes a part of the data whose length stands in its first two bytes.
std::string take_part(const uint8_t *&data, size_t &size) {
    if (size < 2) {
        size = 0;
        return "";
    }
    size_t n = data[0] | (size_t)data[1] << 8;
    data += 2;
    size -= 2;
    if (n > size) n = size;
    std::string part(reinterpret_cast<const char *>(data), n);
    data += n;
    size -= n;
    return part;
}

void ask(const char *position) {
    char from[3], to[3];
    int count;
    FIND_OPENING(position, from, to, &count);
}

std::string read_file(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string real_random1 = read_file("random1.bin"); // before it is overwritten
    std::string tournament = take_part(data, size);
    std::string main_book = take_part(data, size);
    std::string random1 = take_part(data, size);
    if (random1.empty()) random1 = real_random1;
    fuzz_write_file("random1.bin", (const uint8_t *)random1.data(), random1.size());
    fuzz_write_file("tour.bin", (const uint8_t *)tournament.data(), tournament.size());
    fuzz_write_file("main.bin", (const uint8_t *)main_book.data(), main_book.size());
    if (INITIALIZE("tour.bin", "main.bin") > BOOK_NO_TOURNAMENT) return 0;
    for (const char *p : POSITIONS)
        ask(p);
    ask(fuzz_text(data, size).c_str());
    CLOSE_BOOK();
    return 0;
}
