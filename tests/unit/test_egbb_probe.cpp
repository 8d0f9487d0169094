// Bitbase prober on the generated files: loading, probes and scores, the one-ply resolution of
// a missing side, modes, corrupt files, the private board, and the engine glue.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <vector>

#include "board.h"
#include "console.h"
#include "egbb_glue.h"
#include "egbbdll.h"
#include "test_egbb_common.h"
#include "test_util.h"

namespace pb = egbb_prober;

namespace {

const char *LOADED = "EgbbProbe 3.1 by Haldrin\nCache Size = 1 Mb (129 entries)\n"
                     "Loading egbbs....\rEgbbs loaded !      \n";

int king_dist(int a, int b) {
    return std::max(std::abs((a & 7) - (b & 7)), std::abs((a >> 3) - (b >> 3)));
}

void load(const std::string &dir, int option = 1) {
    capture_stdout([&] { load_egbb_5men(dir.c_str(), 1 << 20, option); });
}

// A legal position of a material with `side` to move (prober squares), drawn at random.
struct Position {
    int side, wk, bk, pc[3], sq[3];
    int probe() const {
        return probe_egbb_5men(side, wk, bk, pc[0], sq[0], pc[1], sq[1], pc[2], sq[2]);
    }
};

bool legal(const Position &p) {
    static pb::SEARCHER s;
    auto sq88 = [](int pc, int sq) { return pc ? pb::SQ6488(sq) : 0; };
    s.set_pos(p.side, pb::SQ6488(p.wk), pb::SQ6488(p.bk), p.pc[0], sq88(p.pc[0], p.sq[0]), p.pc[1],
              sq88(p.pc[1], p.sq[1]), p.pc[2], sq88(p.pc[2], p.sq[2]));
    return !s.attacks(p.side, pb::SQ6488(p.side == 0 ? p.bk : p.wk));
}

Position random_position(std::mt19937 &rng, int side, std::vector<int> pcs) {
    for (;;) {
        Position p{side, (int)(rng() % 64), (int)(rng() % 64), {0, 0, 0}, {0, 0, 0}};
        bool ok = king_dist(p.wk, p.bk) > 1;
        uint64_t used = (1ull << p.wk) | (1ull << p.bk);
        for (size_t i = 0; i < pcs.size() && ok; i++) {
            p.pc[i] = pcs[i];
            p.sq[i] = (int)(rng() % 64);
            ok = !(used >> p.sq[i] & 1) &&
                 (pb::piece_type(pcs[i]) != pb::PAWN || (p.sq[i] >= 8 && p.sq[i] < 56));
            used |= 1ull << p.sq[i];
        }
        if (ok && legal(p)) return p;
    }
}

std::string temp_copy(const std::string &from, const std::vector<std::string> &leave_out) {
    char tmpl[] = "/tmp/vrk-egbb-XXXXXX";
    const std::string dir = std::string(mkdtemp(tmpl)) + "/";
    const std::string cmd = "cp " + from + "*.cmp " + dir;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    for (const std::string &name : leave_out)
        std::remove((dir + name).c_str());
    return dir;
}

void remove_dir(const std::string &dir) {
    const std::string cmd = "rm -rf " + dir;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
}

class EgbbProbe : public ::testing::Test {
  protected:
    void SetUp() override {
        pb::init_sqatt(); // legal() works on the prober's board before any table is loaded
        files = egbb_files();
        ASSERT_FALSE(files.empty())
            << "generating the bitbases failed: see egbb-files/generation.log";
    }
    std::string files;
};

} // namespace

