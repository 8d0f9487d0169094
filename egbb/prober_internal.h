// The prober's internals, shared by its two sources (egbbdll.cpp: loading, files, decoding,
// cache, indexing; moves.cpp: the private board and one-ply resolution), by the bitbase
// generator and by the tests: piece codes, the compressed format, the decoder, the block cache,
// the tables and the searcher.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "egbbdll.h"

namespace egbb_prober {

enum {
    NO_PIECE = 0,
    WKING,
    WQUEEN,
    WROOK,
    WBISHOP,
    WKNIGHT,
    WPAWN,
    BKING,
    BQUEEN,
    BROOK,
    BBISHOP,
    BKNIGHT,
    BPAWN,
    OFFBOARD
};
enum { WHITE = 0, BLACK = 1, NEUTRAL = 2 };
enum { KING = 1, QUEEN, ROOK, BISHOP, KNIGHT, PAWN };

constexpr int NOT_AVAILABLE = EGBB_NOT_AVAILABLE;
constexpr int SEARCH_UNKNOWN = -3;          // get_score: no table and no way to derive it
constexpr int BLOCK_SIZE = 8092;            // decoded bytes per block
constexpr int COMP_BUFFER = 2 * BLOCK_SIZE; // largest compressed block accepted
constexpr int INFO_SIZE = 8112;             // bytes a cache entry is counted as
constexpr int LIT_SYMBOLS = 513;            // literals, end of block, match lengths 4..259
constexpr int DIST_SYMBOLS = 24;
constexpr int END_OF_BLOCK = 256;
constexpr int MIN_MATCH = 4, MAX_MATCH = 259, MAX_DISTANCE = 4095;
constexpr int MAX_CODE_LENGTH = 31;
constexpr int HEADER_SIZE = 593; // up to and including the distance code lengths

extern const char piece_name[];
extern const int piece_cv[14];
extern const int base_dist[DIST_SYMBOLS];
extern const int extra_bits[DIST_SYMBOLS];

inline int piece_color(int p) {
    return p == 0 || p == 13 ? NEUTRAL : (p <= 6 ? WHITE : BLACK);
}
inline int piece_type(int p) {
    return p == 0 || p == 13 ? p : (p <= 6 ? p : p - 6);
}
inline int file64(int s) {
    return s & 7;
}
inline int rank64(int s) {
    return s >> 3;
}
// Reflection in the a1-h8 diagonal.
inline int transpose(int s) {
    return (s >> 3) | ((s & 7) << 3);
}

// Spin lock taken by an atomic exchange with 1 until 0 comes back, released by storing 0.
inline void l_lock(std::atomic<int> &x) {
    while (x.exchange(1, std::memory_order_acquire) != 0) {
    }
}
inline void l_unlock(std::atomic<int> &x) {
    x.store(0, std::memory_order_release);
}

// ---- canonical Huffman code -------------------------------------------------------------------
struct HUFFSYM {
    uint32_t symbol;
    uint32_t code;
    uint32_t mask;
    uint8_t length;
};

class HUFFMAN {
  public:
    HUFFSYM *cann = nullptr;              // symbol records (allocated when a file is opened)
    HUFFSYM *pstart[MAX_CODE_LENGTH + 1]; // record with the smallest code of each length
    uint16_t count[MAX_CODE_LENGTH + 1];  // records of each length (guards corrupt input)
    uint8_t min_length = 32, max_length = 0;
    uint32_t n_symbols = 0, max_nodes = 0;

    void set_symbols(uint32_t n) {
        n_symbols = n;
        max_nodes = 2 * n - 1;
    }
    bool allocate();
    void release();
    // Codes from the lengths: longer codes get the smaller values, and within one length the
    // codes increase with the symbol.
    void build_cann_from_length();
};

// ---- block cache ----------------------------------------------------------------------------
struct INFO {
    uint8_t block[BLOCK_SIZE];
    uint32_t key;
    INFO *prev, *next;
};

// One table's list of cached blocks (most recent first); all tables share one pool.
class LRU_CACHE {
  public:
    INFO *head = nullptr, *tail = nullptr;
    LRU_CACHE *prev = nullptr, *next = nullptr; // global list of tables, most recent first
    std::atomic<int> lock{0};

    static INFO *cache;
    static uint32_t size, used;
    static LRU_CACHE *lru_head, *lru_tail;
    static std::atomic<int> lock_lru;

    // (Re)creates the pool; prints its size when verbose. False when it cannot be allocated.
    static bool alloc(uint32_t bytes, bool verbose);
    int get(uint32_t key, uint32_t offset, uint8_t &out);
    void add(const INFO *block);
    void reset() {
        head = tail = nullptr;
        prev = next = nullptr;
    }
    int blocks() const;

  private:
    void bring_to_front();
};

class SEARCHER;

// ---- one bitbase file -----------------------------------------------------------------------
class EGBB {
  public:
    FILE *pf = nullptr;
    uint32_t *index = nullptr; // block offsets, n_blocks + 1 entries
    uint8_t *table = nullptr;  // whole compressed data (mode 2)
    uint32_t header[4] = {0, 0, 0, 0};
    uint32_t data_start = 0;
    HUFFMAN huffman, huffman_pos;
    int mode = 3;
    uint8_t is_loaded = 0;
    uint8_t use_search = 0;
    char path[256] = {0};
    std::atomic<int> lock{0};
    LRU_CACHE cache;

