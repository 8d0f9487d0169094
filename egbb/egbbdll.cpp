// Bitbase prober: loading, the compressed files, canonical Huffman decoding, the block cache,
// position indexing and the exported probe functions.
//
// Index layout (squares 0 = a1; X62 = a piece square's rank among the squares other than the
// kings; pawn number = file + 4 * rank - 4 with the leading pawn on files a-d):
//   3 men     KK * 62 + p62                    | KKP * 24 + pawn
//   4 men     KK * 3782 + A62 * 61 + B61       | KKP * 1488 + pawn(B) * 62 + A62
//                                              | KKP * 1128 + pawn(A) * 47 + B47
//   5 men     likewise with one more factor (see five_index).
// KK numbers the 462 king pairs up to the eight board symmetries, KKP the 3612 pairs of
// non-adjacent kings; tables with pawns use only the left-right mirror.
//
// Damaged files: a file whose header, code lengths (over 31 bits) or block offsets do not fit
// the file is not opened at all; a block that decodes wrongly (no matching code, a distance
// outside the output, more than one block of output) ends where it went wrong and the rest of
// the block reads as draws. A probe never reads or writes outside its buffers.
#include "prober_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace egbb_prober {

const char piece_name[] = "_kqrbnpkqrbnp_";
const int piece_cv[14] = {0, 0, 9, 5, 3, 3, 1, 0, -9, -5, -3, -3, -1, 0};
const int base_dist[DIST_SYMBOLS] = {0,  1,  2,   3,   4,   6,   8,   12,  16,   24,   32,   48,
                                     64, 96, 128, 192, 256, 384, 512, 768, 1024, 1536, 2048, 3072};
const int extra_bits[DIST_SYMBOLS] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4,  4,
                                      5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10};
static const int VALUE[4] = {0, 1, -1, 0};

// ---- Huffman ----------------------------------------------------------------------------------

bool HUFFMAN::allocate() {
    release();
    cann = static_cast<HUFFSYM *>(calloc(n_symbols, sizeof(HUFFSYM)));
    return cann != nullptr;
}

void HUFFMAN::release() {
    free(cann);
    cann = nullptr;
}

void HUFFMAN::build_cann_from_length() {
    const int n = (int)n_symbols;
    std::sort(cann, cann + n, [](const HUFFSYM &x, const HUFFSYM &y) {
        return x.length != y.length ? x.length < y.length : x.symbol > y.symbol;
    });
    int i = n - 1;
    if (i >= 0 && cann[i].length > 0) {
        uint32_t code = 0;
        int len = cann[i].length;
        cann[i].code = 0;
        for (i--; i >= 0 && cann[i].length > 0; i--) {
            if (cann[i].length < len) {
                code >>= (len - cann[i].length);
                len = cann[i].length;
            }
            cann[i].code = ++code;
        }
    }
    std::sort(cann, cann + n, [](const HUFFSYM &x, const HUFFSYM &y) {
        return x.length != y.length ? x.length < y.length : x.symbol < y.symbol;
    });
    for (int l = 0; l <= MAX_CODE_LENGTH; l++) {
        pstart[l] = nullptr;
        count[l] = 0;
    }
    min_length = 32;
    max_length = 0;
    int prev = 0;
    for (int k = 0; k < n; k++) {
        const int l = cann[k].length;
        if (l == 0) continue;
        count[l]++;
        if (l > prev) {
            pstart[l] = &cann[k];
            min_length = std::min<int>(min_length, l);
            max_length = std::max<int>(max_length, l);
            prev = l;
        }
    }
}

// ---- block decoding ---------------------------------------------------------------------------

namespace {

// Most-significant-first bit reader over one compressed block. Past the end of the input it
// reads zeros but refuses to consume them, so a truncated block simply stops.
struct BITS {
    const uint8_t *in, *end;
    uint64_t acc = 0;
    int n = 0;

