// The search: drivers, root, null-window search, quiescence, exchange evaluation, ordering,
// the periodic check and the mate finder.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "board.h"
#include "console.h"
#include "data.h"
#include "eval.h"
#include "hash.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "test_util.h"

namespace {

class Search : public ::testing::Test {
  protected:
    void SetUp() override {
        input_use_text("");
        reset_engine();
        nulling_move = razor = futility = lmr = delta = emtdf = 0;
        mtdf_window = 100;
        check_nodes = 10000;
        learning = analyzing = anticipedmove = 0;
        max_time = NO_TIME_LIMIT;
        max_depth = 40;
        stop_depth = 1;
        last_score = 0;
        CurrentStage = 0;
        inf6men = 0;
        nodes = rest_nodes = hash_hit = killer_cut = delta_cut = futility_cut = razor_cut = 0;
        start_time = get_ms();
        stop_time = start_time + NO_TIME_LIMIT;
    }
    void TearDown() override { hashing = 1; }
};

// Progress lines of the drivers: "depth score time nodes pv", without the root's "d->p" lines.
std::vector<std::pair<int, int>> progress(const std::string &out) {
    std::vector<std::pair<int, int>> v;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("->") != std::string::npos || line.rfind("ply", 0) == 0) continue;
        int d, s;
        if (sscanf(line.c_str(), "%d %d", &d, &s) == 2) v.emplace_back(d, s);
    }
    return v;
}

// Score of a full-width depth-1 root search, the reference for the window tests.
int depth_one_score() {
    int t;
    capture_stdout([&] { t = root_search(-INF_SCORE, INF_SCORE, 1); });
    return t;
}

TEST_F(Search, MtdfProbesUseWindowsBelowTheGuess) {
    // Without a table every probe of depth 1 sees the same tree: a fail-low returns the probe's
    // lower edge, so the values show each window.
    hashing = 0;
    setup_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    int t = depth_one_score();
    std::string out = capture_stdout([&] { EXPECT_EQ(mtdf(1, t + 250, 1), t); });
    std::vector<std::pair<int, int>> want = {{1, t + 150}, {1, t + 50}, {1, t}, {1, t}};
    EXPECT_EQ(progress(out), want) << out;
}

TEST_F(Search, MtdfOfAMatedRootEndsAfterOneProbe) {
    setup_fen("r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4");
    std::string out = capture_stdout([] { EXPECT_EQ(mtdf(1, 0, 2), -INF_SCORE); });
    EXPECT_EQ(progress(out).size(), 1u);
}

