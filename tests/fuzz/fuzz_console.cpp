// The console's word stream: the whole program after start-up (console_main) reads the fuzz data
// as its standard input. A word "bye" is appended and stays unread while any search runs, so
// every search stops at its first input check. Inputs naming a command that writes files or
// reads arbitrary ones (test, makebook, create_learn_file, clear_learn_file) are refused, and
// so is a mate search deeper than one move (it polls no input).
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "board.h"
#include "console.h"
#include "fuzz_util.h"
#include "platform.h"
#include "search.h"

namespace {

bool is_number_word(const std::string &w) {
    size_t i = (w[0] == '-' || w[0] == '+') ? 1 : 0;
    return i < w.size() && w[i] >= '0' && w[i] <= '9';
}

bool acceptable(const std::string &text) {
    static const char *const refused[] = {"test", "makebook", "create_learn_file",
                                          "clear_learn_file"};
    std::istringstream in(text);
    std::string w, prev;
    while (in >> w) {
        for (const char *r : refused)
            if (w == r) return false;
        if (prev == "mat" && is_number_word(w) && strtol(w.c_str(), nullptr, 10) > 1) return false;
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
    input_use_text(text.c_str());
    console_main();
    input_use_text(nullptr);
    return 0;
}
