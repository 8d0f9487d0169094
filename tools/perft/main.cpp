// Move-generator check: counts the leaf nodes of the legal move tree.
//   vrk-perft FEN DEPTH [--divide]     one position
//   vrk-perft --suite FILE [MAXDEPTH]  lines "FEN ;D1 n ;D2 n ..."; exits 1 on any mismatch
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "board.h"
#include "keys.h"
#include "notation.h"
#include "settings.h"

static uint64_t perft(int depth) {
    if (depth == 0) return 1;
    gen();
    uint64_t n = 0;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        if (!makemove(gen_dat[i].m)) continue;
        n += perft(depth - 1);
        takeback();
    }
    return n;
}

static void setup(const std::string &fen) {
    std::istringstream in(fen);
    std::string placement, side_field = "w", castle_field = "-", ep_field = "-";
    in >> placement >> side_field >> castle_field >> ep_field;
    hashing = 0;
    set_position(placement.c_str(), side_field.c_str(), castle_field.c_str(), ep_field.c_str());
}

static double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

static int run_one(const std::string &fen, int depth, bool divide) {
    setup(fen);
    auto t0 = std::chrono::steady_clock::now();
    uint64_t total = 0;
    if (divide) {
        gen();
        for (int i = first_move[0]; i < first_move[1]; i++) {
            int m = gen_dat[i].m;
            if (!makemove(m)) continue;
            uint64_t n = perft(depth - 1);
            takeback();
            printf("%s %llu\n", move_str(m), (unsigned long long)n);
            total += n;
        }
    } else {
        total = perft(depth);
    }
    double s = seconds_since(t0);
    printf("nodes %llu time %.3f s nps %.0f\n", (unsigned long long)total, s,
           s > 0 ? total / s : 0.0);
    return 0;
}

static int run_suite(const char *path, int max_depth) {
    std::ifstream in(path);
    if (!in) {
        fprintf(stderr, "cannot open %s\n", path);
        return 2;
    }
    std::string line;
    int bad = 0, checked = 0;
    while (std::getline(in, line)) {
        size_t semi = line.find(';');
        if (semi == std::string::npos) continue;
        std::string fen = line.substr(0, semi);
        std::istringstream fields(line.substr(semi));
        std::string tag;
        uint64_t expected;
        char sep;
        while (fields >> sep >> tag >> expected) {
            int depth = atoi(tag.c_str() + 1);
            if (depth > max_depth) continue;
            setup(fen);
            uint64_t got = perft(depth);
            checked++;
            if (got != expected) {
                bad++;
                printf("MISMATCH %s depth %d: %llu expected %llu\n", fen.c_str(), depth,
                       (unsigned long long)got, (unsigned long long)expected);
            }
        }
    }
    printf("%d counts checked, %d mismatches\n", checked, bad);
    return bad ? 1 : 0;
}

int main(int argc, char **argv) {
    init_hash();
    if (argc >= 3 && !strcmp(argv[1], "--suite"))
        return run_suite(argv[2], argc >= 4 ? atoi(argv[3]) : 99);
    if (argc < 3) {
        fprintf(stderr,
                "usage: vrk-perft FEN DEPTH [--divide] | vrk-perft --suite FILE [MAXDEPTH]\n");
        return 2;
    }
    return run_one(argv[1], atoi(argv[2]), argc >= 4 && !strcmp(argv[3], "--divide"));
}