TEST_F(Search, AspirationFailHighIsSearchedAgainWithOpenUpperBound) {
    hashing = 0;
    setup_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    int t = depth_one_score();
    max_depth = 1;
    stop_depth = 1;
    std::string out = capture_stdout([&] { aspiration_search(1, t - 300); });
    auto lines = progress(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_GE(lines[0].second, t - 200); // the fail-high value
    EXPECT_EQ(lines[1].second, t);       // (t - 400, 10000) holds the true score
    EXPECT_EQ(stop_depth, 2);
}

TEST_F(Search, ThinkPrintsHeaderAndOneLinePerIteration) {
    max_depth = 2;
    std::string out = capture_stdout([] { think(1); });
    EXPECT_EQ(out.rfind("ply score time nodes pv\n", 0), 0u) << out;
    auto lines = progress(out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().first, 2);
    EXPECT_EQ(stop_depth, 3);
    EXPECT_NE(pv[0][0], 0);
    EXPECT_EQ(ply, 0);
    EXPECT_EQ(capture_stdout([] { think(0); }).find("ply score"), std::string::npos);
}

TEST_F(Search, ContinuedSearchKeepsCountersAndStartsAtItsDepth) {
    max_depth = 3;
    capture_stdout([] { think(0); });
    int kept_nodes = nodes;
    killer[5][0] = 12345;
    stop_depth = 4;
    max_depth = 3; // nothing left to search: only the set-up runs
    capture_stdout([] { think(1); });
    EXPECT_EQ(nodes, kept_nodes);
    EXPECT_EQ(killer[5][0], 12345);
    analyzing = 1; // analysis always starts afresh
    capture_stdout([] { think(0); });
    EXPECT_EQ(killer[5][0], 0);
}

TEST_F(Search, FreshSearchAfterAPonderHitKeepsTheTable) {
    HashInsert(hashcode ^ 1, 7, NO_HASH_MOVE, 8, HASH_EXACT);
    anticipedmove = 1;
    max_depth = 0;
    history[1][2] = 5;
    capture_stdout([] { think(0); });
    EXPECT_NE(HashFind(hashcode ^ 1), nullptr);
    EXPECT_EQ(history[1][2], 0);
    anticipedmove = 0;
    capture_stdout([] { think(0); });
    EXPECT_EQ(HashFind(hashcode ^ 1), nullptr);
}

TEST_F(Search, BestVariationTextAndMarks) {
    pv[0][0] = find_move("e2e4");
    makemove(pv[0][0]);
    gen();
    pv[0][1] = find_move("e7e5");
    makemove(pv[0][1]);
    gen();
    pv[0][2] = find_move("g1f3");
    makemove(pv[0][2]);
    gen();
    pv[0][3] = find_move("b8c6");
    pv_length[0] = 4;
    last_score_before_research = 0;
    build_variation(50);
    EXPECT_STREQ(best_variation, "1. e2e4 e7e5 2. g1f3 b8c6");
    EXPECT_EQ(last_score_before_research, 50);
    build_variation(150);
    EXPECT_STREQ(best_variation, "1. e2e4! e7e5 2. g1f3 b8c6");
    build_variation(449);
    EXPECT_STREQ(best_variation, "1. e2e4! e7e5 2. g1f3 b8c6");
    build_variation(749);
    EXPECT_STREQ(best_variation, "1. e2e4!! e7e5 2. g1f3 b8c6");
    for (int j = 0; j < 64; j++)
        pv[0][j] = pv[0][j % 4];
    pv_length[0] = 64;
    build_variation(0);
    EXPECT_EQ(strlen(best_variation), sizeof best_variation - 1); // cut to fit
}

TEST_F(Search, RootFailHighReturnsCuttingScoreAndRecordsIt) {
    // Without castling rights every score is 0, so the first move of the list comes first.
    setup_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1");
    int first = gen_dat[0].m;
    int v;
    capture_stdout([&] { v = root_search(-5000, -4000, 1); });
    EXPECT_GE(v, -4000);
    EXPECT_EQ(killer[0][0], first);
    const HashEntry *e = HashFind(hashcode);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->type, HASH_LOWER);
    EXPECT_EQ(e->depth, 4);
    EXPECT_EQ(e->move, hash_move_key(first));
    EXPECT_EQ(last_score, v);
}

TEST_F(Search, RootImprovementsPrintTwoLinesEach) {
    setup_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1");
    analyzing = 1;
    std::string out = capture_stdout([] { root_search(-INF_SCORE, INF_SCORE, 1); });
    EXPECT_NE(out.find("stat01: "), std::string::npos);
    EXPECT_NE(out.find(" 19 20 a2a3\n"), std::string::npos) << out;
    size_t stat_lines = 0;
    for (size_t at = out.find("stat01:"); at != std::string::npos; at = out.find("stat01:", at + 1))
        stat_lines++;
    EXPECT_EQ(stat_lines, 20u);
    int improvements = 0;
    for (size_t at = out.find("1->"); at != std::string::npos; at = out.find("1->", at + 1))
        improvements++;
    EXPECT_EQ(improvements % 2, 0);
    EXPECT_GE(improvements, 2);
}

TEST_F(Search, RootOfMateStalemateAndFifty) {
    setup_fen("r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4");
    EXPECT_EQ(root_search(-INF_SCORE, INF_SCORE, 1), -INF_SCORE);
    EXPECT_EQ(HashFind(hashcode), nullptr);
    setup_fen("k7/8/1Q6/8/8/8/8/7K b - - 0 1");
    int v = root_search(-INF_SCORE, INF_SCORE, 1);
    EXPECT_EQ(v, contempt_factor());
    EXPECT_EQ(HashFind(hashcode), nullptr);
    setup_fen("k7/8/8/8/8/8/1R6/K7 b - - 100 80"); // only Ka7, scored before the draw is seen
    capture_stdout([&] { v = root_search(-INF_SCORE, INF_SCORE, 1); });
    EXPECT_EQ(v, contempt_factor());
}

TEST_F(Search, NullMoveDepthByMaterial) {
    EXPECT_EQ(null_move_depth(9, 0), -3); // straight into quiescence
    EXPECT_EQ(null_move_depth(36, 2000), 20);
    EXPECT_EQ(null_move_depth(36, 2001), 16);
    EXPECT_EQ(null_move_depth(84, 6530), 56);
}

