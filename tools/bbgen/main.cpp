// vrk-bbgen: generates bitbase files by retrograde analysis, and counts their values.
//
//   vrk-bbgen [--verify N] [--threads N] OUTDIR NAME...
//   vrk-bbgen --count [--threads N] DIR NAME...
//   vrk-bbgen --speed DIR NAME...
//
// NAME is a material stem (kqk, kbnk, kpkp, krpkr) or all3 / all4 / all5. The tables a material
// reaches by a capture or a promotion are generated first; a table whose two files are present
// is skipped, so a stopped run resumes with the table it was making. --verify N loads every
// table written by the run through the prober and compares N random positions per side with the
// generator's values; any difference fails the run. --threads sets the threads of a table's
// analysis and of the counting (every core by default).
//
// --count reads finished tables and prints, for each side to move, how many legal positions are
// won, drawn and lost, counted as published tablebase statistics count them: one position of
// each class under the board's symmetries (the eight of the square without pawns, the left-right
// mirror with them), men of one kind told apart, pawns on ranks 2 to 7, no en-passant right.
// --speed measures probes per second of random positions with the tables on disk and in memory.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "bbgen.h"
#include "platform.h"
#include "prober_internal.h"

using namespace egbb_prober;

// ---- materials ------------------------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Canonical codes of a list of pieces, found by indexing a sample position with them.
bool canonical_material(int n, const int *pc, Material &m) {
    static const int squares[3] = {20, 42, 35};
    TABLE_INDEX t;
    if (n < 1 || n > 3 || canonical_index(0, 0, 63, pc, squares, t) != n) return false;
    m.n = n;
    m.pc[0] = t.a, m.pc[1] = t.b, m.pc[2] = t.c;
    return true;
}

bool file_exists(const std::string &path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

} // namespace

bool parse_material(const std::string &name, Material &m) {
    static const char letters[] = "qrbnp";
    int pc[3] = {0, 0, 0}, n = 0, kings = 0;
    for (char ch : name) {
        if (ch == 'k') {
            kings++;
            continue;
        }
        const char *l = strchr(letters, ch);
        if (!l || !ch || kings == 0 || kings > 2 || n == 3) return false;
        pc[n++] = (int)(l - letters) + WQUEEN + (kings == 2 ? 6 : 0);
    }
    if (kings != 2 || name[0] != 'k') return false;
    for (int i = n; i < 3; i++)
        pc[i] = 0;
    return canonical_material(n, pc, m);
}

std::string table_path(const std::string &dir, const Material &m, int side) {
    char name[32];
    table_name(name, side, m.pc[0], m.pc[1], m.pc[2]);
    return dir + "/" + name;
}

std::string material_name(const Material &m) {
    std::string p = table_path("", m, 0);
    return p.substr(1, p.find('.') - 1);
}

std::vector<Material> dependencies(const Material &m) {
    static const int promo[4] = {WQUEEN, WROOK, WBISHOP, WKNIGHT};
    std::vector<Material> out;
    // The material left when piece `taken` (-1: none) is captured and `pawn` (-1: none)
    // promotes to `q`.
    auto add = [&](int taken, int pawn, int q) {
        int pc[3] = {0, 0, 0}, n = 0;
        for (int k = 0; k < m.n; k++)
            if (k != taken)
                pc[n++] = k == pawn ? q + (piece_color(m.pc[k]) == BLACK ? 6 : 0) : m.pc[k];
        Material d;
        if (n == 0 || !canonical_material(n, pc, d)) return;
        for (const Material &x : out)
            if (material_name(x) == material_name(d)) return;
        out.push_back(d);
    };
    for (int taken = 0; taken < m.n; taken++)
        add(taken, -1, 0);
    for (int pawn = 0; pawn < m.n; pawn++)
        if (piece_type(m.pc[pawn]) == PAWN)
            for (int q : promo)
                for (int taken = -1; taken < m.n; taken++)
                    if (taken != pawn) add(taken, pawn, q);
    return out;
}

// ---- values of written tables -----------------------------------------------------------------

