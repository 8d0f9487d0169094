// Retrograde analysis of one material with both sides to move.
//
// Every legal position first gets the number of its legal moves that stay in the material;
// captures and promotions leave it and are valued at once from the tables already written
// (a move into a lost position wins, a move into a drawn one saves the draw). Mates, stalemates
// and positions won by such a move seed a queue. Taking back moves from a lost position marks
// its predecessors won; from a won position it counts their moves down, and a predecessor
// whose every move has been counted, with no drawing exit, is lost. What is left is drawn.
// The reduced space keeps one position of every orbit of the symmetries that move the white
// king (all orbits have the same size), so forward counts and backward visits match.
#include <atomic>
#include <cstdlib>
#include <thread>

#include "bbgen.h"
#include "prober_internal.h"

using namespace egbb_prober;

namespace {

inline int file_of(int s) {
    return s & 7;
}
inline int rank_of(int s) {
    return s >> 3;
}
inline int color_of(int p) {
    return p <= 6 ? 0 : 1;
}
inline int type_of(int p) {
    return piece_type(p);
}
inline uint64_t bit(int s) {
    return 1ull << s;
}

// Attack and ray tables on the 0..63 board.
struct Tables {
    uint64_t king[64], knight[64], pawn[2][64], between[64][64];
    bool rook_line[64][64], bishop_line[64][64];
    int ray[64][8][8], ray_len[64][8];

    Tables() {
        static const int df[8] = {1, -1, 0, 0, 1, 1, -1, -1}, dr[8] = {0, 0, 1, -1, 1, -1, 1, -1};
        static const int nf[8] = {1, 2, 2, 1, -1, -2, -2, -1}, nr[8] = {2, 1, -1, -2, -2, -1, 1, 2};
        for (int s = 0; s < 64; s++) {
            king[s] = knight[s] = pawn[0][s] = pawn[1][s] = 0;
            for (int t = 0; t < 64; t++)
                between[s][t] = 0, rook_line[s][t] = bishop_line[s][t] = false;
            for (int d = 0; d < 8; d++) {
                const int f = file_of(s) + nf[d], r = rank_of(s) + nr[d];
                if (f >= 0 && f < 8 && r >= 0 && r < 8) knight[s] |= bit(r * 8 + f);
                ray_len[s][d] = 0;
                uint64_t passed = 0;
                for (int k = 1; k < 8; k++) {
                    const int f2 = file_of(s) + k * df[d], r2 = rank_of(s) + k * dr[d];
                    if (f2 < 0 || f2 > 7 || r2 < 0 || r2 > 7) break;
                    const int t = r2 * 8 + f2;
                    if (k == 1) king[s] |= bit(t);
                    ray[s][d][ray_len[s][d]++] = t;
                    between[s][t] = passed;
                    (d < 4 ? rook_line : bishop_line)[s][t] = true;
                    passed |= bit(t);
                }
            }
            for (int side = 0; side < 2; side++) {
                const int r = rank_of(s) + (side ? -1 : 1);
                if (r < 0 || r > 7) continue;
                if (file_of(s) > 0) pawn[side][s] |= bit(r * 8 + file_of(s) - 1);
                if (file_of(s) < 7) pawn[side][s] |= bit(r * 8 + file_of(s) + 1);
            }
        }
    }
};
const Tables &T() {
    static const Tables t;
    return t;
}

// Directions (indexes into Tables::ray) of the sliders: rook 0..3, bishop 4..7.
const int first_dir[7] = {0, 0, 0, 0, 4, 0, 0};
const int n_dirs[7] = {0, 0, 8, 4, 4, 0, 0};

} // namespace

// Kings at man[0] (white) and man[1] (black), the material's pieces after them; a captured
// piece keeps its slot with code 0.
struct Generator::Men {
    int n;
    int code[5];
    int sq[5];

