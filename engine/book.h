// The Rebel-format opening book reader, with its own board (book.cpp).
//
// The book board is 8 columns of 10 cells (index = file * 10 + rank, rank 1..8; cells with rank
// 0 or 9 are borders). Positions are identified by the pair of 32-bit keys HK1/HK2, the XOR of
// the random-table entries of every occupied cell.
#pragma once
#include <cstdint>

// Book-board piece codes: 0 border, 1 empty, 2..7 white P N B R Q K, 8..13 black p n b r q k.
constexpr int BOOK_BORDER = 0, BOOK_EMPTY = 1, BOOK_WPAWN = 2, BOOK_WKING = 7, BOOK_BPAWN = 8,
              BOOK_BKING = 13;
constexpr int BOOK_CELLS = 80;
constexpr int RANDOM_ENTRIES = 1120; // 14 codes x 80 cells, per random table

// Record flags: first byte bit 6 last alternative, bit 7 end of line; second byte >= 64 marks a
// move that may be chosen.
constexpr int REC_LAST_ALT = 0x40, REC_END_LINE = 0x80, REC_BOOK_MOVE = 0x40;

// Plies of one book line the lookup can follow; a deeper line ends the scan of its book.
constexpr int BOOK_LINE_PLIES = 256;
// Distinct candidate moves one lookup keeps; further ones are ignored.
constexpr int BOOK_MAX_CANDIDATES = 256;

// `Error` codes.
enum {
    BOOK_OK = 0,
    BOOK_NO_TOURNAMENT = 1,
    BOOK_NO_RANDOM = 2,
    BOOK_NO_MAIN = 3,
    BOOK_BAD_POSITION = 3,
    BOOK_EMPTY_MAIN = 4
};

// The book board, in the cell codes above; BOEK_BEGIN sets it to the initial position and BOEKIN
// plays a move on it.
extern signed char _BORD[BOOK_CELLS];
// The random tables of random1.bin and random2.bin, entry code * 80 + cell.
extern uint32_t RANDOM1[RANDOM_ENTRIES], RANDOM2[RANDOM_ENTRIES];
// The keys of the book board: the XOR of RANDOM1 (HK1) and RANDOM2 (HK2) over its occupied cells,
// kept by BOEKIN, computed afresh by MAKE_HASHKEY.
extern uint32_t HK1, HK2;
// The move BOEKIN plays next: its origin (XD) and destination (XE) cells.
extern int XD, XE;
// The status of the last load or lookup, one of the codes above.
extern int Error;

// Loads random1.bin, random2.bin and both books (tournament, main); seeds the runtime generator
// with the time. Missing files end the program with status 1.
void init_book();
int INITIALIZE(const char *tournament_path, const char *main_path);
void CLOSE_BOOK();

void BOEK_BEGIN();
void MAKE_HASHKEY();
void BOEKIN();

// Chooses a book move for the position (FEN placement and side letter); from/to receive 3-byte
// square texts such as "E2", empty when there is none; *count the number of candidates.
int FIND_OPENING(const char *position, char *from, char *to, int *count);

// The record tree of a book image of `size` bytes (terminators included): end_of_data tells
// whether the record at pos ends the data (a tournament book also ends at a record whose second
// and following bytes are FF); walk_book follows the lines depth first, calling visit at every
// line end with the line's first and second bytes by ply and the ply of its last record.
bool end_of_data(const unsigned char *book, long size, long pos, bool tournament);
using BookLineVisitor = void (*)(const unsigned char *first, const unsigned char *second, int last,
                                 void *ctx);
void walk_book(const unsigned char *book, long size, bool tournament, BookLineVisitor visit,
               void *ctx);

// The candidate list of the last lookup, in order of discovery (tests and diagnostics).
int book_candidate_count();
void book_candidate(int i, char *from, char *to);
// Book square number (0 = a1 .. 63 = h8) of an engine square (0 = a8 .. 63 = h1).
inline int book_square(int sq) {
    return sq ^ 56;
}