    void fill(int need) {
        while (n < need && in < end) {
            acc = (acc << 8) | *in++;
            n += 8;
        }
    }
    uint32_t peek(int len) const {
        const uint64_t v = n >= len ? acc >> (n - len) : acc << (len - n);
        return (uint32_t)(v & ((1ull << len) - 1));
    }
    bool consume(int len) {
        if (len > n) return false;
        n -= len;
        acc &= (1ull << n) - 1;
        return true;
    }
    bool exhausted() const { return n == 0 && in >= end; }
};

// Tries the code lengths in increasing order with the first-of-length records; -1 when no
// code matches.
int decode_symbol(const HUFFMAN &h, BITS &bits) {
    bits.fill(h.max_length);
    for (int l = h.min_length; l <= h.max_length; l++) {
        const HUFFSYM *first = h.pstart[l];
        if (!first) continue;
        const uint32_t v = bits.peek(l);
        if (v >= first->code) {
            const uint32_t k = v - first->code;
            if (k >= h.count[l] || !bits.consume(l)) return -1;
            return (int)first[k].symbol;
        }
    }
    return -1;
}

} // namespace

int EGBB::decode(const uint8_t *in, uint32_t in_size, uint8_t *out) const {
    BITS bits{in, in + in_size};
    int written = 0;
    while (!bits.exhausted()) {
        const int sym = decode_symbol(huffman, bits);
        if (sym < 0 || sym == END_OF_BLOCK) break;
        if (sym < END_OF_BLOCK) {
            if (written >= BLOCK_SIZE) break;
            out[written++] = (uint8_t)sym;
            continue;
        }
        const int length = sym - 253;
        const int d = decode_symbol(huffman_pos, bits);
        if (d < 0) break;
        const int eb = extra_bits[d];
        bits.fill(eb);
        const int e = eb ? (int)bits.peek(eb) : 0;
        if (!bits.consume(eb)) break;
        const int dist = base_dist[d] + e;
        if (dist == 0 || dist > written || written + length > BLOCK_SIZE) break;
        for (int k = 0; k < length; k++, written++)
            out[written] = out[written - dist];
    }
    return written;
}

// ---- block cache ------------------------------------------------------------------------------

INFO *LRU_CACHE::cache = nullptr;
uint32_t LRU_CACHE::size = 0;
uint32_t LRU_CACHE::used = 0;
LRU_CACHE *LRU_CACHE::lru_head = nullptr;
LRU_CACHE *LRU_CACHE::lru_tail = nullptr;
std::atomic<int> LRU_CACHE::lock_lru{0};

bool LRU_CACHE::alloc(uint32_t bytes, bool verbose) {
    free(cache);
    size = bytes / INFO_SIZE;
    used = 0;
    lru_head = lru_tail = nullptr;
    cache = size ? static_cast<INFO *>(malloc((size_t)size * sizeof(INFO))) : nullptr;
    if (size && !cache) size = 0;
    if (verbose) {
        printf("Cache Size = %d Mb (%d entries)\n", (int)(bytes >> 20), (int)size);
        fflush(stdout);
    }
    return size || !bytes;
}

int LRU_CACHE::blocks() const {
    int n = 0;
    for (const INFO *p = head; p; p = p->next)
        n++;
    return n;
}

// Moves this table to the head of the global list (inserting it when new); lock_lru held.
void LRU_CACHE::bring_to_front() {
    if (lru_head == this) return;
    if (prev || next || lru_tail == this) {
        if (prev) prev->next = next;
        if (next) next->prev = prev;
        if (lru_tail == this) lru_tail = prev;
    }
    prev = nullptr;
    next = lru_head;
    if (lru_head) lru_head->prev = this;
    lru_head = this;
    if (!lru_tail) lru_tail = this;
}

int LRU_CACHE::get(uint32_t key, uint32_t offset, uint8_t &out) {
    l_lock(lock);
    INFO *p = head;
    while (p && p->key != key)
        p = p->next;
    if (!p) {
        l_unlock(lock);
        return 0;
    }
    if (p != head) {
        p->prev->next = p->next;
        if (p->next)
            p->next->prev = p->prev;
        else
            tail = p->prev;
        p->prev = nullptr;
        p->next = head;
        head->prev = p;
        head = p;
    }
    out = p->block[offset];
    l_unlock(lock);
    l_lock(lock_lru);
    bring_to_front();
    l_unlock(lock_lru);
    return 1;
}

