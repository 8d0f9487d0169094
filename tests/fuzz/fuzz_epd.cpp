// EPD test files: the data is written to a file that the EPD test runner reads line by line,
// setting up and searching each of the first eight positions two plies deep.
#include "epd.h"
#include "fuzz_util.h"
#include "platform.h"
#include "session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_write_file("in.epd", data, size);
    max_depth = 2;
    input_use_text(""); // no input: the searches end at their depth
    test("in.epd", 0, 8);
    input_use_text(nullptr);
    return 0;
}
