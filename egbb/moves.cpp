// The prober's private board (0x88, piece lists) with its move generator, and the one-ply
// search that answers a position whose own table file is missing from the file of the other
// side to move.
#include <cstring>
#include <initializer_list>

#include "prober_internal.h"

namespace egbb_prober {

SQATT temp_sqatt[256];

namespace {

struct DIRS {
    int n;
    bool slide;
    int step[8];
};
// By piece type: none, king, queen, rook, bishop, knight (pawns are generated apart).
const DIRS piece_dirs[6] = {
    {0, false, {}},
    {8, false, {1, -1, 16, -16, 15, -15, 17, -17}},
    {8, true, {1, -1, 16, -16, 15, -15, 17, -17}},
    {4, true, {1, -1, 16, -16}},
    {4, true, {15, -15, 17, -17}},
    {8, false, {18, -18, 14, -14, 33, -33, 31, -31}},
};
const int pawn_dir[2] = {16, -16};
// Promotion pieces in generation order (queen first), white codes; black adds 6.
const int promotions[4] = {WQUEEN, WKNIGHT, WROOK, WBISHOP};

inline bool on_board(int sq) {
    return !(sq & 0x88);
}
inline int rank88(int sq) {
    return sq >> 4;
}

void set_att(int diff, int step, int bits) {
    temp_sqatt[diff + 128].step = step;
    temp_sqatt[diff + 128].pieces |= bits;
}

} // namespace

void init_sqatt() {
    memset(temp_sqatt, 0, sizeof(temp_sqatt));
    static const int king[8] = {1, -1, 16, -16, 15, -15, 17, -17};
    static const int knight[8] = {18, -18, 14, -14, 33, -33, 31, -31};
    for (int d : king)
        set_att(d, d, 1);
    for (int k = 0; k < 4; k++)
        for (int n = 1; n <= 7; n++) {
            set_att(n * king[k], king[k], 2 | 4);
            set_att(n * king[k + 4], king[k + 4], 2 | 8);
        }
    for (int d : knight)
        temp_sqatt[d + 128].pieces |= 16;
    temp_sqatt[15 + 128].pieces |= 32;
    temp_sqatt[17 + 128].pieces |= 32;
    temp_sqatt[-15 + 128].pieces |= 64;
    temp_sqatt[-17 + 128].pieces |= 64;
}

// ---- board ----------------------------------------------------------------------------------

SEARCHER::SEARCHER() {
    for (int &b : temp_board)
        b = OFFBOARD;
    for (int sq = 0; sq < 128; sq++) {
        list[sq] = nullptr;
        if (on_board(sq)) {
            board[sq] = NO_PIECE;
            nodes[sq].sq = sq;
            list[sq] = &nodes[sq];
        }
    }
    for (PLIST &h : plist)
        h.sq = 0, h.prev = h.next = nullptr;
    pstack = stack;
}

void SEARCHER::link(PLIST *node, int pc) {
    PLIST *head = &plist[pc];
    node->prev = head;
    node->next = head->next;
    if (head->next) head->next->prev = node;
    head->next = node;
}

void SEARCHER::unlink(PLIST *node) {
    node->prev->next = node->next;
    if (node->next) node->next->prev = node->prev;
}

// The node of `from` now carries `to`, and the (unlisted) node of `to` takes `from`.
void SEARCHER::move_node(int from, int to) {
    PLIST *moved = list[from];
    list[from] = list[to];
    list[to] = moved;
    moved->sq = to;
    list[from]->sq = from;
}

void SEARCHER::set_pos(int side, int wk, int bk, int p1, int s1, int p2, int s2, int p3, int s3) {
    for (int sq = 0; sq < 128; sq++)
        if (on_board(sq)) {
            board[sq] = NO_PIECE;
            nodes[sq].sq = sq;
            list[sq] = &nodes[sq];
        }
    board[wk] = WKING;
    board[bk] = BKING;
    if (p1) board[s1] = p1;
    if (p2) board[s2] = p2;
    if (p3) board[s3] = p3;
    player = side;
    opponent = side ^ 1;
    castle = epsquare = fifty = 0;
    ply = 0;
    pstack = stack;
    for (PLIST &h : plist)
        h.prev = h.next = nullptr;
    for (int sq = 0; sq < 128; sq++)
        if (on_board(sq) && board[sq] != NO_PIECE) link(list[sq], board[sq]);
}

// ---- move generation ----------------------------------------------------------------------

void SEARCHER::add_move(int from, int to, int moved, int captured, int promoted, uint32_t flags) {
    pstack->move_st[pstack->count++] = (uint32_t)from | ((uint32_t)to << 8) |
                                       ((uint32_t)moved << 16) | ((uint32_t)captured << 20) |
                                       ((uint32_t)promoted << 24) | flags;
}

// Moves of a king, knight or slider: captures (kings are never taken) or quiet moves.
void SEARCHER::gen_piece_moves(int from, int pc, bool captures) {
    const DIRS &d = piece_dirs[piece_type(pc)];
    for (int i = 0; i < d.n; i++) {
        for (int to = from + d.step[i];; to += d.step[i]) {
            const int t = board[to];
            if (t == NO_PIECE) {
                if (!captures) add_move(from, to, pc, 0, 0, 0);
            } else {
                if (captures && piece_color(t) == opponent && piece_type(t) != KING)
                    add_move(from, to, pc, t, 0, 0);
                break;
            }
            if (!d.slide) break;
        }
    }
}

void SEARCHER::gen_pawn_caps(int from, int pc) {
    const int dir = pawn_dir[player], last = player == WHITE ? 7 : 0, add = 6 * player;
    for (int to : {from + dir - 1, from + dir + 1}) {
        const int t = board[to];
        if (piece_color(t) != opponent || piece_type(t) == KING) continue;
        if (rank88(to) == last)
            for (int p : promotions)
                add_move(from, to, pc, t, p + add, 0);
        else
            add_move(from, to, pc, t, 0, 0);
    }
    const int to = from + dir;
    if (rank88(to) == last && board[to] == NO_PIECE) add_move(from, to, pc, 0, WQUEEN + add, 0);
}

void SEARCHER::gen_pawn_quiet(int from, int pc) {
    const int dir = pawn_dir[player], last = player == WHITE ? 7 : 0, add = 6 * player;
    const int to = from + dir;
    if (board[to] != NO_PIECE) return;
    if (rank88(to) == last) {
        for (int k = 1; k < 4; k++)
            add_move(from, to, pc, 0, promotions[k] + add, 0);
        return;
    }
    add_move(from, to, pc, 0, 0, 0);
    const int second = player == WHITE ? 1 : 6;
    if (rank88(from) == second && board[to + dir] == NO_PIECE)
        add_move(from, to + dir, pc, 0, 0, 0);
}

void SEARCHER::gen_caps() {
    const int base = 6 * player;
    for (const PLIST *n = plist[base + PAWN].next; n; n = n->next)
        gen_pawn_caps(n->sq, base + PAWN);
    if (epsquare) {
        const int dir = pawn_dir[player];
        for (int from : {epsquare - dir - 1, epsquare - dir + 1})
            if (board[from] == base + PAWN)
                add_move(from, epsquare, base + PAWN, 6 * opponent + PAWN, 0, EP_FLAG);
    }
    for (int type = KING; type < PAWN; type++)
        for (const PLIST *n = plist[base + type].next; n; n = n->next)
            gen_piece_moves(n->sq, base + type, true);
}

void SEARCHER::gen_noncaps() {
    const int base = 6 * player;
    for (int type = KING; type < PAWN; type++)
        for (const PLIST *n = plist[base + type].next; n; n = n->next)
            gen_piece_moves(n->sq, base + type, false);
    for (const PLIST *n = plist[base + PAWN].next; n; n = n->next)
        gen_pawn_quiet(n->sq, base + PAWN);
}

// ---- make and take back -------------------------------------------------------------------

void SEARCHER::do_move(uint32_t move) {
    const int from = m_from(move), to = m_to(move), pc = m_piece(move);
    const int cap = m_capture(move), prom = m_promote(move);
    if (cap) {
        const int sq = (move & EP_FLAG) ? to - pawn_dir[player] : to;
        unlink(list[sq]);
        board[sq] = NO_PIECE;
    }
    board[from] = NO_PIECE;
    if (prom) {
        unlink(list[from]);
        move_node(from, to);
        link(list[to], prom);
        board[to] = prom;
    } else {
        move_node(from, to);
        board[to] = pc;
    }
    fifty++;
    epsquare = 0;
    if (piece_type(pc) == PAWN) {
        fifty = 0;
        if (to - from == 32 || from - to == 32) epsquare = (from + to) / 2;
    }
    if (cap) fifty = 0;
    player ^= 1;
    opponent ^= 1;
}

void SEARCHER::undo_move(uint32_t move) {
    const int from = m_from(move), to = m_to(move), pc = m_piece(move);
    const int cap = m_capture(move), prom = m_promote(move);
    player ^= 1;
    opponent ^= 1;
    if (prom) unlink(list[to]);
    move_node(to, from);
    if (prom) link(list[from], pc);
    board[from] = pc;
    board[to] = NO_PIECE;
    if (cap) {
        const int sq = (move & EP_FLAG) ? to - pawn_dir[player] : to;
        board[sq] = cap;
        link(list[sq], cap);
    }
}

// ---- attacks ------------------------------------------------------------------------------

int SEARCHER::blocked(int from, int to) const {
    const int step = temp_sqatt[to - from + 128].step;
    if (!step) return 1;
    for (int sq = from + step; sq != to; sq += step)
        if (board[sq] != NO_PIECE) return 1;
    return 0;
}

int SEARCHER::attacks(int col, int sq) const {
    const int base = 6 * col;
    if (col == WHITE) {
        if (board[sq - 15] == WPAWN || board[sq - 17] == WPAWN) return 1;
    } else if (board[sq + 15] == BPAWN || board[sq + 17] == BPAWN) {
        return 1;
    }
    for (const PLIST *n = plist[base + KNIGHT].next; n; n = n->next)
        if (temp_sqatt[sq - n->sq + 128].pieces & 16) return 1;
    static const int sliders[3][2] = {{BISHOP, 8}, {ROOK, 4}, {QUEEN, 2}};
    for (const auto &s : sliders)
        for (const PLIST *n = plist[base + s[0]].next; n; n = n->next)
            if ((temp_sqatt[sq - n->sq + 128].pieces & s[1]) && !blocked(n->sq, sq)) return 1;
    for (const PLIST *n = plist[base + KING].next; n; n = n->next)
        if (temp_sqatt[sq - n->sq + 128].pieces & 1) return 1;
    return 0;
}

// ---- probing ------------------------------------------------------------------------------

int SEARCHER::get_score(int alpha, int beta, int side, int wk, int bk, int p1, int s1, int p2,
                        int s2, int p3, int s3) {
    const int piece[3] = {p1, p2, p3};
    const int square[3] = {s1, s2, s3};
    const int r = probe_table(side, wk, bk, piece, square, this);
    if (r != NEEDS_SEARCH) return r;
    if (ply == 0)
        set_pos(side, SQ6488(wk), SQ6488(bk), p1, p1 ? SQ6488(s1) : 0, p2, p2 ? SQ6488(s2) : 0, p3,
                p3 ? SQ6488(s3) : 0);
    return search(alpha, beta, wk, bk, piece, square);
}

// Plays every legal move and looks the children up (recursively through get_score). A child
// that cannot be answered makes the position unknown unless another move wins anyway.
int SEARCHER::search(int alpha, int beta, int wk, int bk, const int piece[3], const int square[3]) {
    STACK *const st = pstack;
    st->count = 0;
    gen_caps();
    gen_noncaps();
    const int mover = player;
    const int own_king = mover == WHITE ? WKING : BKING;
    int legal = 0;
    bool unknown = false;
    for (int i = 0; i < st->count; i++) {
        const uint32_t move = st->move_st[i];
        do_move(move);
        ply++;
        pstack++;
        if (attacks(player, plist[own_king].next->sq)) {
            undo_move(move);
            ply--;
            pstack--;
            continue;
        }
        legal++;
        const int from = SQ8864(m_from(move)), to = SQ8864(m_to(move));
        const int taken = m_capture(move)
                              ? SQ8864((move & EP_FLAG) ? m_to(move) - pawn_dir[mover] : m_to(move))
                              : -1;
        int cp[3], cs[3];
        for (int k = 0; k < 3; k++) {
            cp[k] = piece[k], cs[k] = square[k];
            if (!piece[k]) continue;
            if (square[k] == taken)
                cp[k] = 0, cs[k] = -1;
            else if (square[k] == from) {
                cs[k] = to;
                if (m_promote(move)) cp[k] = board[m_to(move)];
            }
        }
        const int nwk = from == wk ? to : wk, nbk = from == bk ? to : bk;
        const int child =
            get_score(-beta, -alpha, player, nwk, nbk, cp[0], cs[0], cp[1], cs[1], cp[2], cs[2]);
        undo_move(move);
        ply--;
        pstack--;
        if (child == SEARCH_UNKNOWN) {
            unknown = true;
            continue;
        }
        const int score = -child;
        if (score > alpha) {
            if (score >= beta) return beta;
            alpha = score;
        }
    }
    if (unknown) return SEARCH_UNKNOWN;
    if (legal) return alpha;
    return attacks(opponent, plist[own_king].next->sq) ? -1 : 0;
}

} // namespace egbb_prober
