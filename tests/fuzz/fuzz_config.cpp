// The configuration file: the data is written to vrk.rc and read with read_config, then the
// settings go where start-up sends them: the bitbase loader (from a directory holding no
// tables) and a three-ply search of the initial position with the search switches as read.
// Sizes are held back (hash tables of 1 MB and 64 KB, a bitbase cache of at most 64 MB): any
// size up to 2 GB is valid and would only measure the machine.
#include <cstring>

#include "board.h"
#include "egbb_glue.h"
#include "fuzz_util.h"
#include "search.h"
#include "settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_write_file("vrk.rc", data, size);
    read_config();
    // The path must come back as a terminated string within its buffer.
    if (strnlen(egbb_path, 255) == 255) __builtin_trap();
    hashing = mb_hash > 0;
    if (egbb) {
        if (egbb_cache > 64) egbb_cache = 64;
        strcpy(egbb_path, "none/");
        init_egbb();
    }
    learning = 0;
    set_initial_position();
    gen();
    fuzz_search(3); // with the bitbases on when asked, though none loaded
    egbb = 0;
    return 0;
}