void LRU_CACHE::add(const INFO *block) {
    INFO *entry = nullptr;
    l_lock(lock_lru);
    if (used < size) {
        entry = &cache[used++];
    } else {
        // Evict the oldest block of the least recently used table that holds two or more; a
        // table's only block is never taken. With no such table the block is not cached.
        for (LRU_CACHE *t = lru_tail; t && !entry; t = t->prev) {
            l_lock(t->lock);
            if (t->head && t->head->next) {
                entry = t->tail;
                t->tail = entry->prev;
                t->tail->next = nullptr;
            }
            l_unlock(t->lock);
        }
    }
    l_unlock(lock_lru);
    if (!entry) return;
    l_lock(lock);
    memcpy(entry->block, block->block, BLOCK_SIZE);
    entry->key = block->key;
    entry->prev = nullptr;
    entry->next = head;
    if (head) head->prev = entry;
    head = entry;
    if (!tail) tail = entry;
    l_unlock(lock);
    l_lock(lock_lru);
    bring_to_front();
    l_unlock(lock_lru);
}

// ---- table files ------------------------------------------------------------------------------

namespace {

bool read_u32(FILE *f, uint32_t &v) {
    v = 0;
    for (int i = 0; i < 4; i++) {
        const int c = fgetc(f);
        if (c == EOF) return false;
        v |= (uint32_t)c << (8 * i);
    }
    return true;
}

bool read_lengths(FILE *f, HUFFMAN &h) {
    if (!h.allocate()) return false;
    for (uint32_t s = 0; s < h.n_symbols; s++) {
        const int c = fgetc(f);
        if (c == EOF || c > MAX_CODE_LENGTH) return false;
        h.cann[s].symbol = s;
        h.cann[s].code = 0;
        h.cann[s].length = (uint8_t)c;
        h.cann[s].mask = (uint32_t)((1ull << c) - 1);
    }
    h.build_cann_from_length();
    return true;
}

} // namespace

void EGBB::open(const char *name, int load_mode) {
    FILE *f = fopen(name, "rb");
    if (!f) return;
    pf = f;
    fseek(f, 0, SEEK_END);
    const uint64_t file_size = (uint64_t)ftell(f);
    fseek(f, 0, SEEK_SET);
    bool ok = true;
    for (int i = 0; i < 4 && ok; i++)
        ok = read_u32(f, header[i]);
    ok = ok && fseek(f, 56, SEEK_SET) == 0 && read_lengths(f, huffman) &&
         read_lengths(f, huffman_pos);
    // A header announcing more blocks or data than the file holds is refused.
    const uint64_t start = HEADER_SIZE + 4ull * ((uint64_t)n_blocks() + 1);
    ok = ok && start <= file_size && data_size() <= file_size - start;
    if (ok) {
        data_start = (uint32_t)start;
        index = static_cast<uint32_t *>(malloc(4ull * ((uint64_t)n_blocks() + 1)));
        ok = index != nullptr;
        for (uint32_t b = 0; ok && b <= n_blocks(); b++)
            ok = read_u32(f, index[b]) &&
                 (b == 0 || (index[b] >= index[b - 1] && index[b] - index[b - 1] <= COMP_BUFFER));
        ok = ok && index[n_blocks()] <= data_size();
    }
    if (ok) {
        snprintf(path, sizeof(path), "%s", name);
        mode = load_mode;
        ok = mode != 2 || read_into_ram();
    }
    if (!ok) {
        close();
        return;
    }
    is_loaded = 1;
}

void EGBB::close() {
    if (pf) fclose(pf);
    pf = nullptr;
    free(index);
    index = nullptr;
    free_ram();
    huffman.release();
    huffman_pos.release();
    is_loaded = use_search = 0;
    cache.reset();
}

