// The static evaluation: material and game stage, piece-square tables, pawn structure (kept in
// the pawn hash), rook and queen terms, endgame mobility and the bitbase probe for small endings.
#include "eval.h"
#include "bits.h"
#include "board.h"
#include "data.h"
#include "egbb_glue.h"
#include "hash.h"
#include "keys.h"
#include "settings.h"
#include "stats.h"

int nb_pieces[2], piece_mat[2], nb_pions[2], pawn_mat[2], knight_mat[2], bishop_mat[2], rook_mat[2];
int n_pieces, n_pawns, Stage, CurrentStage, nullmat;
int pawn_rank[2][10], rook_rank[2][10];
uint64_t hashpawn;

// ---------------------------------------------------------------------------------------------
// Tables. Every grid is written with the eighth rank first, so entry 0 is a8.

// clang-format off

const int knight_imbalance[9] = {-30, -24, -18, -12, -6, 0, 6, 12, 18};
const int rook_imbalance[9] = {60, 48, 36, 24, 12, 0, -12, -24, -36};

const int knight_opemid_pcsq[64] = {
    -16, -10, -8, -8, -8, -8, -10, -16,
    -10,   0,  3,  4,  4,  3,   0, -10,
     -8,   4,  7,  8,  8,  7,   4,  -8,
     -8,   4,  6, 10, 10,  6,   4,  -8,
     -8,   2,  5,  8,  8,  5,   2,  -8,
     -8,   1,  5,  5,  5,  5,   1,  -8,
    -10,  -3,  1,  3,  3,  1,  -3, -10,
    -16, -10, -8, -8, -8, -8, -10, -16,
};

const int knight_lmidend_pcsq[64] = {
     -9,  -6, -3,  0,  0, -3,  -6,  -9,
     -6,  -1,  2,  5,  5,  2,  -1,  -6,
     -2,   2,  6,  9,  9,  6,   2,  -2,
      1,   5,  9, 13, 13,  9,   5,   1,
      0,   4,  8, 12, 12,  8,   4,   0,
     -4,   1,  5,  8,  8,  5,   1,  -4,
     -9,  -3,  1,  4,  4,  1,  -3,  -9,
    -16, -10, -6, -2, -2, -6, -10, -16,
};

const int bishop_opemid_pcsq[64] = {
    13, 10, 10, 10, 10, 10, 10, 13,
    11, 14, 12, 12, 12, 12, 14, 11,
    13, 14, 16, 16, 16, 16, 14, 13,
    12, 14, 15, 17, 17, 15, 13, 12,
    11, 12, 13, 14, 14, 13, 12, 11,
    10, 10, 11, 11, 11, 11, 10, 10,
     8, 12,  8,  9,  9,  8, 12,  8,
    10,  8,  6,  4,  4,  6,  8, 10,
};

const int bishop_lmidend_pcsq[64] = {
    24, 21, 18, 15, 15, 18, 21, 24,
    21, 24, 21, 18, 18, 21, 24, 21,
    18, 21, 24, 24, 24, 24, 21, 18,
    15, 18, 24, 30, 30, 24, 18, 15,
    15, 18, 24, 30, 30, 24, 18, 15,
    18, 21, 24, 24, 24, 24, 21, 18,
    21, 24, 21, 18, 18, 21, 24, 21,
    24, 21, 18, 15, 15, 18, 21, 24,
};

const int rook_pcsq[64] = {
    10, 11, 12, 13, 13, 12, 11, 10,
    10, 11, 12, 13, 13, 12, 11, 10,
     7,  8,  9, 10, 10,  9,  8,  7,
     0,  1,  2,  3,  3,  2,  1,  0,
     0,  1,  2,  3,  3,  2,  1,  0,
     0,  1,  2,  3,  3,  2,  1,  0,
     0,  1,  2,  3,  3,  2,  1,  0,
     0,  1,  2,  3,  3,  2,  1,  0,
};

const int queen_pcsq[64] = {
     5,  6,  7,  8,  8,  7,  6,  5,
     8, 10, 11, 12, 12, 11, 10,  8,
    10, 11, 12, 13, 13, 12, 11, 10,
     8,  9, 10, 11, 11, 10,  9,  8,
     6,  7,  8,  9,  9,  8,  7,  6,
     5,  6,  7,  8,  8,  7,  6,  5,
     4,  5,  6,  7,  7,  6,  5,  4,
     0,  1,  2,  3,  3,  2,  1,  0,
};

