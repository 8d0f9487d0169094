// The console's word stream: the whole program after start-up (console_main) reads the fuzz data
// as its standard input. A word "bye" is appended and stays unread while any search runs, so
// every search stops at its first input check.
#include <cstdlib>
#include <sstream>
#include <string>

#include "board.h"
#include "console.h"
#include "fuzz_util.h"
#include "platform.h"
#include "search.h"
#include "session.h"

namespace {

// Refuses the commands that write files or read arbitrary ones, and a mate search deeper than
// one move (it polls no input).
bool acceptable(const std::string &text) {
    std::istringstream in(text);
    std::string w, prev;
    while (in >> w) {
        if (w == "test" || w == "makebook" || w == "create_learn_file" || w == "clear_learn_file")
            return false;
        if (prev == "mat" && strtol(w.c_str(), nullptr, 10) > 1) return false;
        prev = w;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size);
    if (!acceptable(text)) return -1;
    text += "\nbye\n";
    // Driver state a previous run may have changed and start-up does not reset.
    pondering = 1;
    anticipedmove = 0;
    stop_depth = 1;
    last_move[0] = anti_move[0] = '\0';
    input_use_text(text.c_str(), true);
    console_main();
    input_use_text(nullptr);
    return 0;
}