bool EGBB::read_into_ram() {
    uint8_t *data = static_cast<uint8_t *>(malloc(data_size() ? data_size() : 1));
    if (!data) return false;
    l_lock(lock);
    fseek(pf, (long)data_start, SEEK_SET);
    const size_t got = fread(data, 1, data_size(), pf);
    l_unlock(lock);
    memset(data + got, 0, data_size() - got);
    table = data;
    mode = 2;
    return true;
}

void EGBB::free_ram() {
    free(table);
    table = nullptr;
    mode = 3;
}

int EGBB::get_score(uint32_t idx, SEARCHER *psearcher) {
    const uint32_t byte = idx >> 2;
    const uint32_t b = byte / BLOCK_SIZE, offset = byte % BLOCK_SIZE;
    if (b >= n_blocks()) return 0;
    const uint32_t key = index[b];
    INFO &info = psearcher->info;
    info.key = key;
    uint8_t v;
    if (!cache.get(key, offset, v)) {
        const uint32_t size = index[b + 1] - key;
        int n;
        if (mode == 2) {
            n = decode(table + key, size, info.block);
        } else {
            l_lock(lock);
            fseek(pf, (long)(data_start + key), SEEK_SET);
            const size_t got = fread(psearcher->block, 1, size, pf);
            l_unlock(lock);
            n = decode(psearcher->block, (uint32_t)got, info.block);
        }
        memset(info.block + n, 0, BLOCK_SIZE - n);
        v = info.block[offset];
        cache.add(&info);
    }
    return VALUE[(v >> (2 * (idx & 3))) & 3];
}

// ---- indexing ---------------------------------------------------------------------------------

int KK_index[4096];
int KK_WP_index[4096];
int rotation[4096];

// clang-format off
const uint8_t K_TR[64] = {
    0, 1, 2, 3, 3, 2, 1, 0,
    1, 4, 5, 6, 6, 5, 4, 1,
    2, 5, 7, 8, 8, 7, 5, 2,
    3, 6, 8, 9, 9, 8, 6, 3,
    3, 6, 8, 9, 9, 8, 6, 3,
    2, 5, 7, 8, 8, 7, 5, 2,
    1, 4, 5, 6, 6, 5, 4, 1,
    0, 1, 2, 3, 3, 2, 1, 0};
const uint8_t K1_TR[64] = {
    0,  1,  2,  3,  4,  5,  6,  7,
    1,  8,  9,  10, 11, 12, 13, 14,
    2,  9,  15, 16, 17, 18, 19, 20,
    3,  10, 16, 21, 22, 23, 24, 25,
    4,  11, 17, 22, 26, 27, 28, 29,
    5,  12, 18, 23, 27, 30, 31, 32,
    6,  13, 19, 24, 28, 31, 33, 34,
    7,  14, 20, 25, 29, 32, 34, 35};
// clang-format on

namespace {

inline int mirror_lr(int s) {
    return s ^ 7;
}
inline int mirror_tb(int s) {
    return s ^ 56;
}
inline int distance(int a, int b) {
    return std::max(std::abs(file64(a) - file64(b)), std::abs(rank64(a) - rank64(b)));
}
inline int apply_rotation(int s, int rot) {
    if (rot & 1) s = mirror_lr(s);
    if (rot & 2) s = mirror_tb(s);
    if (rot & 4) s = transpose(s);
    return s;
}

} // namespace

void init_indices() {
    static int work[10 * 64];
    for (int i = 0; i < 4096; i++)
        KK_index[i] = KK_WP_index[i] = -2;
    for (int &w : work)
        w = -2;
    int counter = 0;
    for (int wk0 = 0; wk0 < 64; wk0++) {
        for (int bk0 = 0; bk0 < 64; bk0++) {
            if (distance(wk0, bk0) <= 1) continue;
            int wk = wk0, bk = bk0, rot = 0;
            if (file64(wk) > 3) {
                wk = mirror_lr(wk), bk = mirror_lr(bk), rot = 1;
            }
            if (rank64(wk) > 3) {
                wk = mirror_tb(wk), bk = mirror_tb(bk), rot |= 2;
            }
            if (file64(wk) < rank64(wk)) {
                wk = transpose(wk), bk = transpose(bk), rot ^= 4;
            }
            int key;
            if (file64(wk) == rank64(wk)) {
                if (file64(bk) < rank64(bk)) {
                    bk = transpose(bk), rot ^= 4;
                }
                key = K_TR[wk] * 64 + K1_TR[bk];
            } else {
                key = K_TR[wk] * 64 + bk;
            }
            if (work[key] == -2) work[key] = counter++;
            KK_index[wk0 * 64 + bk0] = work[key];
            rotation[wk0 * 64 + bk0] = rot;
        }
    }
    counter = 0;
    for (int wk = 0; wk < 64; wk++)
        for (int bk = 0; bk < 64; bk++)
            if (distance(wk, bk) > 1) KK_WP_index[wk * 64 + bk] = counter++;
}