TEST_F(EgbbProbe, LoadingLinesAndModes) {
    EXPECT_EQ(capture_stdout([&] { load_egbb_5men(files.c_str(), 1 << 20, 1); }), LOADED);
    EXPECT_EQ(pb::table_of(0, 2, 0, 0)->mode, 2);
    EXPECT_TRUE(pb::table_of(1, 3, 9, 0)->is_loaded);
    load(files, 0);
    EXPECT_EQ(pb::table_of(0, 2, 9, 0)->mode, 3);
    // Switching a table between disk and memory keeps its answers.
    std::mt19937 rng(5);
    std::vector<Position> sample;
    std::vector<int> disk;
    for (int n = 0; n < 3000; n++) {
        sample.push_back(random_position(rng, n & 1, {2, 9}));
        disk.push_back(sample.back().probe());
    }
    EXPECT_EQ(load_egbb_into_ram(0, 2, 9, 0), 1);
    EXPECT_EQ(load_egbb_into_ram(1, 2, 9, 0), 1);
    EXPECT_EQ(pb::table_of(0, 2, 9, 0)->mode, 2);
    for (size_t i = 0; i < sample.size(); i++)
        ASSERT_EQ(sample[i].probe(), disk[i]);
    EXPECT_EQ(unload_egbb_from_ram(0, 2, 9, 0), 1);
    EXPECT_EQ(unload_egbb_from_ram(0, 2, 9, 0), 0);
    EXPECT_EQ(pb::table_of(0, 2, 9, 0)->mode, 3);
    for (size_t i = 0; i < sample.size(); i++)
        ASSERT_EQ(sample[i].probe(), disk[i]);
}

TEST_F(EgbbProbe, DrawsMissingMaterialAndScores) {
    load(files);
    EXPECT_EQ(probe_egbb(0, 4, 60, 0, 0, 0, 0), 0);
    EXPECT_EQ(probe_egbb(1, 4, 60, 0, 33, 0, 17), 0);
    EXPECT_EQ(probe_egbb_5men(0, 0, 63, 2, 20, 3, 42, 4, 35), 99999); // no five-men files
    // King, queen against king: 50 * 9 + 6000 - 200 * 3 - 2 * distance, kings on edges.
    EXPECT_EQ(probe_egbb(0, 4, 60, 2, 3, 0, 0), 5836);
    EXPECT_EQ(probe_egbb(1, 4, 60, 2, 3, 0, 0), -5836);
    EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(load_egbb(files.c_str()), 1); }),
              "EgbbProbe 3.1 by Haldrin\nCache Size = 4 Mb (517 entries)\nLoading egbbs....\rEgbbs "
              "loaded !      \n");
    EXPECT_EQ(probe_egbb(0, 4, 60, 2, 3, 0, 0), 5836);
    // King, bishop and knight: the defender is better off in the wrong corner.
    EXPECT_LT(probe_egbb(1, 18, 0, 4, 2, 5, 40), probe_egbb(1, 21, 7, 4, 2, 5, 40));
    EXPECT_GT(probe_egbb(0, 18, 0, 4, 2, 5, 40), probe_egbb(0, 21, 7, 4, 2, 5, 40));
}

TEST_F(EgbbProbe, MissingSideIsAnsweredByTheOnePlySearch) {
    const std::vector<std::string> gone = {"kpk.w.cmp",  "kqk.b.cmp",  "kqkr.b.cmp",
                                           "kbnk.w.cmp", "kpkp.w.cmp", "knkp.b.cmp"};
    struct Case {
        int side;
        std::vector<int> pcs;
    };
    const std::vector<Case> sampled = {
        {1, {2, 9}}, {0, {4, 5}}, {0, {6, 12}}, {1, {5, 12}}, {1, {11, 6}}};
    // Every white-to-move KPK position (pawn of either colour, so both flips), and samples.
    std::vector<Position> positions;
    for (int colour = 0; colour < 2; colour++)
        for (int wk = 0; wk < 64; wk++)
            for (int bk = 0; bk < 64; bk++)
                for (int p = 8; p < 56; p++) {
                    Position x{colour, wk, bk, {6 + 6 * colour, 0, 0}, {p, 0, 0}};
                    if (king_dist(wk, bk) > 1 && p != wk && p != bk && legal(x))
                        positions.push_back(x);
                }
    std::mt19937 rng(9);
    for (const Case &c : sampled)
        for (int n = 0; n < 4000; n++)
            positions.push_back(random_position(rng, c.side, c.pcs));
    load(files);
    std::vector<int> full;
    for (const Position &p : positions)
        full.push_back(p.probe());

    const std::string dir = temp_copy(files, gone);
    load(dir);
    EXPECT_FALSE(pb::table_of(0, 6, 0, 0)->is_loaded);
    EXPECT_TRUE(pb::table_of(0, 6, 0, 0)->use_search);
    EXPECT_FALSE(pb::table_of(1, 6, 0, 0)->use_search);
    size_t bad = 0;
    for (size_t i = 0; i < positions.size(); i++)
        if (positions[i].probe() != full[i] && bad++ < 5)
            ADD_FAILURE() << "position " << i << ": " << positions[i].probe() << " != " << full[i];
    EXPECT_EQ(bad, 0u);

    // Black to move in KQK, answered by the search alone: mate, stalemate, and the capture of
    // the last piece (a draw without any table).
    EXPECT_LT(probe_egbb(1, 41, 56, 2, 49, 0, 0), 0);
    EXPECT_EQ(probe_egbb(1, 41, 56, 2, 50, 0, 0), 0);
    EXPECT_EQ(probe_egbb(1, 35, 56, 2, 49, 0, 0), 0);
    remove_dir(dir);
}

