// Text forms of positions and moves (defined in notation.cpp).
#pragma once
#include <string>

void set_fen(const char *placement, const char *side_field, const char *castle_field);
// The one set-up of a position from FEN fields: set_fen, then the en passant square of ep_field
// (none unless it names a square), the fifty-move counter, and an empty history (hply and ply 0).
// The moves are not generated.
void set_position(const char *placement, const char *side_field, const char *castle_field,
                  const char *ep_field = "-", int fifty_count = 0);
void get_current_fen(char *buf); // buf holds at least 200 bytes
const char *move_str(int m);     // static buffer, overwritten by each call
// The UCI form of a move: move_str's text with the promotion piece in lower case ("e7e8q"), in
// the same buffer.
const char *uci_move_str(int m);
std::string San(int m);        // writes the coordinate form to stdout too
int parse_move(const char *s); // index into gen_dat, -1 unknown move, -2 not a move
void print_board();
// Prints the root move list: each move's coordinate text followed by "|".
void print_move_list();