namespace {

inline int pawn_number(int s) {
    return file64(s) + 4 * rank64(s) - 4;
}
inline int is_pawn(int p) {
    return piece_type(p) == PAWN;
}
inline int valid_piece(int p) {
    return p >= WQUEEN && p <= BPAWN && p != BKING;
}
inline int recolor(int p) {
    return p <= 6 ? p + 6 : p - 6;
}

// Colour flip of a whole position: kings swap, every square mirrored top-bottom.
void flip_colors(int &player, int &wk, int &bk, int *sq, int n) {
    player ^= 1;
    const int w = wk;
    wk = mirror_tb(bk);
    bk = mirror_tb(w);
    for (int i = 0; i < n; i++)
        sq[i] = mirror_tb(sq[i]);
}

uint32_t five_index(int KK, int KKP, const int *pc, const int *sq, int wk, int bk) {
    const int A = sq[0], B = sq[1], C = sq[2];
    auto p62 = [&](int x) { return x - (wk < x) - (bk < x); };
    const bool pa = is_pawn(pc[0]), pb = is_pawn(pc[1]), pcn = is_pawn(pc[2]);
    if (!pb && !pcn)
        return (uint32_t)KK * 226920 + p62(A) * 3660 + (p62(B) - (A < B)) * 60 +
               (p62(C) - (A < C) - (B < C));
    if (!pb)
        return (uint32_t)KKP * 90768 + pawn_number(C) * 3782 + p62(A) * 61 + (p62(B) - (A < B));
    if (!pcn && !pa)
        return (uint32_t)KKP * 90768 + pawn_number(B) * 3782 + p62(A) * 61 + (p62(C) - (A < C));
    if (!pa) return (uint32_t)KKP * 69936 + pawn_number(B) * 2914 + (C - 8 - (B < C)) * 62 + p62(A);
    if (!pcn)
        return (uint32_t)KKP * 69936 + pawn_number(A) * 2914 + (B - 8 - (A < B)) * 62 + p62(C);
    return (uint32_t)KKP * 51888 + pawn_number(A) * 2162 + (B - 8 - (A < B)) * 46 +
           (C - 8 - (A < C) - (B < C));
}

} // namespace

uint32_t index_space(int a, int b, int c) {
    const int pawns = (a && is_pawn(a)) + (b && is_pawn(b)) + (c && is_pawn(c));
    if (!b) return pawns ? 3612 * 24 : 462 * 62;
    if (!c) return pawns == 0 ? 462u * 3782 : pawns == 1 ? 3612u * 1488 : 3612u * 1128;
    static const uint32_t five[4] = {462u * 226920, 3612u * 90768, 3612u * 69936, 3612u * 51888};
    return five[pawns];
}

