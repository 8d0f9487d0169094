// vrk-bbgen: generates bitbase files by retrograde analysis.
//
//   vrk-bbgen [--verify N] OUTDIR NAME...
//
// NAME is a material stem (kqk, kbnk, kpkp) or all3 / all4. The tables a material reaches by a
// capture or a promotion are generated first; a table whose two files are present is skipped.
// --verify N loads every table written by the run through the prober and compares N random
// positions per side with the generator's values; any difference fails the run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include "bbgen.h"
#include "prober_internal.h"

using namespace egbb_prober;

// ---- materials ------------------------------------------------------------------------------

namespace {

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

// ---- driver -----------------------------------------------------------------------------------

namespace {

std::string current;

void progress(const char *phase, double fraction) {
    printf("\r%-6s %-7s %3d%%", current.c_str(), phase, (int)(fraction * 100));
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

struct Run {
    std::string dir;
    int verify_samples = 0;
    std::set<std::string> done;
    long failures = 0;
};

bool ensure(Run &run, const Material &m) {
    const std::string name = material_name(m);
    if (run.done.count(name)) return true;
    run.done.insert(name);
    const bool present =
        file_exists(table_path(run.dir, m, 0)) && file_exists(table_path(run.dir, m, 1));
    if (present) {
        printf("%-6s present\n", name.c_str());
        return true;
    }
    Oracle oracle(run.dir);
    for (const Material &d : dependencies(m))
        if (!ensure(run, d) || !oracle.load(d)) {
            printf("%-6s cannot read %s\n", name.c_str(), material_name(d).c_str());
            return false;
        }
    const auto start = std::chrono::steady_clock::now();
    current = name;
    Generator g(m, oracle);
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
            printf("\n%-6s cannot write side %d (%ld conflicts)\n", name.c_str(), side,
                   conflicts[side]);
            return false;
        }
    long c[2][4];
    g.counts(c);
    const double secs =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("\r%-6s w: %ld/%ld/%ld b: %ld/%ld/%ld (win/draw/loss) %.1f s\n", name.c_str(),
           c[0][V_WIN], c[0][V_DRAW], c[0][V_LOSS], c[1][V_WIN], c[1][V_DRAW], c[1][V_LOSS], secs);
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
    static const char *three[] = {"kqk", "krk", "kbk", "knk", "kpk"};
    static const char pieces[] = "qrbnp";
    std::vector<std::string> out;
    if (arg == "all3") {
        out.assign(three, three + 5);
    } else if (arg == "all4") {
        for (int a = 0; a < 5; a++)
            for (int b = a; b < 5; b++) {
                out.push_back(std::string("k") + pieces[a] + pieces[b] + "k");
                out.push_back(std::string("k") + pieces[a] + "k" + pieces[b]);
            }
    } else {
        out.push_back(arg);
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    Run run;
    int a = 1;
    if (a + 1 < argc && !strcmp(argv[a], "--verify")) {
        run.verify_samples = atoi(argv[a + 1]);
        a += 2;
    }
    if (argc - a < 2) {
        fprintf(stderr,
                "usage: vrk-bbgen [--verify N] OUTDIR NAME...  (NAME: kqk, kbnk, all3, all4)\n");
        return 1;
    }
    run.dir = argv[a++];
    std::error_code ignored; // a folder that cannot be made shows when its files are written
    std::filesystem::create_directories(run.dir, ignored);
    init_indices();
    init_sqatt();
    const auto start = std::chrono::steady_clock::now();
    for (; a < argc; a++)
        for (const std::string &name : expand(argv[a])) {
            Material m;
            if (!parse_material(name, m) || m.n > 2) {
                fprintf(stderr, "vrk-bbgen: unknown material %s\n", name.c_str());
                return 1;
            }
            if (!ensure(run, m)) return 1;
        }
    printf("done in %.1f s\n",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return run.failures ? 1 : 0;
}
