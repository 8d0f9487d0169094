// The book in play (the Rebel-format book's answer turned into a generated move) and the book
// maker, which checks short algebraic opening lines against the move generator and writes them
// in coordinate notation to vrkpers.opn.
#include "openings.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "board.h"
#include "book.h"
#include "game.h"
#include "notation.h"
#include "platform.h"
#include "session.h"

namespace {

const char PERSONAL_BOOK[] = "vrkpers.opn";
constexpr int TOKEN_MAX = 14; // characters of one move token

// Conditions a generated move must meet to be the move an algebraic text denotes. ANY (or 0 for
// the flag sets) leaves a condition out; a value read from a malformed text may be any other
// number, even negative, and then matches nothing.
constexpr int ANY = INT_MIN;
struct MoveQuery {
    int all_flags = 0;   // every one of these flags
    int any_flags = 0;   // at least one of these flags
    int to = ANY;        // destination square
    int to_file = ANY;   // destination file (castling)
    int from_file = ANY; // origin file, 0 = a
    int from_row = ANY;  // origin row, 0 = the eighth rank
    int promote = ANY;   // promotion piece type
    int type = ANY;      // piece type on the origin square
};

bool agrees(int wanted, int actual) {
    return wanted == ANY || wanted == actual;
}

bool meets(const MoveQuery &q, int m) {
    int bits = move_bits(m), from = move_from(m), to = move_to(m);
    return (bits & q.all_flags) == q.all_flags && (!q.any_flags || (bits & q.any_flags)) &&
           agrees(q.to, to) && agrees(q.to_file, to & 7) && agrees(q.from_file, from & 7) &&
           agrees(q.from_row, from >> 3) && agrees(q.promote, move_promote(m)) &&
           agrees(q.type, piece[from]);
}

// Index of the first root move meeting the query, -1 when none does.
int first_meeting(const MoveQuery &q) {
    for (int i = 0; i < first_move[1]; i++)
        if (meets(q, gen_dat[i].m)) return i;
    return -1;
}

// Piece type of a letter; anything but N B R Q K means a pawn.
int letter_type(char c) {
    static const char LETTERS[] = "NBRQK";
    const char *l = c ? strchr(LETTERS, c) : nullptr;
    return l ? KNIGHT + (int)(l - LETTERS) : PAWN;
}

// The algebraic text with its length; characters past the end read as NUL.
struct Text {
    const char *s;
    int len;
    char operator[](int i) const { return i < len ? s[i] : 0; }
    // Engine square of the file letter at i and the rank digit after it (may lie off the board,
    // then it matches nothing).
    int square(int i) const { return ((*this)[i] - 'a') + ('8' - (*this)[i + 1]) * 8; }
    int file(int i) const { return (*this)[i] - 'a'; }
    int row(int i) const { return '8' - (*this)[i]; }
};

// Rows 7 to 12: a piece move chosen by the text's length alone.
int piece_move(const Text &t, int type, bool capture) {
    MoveQuery q;
    q.type = type;
    if (capture) q.all_flags = FLAG_CAPTURE;
    switch (t.len) {
    case 3:
        q.to = t.square(1);
        break; // Nf3
    case 4:    // Nxf3, Nbd2
        q.to = t.square(2);
        if (!capture) q.from_file = t.file(1);
        break;
    case 5: // Nbxd2, Ng1f3
        q.to = t.square(3);
        q.from_file = t.file(1);
        if (!capture) q.from_row = t.row(2);
        break;
    case 6: // Ng1xf3
        if (!capture) return -1;
        q.to = t.square(4);
        q.from_file = t.file(1);
        q.from_row = t.row(2);
        break;
    default:
        return -1;
    }
    return first_meeting(q);
}

} // namespace

gen_rec *choose_book_move() {
    return choose_book_move(true);
}