int canonical_index(int player, int wk, int bk, const int piece[3], const int square[3],
                    TABLE_INDEX &out) {
    int pc[3], sq[3], n = 0;
    for (int i = 0; i < 3; i++) {
        if (!piece[i]) continue;
        if (!valid_piece(piece[i]) || square[i] < 0 || square[i] > 63) return -1;
        pc[n] = piece[i], sq[n] = square[i], n++;
    }
    if (wk < 0 || wk > 63 || bk < 0 || bk > 63 || (player & ~1)) return -1;
    if (n == 0) return 0;
    if (n == 2) {
        const int ta = piece_type(pc[0]), tb = piece_type(pc[1]);
        if (!(ta < tb || (ta == tb && pc[0] <= pc[1]))) {
            std::swap(pc[0], pc[1]);
            std::swap(sq[0], sq[1]);
        }
    } else if (n == 3) {
        for (int i = 1; i < 3; i++) // stable insertion sort by code
            for (int j = i; j > 0 && pc[j - 1] > pc[j]; j--) {
                std::swap(pc[j - 1], pc[j]);
                std::swap(sq[j - 1], sq[j]);
            }
        if (piece_color(pc[0]) == WHITE && piece_color(pc[1]) == BLACK) {
            // One against two: the pair becomes white, the single piece black.
            const int p0 = pc[0], s0 = sq[0];
            pc[0] = pc[1], sq[0] = sq[1];
            pc[1] = pc[2], sq[1] = sq[2];
            pc[2] = p0, sq[2] = s0;
        }
    }
    if (piece_color(pc[0]) == BLACK) {
        flip_colors(player, wk, bk, sq, n);
        for (int i = 0; i < n; i++)
            pc[i] = recolor(pc[i]);
    }
    int lead = -1;
    for (int i = 0; i < n && lead < 0; i++)
        if (is_pawn(pc[i])) lead = i;
    int KK = 0, KKP = 0;
    if (lead < 0) {
        const int rot = rotation[wk * 64 + bk];
        wk = apply_rotation(wk, rot);
        bk = apply_rotation(bk, rot);
        for (int i = 0; i < n; i++)
            sq[i] = apply_rotation(sq[i], rot);
        KK = KK_index[wk * 64 + bk];
    } else {
        if (file64(sq[lead]) > 3) {
            wk = mirror_lr(wk), bk = mirror_lr(bk);
            for (int i = 0; i < n; i++)
                sq[i] = mirror_lr(sq[i]);
        }
        KKP = KK_WP_index[wk * 64 + bk];
        for (int i = 0; i < n; i++)
            if (is_pawn(pc[i]) && (rank64(sq[i]) == 0 || rank64(sq[i]) == 7)) return -1;
    }
    if (KK < 0 || KKP < 0) return -1;
    auto p62 = [&](int x) { return x - (wk < x) - (bk < x); };
    uint32_t index;
    const int A = sq[0], B = sq[1];
    if (n == 1)
        index = lead < 0 ? KK * 62 + p62(A) : KKP * 24 + pawn_number(A);
    else if (n == 2)
        index = lead < 0    ? (uint32_t)KK * 3782 + p62(A) * 61 + (p62(B) - (A < B))
                : lead == 1 ? (uint32_t)KKP * 1488 + pawn_number(B) * 62 + p62(A)
                            : (uint32_t)KKP * 1128 + pawn_number(A) * 47 + (B - 8 - (A < B));
    else
        index = five_index(KK, KKP, pc, sq, wk, bk);
    out.side = player;
    out.a = pc[0];
    out.b = n > 1 ? pc[1] : 0;
    out.c = n > 2 ? pc[2] : 0;
    out.index = index;
    if (index >= index_space(out.a, out.b, out.c)) return -1;
    return n;
}

// ---- tables and loading -----------------------------------------------------------------------

static EGBB egbb3piece[2][14];
static EGBB egbb4piece[2][14][14];
static EGBB egbb5piece[2][14][14][14];

EGBB *table_of(int side, int a, int b, int c) {
    if ((side & ~1) || a < 0 || a > 13 || b < 0 || b > 13 || c < 0 || c > 13) return nullptr;
    if (!b) return &egbb3piece[side][a];
    if (!c) return &egbb4piece[side][a][b];
    return &egbb5piece[side][a][b][c];
}

void table_name(char *out, int side, int a, int b, int c) {
    char *p = out;
    *p++ = 'k';
    const int pcs[3] = {a, b, c};
    for (int i = 0; i < 3; i++)
        if (pcs[i] && piece_color(pcs[i]) == WHITE) *p++ = piece_name[pcs[i]];
    *p++ = 'k';
    for (int i = 0; i < 3; i++)
        if (pcs[i] && piece_color(pcs[i]) == BLACK) *p++ = piece_name[pcs[i]];
    snprintf(p, 8, ".%c.cmp", side == 0 ? 'w' : 'b');
}

