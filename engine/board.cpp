// The position and the move stacks: generation, making and taking back moves, attack tests and
// the repetition scan.
#include "board.h"

#include <cassert>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    king_position[LIGHT] = 60;
    king_position[DARK] = 4;
    ComputeHashCode();
}

void sanitize_setup() {
    for (int sq = 0; sq < 64; sq++)
        if (piece[sq] == PAWN && (row_of(sq) == 0 || row_of(sq) == 7)) color[sq] = piece[sq] = EMPTY;
    // King square, rook square, right.
    static const int homes[4][3] = {
        {60, 63, CASTLE_WK}, {60, 56, CASTLE_WQ}, {4, 7, CASTLE_BK}, {4, 0, CASTLE_BQ}};
    for (const auto &h : homes) {
        int c = h[2] <= CASTLE_WQ ? LIGHT : DARK;
        if (color[h[0]] != c || piece[h[0]] != KING || color[h[1]] != c || piece[h[1]] != ROOK)
            castle &= ~h[2];
    }
}

// ---------------------------------------------------------------------------------------------
// Generation

namespace {

// Squares seen from each square: along the eight lines, nearest first, in the order of
// offset[QUEEN]; and the knight's targets in the order of offset[KNIGHT]. Walking these lists
// visits the squares the mailbox steps would, without the frame lookups.
struct StepTables {
    int8_t line[64][8][7];
    uint8_t line_len[64][8];
    int8_t knight[64][8];
    uint8_t knight_len[64];
    uint8_t dir[6][8]; // line index of offset[p][j] for the line pieces
    StepTables() {
        for (int sq = 0; sq < 64; sq++) {
            knight_len[sq] = 0;
            for (int j = 0; j < offsets[KNIGHT]; j++) {
                int n = mailbox[mailbox64[sq] + offset[KNIGHT][j]];
                if (n != -1) knight[sq][knight_len[sq]++] = (int8_t)n;
            }
            for (int d = 0; d < 8; d++) {
                line_len[sq][d] = 0;
                for (int n = mailbox[mailbox64[sq] + offset[QUEEN][d]]; n != -1;
                     n = mailbox[mailbox64[n] + offset[QUEEN][d]])
                    line[sq][d][line_len[sq][d]++] = (int8_t)n;
            }
        }
        for (int p = BISHOP; p <= KING; p++)
            for (int j = 0; j < offsets[p]; j++)
                for (int d = 0; d < 8; d++)
                    if (offset[QUEEN][d] == offset[p][j]) dir[p][j] = (uint8_t)d;
    }
};
const StepTables steps;

// The piece that attacks along each line besides the queen (diagonals at -11, -9, 9, 11).
const int line_attacker[8] = {BISHOP, ROOK, BISHOP, ROOK, ROOK, BISHOP, ROOK, BISHOP};

inline int step(int sq, int dir) { return mailbox[mailbox64[sq] + dir]; }

// Most history counts are zero, and the division is the costly part of scoring a quiet move.
inline int quiet_score(int from, int to) {
    const int h = history[from][to];
    return h ? h * 100 / (bf_history[from][to] + 1) : 0;
}

// Promotions first (knight to queen), then captures by most valuable victim and least valuable
// attacker, then quiet moves by their history ratio.
inline void gen_push(int from, int to, int bits) {
    int &top = first_move[ply + 1];
    if (top > GEN_STACK - 4) return; // only absurd set-up positions fill the stack
    if ((bits & FLAG_PAWN) && (side == LIGHT ? to <= 7 : to >= 56)) {
        for (int p = KNIGHT; p <= QUEEN; p++) {
            gen_dat[top].m = make_move_word(from, to, p, bits | FLAG_PROMOTE);
            gen_dat[top].score = 1500000 + 10 * p;
            top++;
        }
        return;
    }
    gen_dat[top].m = make_move_word(from, to, 0, bits);
    gen_dat[top].score =
        color[to] != EMPTY ? 1000000 + 10 * piece[to] - piece[from] : quiet_score(from, to);
    top++;
}

// A move to n unless an own piece stands there; returns whether n was empty.
inline bool gen_target(int sq, int n, bool quiet) {
    if (color[n] == EMPTY) {
        if (quiet) gen_push(sq, n, 0);
        return true;
    }
    if (color[n] == xside) gen_push(sq, n, FLAG_CAPTURE);
    return false;
}

// The moves of a piece other than a pawn; quiet moves only when `quiet` is set.
void gen_piece(int sq, int p, bool quiet) {
    if (p == KNIGHT) {
        for (int k = 0; k < steps.knight_len[sq]; k++)
            gen_target(sq, steps.knight[sq][k], quiet);
        return;
    }
    for (int j = 0; j < offsets[p]; j++) {
        const int d = steps.dir[p][j];
        const int len = slide[p] ? steps.line_len[sq][d] : steps.line_len[sq][d] != 0;
        for (int k = 0; k < len; k++)
            if (!gen_target(sq, steps.line[sq][d][k], quiet)) break;
    }
}

// Pawn captures towards `left` (file a side) and `right`; LIGHT steps are negative.
void gen_pawn_captures(int sq) {
    int f = file_of(sq);
    int l = side == LIGHT ? sq - 9 : sq + 7, r = side == LIGHT ? sq - 7 : sq + 9;
    if (f != 0 && color[l] == xside) gen_push(sq, l, FLAG_PAWN | FLAG_CAPTURE);
    if (f != 7 && color[r] == xside) gen_push(sq, r, FLAG_PAWN | FLAG_CAPTURE);
}

void gen_pawn(int sq, bool quiet) {
    gen_pawn_captures(sq);
    int dir = side == LIGHT ? -8 : 8;
    int one = sq + dir;
    if (color[one] != EMPTY) return;
    bool promotes = side == LIGHT ? sq <= 15 : sq >= 48;
    if (!quiet && !promotes) return;
    gen_push(sq, one, FLAG_PAWN);
    bool home = side == LIGHT ? sq >= 48 : sq <= 15;
    if (quiet && home && color[one + dir] == EMPTY) gen_push(sq, one + dir, FLAG_PAWN | FLAG_DOUBLE);
}

void gen_en_passant() {
    if (ep == -1) return;
    int f = file_of(ep);
    int a = side == LIGHT ? ep + 7 : ep - 9, h = side == LIGHT ? ep + 9 : ep - 7;
    if (f != 0 && color[a] == side && piece[a] == PAWN) gen_push(a, ep, FLAG_PAWN | FLAG_EP | FLAG_CAPTURE);
    if (f != 7 && color[h] == side && piece[h] == PAWN) gen_push(h, ep, FLAG_PAWN | FLAG_EP | FLAG_CAPTURE);
}

void gen_all(bool quiet) {
    first_move[ply + 1] = first_move[ply];
    for (uint64_t own = squares_of(side); own; own &= own - 1) {
        const int sq = __builtin_ctzll(own);
        if (piece[sq] == PAWN)
            gen_pawn(sq, quiet);
        else
            gen_piece(sq, piece[sq], quiet);
    }
    if (quiet) {
        // Castling is listed on the rights alone; makemove checks the squares.
        if (side == LIGHT) {
            if (castle & CASTLE_WK) gen_push(60, 62, FLAG_CASTLE);
            if (castle & CASTLE_WQ) gen_push(60, 58, FLAG_CASTLE);
        } else {
            if (castle & CASTLE_BK) gen_push(4, 6, FLAG_CASTLE);
            if (castle & CASTLE_BQ) gen_push(4, 2, FLAG_CASTLE);
        }
    }
    gen_en_passant();
}

} // namespace

