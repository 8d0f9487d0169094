// Bitbase prober on the generated files: loading, probes and scores, the one-ply resolution of
// a missing side, modes, corrupt files, the private board, and the engine glue.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>

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

void load(const std::string &dir, int option = 1) {
    capture_stdout([&] { load_egbb_5men(dir.c_str(), 1 << 20, option); });
}

// Copies the generated files into `to`, leaving some out.
void copy_tables(const std::string &from, const TempDir &to,
                 const std::vector<std::string> &leave_out = {}) {
    namespace fs = std::filesystem;
    for (const fs::directory_entry &e : fs::directory_iterator(from))
        if (e.path().extension() == ".cmp")
            fs::copy_file(e.path(), to.path() / e.path().filename());
    for (const std::string &name : leave_out)
        fs::remove(to.path() / name);
}

class EgbbProbe : public ::testing::Test {
  protected:
    void SetUp() override {
        files = egbb_files();
        ASSERT_FALSE(files.empty()) << EGBB_MISSING;
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

    TempDir copy;
    copy_tables(files, copy, gone);
    load(copy.prefix());
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
}

TEST_F(EgbbProbe, BothSidesMissingIsNotAvailable) {
    TempDir copy;
    copy_tables(files, copy, {"krk.w.cmp", "krk.b.cmp"});
    load(copy.prefix());
    EXPECT_EQ(probe_egbb(0, 4, 60, 3, 0, 0, 0), 99999);
    EXPECT_EQ(probe_egbb(1, 4, 60, 9, 0, 0, 0), 99999);
    EXPECT_FALSE(pb::table_of(0, 3, 0, 0)->use_search);
    EXPECT_GT(probe_egbb(0, 4, 60, 2, 3, 0, 0), 0); // the other tables still answer
}

TEST_F(EgbbProbe, CorruptFilesNeverCrash) {
    std::ifstream in(files + "kqkr.w.cmp", std::ios::binary);
    using Bytes = std::vector<uint8_t>;
    const Bytes good((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(good.size(), 700u);
    std::mt19937 rng(1);
    auto put32 = [](Bytes &f, size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            f[at + i] = (uint8_t)(v >> (8 * i));
    };
    auto noise_from = [&rng](Bytes &f, size_t from, unsigned one_in) {
        for (size_t i = from; i < f.size(); i++)
            if (rng() % one_in == 0) f[i] = (uint8_t)rng();
    };
    const std::function<void(Bytes &)> damage[] = {
        [](Bytes &f) { f.resize(f.size() / 2); },
        [](Bytes &f) { f.resize(300); },                      // the block index cut
        [&](Bytes &f) { noise_from(f, 700, 16); },            // damaged data
        [&](Bytes &f) { put32(f, 8, 0xFFFFFFF0u); },          // more blocks than the file holds
        [&](Bytes &f) { put32(f, 4, 0x7FFFFFFFu); },          // more data than the file holds
        [](Bytes &f) { f[56 + 'A'] = 45; },                   // a code longer than the accumulator
        [&](Bytes &f) { put32(f, 593 + 8, 1); },              // block offsets going backwards
        [&](Bytes &f) { noise_from(f, 16, 1); },              // noise everywhere but the sizes
    };
    std::vector<Position> sample;
    for (int n = 0; n < 2000; n++)
        sample.push_back(random_position(rng, 0, {2, 9}));
    for (size_t v = 0; v < std::size(damage); v++) {
        Bytes f = good;
        damage[v](f);
        TempDir copy;
        copy_tables(files, copy, {"kqkr.w.cmp"});
        std::ofstream(copy.path() / "kqkr.w.cmp", std::ios::binary)
            .write((const char *)f.data(), (std::streamsize)f.size());
        for (int option : {0, 1}) {
            load(copy.prefix(), option);
            for (const Position &p : sample) {
                const int r = p.probe();
                ASSERT_TRUE(r == 0 || r == 99999 || (std::abs(r) > 4000 && std::abs(r) < 6000))
                    << "variant " << v << " gives " << r;
            }
        }
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