bool Oracle::load(const Material &m) {
    for (int side = 0; side < 2; side++) {
        if (table_[side][m.pc[0]][m.pc[1]][m.pc[2]]) continue;
        EGBB e;
        e.open(table_path(dir_, m, side).c_str(), 2);
        if (!e.is_loaded) return false;
        std::vector<uint8_t> bytes((size_t)e.n_blocks() * BLOCK_SIZE, 0);
        for (uint32_t b = 0; b < e.n_blocks(); b++)
            e.decode(e.table + e.index[b], e.index[b + 1] - e.index[b],
                     &bytes[(size_t)b * BLOCK_SIZE]);
        e.close();
        data_.push_back(std::move(bytes));
        table_[side][m.pc[0]][m.pc[1]][m.pc[2]] = &data_.back();
    }
    return true;
}

uint8_t Oracle::lookup(int side, int wk, int bk, int n, const int *pc, const int *sq) const {
    static const uint8_t value[4] = {V_DRAW, V_WIN, V_LOSS, V_DRAW};
    if (n == 0) return V_DRAW;
    int pcs[3] = {0, 0, 0}, sqs[3] = {-1, -1, -1};
    for (int i = 0; i < n; i++)
        pcs[i] = pc[i], sqs[i] = sq[i];
    TABLE_INDEX t;
    const std::vector<uint8_t> *tbl = nullptr;
    if (canonical_index(side, wk, bk, pcs, sqs, t) > 0) tbl = table_[t.side][t.a][t.b][t.c];
    if (!tbl || (t.index >> 2) >= tbl->size()) {
        fprintf(stderr, "vrk-bbgen: no value for side %d kings %d %d pieces %d@%d %d@%d\n", side,
                wk, bk, pcs[0], sqs[0], pcs[1], sqs[1]);
        exit(2);
    }
    return value[((*tbl)[t.index >> 2] >> (2 * (t.index & 3))) & 3];
}

// ---- counting ---------------------------------------------------------------------------------

namespace {

// The sides to move (bit 0 White, bit 1 Black) for which a placement of a material is a legal
// position, judged on the prober's own board: men on distinct squares, pawns on ranks 2 to 7,
// the side not to move not in check.
int legal_sides(SEARCHER &board, const Material &m, int wk, int bk, const int *sq) {
    uint64_t used = 1ull << wk | 1ull << bk;
    int s88[3] = {0, 0, 0};
    for (int k = 0; k < m.n; k++) {
        if ((used >> sq[k] & 1) || (piece_type(m.pc[k]) == PAWN && (sq[k] < 8 || sq[k] >= 56)))
            return 0;
        used |= 1ull << sq[k];
        s88[k] = SQ6488(sq[k]);
    }
    if (wk == bk) return 0;
    board.set_pos(0, SQ6488(wk), SQ6488(bk), m.pc[0], s88[0], m.pc[1], s88[1], m.pc[2], s88[2]);
    return (board.attacks(0, SQ6488(bk)) ? 0 : 1) | (board.attacks(1, SQ6488(wk)) ? 0 : 2);
}

// Whether a placement of the pieces stands for its class of positions, so that each class is
// counted once: the king pairs of the enumeration are one of each class already, and only the
// reflection in the a1-h8 diagonal fixes a pair, one with both kings on that diagonal (without
// pawns). Of such a placement and its reflection the first counts, and a placement that is its own
// reflection once. Men of one kind count in both orders, as the published statistics count them.
bool representative(const Material &m, bool kings_on_diagonal, const int *sq) {
    if (!kings_on_diagonal) return true;
    int image[3];
    for (int k = 0; k < m.n; k++)
        image[k] = transpose(sq[k]);
    return !std::lexicographical_compare(image, image + m.n, sq, sq + m.n);
}

// Won, drawn and lost positions of a finished material for each side to move, read through its
// files; legality is judged on the prober's own board.
bool count(const std::string &dir, const Material &m, int threads, long out[2][4]) {
    Oracle oracle(dir);
    if (!oracle.load(m)) return false;
    bool pawns = false;
    for (int k = 0; k < m.n; k++)
        pawns |= piece_type(m.pc[k]) == PAWN;
    std::vector<std::array<long, 8>> part(64, std::array<long, 8>{});
    parallel_chunks(threads, 64, [&](size_t wk) {
        if (pawns ? file64((int)wk) > 3 : file64((int)wk) > 3 || rank64((int)wk) > file64((int)wk))
            return;
        auto board = std::make_unique<SEARCHER>();
        int sq[3] = {0, 0, 0};
        for (int bk = 0; bk < 64; bk++) {
            const int pair = (int)wk * 64 + bk;
            if (pawns ? KK_WP_index[pair] < 0 : KK_index[pair] < 0 || rotation[pair] != 0) continue;
            const bool diagonal =
                !pawns && file64((int)wk) == rank64((int)wk) && file64(bk) == rank64(bk);
            for (int r = 0; r < 1 << (6 * m.n); r++) {
                for (int k = 0; k < m.n; k++)
                    sq[k] = r >> (6 * k) & 63;
                if (!representative(m, diagonal, sq)) continue;
                const int sides = legal_sides(*board, m, (int)wk, bk, sq);
                for (int side = 0; side < 2; side++)
                    if (sides >> side & 1)
                        part[wk][side * 4 + oracle.lookup(side, (int)wk, bk, m.n, m.pc, sq)]++;
            }
        }
    });
    for (int side = 0; side < 2; side++)
        for (int v = 0; v < 4; v++) {
            out[side][v] = 0;
            for (const auto &p : part)
                out[side][v] += p[side * 4 + v];
        }
    return true;
}

} // namespace