uint64_t squares_of(int c) {
#ifdef __SSE2__
    // Sixteen squares per round: compare, narrow the 32-bit results to bytes, take their signs.
    const __m128i want = _mm_set1_epi32(c);
    uint64_t set = 0;
    for (int i = 0; i < 64; i += 16) {
        const __m128i *v = reinterpret_cast<const __m128i *>(color + i);
        __m128i a = _mm_packs_epi32(_mm_cmpeq_epi32(_mm_loadu_si128(v), want),
                                    _mm_cmpeq_epi32(_mm_loadu_si128(v + 1), want));
        __m128i b = _mm_packs_epi32(_mm_cmpeq_epi32(_mm_loadu_si128(v + 2), want),
                                    _mm_cmpeq_epi32(_mm_loadu_si128(v + 3), want));
        set |= (uint64_t)(uint16_t)_mm_movemask_epi8(_mm_packs_epi16(a, b)) << i;
    }
    return set;
#else
    uint64_t set = 0;
    for (int sq = 0; sq < 64; sq++) set |= (uint64_t)(color[sq] == c) << sq;
    return set;
#endif
}

void gen() { gen_all(true); }
void gen_caps() { gen_all(false); }

// ---------------------------------------------------------------------------------------------
// Attack tests

int newattack(int sq, int s) {
    if (s == LIGHT) {
        if (sq <= 54 && file_of(sq) != 7 && color[sq + 9] == LIGHT && piece[sq + 9] == PAWN) return 1;
        if (sq <= 56 && file_of(sq) != 0 && color[sq + 7] == LIGHT && piece[sq + 7] == PAWN) return 1;
    } else {
        if (sq >= 7 && file_of(sq) != 7 && color[sq - 7] == DARK && piece[sq - 7] == PAWN) return 1;
        if (sq >= 9 && file_of(sq) != 0 && color[sq - 9] == DARK && piece[sq - 9] == PAWN) return 1;
    }
    for (int k = 0; k < steps.knight_len[sq]; k++) {
        const int n = steps.knight[sq][k];
        if (color[n] == s && piece[n] == KNIGHT) return 1;
    }
    // Along each line the first piece met attacks if it is the line's slider, the queen, or
    // (next door) the king.
    for (int d = 0; d < 8; d++) {
        const int8_t *line = steps.line[sq][d];
        for (int k = 0; k < steps.line_len[sq][d]; k++) {
            const int n = line[k];
            if (color[n] == EMPTY) continue;
            const int p = piece[n];
            if (color[n] == s && (p == line_attacker[d] || p == QUEEN || (k == 0 && p == KING)))
                return 1;
            break;
        }
    }
    return 0;
}

