// Text forms of positions and moves (defined in notation.cpp).
#pragma once
#include <string>

void set_fen(const char *placement, const char *side_field, const char *castle_field);
void get_current_fen(char *buf); // buf holds at least 200 bytes
const char *move_str(int m);     // static buffer, overwritten by each call
std::string San(int m);          // writes the coordinate form to stdout too
int parse_move(const char *s);   // index into gen_dat, -1 unknown move, -2 not a move
void print_board();
// Prints the root move list: each move's coordinate text followed by "|".
void print_move_list();
