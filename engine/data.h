// Constant tables of the board (defined in data.cpp).
#pragma once

extern const int mailbox[120];
extern const int mailbox64[64];
extern const int slide[6];
extern const int offsets[6];
extern const int offset[6][8];
extern const int castle_mask[64];
extern const char piece_char[7];
extern const int init_color[64];
extern const int init_piece[64];
extern const int flip[64];
extern const int piece_value[7];

// Names of the squares the castling rules use (a8 = 0, h1 = 63).
// clang-format off
enum {
    A8 = 0,  B8, C8, D8, E8, F8, G8, H8,
    A1 = 56, B1, C1, D1, E1, F1, G1, H1
};
// clang-format on

// Square helpers: file 0 = a, row 0 = the eighth rank.
inline int file_of(int sq) {
    return sq & 7;
}
inline int row_of(int sq) {
    return sq >> 3;
}
// True when text begins with a file letter and a rank digit ("e4").
inline bool names_square(const char *text) {
    return text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8';
}
// The square of a file letter and rank digit. Other characters give a number that names no
// square (or another one): callers that take any text check it with names_square first.
inline int square_at(const char *text) {
    return (text[0] - 'a') + ('8' - text[1]) * 8;
}
