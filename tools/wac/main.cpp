// vrk-wac [--all] [--mtdf] FILE SECONDS [COUNT]: searches each position of an EPD file for
// SECONDS seconds and counts those where the move found is one of the line's "bm" moves.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data.h"
#include "search_setup.h"

namespace {

int piece_of_letter(char c) {
    const char *letters = "PNBRQK";
    const char *p = c ? strchr(letters, c) : nullptr;
    return p ? (int)(p - letters) : -1;
}

// True when the standard algebraic text san names move m of the current position.
bool san_names(std::string san, int m) {
    while (!san.empty() && strchr("+#!?", san.back()))
        san.pop_back();
    int from = move_from(m), to = move_to(m), bits = move_bits(m);
    if (san.rfind("O-O", 0) == 0 || san.rfind("0-0", 0) == 0)
        return (bits & FLAG_CASTLE) && file_of(to) == (san.size() > 3 ? 2 : 6);
    int promote = 0;
    size_t eq = san.find('=');
    if (eq != std::string::npos) {
        promote = piece_of_letter(san[eq + 1]);
        san.erase(eq);
    } else if (san.size() > 2 && isupper((unsigned char)san.back())) {
        promote = piece_of_letter(san.back());
        san.pop_back();
    }
    if (san.size() < 2) return false;
    int type = isupper((unsigned char)san[0]) ? piece_of_letter(san[0]) : PAWN;
    if (square_at(san.c_str() + san.size() - 2) != to || piece[from] != type) return false;
    if (promote != ((bits & FLAG_PROMOTE) ? move_promote(m) : 0)) return false;
    // Whatever stands between the piece letter and the target square narrows the origin.
    for (size_t i = type == PAWN ? 0 : 1; i + 2 < san.size(); i++) {
        char c = san[i];
        if (c >= 'a' && c <= 'h' && file_of(from) != c - 'a') return false;
        if (c >= '1' && c <= '8' && 8 - row_of(from) != c - '0') return false;
    }
    return true;
}

// The best-move field of an EPD line: the words after "bm" up to the ';'.
std::string best_moves(const std::string &line) {
    size_t at = line.find(" bm ");
    if (at == std::string::npos) return "";
    size_t end = line.find(';', at);
    return line.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
}

bool solved(const std::string &bm, int m) {
    char buf[256];
    snprintf(buf, sizeof buf, "%s", bm.c_str());
    for (char *w = strtok(buf, " "); w; w = strtok(nullptr, " "))
        if (san_names(w, m)) return true;
    return false;
}

} // namespace

int main(int argc, char **argv) {
    Switches s;
    int next = parse_switches(argc, argv, &s);
    if (argc - next < 2) {
        fprintf(stderr, "usage: vrk-wac [--all] [--mtdf] FILE SECONDS [COUNT]\n");
        return 2;
    }
    FILE *f = fopen(argv[next], "r");
    if (!f) {
        fprintf(stderr, "cannot open %s\n", argv[next]);
        return 2;
    }
    int seconds = atoi(argv[next + 1]);
    int count = argc - next > 2 ? atoi(argv[next + 2]) : 1 << 30;
    search_setup(s);
    int n = 0, ok = 0;
    char line[512];
    while (n < count && fgets(line, sizeof line, f)) {
        std::string text = line, bm = best_moves(text);
        if (bm.empty()) continue;
        setup_position(text);
        max_time = (unsigned)seconds * 1000;
        max_depth = 40;
        stop_depth = 1;
        last_score = 0;
        quiet_think();
        bool good = pv[0][0] && solved(bm, pv[0][0]);
        ok += good;
        printf("%3d %-6s %-10s %s\n", ++n, move_str(pv[0][0]), bm.c_str(), good ? "ok" : "-");
        fflush(stdout);
    }
    fclose(f);
    printf("\nSolved %d of %d\n", ok, n);
    return 0;
}
