// FEN placement and coordinate moves: an EPD-like first line "placement side castling" is set up
// with set_fen, every generated move is made and taken back (with the replies to the legal ones),
// the positions are evaluated, the key text is written, and the second line is read as a
// coordinate move.
#include <cstdio>
#include <cstring>

#include "board.h"
#include "eval.h"
#include "fuzz_util.h"
#include "notation.h"

namespace {

void walk_moves() {
    for (int i = first_move[0]; i < first_move[1]; i++) {
        int m = gen_dat[i].m;
        if (!makemove(m)) continue;
        eval();
        gen();
        for (int j = first_move[1]; j < first_move[2]; j++)
            if (makemove(gen_dat[j].m)) takeback();
        takeback();
        San(m);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text = fuzz_text(data, size);
    size_t eol = text.find('\n');
    std::string line = text.substr(0, eol);
    std::string move = eol == std::string::npos ? "" : text.substr(eol + 1);

    char placement[200] = "", side_word[200] = "", castle_word[200] = "";
    sscanf(line.c_str(), "%199s %199s %199s", placement, side_word, castle_word);
    fuzz_set_fen(placement, side_word, castle_word);
    eval();
    walk_moves();

    char fen[200];
    get_current_fen(fen);
    print_board();
    int i = parse_move(move.c_str());
    if (i >= 0 && makemove(gen_dat[i].m)) takeback();
    return 0;
}