TEST_F(Search, CheckExtensionsAddUpToTwoPlyAtOnlyReply) {
    // Black in check from the knight: five moves generated, only Kg8 legal; Black was also in
    // check two plies earlier.
    setup_fen("7k/5Npp/8/8/8/8/8/K7 b - - 0 1");
    hply = 3;
    for (int i = 0; i < 3; i++)
        hist_dat[i] = hist_rec{};
    hist_dat[1].check_flag = 1;
    ply = 2;
    first_move[1] = first_move[2] = 0;
    stop_depth = 2;
    int ext = node_extensions(0, in_check(side), 0);
    EXPECT_EQ(ext, 5);
    EXPECT_EQ(hist_dat[hply].check_flag, 1);
    gen();
    int n = first_move[ply + 1] - first_move[ply];
    EXPECT_EQ(n, 5);
    ext += list_extensions(1, n);
    EXPECT_EQ(ext + (n <= 7), 8); // children searched at the node's own depth
    inf6men = 1;                  // few pieces: no check extension at all
    EXPECT_EQ(node_extensions(0, 1, 0), 0);
    EXPECT_EQ(hist_dat[hply].check_flag, 0);
    ply = 0;
    hply = 0;
}

TEST_F(Search, MoveExtensionsFromTheLastMove) {
    setup_fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    makemove(find_move("e1g1"));
    EXPECT_EQ(node_extensions(0, 0, 1), 2 + 1); // castling, mate threat
    takeback();
    setup_fen("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1");
    stop_depth = 3;
    makemove(find_move("e5e6"));
    EXPECT_EQ(node_extensions(0, 0, 0), 2); // a pawn reaching the sixth rank
    stop_depth = 1;
    EXPECT_EQ(node_extensions(0, 0, 0), 0); // only within the first iteration's plies
    takeback();
}

TEST_F(Search, RazoringAndFutilityThresholds) {
    razor = futility = 1;
    int base = 0, depth = 12; // initial position: material balance 0
    EXPECT_EQ(razor_futility(975, &depth, &base), 1);
    EXPECT_EQ(depth, 8);
    EXPECT_EQ(base, 500);
    EXPECT_EQ(razor_cut, 1);
    depth = 12;
    EXPECT_EQ(razor_futility(974, &depth, &base), 0);
    EXPECT_EQ(depth, 12);
    depth = 4;
    EXPECT_EQ(razor_futility(0, &depth, &base), 1);
    EXPECT_EQ(base, 320);
    CurrentStage = 3;
    depth = 12;
    EXPECT_EQ(razor_futility(5000, &depth, &base), 0);
    EXPECT_EQ(depth, 12);
}

TEST_F(Search, FutilitySkipsQuietMovesBelowTheBase) {
    futility = 1;
    search_nw(319, 320, 4, 0); // below the base of m + 320: every move is searched
    EXPECT_EQ(futility_cut, 0);
    futility_cut = 0;
    HashReset();
    EXPECT_EQ(search_nw(320, 321, 4, 0), 320);
    EXPECT_EQ(futility_cut, 20);
}

TEST_F(Search, HashEntriesCutByBoundType) {
    HashInsert(hashcode, 250, NO_HASH_MOVE, 40, HASH_EXACT);
    EXPECT_EQ(search_nw(-20, 100, 8, 0), 100);
    EXPECT_EQ(search_nw(-20, 300, 8, 0), 250);
    EXPECT_EQ(hash_hit, 2);
    HashInsert(hashcode, -50, NO_HASH_MOVE, 8, HASH_UPPER);
    EXPECT_EQ(search_nw(-20, 100, 8, 0), -50);
    HashInsert(hashcode, 500, NO_HASH_MOVE, 8, HASH_LOWER);
    EXPECT_EQ(root_search(-20, 100, 2), 500);
    EXPECT_EQ(HashFind(hashcode)->score, 500); // a cut-off stores nothing
}

TEST_F(Search, RepetitionBelowTheRootIsADraw) {
    for (const char *m : {"g1f3", "g8f6", "f3g1", "f6g8"}) {
        makemove(find_move(m));
        ply = 0;
        gen();
    }
    makemove(find_move("g1f3"));
    ASSERT_NE(reps(), 0);
    HashInsert(hashcode, 777, NO_HASH_MOVE, 40, HASH_EXACT);
    Stage = 0; // the draw is scored before the table is probed
    EXPECT_EQ(search_nw(-100, 100, 8, 0), contempt_factor());
    takeback();
}

TEST_F(Search, QuiescenceOfAQuietPosition) {
    int e = eval();
    EXPECT_EQ(quiesce_nw(e - 10, e + 10), e);
    EXPECT_EQ(HashFind(hashcode)->type, HASH_EXACT);
    HashReset();
    EXPECT_EQ(quiesce_nw(e + 10, e + 20), e + 10);
    EXPECT_EQ(HashFind(hashcode)->type, HASH_UPPER);
    HashReset();
    EXPECT_EQ(quiesce_nw(e - 20, e - 10), e);
    EXPECT_EQ(HashFind(hashcode)->type, HASH_LOWER);
    HashInsert(hashcode, -3000, NO_HASH_MOVE, 8, HASH_UPPER); // deeper entries are not used
    EXPECT_EQ(quiesce_nw(e - 10, e + 10), e);
}

