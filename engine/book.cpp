// The Rebel-format opening books: loading the random tables and the two book images, the book's
// own board and keys, and the lookup that walks every book line from the initial position.
#include "book.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform.h"

signed char _BORD[BOOK_CELLS];
uint32_t RANDOM1[RANDOM_ENTRIES], RANDOM2[RANDOM_ENTRIES];
uint32_t HK1, HK2;
int XD, XE;
int Error;

namespace {

char TOERFILE[256];
char BOOKFILE[256];

// The book images, each followed by at least two spare bytes; _GB is null without a
// tournament book.
unsigned char *_GB, *_MNB;
long GB_SIZE, MNB_SIZE; // bytes allocated

// Keys of the initial position under the loaded random tables.
uint32_t START_HK1, START_HK2;

// Per file a..h: border, white piece, white pawn, four empties, black pawn, black piece, border.
// clang-format off
const signed char INITIAL_BORD[BOOK_CELLS] = {
    0, 5, 2, 1, 1, 1, 1, 8, 11, 0,  0, 3, 2, 1, 1, 1, 1, 8, 9, 0,
    0, 4, 2, 1, 1, 1, 1, 8, 10, 0,  0, 6, 2, 1, 1, 1, 1, 8, 12, 0,
    0, 7, 2, 1, 1, 1, 1, 8, 13, 0,  0, 4, 2, 1, 1, 1, 1, 8, 10, 0,
    0, 3, 2, 1, 1, 1, 1, 8, 9, 0,   0, 5, 2, 1, 1, 1, 1, 8, 11, 0};
// clang-format on

const char TA[] = "XAAAAAAAAXXBBBBBBBBXXCCCCCCCCXXDDDDDDDDXXEEEEEEEEXXFFFFFFFFXXGGGGGGGGXXHHHHHHHH";
const char TN[] = "X12345678XX12345678XX12345678XX12345678XX12345678XX12345678XX12345678XX12345678";

// Selection weights by candidate position; later candidates weigh 0 and are never chosen.
const int BOEKRND[13] = {8, 4, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

// FEN square (0 = a8) and book square number (0 = a1) to book-board index.
int BORDPOS(int i) {
    return (i % 8) * 10 + (8 - i / 8);
}
int BVELD(int n) {
    return (n % 8) * 10 + (n / 8) + 1;
}

// One lookup's candidate list.
int AZ;
unsigned char CAND_FROM[BOOK_MAX_CANDIDATES], CAND_TO[BOOK_MAX_CANDIDATES];

bool on_board(int idx) {
    return idx >= 1 && idx <= 78 && idx % 10 >= 1 && idx % 10 <= 8;
}

void xor_keys(int code, int idx) {
    HK1 ^= RANDOM1[code * 80 + idx];
    HK2 ^= RANDOM2[code * 80 + idx];
}

// Empties a cell the special moves name, ignoring cells off the board (corrupt books only).
void clear_cell(int idx) {
    if (on_board(idx)) _BORD[idx] = BOOK_EMPTY;
}

void put_cell(int idx, int code) {
    if (on_board(idx)) _BORD[idx] = (signed char)code;
}

enum ImageStatus { IMAGE_OK, IMAGE_MISSING, IMAGE_EMPTY, IMAGE_NO_MEMORY };

// Reads a whole file into a fresh buffer of its size + 2 zero bytes; *n receives the bytes read.
ImageStatus read_image(const char *path, unsigned char **buf, long *allocated, long *n) {
    FILE *f = fopen(path, "rb");
    if (!f) return IMAGE_MISSING;
    long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    if (size <= 0) {
        fclose(f);
        return IMAGE_EMPTY;
    }
    rewind(f);
    *buf = (unsigned char *)calloc((size_t)size + 2, 1);
    if (!*buf) {
        perror("memory failure");
        fclose(f);
        return IMAGE_NO_MEMORY;
    }
    *allocated = size + 2;
    int c;
    for (*n = 0; *n < size && (c = fgetc(f)) != EOF; ++*n)
        (*buf)[*n] = (unsigned char)c;
    fclose(f);
    return IMAGE_OK;
}

bool load_random_tables() {
    FILE *f1 = fopen("random1.bin", "rb");
    if (!f1) return false;
    FILE *f2 = fopen("random2.bin", "rb");
    if (!f2) {
        fclose(f1);
        return false;
    }
    // Entries beyond a short file's end stay 0.
    FILE *files[2] = {f1, f2};
    uint32_t *tables[2] = {RANDOM1, RANDOM2};
    for (int k = 0; k < RANDOM_ENTRIES; k++)
        for (int t = 0; t < 2; t++) {
            uint32_t v = 0;
            for (int b = 0; b < 4; b++) {
                int c = fgetc(files[t]);
                v |= (uint32_t)(c == EOF ? 0 : c) << (8 * b);
            }
            tables[t][k] = v;
        }
    fclose(f1);
    fclose(f2);
    return true;
}

int load_main_book(const char *path) {
    long n = 0;
    switch (read_image(path, &_MNB, &MNB_SIZE, &n)) {
    case IMAGE_MISSING:
        return BOOK_NO_MAIN;
    case IMAGE_EMPTY:
    case IMAGE_NO_MEMORY:
        return BOOK_EMPTY_MAIN;
    case IMAGE_OK:
        break;
    }
    if (n % 2) _MNB[n - 1] = 0xFF; // an odd last byte becomes part of the terminator
    _MNB[n] = _MNB[n + 1] = 0xFF;
    return BOOK_OK;
}

int load_tournament_book(const char *path) {
    long n = 0;
    switch (read_image(path, &_GB, &GB_SIZE, &n)) {
    case IMAGE_MISSING:
    case IMAGE_EMPTY:
        _GB = nullptr;
        return BOOK_NO_TOURNAMENT;
    case IMAGE_NO_MEMORY:
        return BOOK_EMPTY_MAIN;
    case IMAGE_OK:
        break;
    }
    // The file's last two bytes are its own terminator.
    for (long i = n - 2; i < n; i++)
        if (i >= 0) _GB[i] = 0xFF;
    return BOOK_OK;
}

// Puts the position of a FEN placement and side letter on the book board; -1 when the text
// cannot be read, else the side to move (0 white, 1 black).
int parse_position(const char *text) {
    static const char LETTERS[] = "PNBRQKpnbrqk";
    for (int i = 1; i <= 78; i++)
        if (_BORD[i] > 0) _BORD[i] = BOOK_EMPTY;
    int s = 0;
    const char *p = text;
    while (s <= 63) {
        char c = *p++;
        const char *l = c ? strchr(LETTERS, c) : nullptr;
        if (c == '/') continue;
        if (c >= '1' && c <= '8') {
            s += c - '0';
        } else if (l) {
            _BORD[BORDPOS(s)] = (signed char)(BOOK_WPAWN + (l - LETTERS));
            s++;
        } else {
            return -1;
        }
    }
    if (p[0] != ' ') return -1;
    if (p[1] == 'w') return 0;
    if (p[1] == 'b') return 1;
    return -1;
}

void add_candidate(int from, int to) {
    for (int i = 0; i < AZ; i++)
        if (CAND_FROM[i] == from && CAND_TO[i] == to) return;
    if (AZ >= BOOK_MAX_CANDIDATES) return;
    CAND_FROM[AZ] = (unsigned char)from;
    CAND_TO[AZ] = (unsigned char)to;
    AZ++;
}

// Replays the line ending at ply `last` from the initial position and returns the first ply
// whose position has the target keys, or -1. The position after the last move is not compared.
int match_ply(const unsigned char *first, const unsigned char *second, int last, uint32_t k1,
              uint32_t k2) {
    BOEK_BEGIN();
    HK1 = START_HK1;
    HK2 = START_HK2;
    for (int k = 0; k <= last; k++) {
        if (HK1 == k1 && HK2 == k2) return k;
        XD = BVELD(first[k] & 63);
        XE = BVELD(second[k] & 63);
        BOEKIN();
    }
    return -1;
}

struct ScanTarget {
    uint32_t k1, k2;
    int side_to_move;
};

// A line of the book has ended: its plies whose position has the target keys and the side's
// parity offer their move.
void collect_candidate(const unsigned char *first, const unsigned char *second, int last,
                       void *ctx) {
    const ScanTarget &t = *(const ScanTarget *)ctx;
    int k = match_ply(first, second, last, t.k1, t.k2);
    if (k >= 0 && second[k] >= REC_BOOK_MOVE && k % 2 == t.side_to_move)
        add_candidate(BVELD(first[k] & 63), BVELD(second[k] & 63));
}

// The weighted draw: v walks the candidates, losing each one's weight, until it is used up.
int choose_candidate(int r) {
    int v = (r % 9999) & 63;
    for (int i = 0;; i = (i + 1) % AZ) {
        v -= i < 13 ? BOEKRND[i] : 0;
        if (v <= 0) return i;
    }
}

// The ply of the record after a line's end: an alternative at the same ply, or after a last
// alternative the deepest earlier ply still waiting for alternatives.
int resume_ply(const unsigned char *first, int leaf) {
    if (first[leaf] < (REC_END_LINE | REC_LAST_ALT)) return leaf;
    for (int j = leaf - 1; j >= 0; j--)
        if (first[j] < REC_LAST_ALT) return j;
    return 0;
}

void square_text(int idx, char *out) {
    out[0] = TA[idx];
    out[1] = TN[idx];
    out[2] = 0;
}

} // namespace

void BOEK_BEGIN() {
    memcpy(_BORD, INITIAL_BORD, sizeof _BORD);
}

void MAKE_HASHKEY() {
    HK1 = HK2 = 0;
    for (int i = 1; i <= 78; i++)
        if (_BORD[i] > 1) xor_keys(_BORD[i], i);
}

void BOEKIN() {
    int p = _BORD[XD], c = _BORD[XE];
    xor_keys(p, XD);
    xor_keys(p, XE);
    _BORD[XE] = (signed char)p;
    _BORD[XD] = BOOK_EMPTY;
    if (c != BOOK_EMPTY) xor_keys(c, XE);
    // Castling: the king's two-file step brings its rook over.
    if (p == BOOK_WKING || p == BOOK_BKING) {
        if (XE - XD == 20) {
            clear_cell(XE + 10);
            put_cell(XE - 10, p - 2);
            MAKE_HASHKEY();
        } else if (XE - XD == -20) {
            clear_cell(XE - 20);
            put_cell(XE + 10, p - 2);
            MAKE_HASHKEY();
        }
    }
    // En passant: a diagonal pawn step to an empty cell takes the pawn beside it.
    if (p == BOOK_WPAWN && c == BOOK_EMPTY && XE - XD != 1 && XE - XD != 2) {
        clear_cell(XE - 1);
        MAKE_HASHKEY();
    }
    if (p == BOOK_BPAWN && c == BOOK_EMPTY && XD - XE != 1 && XD - XE != 2) {
        clear_cell(XE + 1);
        MAKE_HASHKEY();
    }
}

void CLOSE_BOOK() {
    free(_GB);
    free(_MNB);
    _GB = _MNB = nullptr;
    GB_SIZE = MNB_SIZE = 0;
}

int INITIALIZE(const char *tournament_path, const char *main_path) {
    CLOSE_BOOK();
    Error = BOOK_OK;
    if (!load_random_tables()) return Error = BOOK_NO_RANDOM;
    BOEK_BEGIN();
    MAKE_HASHKEY();
    START_HK1 = HK1;
    START_HK2 = HK2;
    if ((Error = load_main_book(main_path)) != BOOK_OK) return Error;
    return Error = load_tournament_book(tournament_path);
}

void init_book() {
    snprintf(TOERFILE, sizeof TOERFILE, "%s", "tourbook.bin");
    snprintf(BOOKFILE, sizeof BOOKFILE, "%s", "mainbook.bin");
    message("Chargement du rebel book: %s %s...\n", TOERFILE, BOOKFILE);
    rt_srand((unsigned)time(nullptr));
    if (INITIALIZE(TOERFILE, BOOKFILE) != BOOK_OK) {
        printf("Missing obliged file(s) RANDOM1.BIN and/or RANDOM2.BIN");
        exit(1);
    }
}

int FIND_OPENING(const char *position, char *from, char *to, int *count) {
    Error = BOOK_OK;
    from[0] = to[0] = 0;
    AZ = 0;
    int r = rt_rand();
    int side_to_move = parse_position(position);
    if (side_to_move < 0) {
        *count = 0;
        return Error = BOOK_BAD_POSITION;
    }
    MAKE_HASHKEY();
    // The main book is consulted only when the tournament book has nothing.
    ScanTarget target{HK1, HK2, side_to_move};
    if (_GB) walk_book(_GB, GB_SIZE, true, collect_candidate, &target);
    if (AZ == 0 && _MNB) walk_book(_MNB, MNB_SIZE, false, collect_candidate, &target);
    *count = AZ;
    if (AZ == 0) return Error;
    int i = choose_candidate(r);
    square_text(CAND_FROM[i], from);
    square_text(CAND_TO[i], to);
    return Error;
}

bool end_of_data(const unsigned char *book, long size, long pos, bool tournament) {
    if (pos + 1 >= size) return true;
    if (book[pos] == 0xFF && book[pos + 1] == 0xFF) return true;
    return tournament && book[pos + 1] == 0xFF && pos + 2 < size && book[pos + 2] == 0xFF;
}

void walk_book(const unsigned char *book, long size, bool tournament, BookLineVisitor visit,
               void *ctx) {
    unsigned char first[BOOK_LINE_PLIES], second[BOOK_LINE_PLIES];
    int ply = 0;
    for (long pos = 0; !end_of_data(book, size, pos, tournament); pos += 2) {
        first[ply] = book[pos];
        second[ply] = book[pos + 1];
        if (!(first[ply] & REC_END_LINE)) {
            if (++ply >= BOOK_LINE_PLIES) return; // deeper than we follow: end of this book
            continue;
        }
        visit(first, second, ply, ctx);
        ply = resume_ply(first, ply);
    }
}

int book_candidate_count() {
    return AZ;
}

void book_candidate(int i, char *from, char *to) {
    square_text(CAND_FROM[i], from);
    square_text(CAND_TO[i], to);
}