// ---- probing speed ----------------------------------------------------------------------------

namespace {

// Probes per second of random legal positions of a material through probe_egbb_5men, with the
// tables on disk (read through the block cache) and in memory, and the engine's default cache:
// cold, each position's first probe after loading; warm, a few hundred positions probed again
// and again, their blocks held by the cache.
void speed(const std::string &dir, const Material &m) {
    constexpr int POSITIONS = 4000, WARM = 256, WARM_ROUNDS = 256, CACHE = 4 << 20;
    std::mt19937 rng(1);
    auto board = std::make_unique<SEARCHER>();
    std::vector<std::array<int, 6>> positions; // side, wk, bk, three squares
    while (positions.size() < POSITIONS) {
        std::array<int, 6> p;
        for (int &x : p)
            x = (int)(rng() & 63);
        p[0] &= 1;
        if (legal_sides(*board, m, p[1], p[2], &p[3]) >> p[0] & 1) positions.push_back(p);
    }
    auto probes_per_second = [&](int count, int rounds) {
        const auto start = Clock::now();
        for (int r = 0; r < rounds; r++)
            for (int i = 0; i < count; i++) {
                const auto &p = positions[i];
                probe_egbb_5men(p[0], p[1], p[2], m.pc[0], p[3], m.pc[1], p[4], m.pc[2], p[5]);
            }
        return count * rounds / seconds_since(start);
    };
    static const std::pair<const char *, int> modes[] = {{"on disk", 0}, {"in memory", 3}};
    for (const auto &[where, option] : modes) {
        load_tables((dir + "/").c_str(), CACHE, option, false);
        const double cold = probes_per_second(POSITIONS, 1);
        probes_per_second(WARM, 1);
        printf("%-6s %-9s cold %.0f probes/s, warm %.0f probes/s\n", material_name(m).c_str(),
               where, cold, probes_per_second(WARM, WARM_ROUNDS));
    }
}

} // namespace

// ---- driver -----------------------------------------------------------------------------------

