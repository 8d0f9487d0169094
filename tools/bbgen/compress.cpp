// Writer of the compressed table files: four values a byte, blocks of 8092 bytes, each block
// LZ77-coded (matches within the block, distances below 4096, lengths 4..259) and written with
// two canonical Huffman codes shared by the whole file, built by the prober's own rule.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <queue>
#include <string>
#include <unistd.h>

#include "bbgen.h"
#include "prober_internal.h"

using namespace egbb_prober;

namespace {

// Code lengths are kept short so that decoding stays quick and a block never needs more than
// the reader's compressed-block buffer.
constexpr int LENGTH_LIMIT = 15;
constexpr int HASH_BITS = 13;
constexpr int CHAIN_DEPTH = 48;
// Zero bytes after each block's last code, so that a reader may stop as soon as its input is
// consumed without losing the symbols still in its accumulator.
constexpr int BLOCK_PADDING = 4;

struct Token {
    uint16_t sym;  // literal, end of block or 253 + match length
    uint16_t dist; // match distance
};

int dist_symbol(int dist) {
    int d = DIST_SYMBOLS - 1;
    while (base_dist[d] > dist)
        d--;
    return d;
}

uint32_t hash4(const uint8_t *p) {
    const uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24);
    return (v * 2654435761u) >> (32 - HASH_BITS);
}

// Greedy matching with one step of lazy evaluation, over hash chains of 4-byte prefixes.
void lz77_block(const uint8_t *in, int n, std::vector<Token> &out) {
    static thread_local int head[1 << HASH_BITS];
    static thread_local int prev[BLOCK_SIZE];
    std::fill(head, head + (1 << HASH_BITS), -1);
    auto insert = [&](int pos) {
        if (pos + MIN_MATCH > n) return;
        const uint32_t h = hash4(in + pos);
        prev[pos] = head[h];
        head[h] = pos;
    };
    auto longest = [&](int pos, int &dist) {
        int best = 0;
        if (pos + MIN_MATCH > n) return 0;
        const int limit = std::min(MAX_MATCH, n - pos);
        int cand = head[hash4(in + pos)];
        for (int depth = 0; cand >= 0 && depth < CHAIN_DEPTH && pos - cand <= MAX_DISTANCE;
             depth++, cand = prev[cand]) {
            int len = 0;
            while (len < limit && in[cand + len] == in[pos + len])
                len++;
            if (len > best) {
                best = len, dist = pos - cand;
                if (len == limit) break;
            }
        }
        return best >= MIN_MATCH ? best : 0;
    };
    int pos = 0;
    while (pos < n) {
        int dist = 0;
        const int len = longest(pos, dist);
        if (len) {
            int dist2 = 0;
            insert(pos);
            if (len < MAX_MATCH && longest(pos + 1, dist2) > len) {
                out.push_back({in[pos], 0});
                pos++;
                continue;
            }
            out.push_back({(uint16_t)(253 + len), (uint16_t)dist});
            for (int k = 1; k < len; k++)
                insert(pos + k);
            pos += len;
        } else {
            insert(pos);
            out.push_back({in[pos], 0});
            pos++;
        }
    }
    out.push_back({END_OF_BLOCK, 0});
}

// Huffman code lengths from frequencies, halving the frequencies until no code is longer than
// the limit. A code with a single symbol gets length 1.
std::vector<uint8_t> code_lengths(std::vector<uint64_t> freq) {
    const int n = (int)freq.size();
    std::vector<uint8_t> len(n, 0);
    for (;;) {
        std::vector<int> parent(2 * n, -1);
        using Node = std::pair<uint64_t, int>;
        std::priority_queue<Node, std::vector<Node>, std::greater<Node>> q;
        for (int s = 0; s < n; s++)
            if (freq[s]) q.push({freq[s], s});
        if (q.empty()) return len;
        if (q.size() == 1) {
            len[q.top().second] = 1;
            return len;
        }
        int next = n;
        while (q.size() > 1) {
            const Node a = q.top();
            q.pop();
            const Node b = q.top();
            q.pop();
            parent[a.second] = parent[b.second] = next;
            q.push({a.first + b.first, next++});
        }
        int longest = 0;
        for (int s = 0; s < n; s++) {
            len[s] = 0;
            if (!freq[s]) continue;
            int d = 0;
            for (int x = s; parent[x] >= 0; x = parent[x])
                d++;
            len[s] = (uint8_t)d;
            longest = std::max(longest, d);
        }
        if (longest <= LENGTH_LIMIT) return len;
        for (uint64_t &f : freq)
            if (f) f = (f + 1) / 2;
    }
}