const int pawn_emid_pcsq[64] = {
    0, 0, 0,   0,   0,  0,  0,  0,
    0, 0, 0,   0,   0,  0,  0,  0,
    0, 0, 0,   4,   4,  0,  0,  0,
    0, 0, 2,   8,   8,  0,  0,  0,
    5, 5, 7,  12,  12,  4,  4,  0,
    3, 2, 3,   6,   6, -2, -1, -1,
    0, 0, 0, -20, -20,  0,  0,  0,
    0, 0, 0,   0,   0,  0,  0,  0,
};

const int pawn_lmid_pcsq[64] = {
    0, 0, 0,  0,  0,  0,  0, 0,
    0, 5, 5,  5,  6,  6,  5, 5,
    5, 5, 8, 10, 12, 16, 10, 8,
    5, 1, 5,  7, 12, 16,  7, 5,
    1, 0, 1,  6, 12, 16,  6, 1,
    0, 0, 1,  5,  8,  8,  5, 1,
    0, 2, 3,  4,  6,  6,  4, 3,
    2, 0, 0,  0,  0,  0,  0, 0,
};

const int pawn_end_pcsq[64] = {
     0,  0,  0,  0,  0,  0,  0,  0,
    10, 11, 11, 11, 11, 11, 11, 10,
     8,  9,  9,  9,  9,  9,  9,  8,
     6,  7,  7,  7,  7,  7,  7,  6,
     4,  4,  4,  4,  4,  4,  4,  4,
     2,  2,  2,  2,  2,  2,  2,  2,
     0,  0,  0,  0,  0,  0,  0,  0,
     0,  0,  0,  0,  0,  0,  0,  0,
};

const int king_endgame_pcsq[64] = {
     3, 10, 17, 24, 24, 17, 10,  3,
     9, 20, 28, 35, 35, 28, 20,  9,
    16, 25, 34, 40, 40, 34, 25, 16,
    20, 27, 33, 48, 48, 33, 27, 20,
    18, 24, 28, 34, 34, 30, 24, 18,
    12, 17, 22, 27, 27, 22, 17, 12,
     6, 11, 16, 21, 21, 16, 11,  6,
    -5,  5, 10, 15, 15, 10,  5, -5,
};

// By piece code and number of target squares; read in the endgame only. Knights score no
// mobility, and every count beyond a row's listed values is worth 0.
const int mobility[7][30] = {
    {},
    {},
    {-4, -3, -2, -1, 0, 1, 2, 3, 4},
    {-5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8},
    {-8, -7, -6, -5, -4, -1, 0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12},
    {},
    {},
};
// clang-format on

