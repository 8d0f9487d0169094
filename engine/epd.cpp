// Diagnostics of the console: the EPD test runner, the duration formatter, the exchange test.
#include "epd.h"

#include <cstdio>
#include <cstring>

#include "board.h"
#include "notation.h"
#include "search.h"
#include "session.h"
#include "stats.h"

namespace {

// Reads one line of at most 199 characters; the rest of a longer line is skipped.
bool read_epd_line(FILE *f, char *line, size_t cap) {
    if (!fgets(line, (int)cap, f)) return false;
    if (!strchr(line, '\n')) {
        int c;
        while ((c = fgetc(f)) != EOF && c != '\n') {
        }
    }
    return true;
}

} // namespace

void test(const char *path, int n_sec, int nb_pos) {
    FILE *f = fopen(path, "r");
    if (!f) {
        printf("File %s not found !!\n", path);
        return;
    }
    FILE *log = fopen("vrk.log", "w");
    if (!log) {
        printf("Cannot write vrk.log !!\n");
        fclose(f);
        return;
    }
    analyzing = 1;
    if (n_sec < 1) n_sec = 1; // the node rate divides by it
    char line[200];
    for (int i = 1; i <= nb_pos && read_epd_line(f, line, sizeof line); i++) {
        char placement[200] = "", side_word[200] = "", castle_word[200] = "";
        printf("%s\n", line);
        sscanf(line, "%199s %199s %199s", placement, side_word, castle_word);
        printf("\n%d/%d => %s %s\n", i, nb_pos, placement, side_word);
        set_position(placement, side_word, castle_word);
        print_board();
        stop_depth = 1;
        max_time = (unsigned)n_sec * 1000;
        think(THINK_EPD);
        std::string san = San(pv[0][0]);
        const char *found = Time_clean(found_time);
        int rate = nodes / n_sec;
        printf("\n=> %d:%s (%s) %d [%d] %d nodes %d nps \n", i, san.c_str(), found, last_score,
               stop_depth, nodes, rate);
        fprintf(log, "%d:%s (%s) %d [%d] %d nodes %d nps \n", i, san.c_str(), found, last_score,
                stop_depth, nodes, rate);
        if (fflush(log) != 0) printf("Cannot write vrk.log !!\n");
    }
    if (fclose(log) != 0) printf("Cannot write vrk.log !!\n");
    fclose(f);
}

void testsee() {
    set_fen("1k1r3q/1ppn3p/p4b2/4p3/8/P2N2B1/1PP1R2P/2K1Q3", "w", "- - - -");
    print_board();
    get_current_fen(EPD);
    printf("FEN %s\n", EPD);
    ply = 0;
    gen();
    printf("%d", see(28));
}
