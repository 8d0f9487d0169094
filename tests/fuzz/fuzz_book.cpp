// Rebel-format books and random tables: the data holds a tournament book, a main book and a
// first random table (each preceded by its length, two bytes little-endian; an empty table part
// keeps the real table, so that the lookups find the books' positions), loaded with INITIALIZE;
// then FIND_OPENING is asked about a few positions and about the text that follows the parts.
#include <algorithm>
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

// Writes the next part of the data, as long as its first two bytes say or as what is left.
size_t write_part(const char *path, const uint8_t *&data, size_t &size) {
    size_t n = size < 2 ? 0 : std::min(size - 2, (size_t)(data[0] | data[1] << 8));
    size_t used = size < 2 ? size : n + 2;
    fuzz_write_file(path, data + used - n, n);
    data += used;
    size -= used;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string real_random1(
        std::istreambuf_iterator<char>(std::ifstream("random1.bin", std::ios::binary).rdbuf()), {});
    write_part("tour.bin", data, size);
    write_part("main.bin", data, size);
    if (!write_part("random1.bin", data, size))
        fuzz_write_file("random1.bin", (const uint8_t *)real_random1.data(), real_random1.size());
    if (INITIALIZE("tour.bin", "main.bin") > BOOK_NO_TOURNAMENT) return 0;
    char from[3], to[3];
    int count;
    for (const char *p : POSITIONS)
        FIND_OPENING(p, from, to, &count);
    FIND_OPENING(fuzz_text(data, size).c_str(), from, to, &count);
    CLOSE_BOOK();
    return 0;
}