namespace {

// Stage-dependent tables, indexed by Stage.
const int *const knight_pcsq[4] = {knight_opemid_pcsq, knight_opemid_pcsq, knight_lmidend_pcsq,
                                   knight_lmidend_pcsq};
const int *const bishop_pcsq[4] = {bishop_opemid_pcsq, bishop_opemid_pcsq, bishop_lmidend_pcsq,
                                   bishop_lmidend_pcsq};
const int *const pawn_pcsq[4] = {pawn_emid_pcsq, pawn_emid_pcsq, pawn_lmid_pcsq, pawn_end_pcsq};
const int contempt[4] = {-50, -25, 0, 0};

// Rows by colour: where pawn_rank says "no pawn on this file", the side's seventh rank, and the
// row of its unmoved pawns.
const int no_pawn_row[2] = {0, 7};
const int seventh_row[2] = {1, 6};
const int home_pawn_row[2] = {6, 1};

// A bishop still on c1 or f1 (LIGHT's view) behind both unmoved pawns that block its diagonals.
constexpr int TRAPPED_BISHOP = 50;
constexpr int SQ_C1 = 58, SQ_F1 = 61;

constexpr int DOUBLED_PAWN = 20, ISOLATED_PAWN = 25, BACKWARD_PAWN = 9;
constexpr int PASSED_FACTOR = 25, BACKWARD_PASSED_FACTOR = 16;
constexpr int DOUBLED_PASSED_FACTOR = 5, DOUBLED_BACKWARD_PASSED_FACTOR = -4;

constexpr int ROOK_DOUBLED = 4, ROOK_OPEN_FILE = 15, ROOK_HALF_OPEN_FILE = 7, ROOK_SEVENTH = 20;
constexpr int ROOK_CENTRE_FILE = 5, QUEEN_WITH_ROOK = 5, QUEEN_SEVENTH = 15;
constexpr int BARE_KING = 300, BISHOP_PAIR = 50, KNIGHT_PAIR = 8, ROOK_PAIR = 16;
constexpr int INSUFFICIENT_MATERIAL = 400;

// One pawn's score from its own side's view. Rows are taken relative to LIGHT (a DARK row r
// reads as 7 - r), so that both colours share the same comparisons.
template <int C> int pawn_score(int sq) {
    auto rel = [](int row) { return C == LIGHT ? row : 7 - row; };
    const int *own = pawn_rank[C];
    const int *opp = pawn_rank[C ^ 1];
    const int f = sq & 7;
    const int row = rel(sq >> 3);
    int s = pawn_pcsq[Stage][C == LIGHT ? sq : flip[sq]];
    int k = PASSED_FACTOR, kb = BACKWARD_PASSED_FACTOR;

    if (rel(own[f + 1]) > row) { // an own pawn stands behind this one
        s -= DOUBLED_PAWN;
        k = DOUBLED_PASSED_FACTOR;
        kb = DOUBLED_BACKWARD_PASSED_FACTOR;
    }
    if (rel(own[f]) == 0 && rel(own[f + 2]) == 0) {
        s -= ISOLATED_PAWN;
    } else if (row > rel(own[f]) && row > rel(own[f + 2])) {
        s -= BACKWARD_PAWN;
        k = kb;
    }
    if (row <= rel(opp[f]) && row <= rel(opp[f + 1]) && row <= rel(opp[f + 2])) s += k * (7 - row);
    return s;
}

int stage_of(int pawns, int pieces) {
    if (pawns > 12 && pieces > 12) return STAGE_OPENING;
    if (pieces >= 12 || (pieces == 11 && pawns > 10)) return STAGE_EARLY_MID;
    if (pieces >= 7 && pawns > 6) return STAGE_LATE_MID;
    return STAGE_ENDGAME;
}

// The pawns whose files pawn_rank holds, and the key of those pawns alone. Consecutive
// evaluations in a search mostly meet the same pawns, whose files then need no counting. No
// placement of pawns looks like the initial value: none stands on the first or last rank.
uint64_t counted_pawns[2] = {~0ULL, ~0ULL};
uint64_t counted_pawn_key;

// The rearmost pawn of each file: LIGHT's largest row, DARK's smallest. The last pawn written on
// a file wins, so LIGHT's pawns are taken in board order and DARK's backwards.
void count_pawn_files() {
    uint64_t key = 0;
    for (int c = 0; c < 2; ++c) {
        counted_pawns[c] = piece_bb[c][PAWN];
        for (int &row : pawn_rank[c])
            row = no_pawn_row[c];
        for (uint64_t pawns = counted_pawns[c]; pawns;) {
            const int sq = c == LIGHT ? lsb(pawns) : msb(pawns);
            pawns ^= square_bit(sq);
            pawn_rank[c][(sq & 7) + 1] = sq >> 3;
            key ^= zobrist(sq, c, PAWN);
        }
    }
    counted_pawn_key = key;
}

// Counting pass: material counters, pawn and rook files, the pawn key.
void count_material() {
    if (piece_bb[LIGHT][PAWN] != counted_pawns[LIGHT] ||
        piece_bb[DARK][PAWN] != counted_pawns[DARK])
        count_pawn_files();
    uint64_t key = counted_pawn_key;
    for (int c = 0; c < 2; ++c) {
        const int *count = piece_count[c];
        const uint64_t *bb = piece_bb[c];
        nb_pions[c] = count[PAWN];
        pawn_mat[c] = count[PAWN] * piece_value[PAWN];
        knight_mat[c] = count[KNIGHT];
        bishop_mat[c] = count[BISHOP];
        rook_mat[c] = count[ROOK];
        nb_pieces[c] = count[KNIGHT] + count[BISHOP] + count[ROOK] + count[QUEEN] + count[KING];
        piece_mat[c] = count[KNIGHT] * piece_value[KNIGHT] + count[BISHOP] * piece_value[BISHOP] +
                       count[ROOK] * piece_value[ROOK] + count[QUEEN] * piece_value[QUEEN];

        // Of several rooks on a file, the last in board order (the largest row) is kept.
        for (int &row : rook_rank[c])
            row = 0;
        for (uint64_t rooks = bb[ROOK]; rooks; rooks &= rooks - 1) {
            const int sq = lsb(rooks);
            rook_rank[c][(sq & 7) + 1] = sq >> 3;
        }
        for (uint64_t kings = bb[KING]; kings; kings &= kings - 1)
            key ^= zobrist(lsb(kings), c, KING);
    }
    n_pieces = nb_pieces[LIGHT] + nb_pieces[DARK];
    n_pawns = nb_pions[LIGHT] + nb_pions[DARK];
    hashpawn = key;
}

bool probe_bitbase(int *score) {
    const int men = n_pieces + n_pawns;
    if (!egbb || men > 5 || ply < 7 || (men == 5 && !egbb_5men)) return false;
    const int v = eval_egbb();
    if (v == NO_SCORE) return false;
    ++egbb_hit;
    *score = v;
    return true;
}

// A knight or bishop that is its side's only piece besides the king, with no pawn beside it,
// cannot win: its material is taken back.
int lone_minor(int c) {
    return nb_pieces[c] == 2 && nb_pions[c] == 0 ? -piece_mat[c] : 0;
}

// Index of the imbalance tables: a position set up by hand may hold more than eight pawns.
inline int imbalance_index(int c) {
    return nb_pions[c] < 8 ? nb_pions[c] : 8;
}

// A LIGHT piece reads the tables at its square, a DARK one at the mirrored square.
template <int C> int view(int sq) {
    return C == LIGHT ? sq : flip[sq];
}

template <int C> int bishop_trap(int lsq) {
    if (Stage > STAGE_EARLY_MID || (lsq != SQ_C1 && lsq != SQ_F1)) return 0;
    const int *own = pawn_rank[C];
    const int left = lsq == SQ_F1 ? 5 : 2; // e- or b-file column of pawn_rank
    return own[left] == home_pawn_row[C] && own[left + 2] == home_pawn_row[C] ? -TRAPPED_BISHOP : 0;
}

template <int C> int rook_terms(int sq) {
    const int col = (sq & 7) + 1;
    const int row = sq >> 3;
    int s = rook_pcsq[view<C>(sq)];
    if (rook_rank[C][col] != 0 && rook_rank[C][col] != row) s += ROOK_DOUBLED;
    if (pawn_rank[C][col] == no_pawn_row[C])
        s += pawn_rank[C ^ 1][col] == no_pawn_row[C ^ 1] ? ROOK_OPEN_FILE : ROOK_HALF_OPEN_FILE;
    if (row == seventh_row[C]) s += ROOK_SEVENTH;
    if (col == 4 || col == 5) s += ROOK_CENTRE_FILE;
    return s;
}

template <int C> int queen_terms(int sq) {
    int s = queen_pcsq[view<C>(sq)];
    if (rook_rank[C][(sq & 7) + 1] != 0) s += QUEEN_WITH_ROOK;
    if ((sq >> 3) == seventh_row[C]) s += QUEEN_SEVENTH;
    return s;
}

// The pair bonuses and the bare-king penalty, once every piece has been scored.
int material_rules(int c) {
    int s = 0;
    if (nb_pieces[c] == 1) s -= BARE_KING;
    if (bishop_mat[c] == 2) s += BISHOP_PAIR - nb_pions[LIGHT] - nb_pions[DARK];
    if (knight_mat[c] == 2) s -= KNIGHT_PAIR;
    if (rook_mat[c] == 2) s -= ROOK_PAIR;
    return s;
}

// Scoring pass over one side's knights, bishops, rooks and queens.
template <int C> int piece_terms() {
    const uint64_t *bb = piece_bb[C];
    const int lone = lone_minor(C), pawns = imbalance_index(C);
    const int *knight_table = knight_pcsq[Stage], *bishop_table = bishop_pcsq[Stage];
    int s = 0;
    for (uint64_t b = bb[KNIGHT]; b; b &= b - 1)
        s += knight_table[view<C>(lsb(b))] + lone + knight_imbalance[pawns];
    for (uint64_t b = bb[BISHOP]; b; b &= b - 1) {
        const int lsq = view<C>(lsb(b));
        s += bishop_trap<C>(lsq) + bishop_table[lsq] + lone;
    }
    for (uint64_t b = bb[ROOK]; b; b &= b - 1)
        s += rook_terms<C>(lsb(b)) + rook_imbalance[pawns];
    for (uint64_t b = bb[QUEEN]; b; b &= b - 1)
        s += queen_terms<C>(lsb(b));
    if (Stage == STAGE_ENDGAME)
        for (int p = KNIGHT; p <= QUEEN; ++p)
            for (uint64_t b = bb[p]; b; b &= b - 1)
                s += mobility[p][mobility_count(lsb(b))];
    return s;
}

// One side's pawn sum: its pawns, and in the endgame its king's square.
template <int C> int pawn_terms() {
    int s = 0;
    for (uint64_t b = piece_bb[C][PAWN]; b; b &= b - 1)
        s += pawn_score<C>(lsb(b));
    if (Stage == STAGE_ENDGAME)
        for (uint64_t b = piece_bb[C][KING]; b; b &= b - 1)
            s += king_endgame_pcsq[view<C>(lsb(b))];
    return s;
}

} // namespace