    uint64_t occ() const {
        uint64_t o = 0;
        for (int i = 0; i < n; i++)
            if (code[i]) o |= bit(sq[i]);
        return o;
    }
    int at(int s) const {
        for (int i = 0; i < n; i++)
            if (code[i] && sq[i] == s) return i;
        return -1;
    }
    bool attacked(int target, int by) const {
        const Tables &t = T();
        const uint64_t o = occ();
        for (int i = 0; i < n; i++) {
            if (!code[i] || color_of(code[i]) != by) continue;
            const int s = sq[i];
            switch (type_of(code[i])) {
            case KING:
                if (t.king[s] & bit(target)) return true;
                break;
            case KNIGHT:
                if (t.knight[s] & bit(target)) return true;
                break;
            case PAWN:
                if (t.pawn[by][s] & bit(target)) return true;
                break;
            case QUEEN:
                if ((t.rook_line[s][target] || t.bishop_line[s][target]) &&
                    !(t.between[s][target] & o))
                    return true;
                break;
            case ROOK:
                if (t.rook_line[s][target] && !(t.between[s][target] & o)) return true;
                break;
            case BISHOP:
                if (t.bishop_line[s][target] && !(t.between[s][target] & o)) return true;
                break;
            }
        }
        return false;
    }
    bool in_check(int side) const { return attacked(sq[side], side ^ 1); }
};

namespace {

// Calls f(man, to) for every target square of a man: quiet targets (empty squares) or captures
// (opposing pieces other than the king). Pawns are handled by the callers.
template <class F> void piece_targets(const Generator::Men &p, int i, bool captures, F f);

} // namespace

Generator::Generator(const Material &m, const Oracle &oracle) : mat_(m), oracle_(oracle) {
    pawns_ = false;
    for (int i = 0; i < m.n; i++)
        pawns_ |= type_of(m.pc[i]) == PAWN;
    king_slots_ = pawns_ ? 32 : 16;
    size_ = (size_t)king_slots_ * 64;
    for (int i = 0; i < m.n; i++)
        size_ *= 64;
    for (int s = 0; s < 2; s++) {
        val_[s].assign(size_, V_UNKNOWN);
        cnt_[s].assign(size_, 0);
    }
}

size_t Generator::encode(int wk, int bk, const int *sq) const {
    int flip = file_of(wk) > 3 ? 7 : 0;
    if (!pawns_ && rank_of(wk) > 3) flip |= 56;
    wk ^= flip;
    size_t i = (size_t)(rank_of(wk) * 4 + file_of(wk)) * 64 + (bk ^ flip);
    for (int k = 0; k < mat_.n; k++)
        i = i * 64 + (sq[k] ^ flip);
    return i;
}

void Generator::decode(size_t i, Men &p) const {
    p.n = mat_.n + 2;
    for (int k = mat_.n - 1; k >= 0; k--) {
        p.sq[k + 2] = (int)(i & 63);
        p.code[k + 2] = mat_.pc[k];
        i >>= 6;
    }
    p.sq[1] = (int)(i & 63);
    i >>= 6;
    p.sq[0] = (int)((i >> 2) * 8 + (i & 3));
    p.code[0] = WKING;
    p.code[1] = BKING;
}

namespace {

template <class F> void piece_targets(const Generator::Men &p, int i, bool captures, F f) {
    const Tables &t = T();
    const int c = p.code[i], s = p.sq[i], ty = type_of(c), me = color_of(c);
    auto consider = [&](int to) {
        const int j = p.at(to);
        if (j < 0) {
            if (!captures) f(to, -1);
        } else if (captures && color_of(p.code[j]) != me && type_of(p.code[j]) != KING) {
            f(to, j);
        }
        return j < 0;
    };
    if (ty == KING || ty == KNIGHT) {
        uint64_t b = ty == KING ? t.king[s] : t.knight[s];
        while (b) {
            consider(__builtin_ctzll(b));
            b &= b - 1;
        }
        return;
    }
    for (int d = first_dir[ty]; d < first_dir[ty] + n_dirs[ty]; d++)
        for (int k = 0; k < t.ray_len[s][d] && consider(t.ray[s][d][k]); k++) {
        }
}

} // namespace