int attack(int sq, int s) {
    for (int i = 0; i < 64; i++) {
        if (color[i] != s) continue;
        int p = piece[i];
        if (p == PAWN) {
            int f = file_of(i);
            if (s == LIGHT) {
                if ((f != 0 && i - 9 == sq) || (f != 7 && i - 7 == sq)) return 1;
            } else {
                if ((f != 0 && i + 7 == sq) || (f != 7 && i + 9 == sq)) return 1;
            }
            continue;
        }
        for (int j = 0; j < offsets[p]; j++) {
            for (int n = step(i, offset[p][j]); n != -1; n = step(n, offset[p][j])) {
                if (n == sq) return 1;
                if (color[n] != EMPTY || !slide[p]) break;
            }
        }
    }
    return 0;
}

int in_check(int s) { return newattack(king_position[s], s ^ 1); }

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
    {62, 63, 61, {61, 62, 0}, 2, {61, 62}},
    {58, 56, 59, {57, 58, 59}, 3, {58, 59}},
    {6, 7, 5, {5, 6, 0}, 2, {5, 6}},
    {2, 0, 3, {1, 2, 3}, 3, {2, 3}},
};

const CastleRule *castle_rule(int to) {
    for (const CastleRule &r : castle_rules)
        if (r.to == to) return &r;
    return nullptr;
}

