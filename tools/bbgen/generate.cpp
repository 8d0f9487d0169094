// Retrograde analysis of one material with both sides to move.
//
// Every legal position first gets the number of its legal moves that stay in the material;
// captures and promotions leave it and are valued at once from the tables already written
// (a move into a lost position wins, a move into a drawn one saves the draw). Mates, stalemates
// and positions won by such a move are the first layer of decided positions. Taking back moves
// from a lost position marks its predecessors won; from a won position it counts their moves
// down, and a predecessor whose every move has been counted, with no drawing exit, is lost.
// Each layer is the set of positions the previous one decided, shared out between threads;
// what is left undecided at the end is drawn.
//
// The reduced space keeps one position of every orbit of the symmetries that move the white
// king (all orbits have the same size), so forward counts and backward visits match.
#include <atomic>
#include <thread>
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

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
inline uint64_t bit(int s) {
    return 1ull << s;
}

// Directions: the first four increase the square number (north, east, north-east, north-west),
// the last four decrease it.
const int DF[8] = {0, 1, 1, -1, 0, -1, -1, 1}, DR[8] = {1, 0, 1, 1, -1, 0, -1, -1};
// Direction sets of the sliders by piece type (queen all, rook orthogonal, bishop diagonal).
const uint8_t SLIDER_DIRS[7] = {0, 0, 0xFF, 0x33, 0xCC, 0, 0};
enum : uint8_t { NO_LINE = 0, ROOK_LINE = 1, BISHOP_LINE = 2 };

// Whether a piece of the type moves along a line of the kind (NO_LINE: none).
bool slides_along(int type, uint8_t line) {
    return line && (type == QUEEN || (type == ROOK && line == ROOK_LINE) ||
                    (type == BISHOP && line == BISHOP_LINE));
}

// Attack and ray tables on the 0..63 board.
struct Tables {
    uint64_t king[64], knight[64], pawn[2][64], between[64][64], ray[64][8];
    uint8_t line[64][64];

