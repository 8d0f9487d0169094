// Bitbase files: the data (after three bytes choosing the table, the load option and the cache
// size) is written under a real table name into an otherwise empty directory, the directory is
// loaded with load_egbb_5men, and positions of that material are probed for both colours and
// both sides to move (the side without a file answers by its one-ply search).
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sys/stat.h>

#include "fuzz_util.h"
#include "prober_internal.h"

namespace {

using namespace egbb_prober;

// The pieces of each table, white leading (the first input byte picks one).
const int TABLES[][3] = {
    {WQUEEN, 0, 0},    {WROOK, 0, 0},         {WBISHOP, 0, 0},    {WKNIGHT, 0, 0},
    {WPAWN, 0, 0},     {WBISHOP, WKNIGHT, 0}, {WQUEEN, BROOK, 0}, {WPAWN, BPAWN, 0},
    {WROOK, WPAWN, 0}, {WQUEEN, WQUEEN, 0},
};

uint32_t lcg_state;
int next_square() {
    lcg_state = lcg_state * 1103515245u + 12345u;
    return (int)((lcg_state >> 16) & 63);
}

// A position of the material with every square distinct, kings apart and pawns off the first
// and last ranks; false when the draw missed.
bool draw_position(const int *pieces, int &wk, int &bk, int *sq) {
    wk = next_square();
    bk = next_square();
    if (std::abs(wk % 8 - bk % 8) <= 1 && std::abs(wk / 8 - bk / 8) <= 1) return false;
    uint64_t used = 1ull << wk | 1ull << bk;
    for (int i = 0; i < 3; i++) {
        sq[i] = pieces[i] ? next_square() : 0;
        if (!pieces[i]) continue;
        if (used >> sq[i] & 1 || (piece_type(pieces[i]) == PAWN && (sq[i] < 8 || sq[i] >= 56)))
            return false;
        used |= 1ull << sq[i];
    }
    return true;
}

// Positions of the material and of its colour flip, for both sides to move.
void probe_material(const int *white) {
    lcg_state = 1;
    for (int flip = 0; flip < 2; flip++) {
        int pc[3], wk, bk, sq[3];
        for (int i = 0; i < 3; i++)
            pc[i] = !flip || !white[i] ? white[i] : white[i] <= 6 ? white[i] + 6 : white[i] - 6;
        for (int k = 0; k < 48; k++)
            if (draw_position(pc, wk, bk, sq))
                for (int player = 0; player < 2; player++)
                    probe_egbb_5men(player, wk, bk, pc[0], sq[0], pc[1], sq[1], pc[2], sq[2]);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return -1;
    const int *white = TABLES[(data[0] & 0x7F) % std::size(TABLES)];
    char name[64] = "egbb/";
    table_name(name + 5, data[0] >> 7, white[0], white[1], white[2]);
    mkdir("egbb", 0755); // the first time only; later it exists
    fuzz_write_file(name, data + 3, size - 3);
    load_egbb_5men("egbb/", (data[2] & 3) * INFO_SIZE, data[1] & 3);
    probe_material(white);
    std::remove(name);
    return 0;
}