struct Code {
    uint32_t code = 0;
    int length = 0;
};

// The codes the reader derives from the lengths, by symbol.
std::vector<Code> codes_of(const std::vector<uint8_t> &lengths) {
    HUFFMAN h;
    h.set_symbols((uint32_t)lengths.size());
    h.allocate();
    for (uint32_t s = 0; s < lengths.size(); s++)
        h.cann[s] = {s, 0, (uint32_t)((1u << lengths[s]) - 1), lengths[s]};
    h.build_cann_from_length();
    std::vector<Code> codes(lengths.size());
    for (uint32_t k = 0; k < lengths.size(); k++)
        codes[h.cann[k].symbol] = {h.cann[k].code, h.cann[k].length};
    h.release();
    return codes;
}

class BitWriter {
  public:
    explicit BitWriter(std::vector<uint8_t> &out) : out_(out) {}
    void put(uint32_t value, int bits) {
        for (int k = bits - 1; k >= 0; k--) {
            acc_ = (uint8_t)((acc_ << 1) | ((value >> k) & 1));
            if (++n_ == 8) {
                out_.push_back(acc_);
                acc_ = 0, n_ = 0;
            }
        }
    }
    void flush() {
        if (n_) out_.push_back((uint8_t)(acc_ << (8 - n_)));
        acc_ = 0, n_ = 0;
    }

  private:
    std::vector<uint8_t> &out_;
    uint8_t acc_ = 0;
    int n_ = 0;
};

void put_u32(FILE *f, uint32_t v) {
    for (int i = 0; i < 4; i++)
        fputc((v >> (8 * i)) & 0xFF, f);
}

} // namespace

bool write_bitbase(const std::string &path, const std::vector<uint8_t> &values) {
    std::vector<uint8_t> bytes((values.size() + 3) / 4, 0);
    for (size_t i = 0; i < values.size(); i++)
        bytes[i >> 2] |= (uint8_t)((values[i] & 3) << (2 * (i & 3)));
    const size_t n_blocks = (bytes.size() + BLOCK_SIZE - 1) / BLOCK_SIZE;

    std::vector<std::vector<Token>> tokens(n_blocks);
    std::vector<uint64_t> lit_freq(LIT_SYMBOLS, 0), dist_freq(DIST_SYMBOLS, 0);
    for (size_t b = 0; b < n_blocks; b++) {
        const size_t start = b * BLOCK_SIZE;
        lz77_block(bytes.data() + start, (int)std::min<size_t>(BLOCK_SIZE, bytes.size() - start),
                   tokens[b]);
        for (const Token &t : tokens[b]) {
            lit_freq[t.sym]++;
            if (t.sym > END_OF_BLOCK) dist_freq[dist_symbol(t.dist)]++;
        }
    }
    const std::vector<uint8_t> lit_len = code_lengths(lit_freq), dist_len = code_lengths(dist_freq);
    const std::vector<Code> lit = codes_of(lit_len), dist = codes_of(dist_len);

    std::vector<uint8_t> data;
    std::vector<uint32_t> offsets{0};
    for (const std::vector<Token> &block : tokens) {
        BitWriter w(data);
        for (const Token &t : block) {
            w.put(lit[t.sym].code, lit[t.sym].length);
            if (t.sym > END_OF_BLOCK) {
                const int d = dist_symbol(t.dist);
                w.put(dist[d].code, dist[d].length);
                w.put((uint32_t)(t.dist - base_dist[d]), extra_bits[d]);
            }
        }
        w.flush();
        data.insert(data.end(), BLOCK_PADDING, 0);
        offsets.push_back((uint32_t)data.size());
    }

    const std::string tmp = path + ".tmp" + std::to_string(getpid());
    FILE *f = fopen(tmp.c_str(), "wb");
    if (!f) return false;
    put_u32(f, 0);
    put_u32(f, (uint32_t)data.size());
    put_u32(f, (uint32_t)n_blocks);
    put_u32(f, (uint32_t)bytes.size());
    for (int i = 0; i < 40; i++)
        fputc(0, f);
    fwrite(lit_len.data(), 1, lit_len.size(), f);
    fwrite(dist_len.data(), 1, dist_len.size(), f);
    for (uint32_t o : offsets)
        put_u32(f, o);
    fwrite(data.data(), 1, data.size(), f);
    const bool ok = fclose(f) == 0;
    return ok && rename(tmp.c_str(), path.c_str()) == 0;
}