int cherche_move(const char *text) {
    Text t{text, (int)strlen(text)};
    bool promotion = strchr(text, '=') != nullptr;
    bool capture = strchr(text, 'x') != nullptr;
    int type = letter_type(promotion ? (t.len == 4 ? t[3] : t[5]) : t[0]);
    int found = -1;
    MoveQuery q;
    if (t[0] == 'O' && (t.len == 3 || t.len == 5)) { // O-O, O-O-O
        q.all_flags = FLAG_CASTLE;
        q.to_file = t.len == 3 ? 6 : 2;
        found = first_meeting(q);
    } else if (promotion && (t.len == 4 || t.len == 6)) { // e8=Q, dxe8=Q
        q.all_flags = FLAG_PROMOTE;
        q.promote = type;
        q.to = t.square(0);
        if (t.len == 6) {
            q.all_flags |= FLAG_CAPTURE;
            q.to = t.square(2);
            q.from_file = t.file(0);
        }
        found = first_meeting(q);
    }
    if (found < 0 && type == PAWN) {
        q = MoveQuery();
        if (capture) { // exd5
            q.all_flags = FLAG_CAPTURE;
            q.any_flags = FLAG_PAWN | FLAG_DOUBLE | FLAG_EP;
            q.to = t.square(2);
            q.from_file = t.file(0);
        } else { // e4
            q.any_flags = FLAG_PAWN | FLAG_DOUBLE;
            q.to = t.square(0);
        }
        found = first_meeting(q);
    }
    return found >= 0 ? found : piece_move(t, type, capture);
}

gen_rec *choose_book_move(bool announce) {
    char from[3], to[3];
    int count = 0;
    ply = 0;
    gen();
    get_current_fen(EPD);
    int code = FIND_OPENING(EPD, from, to, &count);
    if (announce) {
        if (code) printf("Something went wrong, error-code %d", code);
        printf("Opening move found:%s%s\n", from, to);
    }
    if (!from[0] || !to[0]) return nullptr;
    int f = (from[0] - 'A') + ('8' - from[1]) * 8;
    int d = (to[0] - 'A') + ('8' - to[1]) * 8;
    // The first generated promotion stands for all four.
    for (int i = 0; i < first_move[1]; i++)
        if (move_from(gen_dat[i].m) == f && move_to(gen_dat[i].m) == d) return &gen_dat[i];
    return nullptr;
}

int legal_book_move(bool announce) {
    const gen_rec *g = choose_book_move(announce);
    if (!g || !makemove(g->m)) return 0;
    takeback();
    return g->m;
}

int play_book_move() {
    const int m = legal_book_move(true);
    if (!m) return 0;
    makemove(m);
    add_opening_move(move_str(m));
    ply = 0;
    gen();
    return m;
}

namespace {

// Reads one byte of the book-making input. A byte 0xFF ends the input for good, like the end of
// the file; carriage returns are dropped so that files with DOS line ends read the same.
int next_char(FILE *in) {
    int c = fgetc(in);
    while (c == '\r')
        c = fgetc(in);
    if (c == 0xFF) {
        fseek(in, 0, SEEK_END);
        return EOF;
    }
    return c;
}

// A variation ends: the game goes back to the start and the output line is closed.
void end_variation(FILE *out, int *variations) {
    new_game();
    ++*variations;
    fputc('\n', out);
}

// Looks one token up in the current position and plays it; false when the variation is cut.
bool play_token(const char *token, FILE *out) {
    printf("%s => ", token);
    if (hply >= MAX_GAME_PLIES) return false; // the game's move stack is full: cut the line
    ply = 0;
    gen();
    int i = cherche_move(token);
    if (i < 0 || (move_bits(gen_dat[i].m) & FLAG_PROMOTE)) return false;
    const char *coord = move_str(gen_dat[i].m);
    printf("%s\n", coord);
    fputs(coord, out);
    makemove(gen_dat[i].m);
    return true;
}

} // namespace

void makebook(const char *path) {
    FILE *in = fopen(path, "r");
    if (!in) {
        printf("File %s not found !!\n", path);
        return;
    }
    FILE *out = fopen(PERSONAL_BOOK, "w");
    if (!out) {
        printf("Cannot create %s\n", PERSONAL_BOOK);
        fclose(in);
        return;
    }
    int variations = 0, cut = 0, len = 0, c;
    char token[TOKEN_MAX + 1] = "";
    while ((c = next_char(in)) != EOF) {
        if (c == '\n') {
            end_variation(out, &variations);
        } else if (c == ' ') {
            if (!play_token(token, out)) {
                while ((c = next_char(in)) != EOF && c != '\n') {
                }
                end_variation(out, &variations);
                cut++;
            }
            len = 0;
        } else if (c != '+' && len < TOKEN_MAX) {
            token[len++] = (char)c;
        }
        token[len] = 0;
    }
    printf("\nStats: %d variations, %d variations killees\n", variations, cut);
    fclose(in);
    if (!close_written(out)) printf("Cannot write %s\n", PERSONAL_BOOK);
}