TEST_F(Search, DeltaPruningSkipsHopelessCaptures) {
    // White pawn can take a pawn (see 100) or a knight (see 320).
    setup_fen("4k3/8/8/2p1n3/3P4/8/8/4K3 w - - 0 1");
    delta = 50;
    int e = eval();
    quiesce_nw(e + 200, INF_SCORE); // the knight is worth taking, the pawn not
    EXPECT_EQ(delta_cut, 1);
    delta_cut = 0;
    HashReset();
    quiesce_nw(e + 100, INF_SCORE);
    EXPECT_EQ(delta_cut, 0);
}

TEST_F(Search, SeeOfTheDocumentedExchanges) {
    setup_fen("6k1/8/4p3/3n4/4P3/8/8/3R2K1 w - - 0 1");
    EXPECT_EQ(see(27), 320);
    setup_fen("6k1/8/4p3/3p4/8/8/8/3Q2K1 w - - 0 1");
    EXPECT_EQ(see(27), 0);
    // The rook comes first in the list; the pawn replacing it gains a history point.
    setup_fen("6k1/3R4/4p3/3n4/4P3/8/8/6K1 w - - 0 1");
    memset(history, 0, sizeof history);
    EXPECT_EQ(see(27), 320);
    EXPECT_EQ(history[36][27], 1);
    EXPECT_EQ(ply, 0);
}

// Ordering marks on a hand-made list at ply 0.
class Ordering : public Search {
  protected:
    void list(std::initializer_list<int> moves) {
        first_move[0] = 0;
        first_move[1] = 0;
        for (int m : moves)
            gen_dat[first_move[1]++] = gen_rec{m, 0};
    }
    int a = make_move_word(52, 36, 0, FLAG_PAWN | FLAG_DOUBLE);
    int b = make_move_word(62, 45, 0, 0);
    int c = make_move_word(51, 35, 0, FLAG_PAWN | FLAG_DOUBLE);
};

TEST_F(Ordering, PvMarksStopAtThePvMove) {
    pv[0][0] = a;
    pv[0][2] = b;
    list({b, a, c});
    follow_pv = 1;
    pv_marks();
    EXPECT_EQ(gen_dat[0].score, 3000000);
    EXPECT_EQ(gen_dat[1].score, 10000000);
    EXPECT_EQ(follow_pv, 1);
    list({a, b});
    pv_marks();
    EXPECT_EQ(gen_dat[0].score, 10000000);
    EXPECT_EQ(gen_dat[1].score, 0);
    list({b, c});
    pv_marks();
    EXPECT_EQ(follow_pv, 0);
}

TEST_F(Ordering, KillerMarksAndSelection) {
    killer[0][0] = c;
    killer[0][1] = a;
    pv[0][0] = a;
    list({a, b, c});
    follow_pv = 1;
    pv_marks();
    killer_marks();
    EXPECT_EQ(gen_dat[0].score, 10150000);
    EXPECT_EQ(gen_dat[2].score, 150000);
    EXPECT_EQ(killer_cut, 2);
    select_move(0, hash_move_key(b)); // the hash move comes first whatever the scores
    EXPECT_EQ(gen_dat[0].m, b);
    select_move(1, NO_HASH_MOVE);
    EXPECT_EQ(gen_dat[1].m, a);
    list({a, b, c});
    for (int i = 0; i < 3; i++)
        gen_dat[i].score = -5;
    select_move(0, 0x1234);
    EXPECT_EQ(gen_dat[0].m, a);
    gen_dat[2].score = 7;
    select_move(0, NO_HASH_MOVE);
    EXPECT_EQ(gen_dat[0].m, c);
}

TEST_F(Ordering, PvUpdateCopiesTheChildLine) {
    pv_length[4] = 4;
    pv[3][5] = 99;
    ply = 4;
    update_pv(a);
    EXPECT_EQ(pv[3][3], a);
    EXPECT_EQ(pv_length[3], 4);
    pv[4][4] = b;
    pv[4][5] = c;
    pv_length[4] = 6;
    update_pv(a);
    EXPECT_EQ(pv[3][4], b);
    EXPECT_EQ(pv[3][5], c);
    EXPECT_EQ(pv_length[3], 6);
    ply = 0;
}