    Tables() {
        static const int nf[8] = {1, 2, 2, 1, -1, -2, -2, -1}, nr[8] = {2, 1, -1, -2, -2, -1, 1, 2};
        for (int s = 0; s < 64; s++) {
            king[s] = knight[s] = pawn[0][s] = pawn[1][s] = 0;
            for (int t = 0; t < 64; t++)
                between[s][t] = 0, line[s][t] = NO_LINE;
            for (int d = 0; d < 8; d++) {
                const int f = file_of(s) + nf[d], r = rank_of(s) + nr[d];
                if (f >= 0 && f < 8 && r >= 0 && r < 8) knight[s] |= bit(r * 8 + f);
                ray[s][d] = 0;
                for (int k = 1; k < 8; k++) {
                    const int f2 = file_of(s) + k * DF[d], r2 = rank_of(s) + k * DR[d];
                    if (f2 < 0 || f2 > 7 || r2 < 0 || r2 > 7) break;
                    const int t = r2 * 8 + f2;
                    if (k == 1) king[s] |= bit(t);
                    between[s][t] = ray[s][d];
                    line[s][t] = d & 2 ? BISHOP_LINE : ROOK_LINE;
                    ray[s][d] |= bit(t);
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

    uint64_t slider(int s, int type, uint64_t occ) const {
        uint64_t a = 0;
        for (int d = 0; d < 8; d++) {
            if (!(SLIDER_DIRS[type] >> d & 1)) continue;
            uint64_t r = ray[s][d];
            const uint64_t b = r & occ;
            if (b) r ^= ray[d < 4 ? __builtin_ctzll(b) : 63 - __builtin_clzll(b)][d];
            a |= r;
        }
        return a;
    }
};
const Tables &T() {
    static const Tables t;
    return t;
}

// Sizes a large array, on huge pages where the system offers them: the retrograde pass reads
// and writes its arrays at random, and with small pages much of its time goes to address
// translation.
template <class T> void allocate(std::vector<T> &v, size_t n) {
    v.reserve(n);
#ifdef MADV_HUGEPAGE
    const uintptr_t huge = 2 << 20, begin = ((uintptr_t)v.data() + huge - 1) & ~(huge - 1),
                    end = (uintptr_t)(v.data() + n) & ~(huge - 1);
    if (end > begin) madvise((void *)begin, end - begin, MADV_HUGEPAGE);
#endif
    v.assign(n, T());
}

// Generator states of a position, one byte a side: below DECIDED, the number of moves still to
// be refuted (bit 7 set when a move out of the material draws); at DECIDED and above, DECIDED +
// a V_ value.
constexpr uint8_t DECIDED = 0xF0, DRAW_EXIT = 0x80, COUNT_MASK = 0x7F;
constexpr uint8_t S_WIN = DECIDED + V_WIN, S_LOSS = DECIDED + V_LOSS, S_DRAW = DECIDED + V_DRAW,
                  S_ILLEGAL = DECIDED + V_ILLEGAL;

constexpr int PAWN_DIR[2] = {8, -8};
constexpr int PROMOTIONS[4] = {WQUEEN, WROOK, WBISHOP, WKNIGHT};

// The better of two outcomes for one side, V_UNKNOWN meaning none.
uint8_t better(uint8_t a, uint8_t b) {
    static const int rank[4] = {0, 3, 1, 2}; // none < loss < draw < win
    return rank[b] > rank[a] ? b : a;
}
uint8_t flip_value(uint8_t v) {
    static const uint8_t flipped[4] = {V_UNKNOWN, V_LOSS, V_WIN, V_DRAW};
    return flipped[v];
}

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
    uint64_t occ_of(int side) const {
        uint64_t o = 0;
        for (int i = 0; i < n; i++)
            if (code[i] && color_of(code[i]) == side) o |= bit(sq[i]);
        return o;
    }
    int at(int s) const {
        for (int i = 0; i < n; i++)
            if (code[i] && sq[i] == s) return i;
        return -1;
    }
    // Whether side `by` attacks the target with the given occupancy, man `skip` left out.
    bool attacked(int target, int by, uint64_t occ, int skip = -1) const {
        const Tables &t = T();
        for (int i = 0; i < n; i++) {
            if (i == skip || !code[i] || color_of(code[i]) != by) continue;
            const int s = sq[i];
            switch (piece_type(code[i])) {
            case KING:
                if (t.king[s] & bit(target)) return true;
                break;
            case KNIGHT:
                if (t.knight[s] & bit(target)) return true;
                break;
            case PAWN:
                if (t.pawn[by][s] & bit(target)) return true;
                break;
            default:
                if (slides_along(piece_type(code[i]), t.line[s][target]) &&
                    !(t.between[s][target] & occ))
                    return true;
            }
        }
        return false;
    }
    bool in_check(int side) const { return attacked(sq[side], side ^ 1, occ()); }
    // Squares a man other than a pawn attacks.
    uint64_t reach(int i, uint64_t occ) const {
        const int type = piece_type(code[i]);
        return type == KING     ? T().king[sq[i]]
               : type == KNIGHT ? T().knight[sq[i]]
                                : T().slider(sq[i], type, occ);
    }
    // The pieces besides the kings, for table look-ups.
    int pieces(int *pc, int *s) const {
        int k = 0;
        for (int i = 2; i < n; i++)
            if (code[i]) pc[k] = code[i], s[k] = sq[i], k++;
        return k;
    }
};

void parallel_chunks(int threads, size_t n, const std::function<void(size_t)> &work) {
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t c; (c = next++) < n;)
            work(c);
    };
    std::vector<std::thread> others;
    for (int t = 1; t < threads; t++)
        others.emplace_back(worker);
    worker();
    for (std::thread &t : others)
        t.join();
}

size_t Generator::space(const Material &m) {
    bool pawns = false;
    for (int i = 0; i < m.n; i++)
        pawns |= piece_type(m.pc[i]) == PAWN;
    return (size_t)(pawns ? 32 : 16) << (6 * (m.n + 1));
}

Generator::Generator(const Material &m, const Oracle &oracle, int threads)
    : mat_(m), oracle_(oracle), threads_(threads < 1 ? 1 : threads) {
    pawns_ = false;
    for (int i = 0; i < m.n; i++)
        pawns_ |= piece_type(m.pc[i]) == PAWN;
    size_ = space(m);
    for (int s = 0; s < 2; s++) {
        allocate(state_[s], size_);
        for (int parity = 0; parity < 2; parity++)
            allocate(fresh_[parity][s], (size_ + 63) / 64);
    }
}

size_t Generator::encode(const Men &p) const {
    int flip = file_of(p.sq[0]) > 3 ? 7 : 0;
    if (!pawns_ && rank_of(p.sq[0]) > 3) flip |= 56;
    const int wk = p.sq[0] ^ flip;
    size_t i = (size_t)(rank_of(wk) * 4 + file_of(wk)) * 64 + (p.sq[1] ^ flip);
    for (int k = 2; k < p.n; k++)
        i = i * 64 + (p.sq[k] ^ flip);
    return i;
}

void Generator::decode(size_t i, Men &p) const {
    p.n = mat_.n + 2;
    for (int k = p.n - 1; k >= 2; k--) {
        p.sq[k] = (int)(i & 63);
        p.code[k] = mat_.pc[k - 2];
        i >>= 6;
    }
    p.sq[1] = (int)(i & 63);
    i >>= 6;
    p.sq[0] = (int)((i >> 2) * 8 + (i & 3));
    p.code[0] = WKING;
    p.code[1] = BKING;
}

// Value, for its side to move, of a position reached by a capture or a promotion.
uint8_t Generator::exit_value(const Men &child, int side) const {
    int pc[3], sq[3];
    const int n = child.pieces(pc, sq);
    return oracle_.lookup(side, child.sq[0], child.sq[1], n, pc, sq);
}

// Best outcome for `side` of its en-passant captures of the pawn (man `pawn`) that has just
// made a double step; V_UNKNOWN when there is none.
uint8_t Generator::en_passant(const Men &p, int side, int pawn) const {
    const int target = p.sq[pawn] + PAWN_DIR[side];
    uint8_t best = V_UNKNOWN;
    for (int i = 2; i < p.n; i++) {
        if (p.code[i] != WPAWN + 6 * side || !(T().pawn[side][p.sq[i]] & bit(target))) continue;
        const uint64_t occ = (p.occ() ^ bit(p.sq[i]) ^ bit(p.sq[pawn])) | bit(target);
        Men c = p;
        c.sq[i] = target;
        c.code[pawn] = 0;
        if (c.attacked(c.sq[side], side ^ 1, occ)) continue;
        best = better(best, flip_value(exit_value(c, side ^ 1)));
    }
    return best;
}

// The first state of a position for `side` to move: its value when its own moves settle it,
// else the number of its moves that stay in the material.
uint8_t Generator::initial_state(const Men &p, int side) const {
    const Tables &t = T();
    uint64_t o = 0;
    for (int k = 0; k < p.n; k++) {
        if ((o & bit(p.sq[k])) ||
            (piece_type(p.code[k]) == PAWN && (rank_of(p.sq[k]) == 0 || rank_of(p.sq[k]) == 7)))
            return S_ILLEGAL;
        o |= bit(p.sq[k]);
    }
    // The side that has just moved may not be in check (which also keeps the kings apart).
    if (p.attacked(p.sq[side ^ 1], side, o)) return S_ILLEGAL;
    const int ks = p.sq[side];
    const uint64_t own = p.occ_of(side);
    const bool check = p.attacked(ks, side ^ 1, o);
    // Squares the king may not step to (the opponent's attacks through the king's own square),
    // and for each man the squares it may move to without uncovering its king.
    uint64_t guarded = 0, allowed[5] = {~0ull, ~0ull, ~0ull, ~0ull, ~0ull};
    for (int j = 0; j < p.n; j++) {
        if (color_of(p.code[j]) == side) continue;
        const int s = p.sq[j], type = piece_type(p.code[j]);
        guarded |= type == PAWN ? t.pawn[side ^ 1][s] : p.reach(j, o ^ bit(ks));
        if (!slides_along(type, t.line[s][ks])) continue;
        const uint64_t between = t.between[s][ks] & o;
        if (between && !(between & (between - 1)) && (between & own))
            allowed[p.at(__builtin_ctzll(between))] = t.between[s][ks] | bit(s);
    }
    auto legal_move = [&](int i, int to, int j) {
        if (i == side) return !(guarded & bit(to));
        if (!check) return (allowed[i] & bit(to)) != 0;
        return !p.attacked(ks, side ^ 1, (o ^ bit(p.sq[i])) | bit(to), j);
    };
    int legal = 0, in_table = 0;
    bool draw_exit = false;
    // Plays man i to `to` (capturing man j, promoting to prom); true when the move wins.
    auto play = [&](int i, int to, int j, int prom, bool double_step) {
        if (!legal_move(i, to, j)) return false;
        legal++;
        if (j < 0 && !prom && !double_step) {
            in_table++;
            return false;
        }
        Men c = p;
        c.sq[i] = to;
        if (j < 0 && !prom) {
            // A double step that the opponent wins by taking en passant is refuted already.
            if (en_passant(c, side ^ 1, i) != V_WIN) in_table++;
            return false;
        }
        if (j >= 0) c.code[j] = 0;
        if (prom) c.code[i] = prom;
        const uint8_t v = exit_value(c, side ^ 1);
        draw_exit |= v == V_DRAW;
        return v == V_LOSS;
    };
    for (int i = 0; i < p.n; i++) {
        if (color_of(p.code[i]) != side) continue;
        const int s = p.sq[i];
        if (piece_type(p.code[i]) != PAWN) {
            for (uint64_t b = p.reach(i, o) & ~own; b; b &= b - 1) {
                const int to = __builtin_ctzll(b);
                if (play(i, to, (o & bit(to)) ? p.at(to) : -1, 0, false)) return S_WIN;
            }
            continue;
        }
        const int dir = PAWN_DIR[side], last = side ? 0 : 7;
        auto pawn_move = [&](int to, int j) {
            if (rank_of(to) != last) return play(i, to, j, 0, false);
            for (int q : PROMOTIONS)
                if (play(i, to, j, q + 6 * side, false)) return true;
            return false;
        };
        if (!(o & bit(s + dir))) {
            if (pawn_move(s + dir, -1)) return S_WIN;
            if (rank_of(s) == (side ? 6 : 1) && !(o & bit(s + 2 * dir)) &&
                play(i, s + 2 * dir, -1, 0, true))
                return S_WIN;
        }
        for (uint64_t b = t.pawn[side][s] & o & ~own; b; b &= b - 1)
            if (pawn_move(__builtin_ctzll(b), p.at(__builtin_ctzll(b)))) return S_WIN;
    }
    if (!legal) return check ? S_LOSS : S_DRAW;
    if (!in_table) return draw_exit ? S_DRAW : S_LOSS;
    return (uint8_t)(in_table | (draw_exit ? DRAW_EXIT : 0));
}

void Generator::mark(std::vector<uint64_t> *bits, int side, size_t i) {
    __atomic_fetch_or(&bits[side][i >> 6], bit(i & 63), __ATOMIC_RELAXED);
}

void Generator::init(Progress progress) {
    constexpr size_t CHUNK = 1 << 16;
    const size_t chunks = (size_ + CHUNK - 1) / CHUNK;
    std::atomic<size_t> done{0};
    parallel_chunks(threads_, chunks, [&](size_t c) {
        Men p;
        for (size_t i = c * CHUNK; i < std::min(size_, (c + 1) * CHUNK); i++) {
            decode(i, p);
            for (int side = 0; side < 2; side++) {
                const uint8_t s = initial_state(p, side);
                state_[side][i] = s;
                if (s == S_WIN || s == S_LOSS) mark(fresh_[0], side, i);
            }
        }
        const size_t d = ++done;
        if (progress && c % 64 == 0) progress("init", (double)d / chunks);
    });
}

// Takes back every move that leads to decided position i (`side` to move) and updates the
// predecessors; those it decides go into `next`.
void Generator::retract(size_t i, int side, std::vector<uint64_t> *next) {
    const int mover = side ^ 1;
    const uint8_t v = (uint8_t)(state_[side][i] - DECIDED);
    Men p;
    decode(i, p);
    const uint64_t o = p.occ();
    auto visit = [&](int k, int from, bool double_step) {
        if (double_step) {
            // The opponent's best en-passant capture bounds what the double step is worth.
            const uint8_t ep = en_passant(p, side, k);
            if (ep == V_WIN || (v == V_LOSS && ep == V_DRAW)) return;
        }
        // Position i is in canonical form, so only a move of the white king can change the
        // symmetry; any other man shifts its own field of the index.
        size_t xi;
        if (k == 0) {
            Men x = p;
            x.sq[k] = from;
            xi = encode(x);
        } else {
            xi = i + (size_t)(int64_t)(from - p.sq[k]) * ((size_t)1 << (6 * (p.n - 1 - k)));
        }
        uint8_t *st = &state_[mover][xi];
        uint8_t cur = __atomic_load_n(st, __ATOMIC_RELAXED), nw;
        do {
            if (cur >= DECIDED) return;
            nw = v == V_LOSS              ? S_WIN
                 : (cur & COUNT_MASK) > 1 ? (uint8_t)(cur - 1)
                 : (cur & DRAW_EXIT)      ? S_DRAW
                                          : S_LOSS;
        } while (
            !__atomic_compare_exchange_n(st, &cur, nw, true, __ATOMIC_RELAXED, __ATOMIC_RELAXED));
        if (nw == S_WIN || nw == S_LOSS) mark(next, mover, xi);
    };
    for (int k = 0; k < p.n; k++) {
        if (color_of(p.code[k]) != mover) continue;
        const int s = p.sq[k];
        if (piece_type(p.code[k]) != PAWN) {
            for (uint64_t b = p.reach(k, o) & ~o; b; b &= b - 1)
                visit(k, __builtin_ctzll(b), false);
            continue;
        }
        const int back = -PAWN_DIR[mover], from = s + back;
        if (rank_of(from) == (mover ? 7 : 0) || (o & bit(from))) continue;
        visit(k, from, false);
        if (rank_of(s) == (mover ? 4 : 3) && !(o & bit(from + back))) visit(k, from + back, true);
    }
}

bool Generator::layer(int parity) {
    constexpr size_t CHUNK_WORDS = 1 << 10;
    const size_t words = fresh_[parity][0].size(), chunks = (words + CHUNK_WORDS - 1) / CHUNK_WORDS;
    std::atomic<bool> any{false};
    parallel_chunks(threads_, 2 * chunks, [&](size_t c) {
        const int side = (int)(c / chunks);
        std::vector<uint64_t> &bits = fresh_[parity][side];
        const size_t first = (c % chunks) * CHUNK_WORDS;
        for (size_t w = first; w < std::min(words, first + CHUNK_WORDS); w++) {
            for (uint64_t b = bits[w]; b; b &= b - 1)
                retract(w * 64 + __builtin_ctzll(b), side, fresh_[parity ^ 1]);
            if (bits[w]) any = true;
            bits[w] = 0;
        }
    });
    return any;
}

void Generator::run(Progress progress) {
    init(progress);
    char phase[32];
    for (int n = 0;; n++) {
        snprintf(phase, sizeof phase, "layer %d", n + 1);
        if (progress) progress(phase, 0);
        if (!layer(n & 1)) break;
    }
    for (int s = 0; s < 2; s++)
        for (uint8_t &st : state_[s])
            if (st < DECIDED) st = S_DRAW;
}

uint8_t Generator::value(int side, int wk, int bk, const int *sq) const {
    Men p;
    p.n = mat_.n + 2;
    p.sq[0] = wk, p.sq[1] = bk;
    for (int k = 0; k < mat_.n; k++)
        p.sq[k + 2] = sq[k];
    return (uint8_t)(state_[side][encode(p)] - DECIDED);
}

std::vector<uint8_t> Generator::file_values(int side, long &conflicts) const {
    static const uint8_t stored[5] = {0, 1, 2, 0, 0};
    const uint32_t size = index_space(mat_.pc[0], mat_.pc[1], mat_.pc[2]);
    std::vector<uint8_t> out(size, 0xFF);
    conflicts = 0;
    int pc[3] = {0, 0, 0}, sq[3] = {0, 0, 0};
    for (int k = 0; k < mat_.n; k++)
        pc[k] = mat_.pc[k];
    Men p;
    for (size_t i = 0; i < size_; i++) {
        const uint8_t v = (uint8_t)(state_[side][i] - DECIDED);
        if (v == V_ILLEGAL) continue;
        decode(i, p);
        for (int k = 0; k < mat_.n; k++)
            sq[k] = p.sq[k + 2];
        TABLE_INDEX t;
        if (canonical_index(side, p.sq[0], p.sq[1], pc, sq, t) != mat_.n || t.side != side ||
            t.a != pc[0] || t.b != pc[1] || t.c != pc[2]) {
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