TEST_F(EgbbProbe, BothSidesMissingIsNotAvailable) {
    const std::string dir = temp_copy(files, {"krk.w.cmp", "krk.b.cmp"});
    load(dir);
    EXPECT_EQ(probe_egbb(0, 4, 60, 3, 0, 0, 0), 99999);
    EXPECT_EQ(probe_egbb(1, 4, 60, 9, 0, 0, 0), 99999);
    EXPECT_FALSE(pb::table_of(0, 3, 0, 0)->use_search);
    EXPECT_GT(probe_egbb(0, 4, 60, 2, 3, 0, 0), 0); // the other tables still answer
    remove_dir(dir);
}

TEST_F(EgbbProbe, CorruptFilesNeverCrash) {
    std::ifstream in(files + "kqkr.w.cmp", std::ios::binary);
    const std::vector<uint8_t> good((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(good.size(), 700u);
    std::mt19937 rng(1);
    auto put32 = [](std::vector<uint8_t> &f, size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            f[at + i] = (uint8_t)(v >> (8 * i));
    };
    std::vector<std::vector<uint8_t>> variants;
    variants.push_back(std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2));
    variants.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 300));
    for (int k = 0; k < 3; k++) { // damaged data
        auto f = good;
        for (size_t i = 700; i < f.size(); i++)
            if (rng() % 16 == 0) f[i] = (uint8_t)rng();
        variants.push_back(f);
    }
    auto absurd = good; // more blocks than the file holds
    put32(absurd, 8, 0xFFFFFFF0u);
    variants.push_back(absurd);
    auto big = good; // more data than the file holds
    put32(big, 4, 0x7FFFFFFFu);
    variants.push_back(big);
    auto longcode = good; // a code longer than the accumulator
    longcode[56 + 'A'] = 45;
    variants.push_back(longcode);
    auto offsets = good; // block offsets going backwards
    put32(offsets, 593 + 8, 1);
    variants.push_back(offsets);
    auto noise = good; // noise everywhere but the sizes
    for (size_t i = 16; i < noise.size(); i++)
        noise[i] = (uint8_t)rng();
    variants.push_back(noise);

    std::vector<Position> sample;
    for (int n = 0; n < 2000; n++)
        sample.push_back(random_position(rng, 0, {2, 9}));
    for (size_t v = 0; v < variants.size(); v++) {
        const std::string dir = temp_copy(files, {});
        std::ofstream(dir + "kqkr.w.cmp", std::ios::binary)
            .write((const char *)variants[v].data(), (std::streamsize)variants[v].size());
        for (int option : {0, 1}) {
            load(dir, option);
            for (const Position &p : sample) {
                const int r = p.probe();
                ASSERT_TRUE(r == 0 || r == 99999 || (std::abs(r) > 4000 && std::abs(r) < 6000))
                    << "variant " << v << " gives " << r;
            }
        }
        remove_dir(dir);
    }
}