void Generator::init_side(int side, void (*progress)(const char *, double)) {
    const char *phase = side ? "init b" : "init w";
    std::vector<uint8_t> &val = val_[side];
    std::vector<uint8_t> &cnt = cnt_[side];
    for (size_t idx = 0; idx < size_; idx++) {
        if (progress && !(idx & 0xFFFFF)) progress(phase, (double)idx / size_);
        Men p;
        decode(idx, p);
        // Legality: distinct squares, pawns off the first and last ranks, the side that has
        // just moved not in check (which also keeps the kings apart).
        uint64_t o = 0;
        bool ok = true;
        for (int k = 0; k < p.n && ok; k++) {
            ok = !(o & bit(p.sq[k])) &&
                 (type_of(p.code[k]) != PAWN || (rank_of(p.sq[k]) > 0 && rank_of(p.sq[k]) < 7));
            o |= bit(p.sq[k]);
        }
        if (!ok || p.in_check(side ^ 1)) {
            val[idx] = V_ILLEGAL;
            continue;
        }
        int in_table = 0, legal = 0;
        bool draw_exit = false, won = false;
        // Plays move of man i to `to` (capturing man j, promoting to prom) and scores it.
        auto play = [&](int i, int to, int j, int prom) {
            if (won) return;
            Men c = p;
            c.sq[i] = to;
            if (j >= 0) c.code[j] = 0;
            if (prom) c.code[i] = prom;
            if (c.in_check(side)) return;
            legal++;
            if (j < 0 && !prom) {
                in_table++;
                return;
            }
            int pc[3], sq[3], n = 0;
            for (int k = 2; k < c.n; k++)
                if (c.code[k]) pc[n] = c.code[k], sq[n] = c.sq[k], n++;
            const uint8_t v = oracle_.lookup(side ^ 1, c.sq[0], c.sq[1], n, pc, sq);
            if (v == V_LOSS)
                won = true;
            else if (v == V_DRAW)
                draw_exit = true;
        };
        for (int i = 0; i < p.n && !won; i++) {
            if (color_of(p.code[i]) != side) continue;
            if (type_of(p.code[i]) != PAWN) {
                piece_targets(p, i, false, [&](int to, int j) { play(i, to, j, 0); });
                piece_targets(p, i, true, [&](int to, int j) { play(i, to, j, 0); });
                continue;
            }
            const int dir = side ? -8 : 8, s = p.sq[i], to = s + dir;
            const bool last = rank_of(to) == (side ? 0 : 7);
            static const int promo[4] = {WQUEEN, WROOK, WBISHOP, WKNIGHT};
            auto pawn_move = [&](int t, int j) {
                if (!last)
                    play(i, t, j, 0);
                else
                    for (int q : promo)
                        play(i, t, j, q + 6 * side);
            };
            if (p.at(to) < 0) {
                pawn_move(to, -1);
                if (rank_of(s) == (side ? 6 : 1) && p.at(to + dir) < 0) play(i, to + dir, -1, 0);
            }
            uint64_t caps = T().pawn[side][s];
            while (caps) {
                const int t = __builtin_ctzll(caps);
                caps &= caps - 1;
                const int j = p.at(t);
                if (j >= 0 && color_of(p.code[j]) != side && type_of(p.code[j]) != KING)
                    pawn_move(t, j);
            }
        }
        if (won)
            val[idx] = V_WIN;
        else if (!legal)
            val[idx] = p.in_check(side) ? V_LOSS : V_DRAW;
        else if (!in_table)
            val[idx] = draw_exit ? V_DRAW : V_LOSS;
        cnt[idx] = (uint8_t)(in_table | (draw_exit ? 0x80 : 0));
    }
}

