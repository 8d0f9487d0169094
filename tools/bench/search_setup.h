// Engine set-up shared by the search tools (bench and the WAC run): the tables and switches a
// search needs without the console's start-up, and positions from EPD/FEN fields.
#pragma once
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "board.h"
#include "game.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"

struct Switches {
    int null_move = 0, razor = 0, futility = 0, lmr = 0, delta = 0, mtdf = 0;
};

// Every pruning on; the delta margin is the one the tools measure with.
inline Switches all_prunings() {
    Switches s;
    s.null_move = s.razor = s.futility = s.lmr = 1;
    s.delta = 100;
    return s;
}

// Reads "--all" and "--mtdf" from the command line; returns the index of the first other argument.
inline int parse_switches(int argc, char **argv, Switches *s) {
    int i = 1;
    for (; i < argc; i++) {
        if (!strcmp(argv[i], "--all")) {
            int mtdf = s->mtdf;
            *s = all_prunings();
            s->mtdf = mtdf;
        } else if (!strcmp(argv[i], "--mtdf"))
            s->mtdf = 1;
        else
            break;
    }
    return i;
}

// Tables and settings as after start-up with the given switches: 16 MB hash, 1 MB pawn hash,
// no learning, and no input, so that only the depth or the clock ends a search.
inline void search_setup(const Switches &s) {
    input_use_text("");
    fresh_engine(16, 1024);
    nulling_move = s.null_move;
    razor = s.razor;
    futility = s.futility;
    lmr = s.lmr;
    delta = s.delta;
    emtdf = s.mtdf;
    mtdf_window = 100;
    check_nodes = 10000;
    analyzing = 0;
    anticipedmove = 0;
}

// Sets up the position of the first four fields of a FEN or EPD line with an empty history.
inline void setup_position(const std::string &line) {
    char placement[128] = "", side_field[8] = "w", castle_field[8] = "-", ep_field[8] = "-";
    sscanf(line.c_str(), "%127s %7s %7s %7s", placement, side_field, castle_field, ep_field);
    set_position(placement, side_field, castle_field, ep_field);
    gen();
}

// A search without output: the root prints its new best moves in every mode, which the tools
// do not show.
inline void quiet_think() {
    fflush(stdout);
    int saved = dup(1), null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    close(null_fd);
    think(THINK_SILENT);
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
}