TEST(EgbbSearcher, EnPassantOnThePrivateBoard) {
    pb::init_sqatt();
    pb::SEARCHER s;
    const int e2 = pb::SQ6488(12), e4 = pb::SQ6488(28), e3 = pb::SQ6488(20), d4 = pb::SQ6488(27);
    s.set_pos(0, pb::SQ6488(4), pb::SQ6488(60), pb::_WPAWN, e2, pb::_BPAWN, d4, 0, 0);
    s.pstack->count = 0;
    s.gen_noncaps();
    uint32_t push = 0;
    for (int i = 0; i < s.pstack->count; i++)
        if (pb::m_to(s.pstack->move_st[i]) == e4) push = s.pstack->move_st[i];
    ASSERT_NE(push, 0u);
    s.do_move(push);
    EXPECT_EQ(s.epsquare, e3);
    s.pstack++;
    s.pstack->count = 0;
    s.gen_caps();
    uint32_t take = 0;
    for (int i = 0; i < s.pstack->count; i++)
        if (s.pstack->move_st[i] & pb::EP_FLAG) take = s.pstack->move_st[i];
    ASSERT_NE(take, 0u);
    EXPECT_EQ(pb::m_to(take), e3);
    s.do_move(take);
    EXPECT_EQ(s.board[e4], pb::_EMPTY);
    EXPECT_EQ(s.board[e3], pb::_BPAWN);
    EXPECT_EQ(s.plist[pb::_WPAWN].next, nullptr);
    s.undo_move(take);
    s.undo_move(push);
    EXPECT_EQ(s.board[e2], pb::_WPAWN);
    EXPECT_EQ(s.board[d4], pb::_BPAWN);
    EXPECT_EQ(s.plist[pb::_WPAWN].next->sq, e2);
    EXPECT_EQ(s.player, 0);
}

TEST(EgbbSearcher, PromotionsAreTriedWithEveryPiece) {
    pb::init_sqatt();
    pb::SEARCHER s;
    // White pawn b7 can push to b8 or take on a8 or c8.
    s.set_pos(0, pb::SQ6488(4), pb::SQ6488(60), pb::_WPAWN, pb::SQ6488(49), pb::_BROOK,
              pb::SQ6488(56), pb::_BKNIGHT, pb::SQ6488(58));
    s.pstack->count = 0;
    s.gen_caps();
    std::vector<int> caps_promos, push_promos;
    for (int i = 0; i < s.pstack->count; i++) {
        const uint32_t m = s.pstack->move_st[i];
        if (pb::m_piece(m) != pb::_WPAWN) continue;
        (pb::m_capture(m) ? caps_promos : push_promos).push_back(pb::m_promote(m));
    }
    EXPECT_EQ(caps_promos, (std::vector<int>{2, 5, 3, 4, 2, 5, 3, 4}));
    EXPECT_EQ(push_promos, (std::vector<int>{2}));
    s.pstack->count = 0;
    s.gen_noncaps();
    push_promos.clear();
    for (int i = 0; i < s.pstack->count; i++)
        if (pb::m_piece(s.pstack->move_st[i]) == pb::_WPAWN)
            push_promos.push_back(pb::m_promote(s.pstack->move_st[i]));
    EXPECT_EQ(push_promos, (std::vector<int>{5, 3, 4}));
}

TEST_F(EgbbProbe, EngineGlue) {
    snprintf(egbb_path, 255, "%s", files.c_str());
    egbb_cache = 1;
    egbb_5men = 0;
    EXPECT_EQ(capture_stdout([] { init_egbb(); }), "Path for EGBB: " + files + "\n" + LOADED);
    reset_engine();
    setup_fen("4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(eval_egbb(), 5836);
    setup_fen("4k3/8/8/8/8/8/8/3QK3 b - - 0 1");
    EXPECT_EQ(eval_egbb(), -5836);
    setup_fen("4k3/3q4/8/8/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(eval_egbb(), probe_egbb(1, 4, 60, 8, 51, 0, 0));
    EXPECT_GT(eval_egbb(), 0);
    setup_fen("4k3/8/2n5/8/8/8/1P6/4K3 w - - 0 1"); // pieces in engine square order
    EXPECT_EQ(eval_egbb(), find_egbb4(0, 4, 60, 11, 42, 6, 9));
    setup_fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(eval_egbb(), 0);
}
