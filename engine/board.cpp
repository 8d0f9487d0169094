// The position and the move stacks: generation, making and taking back moves, attack tests and
// the repetition scan.
#include "board.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "bits.h"
#include "data.h"
#include "hash.h"
#include "keys.h"

int color[64];
int piece[64];
int side, xside;
int castle;
int ep;
int fifty;
int ply;
int hply;
int king_position[2];
uint64_t hashcode;
uint32_t hash;
int null_move;
uint64_t piece_bb[2][6];
uint64_t color_bb[2];
int piece_count[2][6];

gen_rec gen_dat[GEN_STACK];
int first_move[MAX_PLY];
hist_rec hist_dat[HIST_STACK];

int history[64][64];
int bf_history[64][64];
int cnt_nm;

void set_initial_position() {
    for (int sq = 0; sq < 64; sq++) {
        color[sq] = init_color[sq];
        piece[sq] = init_piece[sq];
    }
    side = LIGHT;
    xside = DARK;
    castle = 15;
    ep = -1;
    fifty = 0;
    ply = 0;
    hply = 0;
    first_move[0] = 0;
    finish_setup();
    ComputeHashCode();
}

void sanitize_setup() {
    for (int sq = 0; sq < 64; sq++)
        if (piece[sq] == PAWN && (row_of(sq) == 0 || row_of(sq) == 7))
            color[sq] = piece[sq] = EMPTY;
    // King square, rook square, right.
    static const int homes[4][3] = {
        {E1, H1, CASTLE_WK}, {E1, A1, CASTLE_WQ}, {E8, H8, CASTLE_BK}, {E8, A8, CASTLE_BQ}};
    for (const auto &h : homes) {
        int c = h[2] <= CASTLE_WQ ? LIGHT : DARK;
        if (color[h[0]] != c || piece[h[0]] != KING || color[h[1]] != c || piece[h[1]] != ROOK)
            castle &= ~h[2];
    }
}

void finish_setup() {
    memset(piece_bb, 0, sizeof piece_bb);
    memset(color_bb, 0, sizeof color_bb);
    memset(piece_count, 0, sizeof piece_count);
    for (int sq = 0; sq < 64; sq++) {
        if (color[sq] == EMPTY) continue;
        piece_bb[color[sq]][piece[sq]] |= square_bit(sq);
        color_bb[color[sq]] |= square_bit(sq);
        piece_count[color[sq]][piece[sq]]++;
        if (piece[sq] == KING) king_position[color[sq]] = sq;
    }
}

// ---------------------------------------------------------------------------------------------
// Step tables