namespace {

// One run: the tables still to make, dependencies first, and the state of the progress line.
struct Run {
    std::string dir;
    int verify_samples = 0, threads = (int)std::max(1u, std::thread::hardware_concurrency());
    std::set<std::string> planned;
    std::vector<Material> order;
    double total_work = 0, done_work = 0, done_seconds = 0;
    long failures = 0;
    Clock::time_point start = Clock::now();
    size_t current = 0;
    // A terminal sees a progress line redrawn in place; a log (a file, a pipe) only a line for
    // each finished table, or it would fill with thousands of redrawn lines a table.
    bool redraw = stdout_is_terminal();
};
Run run;

std::string hms(double seconds) {
    const long s = std::max(0L, (long)seconds);
    char text[32];
    snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

// The progress line; the time left is extrapolated from the tables finished so far, weighted
// by the size of their position spaces.
void progress(const char *phase, double fraction) {
    if (!run.redraw) return;
    std::string left;
    if (run.done_work > 0)
        left = ", about " +
               hms(run.done_seconds / run.done_work * (run.total_work - run.done_work) -
                   (seconds_since(run.start) - run.done_seconds)) +
               " left";
    printf("\r[%zu/%zu] %-6s %-9s %3d%%  %s elapsed%s   ", run.current + 1, run.order.size(),
           material_name(run.order[run.current]).c_str(), phase, (int)(fraction * 100),
           hms(seconds_since(run.start)).c_str(), left.c_str());
    fflush(stdout);
}

uint64_t rng_state = 0x9E3779B97F4A7C15ull;
uint32_t next_random() {
    rng_state ^= rng_state << 13;
    rng_state ^= rng_state >> 7;
    rng_state ^= rng_state << 17;
    return (uint32_t)(rng_state >> 11);
}

// Probes random legal positions through the prober and compares them with the generator.
long verify(const std::string &dir, const Generator &g, int samples) {
    static const int expected[4] = {0, 1, -1, 0};
    load_tables((dir + "/").c_str(), 16 << 20, 1, false);
    const Material &m = g.material();
    long bad = 0;
    for (int side = 0; side < 2; side++)
        for (int done = 0; done < samples;) {
            const int wk = next_random() & 63, bk = next_random() & 63;
            int sq[3] = {0, 0, 0};
            for (int k = 0; k < m.n; k++)
                sq[k] = next_random() & 63;
            const uint8_t v = g.value(side, wk, bk, sq);
            if (v == V_ILLEGAL) continue;
            done++;
            const int r =
                probe_egbb_5men(side, wk, bk, m.pc[0], sq[0], m.pc[1], sq[1], m.pc[2], sq[2]);
            const int sign = r == NOT_AVAILABLE ? 9 : (r > 0) - (r < 0);
            if (sign != expected[v] && bad++ < 5)
                printf("mismatch %s side %d wk %d bk %d squares %d %d %d: probe %d, generated %d\n",
                       material_name(m).c_str(), side, wk, bk, sq[0], sq[1], sq[2], r, v);
        }
    return bad;
}

bool present(const Material &m) {
    return file_exists(table_path(run.dir, m, 0)) && file_exists(table_path(run.dir, m, 1));
}

// Puts a material and whatever it needs that is missing into the run's order.
void plan(const Material &m) {
    if (!run.planned.insert(material_name(m)).second || present(m)) return;
    for (const Material &d : dependencies(m))
        plan(d);
    run.order.push_back(m);
    run.total_work += (double)Generator::space(m);
}

bool generate(const Material &m) {
    const std::string name = material_name(m);
    Oracle oracle(run.dir);
    for (const Material &d : dependencies(m))
        if (!oracle.load(d)) {
            printf("%s%-6s cannot read %s\n", run.redraw ? "\n" : "", name.c_str(),
                   material_name(d).c_str());
            return false;
        }
    const auto start = Clock::now();
    Generator g(m, oracle, run.threads);
    g.run(progress);
    progress("write", 0);
    long conflicts[2] = {0, 0};
    bool written[2] = {false, false};
    auto write_side = [&](int side) {
        const std::vector<uint8_t> values = g.file_values(side, conflicts[side]);
        written[side] = !conflicts[side] && write_bitbase(table_path(run.dir, m, side), values);
    };
    std::thread black(write_side, 1);
    write_side(0);
    black.join();
    for (int side = 0; side < 2; side++)
        if (!written[side]) {
            printf("%s%-6s cannot write side %d (%ld conflicts)\n", run.redraw ? "\n" : "",
                   name.c_str(), side, conflicts[side]);
            return false;
        }
    const double secs = seconds_since(start);
    run.done_work += (double)Generator::space(m);
    run.done_seconds = seconds_since(run.start);
    if (run.redraw)
        printf("\r[%zu/%zu] %-6s done in %s (%.1f s)%40s\n", run.current + 1, run.order.size(),
               name.c_str(), hms(secs).c_str(), secs, "");
    else
        printf("[%zu/%zu] %-6s %zu positions, %.1f s\n", run.current + 1, run.order.size(),
               name.c_str(), 2 * Generator::space(m), secs);
    if (run.verify_samples) {
        const long bad = verify(run.dir, g, run.verify_samples);
        printf("%-6s verify: %d positions a side, %ld mismatches\n", name.c_str(),
               run.verify_samples, bad);
        run.failures += bad;
    }
    fflush(stdout);
    return true;
}

std::vector<std::string> expand(const std::string &arg) {
    static const char pieces[] = "qrbnp";
    std::vector<std::string> out;
    const std::string k = "k";
    if (arg == "all3") {
        for (int a = 0; a < 5; a++)
            out.push_back(k + pieces[a] + k);
    } else if (arg == "all4") {
        for (int a = 0; a < 5; a++)
            for (int b = a; b < 5; b++) {
                out.push_back(k + pieces[a] + pieces[b] + k);
                out.push_back(k + pieces[a] + k + pieces[b]);
            }
    } else if (arg == "all5") {
        for (int a = 0; a < 5; a++)
            for (int b = a; b < 5; b++) {
                for (int c = b; c < 5; c++)
                    out.push_back(k + pieces[a] + pieces[b] + pieces[c] + k);
                for (int c = 0; c < 5; c++)
                    out.push_back(k + pieces[a] + pieces[b] + k + pieces[c]);
            }
    } else {
        out.push_back(arg);
    }
    return out;
}

int usage() {
    fprintf(stderr, "usage: vrk-bbgen [--verify N] [--threads N] OUTDIR NAME...\n"
                    "       vrk-bbgen --count [--threads N] DIR NAME...\n"
                    "       vrk-bbgen --speed DIR NAME...\n"
                    "  NAME: a material such as kqk, kbnk, krpkr, or all3, all4, all5\n");
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    bool counting = false, timing = false;
    int a = 1;
    for (; a < argc && argv[a][0] == '-'; a++) {
        const std::string opt = argv[a];
        if (opt == "--count" || opt == "--speed") {
            (opt == "--count" ? counting : timing) = true;
        } else if ((opt == "--verify" || opt == "--threads") && a + 1 < argc) {
            (opt == "--verify" ? run.verify_samples : run.threads) = atoi(argv[++a]);
        } else {
            return usage();
        }
    }
    if (argc - a < 2 || run.threads < 1) return usage();
    run.dir = argv[a++];
    std::vector<Material> named;
    for (; a < argc; a++)
        for (const std::string &name : expand(argv[a])) {
            Material m;
            if (!parse_material(name, m)) {
                fprintf(stderr, "vrk-bbgen: unknown material %s\n", name.c_str());
                return 1;
            }
            named.push_back(m);
        }
    init_indices();
    init_sqatt();
    if (timing) {
        for (const Material &m : named)
            speed(run.dir, m);
        return 0;
    }
    if (counting) {
        for (const Material &m : named) {
            long c[2][4];
            if (!count(run.dir, m, run.threads, c)) {
                fprintf(stderr, "vrk-bbgen: cannot read the tables of %s in %s\n",
                        material_name(m).c_str(), run.dir.c_str());
                return 1;
            }
            printf("%-6s w: %ld/%ld/%ld b: %ld/%ld/%ld (won/drawn/lost)\n",
                   material_name(m).c_str(), c[0][V_WIN], c[0][V_DRAW], c[0][V_LOSS], c[1][V_WIN],
                   c[1][V_DRAW], c[1][V_LOSS]);
            fflush(stdout);
        }
        return 0;
    }
    std::error_code ignored; // a folder that cannot be made shows when its files are written
    std::filesystem::create_directories(run.dir, ignored);
    for (const Material &m : named)
        plan(m);
    printf("%zu tables to make in %s\n", run.order.size(), run.dir.c_str());
    for (run.current = 0; run.current < run.order.size(); run.current++)
        if (!generate(run.order[run.current])) return 1;
    printf("done: %zu tables, %.0f positions, %.1f s\n", run.order.size(), 2 * run.total_work,
           seconds_since(run.start));
    return run.failures ? 1 : 0;
}
