// The protocol loop and its edit lines: xboard() after start-up reads the fuzz data as its
// standard input. A line "quit" is appended and stays unread while any search runs (moves,
// go, hint, analyze, pondering), so every search stops at its first input check.
#include <cstring>
#include <string>

#include "defs.h"
#include "fuzz_util.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "xboard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size) + "\nquit\n";
    // Driver state a previous run may have changed and start-up does not reset.
    computer_side = EMPTY;
    pondering = 1;
    anticipedmove = 0;
    stop_depth = 1;
    max_time = NO_TIME_LIMIT;
    max_depth = 40;
    post = THINK_SILENT;
    last_move[0] = anti_move[0] = '\0';
    input_use_text(text.c_str(), true);
    xboard();
    input_use_text(nullptr);
    return 0;
}
