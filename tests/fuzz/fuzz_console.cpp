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

// Refuses the commands that write files or read arbitrary ones, "uci" (the UCI loop has a target
// of its own, which keeps its table sizes small), and a mate search deeper than one move (it
// polls no input). A number ends where its digits end ("1mat 9" is "1", "mat", "9"), so every
// "mat" within a word counts.
bool acceptable(const std::string &text) {
    std::istringstream in(text);
    for (std::string w; in >> w;)
        if (w == "test" || w == "makebook" || w == "create_learn_file" || w == "clear_learn_file" ||
            w == "uci")
            return false;
    for (size_t at = text.find("mat"); at != std::string::npos; at = text.find("mat", at + 1))
        if (strtol(text.c_str() + at + 3, nullptr, 10) > 1) return false;
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