inline void set_square(int sq, int c, int p) {
    color[sq] = c;
    piece[sq] = p;
}

} // namespace

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

    uint64_t key = hashcode;
    if (bits & FLAG_CASTLE) {
        const CastleRule *r = castle_rule(to);
        if (!r || newattack(king_position[side], xside)) return 0;
        for (int i = 0; i < r->n_empty; i++)
            if (color[r->empty[i]] != EMPTY) return 0;
        for (int sq : r->safe)
            if (attack(sq, xside)) return 0;
        key ^= zobrist(r->rook_from, side, ROOK) ^ zobrist(r->rook_to, side, ROOK);
        set_square(r->rook_to, side, ROOK);
        set_square(r->rook_from, EMPTY, EMPTY);
    }

    if (piece[from] == KING) king_position[side] = to;
    h.m = m;
    h.capture = piece[to];
    h.castle = castle;
    h.ep = ep;
    h.fifty = fifty;
    hply++;
    ply++;

    key ^= castle_key(castle);
    castle &= castle_mask[from] & castle_mask[to];
    key ^= castle_key(castle);

    ep = (bits & FLAG_DOUBLE) ? (side == LIGHT ? to + 8 : to - 8) : -1;
    fifty = (bits & (FLAG_CAPTURE | FLAG_PAWN)) ? 0 : fifty + 1;

    key ^= zobrist(from, side, piece[from]);
    if (piece[to] != EMPTY) key ^= zobrist(to, xside, piece[to]);
    set_square(to, side, (bits & FLAG_PROMOTE) ? move_promote(m) : piece[from]);
    key ^= zobrist(to, side, piece[to]);
    set_square(from, EMPTY, EMPTY);

    if (bits & FLAG_EP) {
        int victim = side == LIGHT ? to + 8 : to - 8;
        set_square(victim, EMPTY, EMPTY);
        key ^= zobrist(victim, xside, PAWN);
    }

    side ^= 1;
    xside ^= 1;
    hashcode = key ^ side_key();
    HashPrefetch(hashcode);

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
    set_square(from, side, (bits & FLAG_PROMOTE) ? PAWN : piece[to]);
    if (h.capture == EMPTY)
        set_square(to, EMPTY, EMPTY);
    else
        set_square(to, xside, h.capture);

    if (bits & FLAG_CASTLE) {
        const CastleRule *r = castle_rule(to);
        if (r) {
            set_square(r->rook_from, side, ROOK);
            set_square(r->rook_to, EMPTY, EMPTY);
        }
    }
    if (bits & FLAG_EP) set_square(side == LIGHT ? to + 8 : to - 8, xside, PAWN);
    assert(position_ok());
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

// ---------------------------------------------------------------------------------------------

bool position_ok() {
    int kings[2] = {0, 0}, king_square[2] = {-1, -1};
    for (int sq = 0; sq < 64; sq++) {
        if ((color[sq] == EMPTY) != (piece[sq] == EMPTY)) return false;
        if (color[sq] == EMPTY) continue;
        if (color[sq] > DARK || piece[sq] > KING) return false;
        if (piece[sq] == KING) {
            kings[color[sq]]++;
            king_square[color[sq]] = sq;
        }
    }
    // A set-up may hold no king or several of a colour; a single one is where the moves took it.
    for (int c = LIGHT; c <= DARK; c++)
        if (kings[c] == 1 && king_position[c] != king_square[c]) return false;
    if (xside != (side ^ 1)) return false;
    uint64_t saved = hashcode;
    ComputeHashCode();
    // A null move turns the side with its own key instead of the side key.
    for (int i = 0; i < hply; i++)
        if (move_bits(hist_dat[i].m) & FLAG_NULL) hashcode ^= side_key() ^ null_key();
    bool same = saved == hashcode;
    hashcode = saved;
    return same;
}