    EGBB() {
        huffman.set_symbols(LIT_SYMBOLS);
        huffman_pos.set_symbols(DIST_SYMBOLS);
    }
    uint32_t data_size() const { return header[1]; }
    uint32_t n_blocks() const { return header[2]; }
    // Opens and checks a compressed file; a missing or inconsistent file leaves it unloaded.
    void open(const char *name, int load_mode);
    void close();
    bool read_into_ram();
    void free_ram();
    int get_score(uint32_t idx, SEARCHER *psearcher);
    // Decodes one compressed block; returns the bytes written (at most BLOCK_SIZE). Corrupt
    // input ends the block early.
    int decode(const uint8_t *in, uint32_t in_size, uint8_t *out) const;
};

// ---- indexing -------------------------------------------------------------------------------
extern int KK_index[4096];
extern int KK_WP_index[4096];
extern int rotation[4096];
extern const uint8_t K_TR[64];
extern const uint8_t K1_TR[64];
void init_indices();

// A probe position brought to canonical form: the table (side to move and canonical pieces
// a, b, c, 0 when absent) and the index in that table.
struct TABLE_INDEX {
    int side, a, b, c;
    uint32_t index;
};
// Canonical form and index of a position (squares 0..63, -1 or piece 0 when absent). Returns
// the number of pieces besides the kings (0: a plain draw, no table).
int canonical_index(int player, int wk, int bk, const int piece[3], const int square[3],
                    TABLE_INDEX &out);
// Number of indices of a canonical table.
uint32_t index_space(int a, int b, int c);
EGBB *table_of(int side, int a, int b, int c);
// File name of a canonical table ("kqkr.w.cmp").
void table_name(char *out, int side, int a, int b, int c);

// Loads every table of a directory (see load_egbb_5men); a repeated call releases the
// previous tables first. verbose prints the banner and loading lines.
bool load_tables(const char *path, int cache_bytes, int options, bool verbose);
// Loading modes of three/four-men and five-men tables for a load option.
void load_modes(int options, int &mode34, int &mode5);
// The score of a win/draw/loss answer (+1, 0, -1) for the probe's position.
int egbb_score(int result, int player, int wk, int bk, const int piece[3], const int square[3]);

// ---- the private board and one-ply resolution ------------------------------------------------
struct SQATT {
    int step;
    int pieces;
};
extern SQATT temp_sqatt[256];
void init_sqatt();

struct PLIST {
    int sq;
    PLIST *prev, *next;
};

constexpr int MAX_STACK = 70, MAX_MOVES = 256;

struct STACK {
    uint32_t move_st[MAX_MOVES];
    int count;
};

class SEARCHER {
  public:
    int player = 0, opponent = 1;
    int castle = 0, epsquare = 0, fifty = 0;
    int temp_board[224];
    int *const board = temp_board + 48;
    PLIST *list[128];
    PLIST plist[14]; // list heads by piece code (sentinels)
    int ply = 0;
    STACK *pstack;
    STACK stack[MAX_STACK];
    INFO info;                  // scratch decoded block
    uint8_t block[COMP_BUFFER]; // scratch compressed block
    int used = 0;

    SEARCHER();
    SEARCHER(const SEARCHER &) = delete;
    SEARCHER &operator=(const SEARCHER &) = delete;
    void set_pos(int side, int wk, int bk, int p1, int s1, int p2, int s2, int p3, int s3);
    void gen_caps();
    void gen_noncaps();
    void do_move(uint32_t move);
    void undo_move(uint32_t move);
    int attacks(int col, int sq) const;
    int blocked(int from, int to) const;
    // Game-theoretic value for the side to move: 1, 0, -1, or -3 when not available.
    int get_score(int alpha, int beta, int side, int wk, int bk, int p1, int s1, int p2, int s2,
                  int p3, int s3);

  private:
    PLIST nodes[128];
    void add_move(int from, int to, int moved, int captured, int promoted, uint32_t flags);
    void gen_piece_moves(int from, int pc, bool captures);
    void gen_pawn_caps(int from, int pc);
    void gen_pawn_quiet(int from, int pc);
    void link(PLIST *node, int pc);
    void unlink(PLIST *node);
    void move_node(int from, int to);
    int search(int alpha, int beta, int wk, int bk, const int piece[3], const int square[3]);
};

// Square conversions between 0..63 and the 0x88 board.
inline int SQ6488(int s) {
    return ((s >> 3) << 4) | (s & 7);
}
inline int SQ8864(int s) {
    return ((s >> 4) << 3) | (s & 7);
}

// Move word fields.
inline int m_from(uint32_t m) {
    return m & 0xFF;
}
inline int m_to(uint32_t m) {
    return (m >> 8) & 0xFF;
}
inline int m_piece(uint32_t m) {
    return (m >> 16) & 0xF;
}
inline int m_capture(uint32_t m) {
    return (m >> 20) & 0xF;
}
inline int m_promote(uint32_t m) {
    return (m >> 24) & 0xF;
}
constexpr uint32_t EP_FLAG = 1u << 28;
constexpr uint32_t CASTLE_FLAG = 1u << 29;

// The table lookup half of SEARCHER::get_score (egbbdll.cpp): 1, 0, -1 from a loaded table,
// SEARCH_UNKNOWN when neither the table nor its counterpart is there, NEEDS_SEARCH when the
// one-ply search must answer.
constexpr int NEEDS_SEARCH = 2;
int probe_table(int player, int wk, int bk, const int piece[3], const int square[3],
                SEARCHER *psearcher);

} // namespace egbb_prober
