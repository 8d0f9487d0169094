// Learn files: the data is written to vrk.lrn and opened with init_learn; the root moves of a
// few positions are looked up with rlearn, written back with wlearn, and a short search that
// consults the file runs on the first position.
#include "board.h"
#include "eval.h"
#include "fuzz_util.h"
#include "learn.h"
#include "settings.h"

namespace {

const char *const POSITIONS[][3] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "w", "KQkq"},
    {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR", "b", "KQkq"},
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", "w", "KQkq"},
};

void set_up(const char *const *fen) {
    fuzz_set_fen(fen[0], fen[1], fen[2]);
    set_hash();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_write_file("vrk.lrn", data, size);
    learning = 1;
    init_learn();
    CurrentStage = 0;
    for (const auto &fen : POSITIONS) {
        set_up(fen);
        for (int i = first_move[0]; i < first_move[1]; i++) {
            int m = gen_dat[i].m;
            for (int depth = 0; depth < 12; depth += 5)
                rlearn(depth, m);
            wlearn(5 + i % 8, (i * 37) % 200 - 100, m);
        }
    }
    set_up(POSITIONS[0]);
    fuzz_search(3);
    close_learn();
    learning = 0;
    return 0;
}
