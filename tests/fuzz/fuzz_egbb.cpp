// Bitbase files: the data (after three bytes choosing the table, the load option and the cache
// size) is written under a real table name into an otherwise empty directory, the directory is
// loaded with load_egbb_5men, and positions of that material are probed for both colours and
// both sides to move (the side without a file answers by its one-ply search).
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "egbbdll.h"
#include "fuzz_util.h"

namespace {

using namespace egbb_prober;

struct Table {
    const char *stem;
    int pieces[3]; // white prober codes, 0 when absent
};

const Table TABLES[] = {
    {"kqk", {_WQUEEN, 0, 0}},       {"krk", {_WROOK, 0, 0}},
    {"kbk", {_WBISHOP, 0, 0}},      {"knk", {_WKNIGHT, 0, 0}},
    {"kpk", {_WPAWN, 0, 0}},        {"kbnk", {_WBISHOP, _WKNIGHT, 0}},
    {"kqkr", {_WQUEEN, _BROOK, 0}}, {"kpkp", {_WPAWN, _BPAWN, 0}},
    {"krpk", {_WROOK, _WPAWN, 0}},  {"kqqk", {_WQUEEN, _WQUEEN, 0}},
};
constexpr int N_TABLES = sizeof TABLES / sizeof TABLES[0];

uint32_t lcg_state;
int next_square() {
    lcg_state = lcg_state * 1103515245u + 12345u;
    return (int)((lcg_state >> 16) & 63);
}

int colour_flipped(int p) {
    return p == 0 ? 0 : p <= 6 ? p + 6 : p - 6;
}

bool adjacent(int a, int b) {
    int df = (a & 7) - (b & 7), dr = (a >> 3) - (b >> 3);
    return df >= -1 && df <= 1 && dr >= -1 && dr <= 1;
}

// A position of the material with every square distinct, kings apart and pawns off the first
// and last ranks; false when the draw missed.
bool draw_position(const int *pieces, int *wk, int *bk, int *sq) {
    *wk = next_square();
    *bk = next_square();
    if (*wk == *bk || adjacent(*wk, *bk)) return false;
    for (int i = 0; i < 3; i++) {
        sq[i] = 0;
        if (!pieces[i]) continue;
        sq[i] = next_square();
        if (sq[i] == *wk || sq[i] == *bk) return false;
        for (int j = 0; j < i; j++)
            if (pieces[j] && sq[j] == sq[i]) return false;
        if (piece_type(pieces[i]) == PAWN && (sq[i] < 8 || sq[i] >= 56)) return false;
    }
    return true;
}

void probe_material(const int *pieces) {
    int wk, bk, sq[3];
    for (int k = 0; k < 48; k++) {
        if (!draw_position(pieces, &wk, &bk, sq)) continue;
        for (int player = 0; player < 2; player++)
            probe_egbb_5men(player, wk, bk, pieces[0], sq[0], pieces[1], sq[1], pieces[2], sq[2]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return -1;
    const Table &t = TABLES[(data[0] & 0x7F) % N_TABLES];
    const char side = data[0] & 0x80 ? 'b' : 'w';
    const int options = data[1] & 3;
    const int cache_bytes = (data[2] & 3) * INFO_SIZE;
    const std::string name = std::string("egbb/") + t.stem + "." + side + ".cmp";
    mkdir("egbb", 0755); // the first time only; later it exists
    fuzz_write_file(name.c_str(), data + 3, size - 3);
    load_egbb_5men("egbb/", cache_bytes, options);
    lcg_state = 1;
    probe_material(t.pieces);
    int flipped[3];
    for (int i = 0; i < 3; i++)
        flipped[i] = colour_flipped(t.pieces[i]);
    probe_material(flipped);
    std::remove(name.c_str());
    return 0;
}