int mobility_count(int sq) {
    const int p = piece[sq];
    const int c = color[sq];
    int n = 0;
    for (int d = 0; d < offsets[p]; ++d) {
        const int step = offset[p][d];
        for (int t = mailbox[mailbox64[sq] + step]; t != -1; t = mailbox[mailbox64[t] + step]) {
            if (color[t] != EMPTY) {
                n += color[t] != c;
                break;
            }
            ++n;
            if (!slide[p]) break;
        }
    }
    return n;
}

int eval_light_pawn(int sq) {
    return pawn_score<LIGHT>(sq);
}
int eval_dark_pawn(int sq) {
    return pawn_score<DARK>(sq);
}

int eval() {
    if (ply > max_ply) max_ply = ply;

    count_material();

    int score;
    if (probe_bitbase(&score)) return score;

    // Pawn hash: the pawn score depends on the pawns, the kings and the side to move. Its slot
    // loads while the pieces are scored.
    if (side == DARK) hashpawn ^= side_key();
    if (hashing) HashPawnPrefetch(hashpawn);
    Stage = stage_of(n_pawns, n_pieces);
    const int light =
        piece_mat[LIGHT] + pawn_mat[LIGHT] + piece_terms<LIGHT>() + material_rules(LIGHT);
    const int dark = piece_mat[DARK] + pawn_mat[DARK] + piece_terms<DARK>() + material_rules(DARK);

    const HashPawnEntry *pawn_entry = hashing ? HashPawnFind(hashpawn) : nullptr;
    int pawns = 0;
    if (pawn_entry) {
        pawns = pawn_entry->score;
        ++hash_pawn_hit;
    }
    if (piece_mat[LIGHT] + piece_mat[DARK] < INSUFFICIENT_MATERIAL && n_pawns == 0) return 0;

    if (!pawn_entry) {
        pawns = pawn_terms<LIGHT>() - pawn_terms<DARK>();
        if (hashing) HashPawnInsert(hashpawn, pawns);
    }
    const int light_view = pawns + light - dark;
    return side == LIGHT ? light_view : -light_view;
}

int mat_balance() {
    nullmat = 0;
    for (int c = 0; c < 2; ++c) {
        int pieces = 0;
        for (int p = KNIGHT; p <= KING; ++p)
            pieces += piece_count[c][p] * piece_value[p];
        piece_mat[c] = pieces + piece_count[c][PAWN] * piece_value[PAWN];
        nullmat += pieces;
    }
    return piece_mat[side] - piece_mat[xside];
}

int mat_gain(const hist_rec &rec) {
    return move_bits(rec.m) & FLAG_CAPTURE ? piece_value[rec.capture] : 0;
}

int contempt_factor() {
    return contempt[Stage];
}