void load_modes(int options, int &mode34, int &mode5) {
    switch (options) {
    case 0:
        mode34 = 3, mode5 = 3;
        break;
    case 1:
    case 2:
        mode34 = 2, mode5 = 3;
        break;
    case 3:
        mode34 = 2, mode5 = 2;
        break;
    default:
        mode34 = 3, mode5 = 3;
        break;
    }
}

namespace {

SEARCHER searchers[8];
std::atomic<int> searcher_lock{0};

void open_pair(const char *path, int a, int b, int c, int mode) {
    char name[64], full[512];
    EGBB *t[2];
    for (int side = 0; side < 2; side++) {
        t[side] = table_of(side, a, b, c);
        t[side]->close();
        table_name(name, side, a, b, c);
        snprintf(full, sizeof(full), "%s%s", path, name);
        t[side]->open(full, mode);
    }
    if (t[0]->is_loaded != t[1]->is_loaded) {
        t[0]->use_search = !t[0]->is_loaded;
        t[1]->use_search = !t[1]->is_loaded;
    }
}

} // namespace

bool load_tables(const char *path, int cache_bytes, int options, bool verbose) {
    int mode34, mode5;
    load_modes(options, mode34, mode5);
    if (verbose) {
        printf("EgbbProbe 3.1 by Haldrin\n");
        fflush(stdout);
    }
    init_sqatt();
    init_indices();
    const bool cache_ok = LRU_CACHE::alloc((uint32_t)std::max(cache_bytes, 0), verbose);
    l_unlock(searcher_lock);
    if (verbose) {
        printf("Loading egbbs....");
        fflush(stdout);
    }
    for (int a = WQUEEN; a <= WPAWN; a++)
        open_pair(path, a, 0, 0, mode34);
    for (int a = WQUEEN; a <= WPAWN; a++)
        for (int b = a; b <= WPAWN; b++)
            open_pair(path, a, b, 0, mode34);
    for (int a = WQUEEN; a <= WPAWN; a++)
        for (int b = a + 6; b <= BPAWN; b++)
            open_pair(path, a, b, 0, mode34);
    for (int a = WQUEEN; a <= WPAWN; a++)
        for (int b = a; b <= WPAWN; b++)
            for (int c = b; c <= WPAWN; c++)
                open_pair(path, a, b, c, mode5);
    for (int a = WQUEEN; a <= WPAWN; a++)
        for (int b = a; b <= WPAWN; b++)
            for (int c = BQUEEN; c <= BPAWN; c++)
                open_pair(path, a, b, c, mode5);
    if (verbose) {
        printf("\rEgbbs loaded !      \n");
        fflush(stdout);
    }
    return cache_ok;
}

int probe_table(int player, int wk, int bk, const int piece[3], const int square[3],
                SEARCHER *psearcher) {
    TABLE_INDEX t;
    const int n = canonical_index(player, wk, bk, piece, square, t);
    if (n <= 0) return n == 0 ? 0 : SEARCH_UNKNOWN;
    EGBB *e = table_of(t.side, t.a, t.b, t.c);
    if (e->is_loaded) return e->get_score(t.index, psearcher);
    return e->use_search ? NEEDS_SEARCH : SEARCH_UNKNOWN;
}

// ---- scores -----------------------------------------------------------------------------------

namespace {

inline int king_pcsq(int s) {
    return std::min(file64(s), 7 - file64(s)) + std::min(rank64(s), 7 - rank64(s)) - 3;
}
inline int kbnk_pcsq(int s) {
    return 7 - std::abs(file64(s) - rank64(s));
}

} // namespace

