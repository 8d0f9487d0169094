// FEN placement and coordinate moves: an EPD-like first line "placement side castling" is set up
// with set_position, every generated move is made and taken back (with the replies to the legal
// ones), the positions are evaluated, the key text is written, and the second line is read as a
// coordinate move.
#include <cstdio>

#include "board.h"
#include "eval.h"
#include "fuzz_util.h"
#include "notation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text = fuzz_text(data, size);
    const size_t eol = text.find('\n');
    char placement[200] = "", side_field[200] = "", castling[200] = "", fen[200];
    sscanf(text.substr(0, eol).c_str(), "%199s %199s %199s", placement, side_field, castling);
    fuzz_set_fen(placement, side_field, castling);
    eval();
    for (int i = first_move[0]; i < first_move[1]; i++) {
        if (!makemove(gen_dat[i].m)) continue;
        eval();
        gen();
        for (int j = first_move[1]; j < first_move[2]; j++)
            if (makemove(gen_dat[j].m)) takeback();
        takeback();
        San(gen_dat[i].m);
    }
    get_current_fen(fen);
    print_board();
    int i = parse_move(eol == std::string::npos ? "" : text.c_str() + eol + 1);
    if (i >= 0 && makemove(gen_dat[i].m)) takeback();
    return 0;
}