namespace {

// The lines of offset[QUEEN] along which a rook moves; a bishop moves along the others.
constexpr bool straight_line[8] = {false, true, false, true, true, false, true, false};
// The lines of a bishop, a rook and a queen in the order of offset[BISHOP], offset[ROOK] and
// offset[QUEEN].
constexpr int BISHOP_LINES[] = {0, 2, 5, 7}, ROOK_LINES[] = {1, 3, 4, 6};
constexpr int QUEEN_LINES[] = {0, 1, 2, 3, 4, 5, 6, 7};

// Squares seen from each square along the eight lines, nearest first, in the order of
// offset[QUEEN], as lists and as sets; and the targets of the pieces that step once. Walking these
// visits the squares the mailbox steps would, without the frame lookups.
struct StepTables {
    int8_t line[64][8][7];
    uint8_t line_len[64][8];
    uint64_t line_bb[64][8];
    uint64_t straight_bb[64], diagonal_bb[64]; // every line of a rook, of a bishop
    uint64_t knight_bb[64], king_bb[64];
    uint64_t pawn_attackers_bb[2][64]; // the squares from which a pawn of each colour takes on sq
    StepTables() {
        for (int sq = 0; sq < 64; sq++) {
            knight_bb[sq] = king_bb[sq] = straight_bb[sq] = diagonal_bb[sq] = 0;
            for (int j = 0; j < offsets[KNIGHT]; j++) {
                const int n = mailbox[mailbox64[sq] + offset[KNIGHT][j]];
                if (n != -1) knight_bb[sq] |= square_bit(n);
            }
            for (int d = 0; d < 8; d++) {
                line_len[sq][d] = 0;
                line_bb[sq][d] = 0;
                for (int n = mailbox[mailbox64[sq] + offset[QUEEN][d]]; n != -1;
                     n = mailbox[mailbox64[n] + offset[QUEEN][d]]) {
                    line[sq][d][line_len[sq][d]++] = (int8_t)n;
                    line_bb[sq][d] |= square_bit(n);
                }
                if (line_len[sq][d]) king_bb[sq] |= square_bit(line[sq][d][0]);
                (straight_line[d] ? straight_bb : diagonal_bb)[sq] |= line_bb[sq][d];
            }
            // A LIGHT pawn takes towards lower squares, so it stands on sq + 7 or sq + 9.
            const bool a_file = file_of(sq) == 0, h_file = file_of(sq) == 7;
            pawn_attackers_bb[LIGHT][sq] = (sq <= 54 && !h_file ? square_bit(sq + 9) : 0) |
                                           (sq <= 56 && !a_file ? square_bit(sq + 7) : 0);
            pawn_attackers_bb[DARK][sq] = (sq >= 7 && !h_file ? square_bit(sq - 7) : 0) |
                                          (sq >= 9 && !a_file ? square_bit(sq - 9) : 0);
        }
    }
};
const StepTables steps;

// Lines 0 to 3 run towards lower squares, 4 to 7 towards higher ones.
inline int nearest(uint64_t on_line, int d) {
    return d < 4 ? msb(on_line) : lsb(on_line);
}

// Steps from one square to another on the same line.
inline int distance(int a, int b) {
    const int files = abs(file_of(a) - file_of(b)), rows = abs(row_of(a) - row_of(b));
    return files > rows ? files : rows;
}

inline int step(int sq, int dir) {
    return mailbox[mailbox64[sq] + dir];
}

// The squares a piece other than a pawn on sq would reach on an empty board.
inline uint64_t reach(int p, int sq) {
    switch (p) {
    case KNIGHT:
        return steps.knight_bb[sq];
    case BISHOP:
        return steps.diagonal_bb[sq];
    case ROOK:
        return steps.straight_bb[sq];
    case QUEEN:
        return steps.diagonal_bb[sq] | steps.straight_bb[sq];
    default:
        return steps.king_bb[sq];
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Generation

namespace {

// Most history counts are zero, and the division is the costly part of scoring a quiet move.
inline int quiet_score(int from, int to) {
    const int h = history[from][to];
    return h ? h * 100 / (bf_history[from][to] + 1) : 0;
}

// Most valuable victim first, then least valuable attacker.
inline int capture_score(int from, int to) {
    return 1000000 + 10 * piece[to] - piece[from];
}

// The list of the ply being generated, written at `top`; first_move[ply + 1] is set at the end.
struct MoveList {
    int top;

    // Stores one move unless the stack is full, which only absurd set-up positions achieve.
    void push(int from, int to, int bits, int score) {
        if (top > GEN_STACK - 4) return;
        gen_dat[top].m = make_move_word(from, to, 0, bits);
        gen_dat[top].score = score;
        top++;
    }

    // A pawn move, castling or en passant, scored by what it turns out to be: promotions first
    // (knight to queen), then captures, then quiet moves by their history ratio.
    void push_any(int from, int to, int bits) {
        if (top > GEN_STACK - 4) return;
        if ((bits & FLAG_PAWN) && (side == LIGHT ? to <= 7 : to >= 56)) {
            for (int p = KNIGHT; p <= QUEEN; p++) {
                gen_dat[top].m = make_move_word(from, to, p, bits | FLAG_PROMOTE);
                gen_dat[top].score = 1500000 + 10 * p;
                top++;
            }
            return;
        }
        push(from, to, bits, color[to] != EMPTY ? capture_score(from, to) : quiet_score(from, to));
    }
};

// A knight's or a king's targets run in ascending order of squares, as its offsets do.
template <bool QUIET> void gen_leaper(MoveList &list, int sq, uint64_t targets) {
    targets &= QUIET ? ~color_bb[side] : color_bb[xside];
    for (; targets; targets &= targets - 1) {
        const int n = lsb(targets);
        if (QUIET && color[n] == EMPTY)
            list.push(sq, n, 0, quiet_score(sq, n));
        else
            list.push(sq, n, FLAG_CAPTURE, capture_score(sq, n));
    }
}

// Each line from near to far: the empty squares up to the first piece, then that piece if it is
// the opponent's.
template <bool QUIET, size_t N> void gen_slider(MoveList &list, int sq, const int (&lines)[N]) {
    const uint64_t occupied = occupied_bb();
    for (const int d : lines) {
        const uint64_t blockers = steps.line_bb[sq][d] & occupied;
        if (!QUIET && !(blockers & color_bb[xside])) continue;
        const int first = blockers ? nearest(blockers, d) : -1;
        if (QUIET) {
            const int free = first < 0 ? steps.line_len[sq][d] : distance(sq, first) - 1;
            for (int k = 0; k < free; k++) {
                const int n = steps.line[sq][d][k];
                list.push(sq, n, 0, quiet_score(sq, n));
            }
        }
        if (first >= 0 && color[first] == xside)
            list.push(sq, first, FLAG_CAPTURE, capture_score(sq, first));
    }
}

// Pawn captures towards `left` (file a side) and `right`, then the steps; LIGHT steps are
// negative.
template <bool QUIET> void gen_pawn(MoveList &list, int sq) {
    const int f = file_of(sq);
    const int l = side == LIGHT ? sq - 9 : sq + 7, r = side == LIGHT ? sq - 7 : sq + 9;
    if (f != 0 && color[l] == xside) list.push_any(sq, l, FLAG_PAWN | FLAG_CAPTURE);
    if (f != 7 && color[r] == xside) list.push_any(sq, r, FLAG_PAWN | FLAG_CAPTURE);
    const int dir = side == LIGHT ? -8 : 8;
    const int one = sq + dir;
    if (color[one] != EMPTY) return;
    const bool promotes = side == LIGHT ? sq <= 15 : sq >= 48;
    if (!QUIET && !promotes) return;
    list.push_any(sq, one, FLAG_PAWN);
    const bool home = side == LIGHT ? sq >= 48 : sq <= 15;
    if (QUIET && home && color[one + dir] == EMPTY)
        list.push_any(sq, one + dir, FLAG_PAWN | FLAG_DOUBLE);
}

void gen_en_passant(MoveList &list) {
    if (ep == -1) return;
    int f = file_of(ep);
    int a = side == LIGHT ? ep + 7 : ep - 9, h = side == LIGHT ? ep + 9 : ep - 7;
    if (f != 0 && color[a] == side && piece[a] == PAWN)
        list.push_any(a, ep, FLAG_PAWN | FLAG_EP | FLAG_CAPTURE);
    if (f != 7 && color[h] == side && piece[h] == PAWN)
        list.push_any(h, ep, FLAG_PAWN | FLAG_EP | FLAG_CAPTURE);
}

// The pawns of `side` that gen_caps lists a move for: those with a capture or a promotion.
uint64_t pawns_with_captures() {
    constexpr uint64_t FILE_A = 0x0101010101010101ULL, FILE_H = 0x8080808080808080ULL;
    constexpr uint64_t ROW_1 = 0xFF00ULL, ROW_6 = 0xFF000000000000ULL; // a step from promotion
    const uint64_t enemy = color_bb[xside], empty = ~occupied_bb();
    const uint64_t from =
        side == LIGHT
            ? ((enemy << 9) & ~FILE_A) | ((enemy << 7) & ~FILE_H) | ((empty << 8) & ROW_1)
            : ((enemy >> 7) & ~FILE_A) | ((enemy >> 9) & ~FILE_H) | ((empty >> 8) & ROW_6);
    return piece_bb[side][PAWN] & from;
}

template <bool QUIET> void gen_all() {
    MoveList list{first_move[ply]};
    const uint64_t movers =
        QUIET ? color_bb[side] : (color_bb[side] & ~piece_bb[side][PAWN]) | pawns_with_captures();
    for (uint64_t own = movers; own; own &= own - 1) {
        const int sq = lsb(own);
        switch (piece[sq]) {
        case PAWN:
            gen_pawn<QUIET>(list, sq);
            break;
        case KNIGHT:
            gen_leaper<QUIET>(list, sq, steps.knight_bb[sq]);
            break;
        case BISHOP:
            gen_slider<QUIET>(list, sq, BISHOP_LINES);
            break;
        case ROOK:
            gen_slider<QUIET>(list, sq, ROOK_LINES);
            break;
        case QUEEN:
            gen_slider<QUIET>(list, sq, QUEEN_LINES);
            break;
        default:
            gen_leaper<QUIET>(list, sq, steps.king_bb[sq]);
        }
    }
    if (QUIET) {
        // Castling is listed on the rights alone; makemove checks the squares.
        if (side == LIGHT) {
            if (castle & CASTLE_WK) list.push_any(E1, G1, FLAG_CASTLE);
            if (castle & CASTLE_WQ) list.push_any(E1, C1, FLAG_CASTLE);
        } else {
            if (castle & CASTLE_BK) list.push_any(E8, G8, FLAG_CASTLE);
            if (castle & CASTLE_BQ) list.push_any(E8, C8, FLAG_CASTLE);
        }
    }
    gen_en_passant(list);
    first_move[ply + 1] = list.top;
}

} // namespace

void gen() {
    gen_all<true>();
}
void gen_caps() {
    gen_all<false>();
}

// ---------------------------------------------------------------------------------------------
// Attack tests

int newattack(int sq, int s) {
    const uint64_t *own = piece_bb[s];
    if ((steps.pawn_attackers_bb[s][sq] & own[PAWN]) || (steps.knight_bb[sq] & own[KNIGHT]) ||
        (steps.king_bb[sq] & own[KING]))
        return 1;
    // Along each line the first piece met attacks if it is the line's slider or the queen.
    const uint64_t straight = (own[ROOK] | own[QUEEN]) & steps.straight_bb[sq];
    const uint64_t diagonal = (own[BISHOP] | own[QUEEN]) & steps.diagonal_bb[sq];
    if (!(straight | diagonal)) return 0;
    const uint64_t occupied = occupied_bb();
    for (int d = 0; d < 8; d++) {
        const uint64_t line = steps.line_bb[sq][d];
        const uint64_t sliders = line & (straight_line[d] ? straight : diagonal);
        if (sliders && (sliders & square_bit(nearest(line & occupied, d)))) return 1;
    }
    return 0;
}

int attack(int sq, int s) {
    for (uint64_t pieces = color_bb[s]; pieces; pieces &= pieces - 1) {
        const int i = lsb(pieces);
        const int p = piece[i];
        if (p == PAWN) {
            int f = file_of(i);
            if (s == LIGHT) {
                if ((f != 0 && i - 9 == sq) || (f != 7 && i - 7 == sq)) return 1;
            } else {
                if ((f != 0 && i + 7 == sq) || (f != 7 && i + 9 == sq)) return 1;
            }
            continue;
        }
        if (!(reach(p, i) & square_bit(sq))) continue; // no direction of the piece leads there
        for (int j = 0; j < offsets[p]; j++) {
            for (int n = step(i, offset[p][j]); n != -1; n = step(n, offset[p][j])) {
                if (n == sq) return 1;
                if (color[n] != EMPTY || !slide[p]) break;
            }
        }
    }
    return 0;
}

int in_check(int s) {
    return newattack(king_position[s], s ^ 1);
}

// ---------------------------------------------------------------------------------------------
// Make and take back

namespace {

struct CastleRule {
    int to, rook_from, rook_to;
    int empty[3], n_empty;
    int safe[2];
};

// By the king's target: squares that must be empty, squares that must not be attacked, rook move.
const CastleRule castle_rules[4] = {
    {G1, H1, F1, {F1, G1, 0}, 2, {F1, G1}},
    {C1, A1, D1, {B1, C1, D1}, 3, {C1, D1}},
    {G8, H8, F8, {F8, G8, 0}, 2, {F8, G8}},
    {C8, A8, D8, {B8, C8, D8}, 3, {C8, D8}},
};

const CastleRule *castle_rule(int to) {
    for (const CastleRule &r : castle_rules)
        if (r.to == to) return &r;
    return nullptr;
}

// Every change a move makes to a square goes through these three, which keep the bitboards and
// counts in step.
inline void put_piece(int sq, int c, int p) {
    color[sq] = c;
    piece[sq] = p;
    piece_bb[c][p] |= square_bit(sq);
    color_bb[c] |= square_bit(sq);
    piece_count[c][p]++;
}

inline void remove_piece(int sq) {
    const int c = color[sq], p = piece[sq];
    piece_bb[c][p] &= ~square_bit(sq);
    color_bb[c] &= ~square_bit(sq);
    piece_count[c][p]--;
    color[sq] = piece[sq] = EMPTY;
}

// The piece on `from` goes to the empty square `to`.
inline void move_piece(int from, int to) {
    const int c = color[from], p = piece[from];
    color[to] = c;
    piece[to] = p;
    color[from] = piece[from] = EMPTY;
    const uint64_t both = square_bit(from) | square_bit(to);
    piece_bb[c][p] ^= both;
    color_bb[c] ^= both;
}

} // namespace

void ComputeHashCode() {
    uint64_t key = 0;
    for (int sq = 0; sq < 64; sq++)
        if (color[sq] != EMPTY) key ^= zobrist(sq, color[sq], piece[sq]);
    if (side == DARK) key ^= side_key();
    hashcode = key ^ castle_key(castle);
}

void set_hash() {
    uint32_t h = 0;
    for (int sq = 0; sq < 64; sq++)
        if (color[sq] != EMPTY) h ^= hash_piece[color[sq]][piece[sq]][sq];
    if (side == DARK) h ^= hash_side;
    if (ep != -1) h ^= hash_ep[ep];
    hash = h;
}

uint64_t key_after(int m) {
    const int bits = move_bits(m), from = move_from(m), to = move_to(m);
    if (bits & FLAG_NULL) return hashcode ^ null_key();
    const int moving = piece[from], captured = piece[to];
    const int placed = (bits & FLAG_PROMOTE) ? move_promote(m) : moving;
    const int rights = castle & castle_mask[from] & castle_mask[to];
    uint64_t key = hashcode ^ side_key() ^ zobrist(from, side, moving) ^ zobrist(to, side, placed);
    if (rights != castle) key ^= castle_key(castle) ^ castle_key(rights);
    if (captured != EMPTY) key ^= zobrist(to, xside, captured);
    if (bits & FLAG_EP) key ^= zobrist(side == LIGHT ? to + 8 : to - 8, xside, PAWN);
    if (bits & FLAG_CASTLE) {
        const CastleRule *r = castle_rule(to);
        if (r) key ^= zobrist(r->rook_from, side, ROOK) ^ zobrist(r->rook_to, side, ROOK);
    }
    return key;
}

int makemove(int m) {
    hist_rec &h = hist_dat[hply];
    h.key = hashcode;
    int bits = move_bits(m);
    int from = move_from(m), to = move_to(m);

    if (bits & FLAG_NULL) {
        first_move[ply + 1] = first_move[ply];
        h.m = m;
        h.capture = EMPTY;
        h.castle = castle;
        h.ep = ep;
        h.fifty = fifty;
        ep = -1;
        ply++;
        hply++;
        side ^= 1;
        xside ^= 1;
        hashcode ^= null_key();
        HashPrefetch(hashcode);
        return 1;
    }

    const CastleRule *r = nullptr;
    if (bits & FLAG_CASTLE) {
        r = castle_rule(to);
        if (!r || newattack(king_position[side], xside)) return 0;
        for (int i = 0; i < r->n_empty; i++)
            if (color[r->empty[i]] != EMPTY) return 0;
        for (int sq : r->safe)
            if (attack(sq, xside)) return 0;
    }
    // The new key first, so that its table slot loads while the board changes.
    const uint64_t key = key_after(m);
    HashPrefetch(key);
    if (r) move_piece(r->rook_from, r->rook_to);

    const int moving = piece[from], captured = piece[to];
    const int placed = (bits & FLAG_PROMOTE) ? move_promote(m) : moving;
    const int victim = (bits & FLAG_EP) ? (side == LIGHT ? to + 8 : to - 8) : -1;
    if (moving == KING) king_position[side] = to;
    h.m = m;
    h.capture = captured;
    h.castle = castle;
    h.ep = ep;
    h.fifty = fifty;
    hply++;
    ply++;
    castle &= castle_mask[from] & castle_mask[to];
    ep = (bits & FLAG_DOUBLE) ? (side == LIGHT ? to + 8 : to - 8) : -1;
    fifty = (bits & (FLAG_CAPTURE | FLAG_PAWN)) ? 0 : fifty + 1;

    if (captured != EMPTY) remove_piece(to);
    if (bits & FLAG_PROMOTE) {
        remove_piece(from);
        put_piece(to, side, placed);
    } else {
        move_piece(from, to);
    }
    if (victim >= 0) remove_piece(victim);

    side ^= 1;
    xside ^= 1;
    hashcode = key;

    if (newattack(king_position[xside], side)) {
        takeback();
        return 0;
    }
    assert(position_ok());
    return 1;
}

void takeback() {
    side ^= 1;
    xside ^= 1;
    hply--;
    ply--;
    const hist_rec &h = hist_dat[hply];
    hashcode = h.key;
    fifty = h.fifty;
    castle = h.castle;
    ep = h.ep;
    int bits = move_bits(h.m);
    if (bits & FLAG_NULL) return;

    int from = move_from(h.m), to = move_to(h.m);
    if (piece[to] == KING) king_position[side] = from;
    if (bits & FLAG_PROMOTE) {
        remove_piece(to);
        put_piece(from, side, PAWN);
    } else {
        move_piece(to, from);
    }
    if (h.capture != EMPTY) put_piece(to, xside, h.capture);

    if (bits & FLAG_CASTLE) {
        const CastleRule *r = castle_rule(to);
        if (r) move_piece(r->rook_to, r->rook_from);
    }
    if (bits & FLAG_EP) put_piece(side == LIGHT ? to + 8 : to - 8, xside, PAWN);
    assert(position_ok());
}

void drop_old_history() {
    // The extensions look back four plies (earlier checks, a recapture); beyond a hundred plies
    // without a capture or a pawn move the fifty-move rule decides, whatever repeats.
    constexpr int LOOK_BACK = 4, RULE_PLIES = 100;
    const int n = std::max(LOOK_BACK, std::min(fifty, RULE_PLIES) + 1);
    if (n >= hply) return;
    memmove(hist_dat, hist_dat + (hply - n), (size_t)n * sizeof(hist_rec));
    hply = n;
}

// ---------------------------------------------------------------------------------------------
// Repetitions: a move-balance scan over the reversible moves. The position repeats wherever every
// square moved from has been moved back to.
int reps() {
    if (fifty - cnt_nm <= 3) return 0;
    int balance[64] = {0};
    int c = 0, r = 0;
    int last = hply - 1 - fifty;
    if (last < 0) last = 0;
    for (int i = hply - 1; i >= last; i--) {
        int m = hist_dat[i].m;
        if (move_bits(m) & FLAG_NULL) continue;
        c += ++balance[move_from(m)] == 0 ? -1 : 1;
        c += --balance[move_to(m)] == 0 ? -1 : 1;
        if (c == 0) r++;
    }
    return r;
}

// How often the current position stood on the board before, with the same side to move and the
// same rights (its key), within the reversible moves: the count the rules of the game use. The
// move-balance scan above also counts placements with the other side to move, so a draw claimed
// on it can be one the opponent or the interface rejects.
int repetitions() {
    int n = 0;
    for (int i = hply - 2; i >= 0 && i >= hply - fifty; i -= 2)
        if (hist_dat[i].key == hashcode) n++;
    return n;
}

int first_legal_move() {
    ply = 0;
    gen();
    for (int k = first_move[0]; k < first_move[1]; k++) {
        if (!makemove(gen_dat[k].m)) continue;
        takeback();
        return gen_dat[k].m;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------

bool position_ok() {
    // One pass over the squares gathers what the bitboards, counts and king squares should be.
    uint64_t squares[2][6] = {};
    int count[2][6] = {}, king_square[2] = {-1, -1};
    for (int sq = 0; sq < 64; sq++) {
        if ((color[sq] == EMPTY) != (piece[sq] == EMPTY)) return false;
        if (color[sq] == EMPTY) continue;
        if (color[sq] > DARK || piece[sq] > KING) return false;
        squares[color[sq]][piece[sq]] |= square_bit(sq);
        count[color[sq]][piece[sq]]++;
        if (piece[sq] == KING) king_square[color[sq]] = sq;
    }
    if (xside != (side ^ 1)) return false;
    for (int c = LIGHT; c <= DARK; c++) {
        // A set-up may hold no king or several of a colour; a single one is where the moves
        // took it.
        if (count[c][KING] == 1 && king_position[c] != king_square[c]) return false;
        uint64_t all = 0;
        for (int p = PAWN; p <= KING; p++) {
            if (piece_bb[c][p] != squares[c][p] || piece_count[c][p] != count[c][p]) return false;
            all |= squares[c][p];
        }
        if (color_bb[c] != all) return false;
    }
    uint64_t saved = hashcode;
    ComputeHashCode();
    // A null move turns the side with its own key instead of the side key.
    for (int i = 0; i < hply; i++)
        if (move_bits(hist_dat[i].m) & FLAG_NULL) hashcode ^= side_key() ^ null_key();
    bool same = saved == hashcode;
    hashcode = saved;
    return same;
}
