// The UCI loop: uci() after start-up reads the fuzz data as its standard input. A line "quit" is
// appended; a search reads the lines after its "go" at its first input check (they count as
// arrived), so every search ends there, at the latest at the "quit".
#include <cctype>
#include <sstream>
#include <string>

#include "fuzz_util.h"
#include "game.h"
#include "platform.h"
#include "uci.h"

namespace {

// Refuses a line that names the hash tables or the bitbase cache with a number of two digits or
// more: each run would allocate and clear up to gigabytes.
bool acceptable(const std::string &text) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        for (char &c : line)
            c = (char)tolower((unsigned char)c);
        if (line.find("hash") == std::string::npos && line.find("cache") == std::string::npos)
            continue;
        for (size_t i = 0; i + 1 < line.size(); i++)
            if (isdigit((unsigned char)line[i]) && isdigit((unsigned char)line[i + 1]))
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size);
    if (!acceptable(text)) return -1;
    text += "\nquit\n";
    // The settings of vrk.rc and the tables at their sizes: a previous run may have set others.
    start_engine();
    input_use_text(text.c_str(), true);
    uci();
    input_use_text(nullptr);
    return 0;
}
