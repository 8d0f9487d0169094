// Bitbase prober on the generated files: loading through the engine and the one-ply resolution
// of a missing side from disk and memory (corrupt files are the fuzz target fuzz_egbb's).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "board.h"
#include "egbb_glue.h"
#include "settings.h"
#include "test_egbb_common.h"
#include "test_util.h"

namespace {

void load(const std::string &dir, int option = 1) {
    capture_stdout([&] { load_egbb_5men(dir.c_str(), 1 << 20, option); });
}

class EgbbProbe : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(files.empty()) << EGBB_MISSING; }
    // A copy of the generated three- and four-men files without `leave_out` (the folder may
    // hold five-men files too, some of them still being written).
    void copy_tables(const TempDir &to, const std::vector<std::string> &leave_out) const {
        for (const auto &e : std::filesystem::directory_iterator(files)) {
            const std::string name = e.path().filename().string();
            if (name.find('.') <= 4 && name.size() - name.find('.') == 6 &&
                std::find(leave_out.begin(), leave_out.end(), name) == leave_out.end())
                std::filesystem::copy_file(e.path(), to.path() / name);
        }
    }
    const std::string files = egbb_files();
};

} // namespace

TEST_F(EgbbProbe, LoadingAndTheEngineGlue) {
    // Cache sizes of 2048 MB and more, which once overflowed the prober's byte count, are held
    // to the largest it takes.
    snprintf(egbb_path, 255, "%s", "/nonexistent-vrk-egbb/");
    for (int mb : {2048, 1 << 30}) {
        egbb_cache = mb;
        EXPECT_NE(capture_stdout([] { init_egbb(); }).find("Cache Size = 2047 Mb"),
                  std::string::npos)
            << mb;
    }
    snprintf(egbb_path, 255, "%s", files.c_str());
    egbb_cache = 1;
    egbb_5men = 0;
    EXPECT_EQ(capture_stdout([] { init_egbb(); }),
              "Path for EGBB: " + files + "\nEgbbProbe 3.1 by Haldrin\nCache Size = 1 Mb (129 " +
                  "entries)\nLoading egbbs....\rEgbbs loaded !      \n");
    EXPECT_EQ(pb::table_of(0, 2, 0, 0)->mode, 2);
    reset_engine();
    const std::pair<const char *, int> rows[] = {
        // King and queen against king, kings on edges: 50 * 9 + 6000 - 200 * 3 - 2 * distance.
        {"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", 5836},
        {"4k3/3q4/8/8/8/8/8/4K3 b - - 0 1", probe_egbb(1, 4, 60, 8, 51, 0, 0)},
        {"4k3/8/2n5/8/8/8/1P6/4K3 w - - 0 1", probe_egbb(0, 4, 60, 11, 42, 6, 9)}, // engine order
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0}};
    for (const auto &[fen, score] : rows) {
        setup_fen(fen);
        EXPECT_EQ(eval_egbb(), score) << fen;
    }
    EXPECT_EQ(probe_egbb(1, 4, 60, 0, 33, 0, 17), 0); // squares of absent pieces are ignored
    EXPECT_EQ(probe_egbb_5men(0, 0, 63, 2, 20, 3, 42, 4, 35), 99999); // no five-men files
    EXPECT_EQ(capture_stdout([&] { EXPECT_EQ(load_egbb(files.c_str()), 1); }),
              "EgbbProbe 3.1 by Haldrin\nCache Size = 4 Mb (517 entries)\nLoading egbbs....\rEgbbs "
              "loaded !      \n");
}

// Without one side's file the other side's table answers through a one-ply search, read from
// disk or memory; without both the material is not available.
TEST_F(EgbbProbe, MissingSidesAgreeWithTheFullTables) {
    load(files);
    // Every KPK position with the pawn's side to move (both colours, so both flips), every KQK
    // position with black to move (mates, stalemates, captures of the queen), and samples.
    std::vector<Position> positions;
    for (auto [to_move, man] : {std::pair{0, 6}, {1, 12}, {1, 2}})
        for (int k = 0; k < 64 * 64 * 64; k++) {
            const Position x{to_move, k >> 12, k >> 6 & 63, {man, 0, 0}, {k & 63, 0, 0}};
            if (legal(x)) positions.push_back(x);
        }
    const size_t sampled_from = positions.size();
    std::mt19937 rng(9);
    const std::pair<int, std::vector<int>> sampled[] = {
        {1, {2, 9}}, {0, {4, 5}}, {0, {6, 12}}, {1, {5, 12}}, {1, {11, 6}}};
    // The search looks the position after a double step up without the en-passant right that
    // the full table counts with, so white's double steps beside a black pawn are left out.
    auto double_step_beside_pawn = [](const Position &p) {
        const int w = p.sq[0], b = p.sq[1];
        return p.side == 0 && p.pc[0] == 6 && p.pc[1] == 12 && w / 8 == 1 && b / 8 == 3 &&
               std::abs(b % 8 - w % 8) == 1 && p.wk != w + 8 && p.bk != w + 8 && p.wk != w + 16 &&
               p.bk != w + 16;
    };
    for (const auto &[to_move, pcs] : sampled)
        for (int n = 0; n < 4000;) {
            const Position p = random_position(rng, to_move, pcs);
            if (!double_step_beside_pawn(p)) positions.push_back(p), n++;
        }
    std::vector<int> full;
    for (const Position &p : positions)
        full.push_back(p.probe());
    TempDir copy; // KQQK goes both sides; no position here reaches it
    copy_tables(copy, {"kpk.w.cmp", "kqk.b.cmp", "kqkr.b.cmp", "kbnk.w.cmp", "kpkp.w.cmp",
                       "knkp.b.cmp", "kqqk.w.cmp", "kqqk.b.cmp"});
    load(copy.prefix(), 0);
    EXPECT_EQ(pb::table_of(0, 2, 9, 0)->mode, 3);
    auto first_mismatch = [&](size_t i) {
        while (i < positions.size() && positions[i].probe() == full[i])
            i++;
        return i;
    };
    EXPECT_EQ(first_mismatch(0), positions.size());
    EXPECT_EQ(load_egbb_into_ram(0, 2, 9, 0), 1);
    EXPECT_EQ(pb::table_of(0, 2, 9, 0)->mode, 2);
    EXPECT_EQ(first_mismatch(sampled_from), positions.size());
    EXPECT_EQ(unload_egbb_from_ram(0, 2, 9, 0), 1);
    EXPECT_EQ(unload_egbb_from_ram(0, 2, 9, 0), 0);
    EXPECT_EQ(first_mismatch(sampled_from), positions.size());
    EXPECT_EQ(probe_egbb(0, 4, 60, 2, 0, 2, 1), 99999);
    EXPECT_EQ(probe_egbb(1, 4, 60, 2, 0, 2, 1), 99999);
}