int egbb_score(int result, int player, int wk, int bk, const int piece[3], const int square[3]) {
    int n = 2, mat = 0, dw = 0, db = 0, bishop = -1, knight = -1;
    for (int i = 0; i < 3; i++) {
        if (!piece[i]) continue;
        n++;
        mat += piece_cv[piece[i]];
        if (piece_type(piece[i]) == PAWN) {
            dw += distance(square[i], wk);
            db += distance(square[i], bk);
        }
        if (piece_type(piece[i]) == BISHOP) bishop = i;
        if (piece_type(piece[i]) == KNIGHT) knight = i;
    }
    if (player == 1) mat = -mat;
    int K;
    if (n == 4 && bishop >= 0 && knight >= 0 &&
        piece_color(piece[bishop]) == piece_color(piece[knight])) {
        const bool white = piece_color(piece[bishop]) == WHITE;
        int W = white ? wk : bk, L = white ? bk : wk;
        const int b = square[bishop];
        if ((file64(b) + rank64(b)) % 2 == 0) {
            W = mirror_lr(W);
            L = mirror_lr(L);
        }
        K = result == 1 ? king_pcsq(W) - kbnk_pcsq(L) : kbnk_pcsq(L) - king_pcsq(W);
    } else {
        const int own = player == 0 ? wk : bk, opp = player == 0 ? bk : wk;
        K = result == 1 ? king_pcsq(own) - 2 * king_pcsq(opp) : 2 * king_pcsq(own) - king_pcsq(opp);
    }
    const int T = n < 5 ? 0 : player == 0 ? -7 * (2 * dw - db) : -7 * (2 * db - dw);
    const int d = distance(wk, bk);
    return result == 1 ? T + 50 * mat + 5 * K + 6000 - 200 * n - 2 * d
                       : T + 50 * mat + 5 * K - 6000 + 200 * n + 2 * d;
}

} // namespace egbb_prober

// ---- exported functions -----------------------------------------------------------------------

using namespace egbb_prober;

EGBB_API int load_egbb(const char *path) {
    return load_egbb_5men(path, 4194304, 1);
}

EGBB_API int load_egbb_5men(const char *path, int cache_size, int load_options) {
    return load_tables(path, cache_size, load_options, true) ? 1 : 0;
}

int load_egbb_quietly(const char *path, int cache_size, int load_options) {
    return load_tables(path, cache_size, load_options, false) ? 1 : 0;
}

EGBB_API int probe_egbb(int player, int w_king, int b_king, int piece1, int square1, int piece2,
                        int square2) {
    return probe_egbb_5men(player, w_king, b_king, piece1, square1, piece2, square2, 0, 0);
}

EGBB_API int probe_egbb_5men(int player, int w_king, int b_king, int piece1, int square1,
                             int piece2, int square2, int piece3, int square3) {
    // Take a free searcher; with all eight busy, wait for one.
    SEARCHER *s = nullptr;
    while (!s) {
        l_lock(searcher_lock);
        for (SEARCHER &x : searchers)
            if (!x.used) {
                x.used = 1;
                s = &x;
                break;
            }
        l_unlock(searcher_lock);
    }
    const int pcs[3] = {piece1, piece2, piece3};
    const int sqs[3] = {piece1 ? square1 : -1, piece2 ? square2 : -1, piece3 ? square3 : -1};
    const int r =
        s->get_score(-1, 1, player, w_king, b_king, pcs[0], sqs[0], pcs[1], sqs[1], pcs[2], sqs[2]);
    s->used = 0;
    if (r == SEARCH_UNKNOWN) return NOT_AVAILABLE;
    if (r == 0) return 0;
    return egbb_score(r, player, w_king, b_king, pcs, sqs);
}

EGBB_API int load_egbb_into_ram(int side, int piece1, int piece2, int piece3) {
    EGBB *e = table_of(side, piece1, piece2, piece3);
    if (!e || !e->is_loaded) return 0;
    return e->mode == 2 || e->read_into_ram();
}

EGBB_API int unload_egbb_from_ram(int side, int piece1, int piece2, int piece3) {
    EGBB *e = table_of(side, piece1, piece2, piece3);
    if (!e || !e->is_loaded || e->mode != 2) return 0;
    e->free_ram();
    return 1;
}