void Generator::retro(void (*progress)(const char *, double)) {
    std::vector<uint32_t> queue;
    for (int s = 0; s < 2; s++)
        for (size_t i = 0; i < size_; i++)
            if (val_[s][i] == V_WIN || val_[s][i] == V_LOSS)
                queue.push_back((uint32_t)i | ((uint32_t)s << 31));
    long decided = (long)queue.size();
    for (size_t head = 0; head < queue.size(); head++) {
        if (progress && !(head & 0xFFFFF)) progress("retro", (double)head / queue.size());
        const int side = queue[head] >> 31, mover = side ^ 1;
        const size_t qi = queue[head] & 0x7FFFFFFF;
        const uint8_t v = val_[side][qi];
        Men p;
        decode(qi, p);
        auto visit = [&](int i, int from) {
            Men x = p;
            x.sq[i] = from;
            int sq[3];
            for (int k = 0; k < mat_.n; k++)
                sq[k] = x.sq[k + 2];
            const size_t xi = encode(x.sq[0], x.sq[1], sq);
            uint8_t &xv = val_[mover][xi];
            if (xv != V_UNKNOWN) return;
            if (v == V_LOSS) {
                xv = V_WIN;
            } else if (--cnt_[mover][xi] == 0) {
                xv = V_LOSS;
            } else {
                return;
            }
            decided++;
            queue.push_back((uint32_t)xi | ((uint32_t)mover << 31));
        };
        for (int i = 0; i < p.n; i++) {
            if (!p.code[i] || color_of(p.code[i]) != mover) continue;
            if (type_of(p.code[i]) != PAWN) {
                piece_targets(p, i, false, [&](int from, int) { visit(i, from); });
                continue;
            }
            const int back = mover ? 8 : -8, s = p.sq[i], from = s + back;
            const int first = mover ? 6 : 1;
            if (rank_of(from) != (mover ? 7 : 0) && p.at(from) < 0) {
                visit(i, from);
                if (rank_of(from) == first + (mover ? -1 : 1) && p.at(from + back) < 0)
                    visit(i, from + back);
            }
        }
    }
    for (int s = 0; s < 2; s++)
        for (size_t i = 0; i < size_; i++)
            if (val_[s][i] == V_UNKNOWN) val_[s][i] = V_DRAW;
}

void Generator::run(void (*progress)(const char *, double)) {
    std::thread other([&] { init_side(1, nullptr); });
    init_side(0, progress);
    other.join();
    retro(progress);
}

uint8_t Generator::value(int side, int wk, int bk, const int *sq) const {
    return val_[side][encode(wk, bk, sq)];
}

std::vector<uint8_t> Generator::file_values(int side, long &conflicts) const {
    static const uint8_t stored[5] = {0, 1, 2, 0, 0};
    const uint32_t size = index_space(mat_.pc[0], mat_.pc[1], mat_.pc[2]);
    std::vector<uint8_t> out(size, 0xFF);
    conflicts = 0;
    const size_t raw = (size_t)1 << (6 * (mat_.n + 2));
    int sq[3] = {0, 0, 0}, pc[3] = {0, 0, 0};
    for (int k = 0; k < mat_.n; k++)
        pc[k] = mat_.pc[k];
    for (size_t r = 0; r < raw; r++) {
        size_t x = r;
        for (int k = mat_.n - 1; k >= 0; k--, x >>= 6)
            sq[k] = (int)(x & 63);
        const int bk = (int)(x & 63), wk = (int)(x >> 6);
        const uint8_t v = val_[side][encode(wk, bk, sq)];
        if (v == V_ILLEGAL) continue;
        TABLE_INDEX t;
        if (canonical_index(side, wk, bk, pc, sq, t) != mat_.n || t.side != side || t.a != pc[0] ||
            t.b != pc[1] || t.c != pc[2]) {
            conflicts++;
            continue;
        }
        if (out[t.index] != 0xFF && out[t.index] != stored[v]) conflicts++;
        out[t.index] = stored[v];
    }
    // Indices no legal position reaches repeat the value before them: long runs compress best.
    uint8_t last = 0;
    for (uint8_t &v : out)
        v = v == 0xFF ? last : (last = v);
    return out;
}

void Generator::counts(long out[2][4]) const {
    for (int s = 0; s < 2; s++) {
        for (int v = 0; v < 4; v++)
            out[s][v] = 0;
        for (size_t i = 0; i < size_; i++)
            if (val_[s][i] < V_ILLEGAL) out[s][val_[s][i]]++;
    }
}
