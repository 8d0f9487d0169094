// The book maker's input: the data is written to a text file of opening lines and turned into
// the personal book by makebook, from the initial position.
#include "board.h"
#include "fuzz_util.h"
#include "openings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_write_file("lines.txt", data, size);
    set_initial_position();
    gen();
    makebook("lines.txt");
    return 0;
}
