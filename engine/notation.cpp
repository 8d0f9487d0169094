// Text forms of positions and moves: FEN set-up and output, coordinate and algebraic moves, the
// printed board.
#include "notation.h"

#include <cstdio>
#include <cstring>

#include "board.h"
#include "data.h"
#include "hash.h"
#include "settings.h"

void set_fen(const char *placement, const char *side_field, const char *castle_field) {
    for (int sq = 0; sq < 64; sq++)
        color[sq] = piece[sq] = EMPTY;
    side = side_field[0] == 'w' ? LIGHT : DARK;
    xside = side ^ 1;
    // Squares are filled in order from a8; rank separators and unknown characters are skipped.
    static const char letters[] = "PNBRQKpnbrqk";
    int sq = 0;
    for (const char *c = placement; *c; c++) {
        if (*c >= '1' && *c <= '8') {
            sq += *c - '0';
            continue;
        }
        const char *l = strchr(letters, *c);
        if (!l) continue;
        if (sq < 64) {
            int k = (int)(l - letters);
            color[sq] = k < 6 ? LIGHT : DARK;
            piece[sq] = k % 6;
        }
        sq++;
    }
    castle = 0;
    for (const char *c = castle_field; *c; c++) {
        if (*c == 'K') castle |= CASTLE_WK;
        if (*c == 'Q') castle |= CASTLE_WQ;
        if (*c == 'k') castle |= CASTLE_BK;
        if (*c == 'q') castle |= CASTLE_BQ;
    }
    sanitize_setup();
    finish_setup();
    if (hashing) HashReset();
    ComputeHashCode();
}

void set_position(const char *placement, const char *side_field, const char *castle_field,
                  const char *ep_field, int fifty_count) {
    set_fen(placement, side_field, castle_field);
    ep = names_square(ep_field) ? square_at(ep_field) : -1;
    fifty = fifty_count;
    hply = 0;
    ply = 0;
    first_move[0] = 0;
}

void get_current_fen(char *buf) {
    memset(buf, 0, 200);
    char *p = buf;
    for (int row = 0; row < 8; row++) {
        int run = 0;
        for (int f = 0; f < 8; f++) {
            int sq = row * 8 + f;
            if (color[sq] == EMPTY) {
                run++;
                continue;
            }
            if (run) *p++ = (char)('0' + run);
            run = 0;
            char c = piece_char[piece[sq]];
            *p++ = color[sq] == LIGHT ? c : (char)(c + 32);
        }
        if (run) *p++ = (char)('0' + run);
        if (row < 7) *p++ = '/';
    }
    *p++ = ' ';
    *p++ = side == LIGHT ? 'w' : 'b';
    *p++ = ' ';
    static const char rights[] = "KQkq";
    for (int i = 0; i < 4; i++)
        if (castle & (1 << i)) *p++ = rights[i];
    *p++ = ' ';
    *p = '-';
}

namespace {
inline char file_char(int sq) {
    return (char)('a' + file_of(sq));
}
inline int rank_digit(int sq) {
    return 8 - row_of(sq);
}
inline char rank_char(int sq) {
    return (char)('0' + rank_digit(sq));
}

// The coordinate text of a move, its promotion piece written with one of `letters` ("NBRQ").
const char *coordinate_text(int m, const char *letters) {
    static char str[16];
    int from = move_from(m), to = move_to(m);
    if (move_bits(m) & FLAG_PROMOTE)
        snprintf(str, sizeof str, "%c%d%c%d%c", file_char(from), rank_digit(from), file_char(to),
                 rank_digit(to), letters[(move_promote(m) - 1) & 3]);
    else
        snprintf(str, sizeof str, "%c%d%c%d", file_char(from), rank_digit(from), file_char(to),
                 rank_digit(to));
    return str;
}
} // namespace

const char *move_str(int m) {
    return coordinate_text(m, "NBRQ");
}

const char *uci_move_str(int m) {
    return coordinate_text(m, "nbrq");
}

std::string San(int m) {
    int from = move_from(m), to = move_to(m), bits = move_bits(m);
    printf("%c%c%c%c", file_char(from), rank_char(from), file_char(to), rank_char(to));
    if (bits & FLAG_CASTLE) return file_of(to) == 6 ? "O-O" : "O-O-O";

    std::string s;
    const std::string target{file_char(to), rank_char(to)};
    bool capture = bits & FLAG_CAPTURE;
    if (bits & FLAG_PROMOTE) {
        if (capture) s = std::string{file_char(from), 'x'};
        s += target + '=' + "NBRQ"[move_promote(m) - 1];
    } else if (piece[from] == PAWN) {
        if (capture) s = std::string{file_char(from), 'x'};
        s += target;
    } else {
        // Move 0, "no move", goes from a8 to a8, which may be empty: then it has no letter.
        if (piece[from] != EMPTY) s = piece_char[piece[from]];
        s += std::string{file_char(from), rank_char(from)};
        if (capture) s += 'x';
        s += target;
    }
    // A move the position refuses (possible only in an impossible set-up) is written without a
    // check mark, and nothing is taken back; a move that stays on its square is not made.
    if (from != to && makemove(m)) {
        if (in_check(side)) s += '+';
        takeback();
    }
    return s;
}

int parse_move(const char *s) {
    if (s[0] < 'a' || s[0] > 'h' || s[1] < '0' || s[1] > '9' || s[2] < 'a' || s[2] > 'h' ||
        s[3] < '0' || s[3] > '9')
        return -2;
    int from = square_at(s);
    int to = square_at(s + 2);
    for (int i = 0; i < first_move[1]; i++) {
        int m = gen_dat[i].m;
        if (move_from(m) != from || move_to(m) != to) continue;
        if (!(move_bits(m) & FLAG_PROMOTE)) return i;
        // The four promotions stand knight, bishop, rook, queen.
        switch (s[4]) {
        case 'n':
        case 'N':
            return i;
        case 'b':
        case 'B':
            return i + 1;
        case 'r':
        case 'R':
            return i + 2;
        default:
            return i + 3;
        }
    }
    return -1;
}

void print_board() {
    printf("\n8 ");
    for (int sq = 0; sq < 64; sq++) {
        if (color[sq] == EMPTY)
            printf(" .");
        else
            printf(" %c", color[sq] == LIGHT ? piece_char[piece[sq]] : piece_char[piece[sq]] + 32);
        if ((sq + 1) % 8 == 0 && sq != 63) printf("\n%d ", 7 - row_of(sq));
    }
    printf("\n\n   a b c d e f g h\n\n");
}

void print_move_list() {
    for (int k = first_move[0]; k < first_move[1]; k++)
        printf("%s|", move_str(gen_dat[k].m));
}