TEST_F(Search, ChecksComeEveryCheckNodes) {
    std::vector<int> checked;
    for (int n = 1; n <= 30001; n++) {
        nodes = n;
        int before = rest_nodes;
        checkup();
        if (rest_nodes != before) checked.push_back(n);
    }
    EXPECT_EQ(checked, (std::vector<int>{1, 10001, 20001, 30001}));
}

TEST_F(Search, DeadlineInterruptsAtTheFirstNode) {
    max_time = 0;
    check_nodes = 1; // a continued search checks as soon as its count passes the last check
    uint64_t key = hashcode;
    int h = hply;
    capture_stdout([] { think(1); });
    EXPECT_EQ(stop_search, 1);
    EXPECT_EQ(pv[0][0], 0);
    EXPECT_EQ(nodes, 1);
    EXPECT_EQ(ply, 0);
    EXPECT_EQ(hply, h);
    EXPECT_EQ(hashcode, key);
    // A continued search keeps the move of the search it continues.
    max_time = NO_TIME_LIMIT;
    max_depth = 2;
    capture_stdout([] { think(0); });
    int best = pv[0][0];
    max_time = 0;
    max_depth = 40;
    capture_stdout([] { think(0); });
    EXPECT_EQ(pv[0][0], best);
}

TEST_F(Search, MatSearchFindsMateInTwo) {
    // 1. Ra6 bxa6 2. b7#: the mating check costs no depth, so two plies suffice, one does not.
    setup_fen("kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1");
    int r;
    std::string out = capture_stdout([&] { r = mat_search(1, 1, xside, 1); });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(out.find("Found!"), std::string::npos);
    out = capture_stdout([&] { r = mat_search(2, 1, xside, 1); });
    EXPECT_EQ(r, 1);
    EXPECT_NE(out.find("Found! ("), std::string::npos) << out;
    EXPECT_NE(out.find("a1a6 b7a6 b6b7 #\n"), std::string::npos) << out;
    EXPECT_EQ(ply, 0);
}

TEST_F(Search, MatSearchReportsEveryMateInOne) {
    setup_fen("6k1/5ppp/8/8/8/8/5PPP/R2R2K1 w - - 0 1");
    int r;
    std::string out = capture_stdout([&] { r = mat_search(2, 1, xside, 1); });
    EXPECT_EQ(r, 1);
    EXPECT_NE(out.find("a1a8 #\n"), std::string::npos) << out;
    EXPECT_NE(out.find("d1d8 #\n"), std::string::npos) << out;
    EXPECT_NE(out.find("info depth 2 currmove "), std::string::npos);
    // A stalemating move is not a mate.
    setup_fen("k7/8/8/1Q6/8/8/8/7K w - - 0 1"); // Qb6 stalemates
    capture_stdout([&] { r = mat_search(2, 1, xside, 1); });
    EXPECT_EQ(r, 0);
}

TEST_F(Search, MatSearchFindsMateInThree) {
    // 1. Kd6 Ke8 2. Rf1 Kd8 3. Rf8#.
    setup_fen("3k4/8/8/4K3/8/8/8/7R w - - 0 1");
    int r;
    capture_stdout([&] { r = mat_search(3, 1, xside, 1); });
    EXPECT_EQ(r, 0);
    capture_stdout([&] { r = mat_search(6, 1, xside, 1); });
    EXPECT_EQ(r, 1);
    max_depth = 6;
    capture_stdout([] { think(0); });
    EXPECT_EQ(last_score, INF_SCORE - 5);
}

TEST_F(Search, ThinkFindsTheMateInTwo) {
    // Three moves and one more ply to see that the last one mates.
    setup_fen("kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1");
    max_depth = 3;
    capture_stdout([] { think(0); });
    EXPECT_LT(last_score, -MATE_BOUND);
    max_depth = 4;
    capture_stdout([] { think(0); });
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
    EXPECT_EQ(last_score, INF_SCORE - 3);
    emtdf = 1;
    capture_stdout([] { think(0); });
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
}

TEST_F(Search, AllPruningsStillFindTheMate) {
    nulling_move = razor = futility = lmr = 1;
    delta = 100;
    setup_fen("kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1");
    max_depth = 5;
    capture_stdout([] { think(0); });
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
    EXPECT_GT(last_score, -MATE_BOUND);
}

TEST_F(Search, SameSearchSameNodeCount) {
    nulling_move = lmr = 1;
    max_depth = 4;
    setup_fen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8");
    capture_stdout([] { think(0); });
    int first = nodes;
    capture_stdout([] { think(0); });
    EXPECT_EQ(nodes, first);
}

} // namespace
