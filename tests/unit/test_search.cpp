// The search: drivers, root, null-window search, quiescence, exchange evaluation, ordering,
// the periodic check and the mate finder.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "board.h"
#include "console.h"
#include "eval.h"
#include "hash.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "test_util.h"

namespace {

const char *const ITALIAN = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
const char *const MATED = "r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4";
// 1. Ra6 bxa6 2. b7#.
const char *const MATE_IN_TWO = "kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1";
// Without castling rights every root move scores 0, so the list order decides.
const char *const NO_RIGHTS = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1";

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

// (depth, score) of the drivers' progress lines, without the root's "d->p" lines.
std::vector<std::pair<int, int>> progress(const std::string &out) {
    std::vector<std::pair<int, int>> v;
    std::istringstream in(out);
    int d, s;
    for (std::string line; std::getline(in, line);)
        if (line.find("->") == std::string::npos && sscanf(line.c_str(), "%d %d", &d, &s) == 2)
            v.emplace_back(d, s);
    return v;
}

int count(const std::string &text, const char *part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        n++;
    return n;
}

int root(int alpha, int beta, int depth) {
    int v;
    capture_stdout([&] { v = root_search(alpha, beta, depth); });
    return v;
}

int think_to(int depth) {
    max_depth = depth;
    capture_stdout([] { think(0); });
    return last_score;
}

TEST_F(Search, MtdfProbesUseWindowsBelowTheGuess) {
    // Without a table every probe of depth 1 sees the same tree: a fail-low returns the probe's
    // lower edge, so the values show each window.
    hashing = 0;
    setup_fen(ITALIAN);
    int t = root(-INF_SCORE, INF_SCORE, 1);
    std::string out = capture_stdout([&] { EXPECT_EQ(mtdf(1, t + 250, 1), t); });
    std::vector<std::pair<int, int>> want = {{1, t + 150}, {1, t + 50}, {1, t}, {1, t}};
    EXPECT_EQ(progress(out), want) << out;
    setup_fen(MATED); // a mated root ends after one probe
    out = capture_stdout([] { EXPECT_EQ(mtdf(1, 0, 2), -INF_SCORE); });
    EXPECT_EQ(progress(out).size(), 1u);
}

TEST_F(Search, AspirationFailHighIsSearchedAgainWithOpenUpperBound) {
    hashing = 0;
    setup_fen(ITALIAN);
    int t = root(-INF_SCORE, INF_SCORE, 1);
    max_depth = 1;
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
    ASSERT_FALSE(progress(out).empty());
    EXPECT_EQ(progress(out).back().first, 2);
    EXPECT_EQ(stop_depth, 3);
    EXPECT_NE(pv[0][0], 0);
    EXPECT_EQ(ply, 0);
    EXPECT_EQ(capture_stdout([] { think(0); }).find("ply score"), std::string::npos);
}

TEST_F(Search, ContinuedSearchKeepsCountersAndStartsAtItsDepth) {
    think_to(3);
    int kept_nodes = nodes;
    killer[5][0] = 12345;
    stop_depth = 4; // nothing left to search: only the set-up runs
    capture_stdout([] { think(1); });
    EXPECT_EQ(nodes, kept_nodes);
    EXPECT_EQ(killer[5][0], 12345);
    analyzing = 1; // analysis always starts afresh
    think_to(3);
    EXPECT_EQ(killer[5][0], 0);
}

TEST_F(Search, FreshSearchAfterAPonderHitKeepsTheTable) {
    HashInsert(hashcode ^ 1, 7, NO_HASH_MOVE, 8, HASH_EXACT);
    anticipedmove = 1;
    history[1][2] = 5;
    think_to(0);
    EXPECT_NE(HashFind(hashcode ^ 1), nullptr);
    EXPECT_EQ(history[1][2], 0);
    anticipedmove = 0;
    think_to(0);
    EXPECT_EQ(HashFind(hashcode ^ 1), nullptr);
}

TEST_F(Search, BestVariationTextAndMarks) {
    const char *line[] = {"e2e4", "e7e5", "g1f3", "b8c6"};
    for (int j = 0; j < 4; j++) {
        pv[0][j] = find_move(line[j]);
        makemove(pv[0][j]);
        gen();
    }
    pv_length[0] = 4;
    last_score_before_research = 0;
    // Marks for a gain over the previous score of 100 and of 300.
    const std::pair<int, const char *> marks[] = {{50, "1. e2e4 e7e5 2. g1f3 b8c6"},
                                                  {150, "1. e2e4! e7e5 2. g1f3 b8c6"},
                                                  {449, "1. e2e4! e7e5 2. g1f3 b8c6"},
                                                  {749, "1. e2e4!! e7e5 2. g1f3 b8c6"}};
    for (auto [score, text] : marks) {
        build_variation(score);
        EXPECT_STREQ(best_variation, text);
        EXPECT_EQ(last_score_before_research, score);
    }
    for (int j = 0; j < 64; j++)
        pv[0][j] = pv[0][j % 4];
    pv_length[0] = 64;
    build_variation(0);
    EXPECT_EQ(strlen(best_variation), sizeof best_variation - 1); // cut to fit
}

TEST_F(Search, RootFailHighReturnsCuttingScoreAndRecordsIt) {
    setup_fen(NO_RIGHTS);
    int first = gen_dat[0].m;
    int v = root(-5000, -4000, 1);
    EXPECT_GE(v, -4000);
    EXPECT_EQ(killer[0][0], first);
    const HashEntry *e = HashFind(hashcode);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::make_tuple(e->type, e->depth, e->move),
              std::make_tuple(HASH_LOWER, 4, hash_move_key(first)));
    EXPECT_EQ(last_score, v);
}

TEST_F(Search, RootImprovementsPrintTwoLinesEach) {
    setup_fen(NO_RIGHTS);
    analyzing = 1;
    std::string out = capture_stdout([] { root_search(-INF_SCORE, INF_SCORE, 1); });
    EXPECT_NE(out.find(" 19 20 a2a3\n"), std::string::npos) << out;
    EXPECT_EQ(count(out, "stat01: "), 20);
    int improvements = count(out, "1->");
    EXPECT_EQ(improvements % 2, 0);
    EXPECT_GE(improvements, 2);
}

TEST_F(Search, RootOfMateStalemateAndFifty) {
    setup_fen(MATED);
    EXPECT_EQ(root(-INF_SCORE, INF_SCORE, 1), -INF_SCORE);
    EXPECT_EQ(HashFind(hashcode), nullptr);
    // The draw score depends on the stage the search sees.
    setup_fen("k7/8/1Q6/8/8/8/8/7K b - - 0 1");
    int v = root(-INF_SCORE, INF_SCORE, 1);
    EXPECT_EQ(v, contempt_factor());
    EXPECT_EQ(HashFind(hashcode), nullptr);
    setup_fen("k7/8/8/8/8/8/1R6/K7 b - - 100 80"); // only Ka7, scored before the draw is seen
    v = root(-INF_SCORE, INF_SCORE, 1);
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
    ply = hply = 0;
}

TEST_F(Search, MoveExtensionsFromTheLastMove) {
    setup_fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    makemove(find_move("e1g1"));
    EXPECT_EQ(node_extensions(0, 0, 1), 2 + 1); // castling, mate threat
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
    EXPECT_EQ(std::make_pair(depth, base), std::make_pair(8, 500));
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
    for (const char *m : {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3"}) {
        makemove(find_move(m));
        ply = 0;
        gen();
    }
    ply = 1;
    ASSERT_NE(reps(), 0);
    HashInsert(hashcode, 777, NO_HASH_MOVE, 40, HASH_EXACT);
    Stage = 0; // the draw is scored before the table is probed
    EXPECT_EQ(search_nw(-100, 100, 8, 0), contempt_factor());
}

TEST_F(Search, QuiescenceBoundsOfAQuietPosition) {
    const int e = eval();
    const struct {
        int alpha, beta, result, type;
    } cases[] = {{e - 10, e + 10, e, HASH_EXACT},
                 {e + 10, e + 20, e + 10, HASH_UPPER},
                 {e - 20, e - 10, e, HASH_LOWER}};
    for (const auto &c : cases) {
        HashReset();
        EXPECT_EQ(quiesce_nw(c.alpha, c.beta), c.result);
        EXPECT_EQ(HashFind(hashcode)->type, c.type) << c.alpha - e;
    }
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
    EXPECT_EQ(see(27), 320);
    EXPECT_EQ(history[36][27], 1);
    EXPECT_EQ(ply, 0);
}

// Ordering on a hand-made list at ply 0: the pv move first, then killers; the hash move is
// selected before any score.
TEST_F(Search, OrderingMarksAndSelection) {
    const int a = make_move_word(52, 36, 0, FLAG_PAWN | FLAG_DOUBLE);
    const int b = make_move_word(62, 45, 0, 0),
              c = make_move_word(51, 35, 0, FLAG_PAWN | FLAG_DOUBLE);
    auto list = [](std::vector<int> moves) {
        first_move[0] = first_move[1] = 0;
        for (int m : moves)
            gen_dat[first_move[1]++] = gen_rec{m, 0};
        pv_marks();
        killer_marks();
        std::vector<int> scores;
        for (int m = 0; m < first_move[1]; m++)
            scores.push_back(gen_dat[m].score);
        return scores;
    };
    pv[0][0] = a;
    pv[0][2] = b;
    follow_pv = 1;
    EXPECT_EQ(list({b, a, c}), (std::vector<int>{3000000, 10000000, 0})); // marks stop at a
    EXPECT_EQ(follow_pv, 1);
    EXPECT_EQ(list({b, c}), (std::vector<int>{3000000, 0}));
    EXPECT_EQ(follow_pv, 0);
    killer[0][0] = c;
    killer[0][1] = a;
    follow_pv = 1;
    EXPECT_EQ(list({a, b, c}), (std::vector<int>{10150000, 0, 150000}));
    EXPECT_EQ(killer_cut, 2);
    select_move(0, hash_move_key(b));
    EXPECT_EQ(gen_dat[0].m, b);
    select_move(1, NO_HASH_MOVE);
    EXPECT_EQ(gen_dat[1].m, a);
    // Among equal scores the first stays; an unknown hash move changes nothing.
    list({a, b, c});
    for (int m = 0; m < 3; m++)
        gen_dat[m].score = -5;
    select_move(0, 0x1234);
    EXPECT_EQ(gen_dat[0].m, a);
    gen_dat[2].score = 7;
    select_move(0, NO_HASH_MOVE);
    EXPECT_EQ(gen_dat[0].m, c);
    // The pv of a node is its move followed by the child's line.
    pv[4][5] = b;
    pv_length[4] = 6;
    ply = 4;
    update_pv(a);
    ply = 0;
    EXPECT_EQ(std::vector<int>(pv[3] + 3, pv[3] + 6), (std::vector<int>{a, pv[4][4], b}));
    EXPECT_EQ(pv_length[3], 6);
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
    capture_stdout([] { think(1); });
    EXPECT_EQ(stop_search, 1);
    EXPECT_EQ(pv[0][0], 0);
    EXPECT_EQ(nodes, 1);
    EXPECT_EQ(std::make_pair(ply, hply), std::make_pair(0, 0));
    EXPECT_EQ(hashcode, key);
    // A continued search keeps the move of the search it continues.
    max_time = NO_TIME_LIMIT;
    think_to(2);
    int best = pv[0][0];
    max_time = 0;
    think_to(40);
    EXPECT_EQ(pv[0][0], best);
}

// Mates found by the mate finder at the depth they need and not below; a stalemate is no mate.
TEST_F(Search, MatSearch) {
    const struct {
        const char *fen;
        int depth, found;
        const char *line;
    } cases[] = {
        // The mating check costs no depth, so two plies suffice, one does not.
        {MATE_IN_TWO, 1, 0, ""},
        {MATE_IN_TWO, 2, 1, "a1a6 b7a6 b6b7 #\n"},
        {"6k1/5ppp/8/8/8/8/5PPP/R2R2K1 w - - 0 1", 2, 1, "a1a8 #\nd1d8 #\n"},
        {"k7/8/8/1Q6/8/8/8/7K w - - 0 1", 2, 0, ""}, // Qb6 stalemates
        // 1. Kd6 Ke8 2. Rf1 Kd8 3. Rf8#.
        {"3k4/8/8/4K3/8/8/8/7R w - - 0 1", 3, 0, ""},
        {"3k4/8/8/4K3/8/8/8/7R w - - 0 1", 6, 1, ""},
    };
    for (const auto &c : cases) {
        setup_fen(c.fen);
        int r;
        std::string out = capture_stdout([&] { r = mat_search(c.depth, 1, xside, 1); });
        EXPECT_EQ(r, c.found) << c.fen << " " << c.depth;
        EXPECT_EQ(out.find("Found! (") != std::string::npos, c.found) << out;
        std::istringstream mates(c.line);
        for (std::string mate; std::getline(mates, mate);)
            EXPECT_NE(out.find(mate + "\n"), std::string::npos) << out;
        EXPECT_EQ(ply, 0);
    }
}

TEST_F(Search, ThinkFindsTheMates) {
    // Three moves and one more ply to see that the last one mates; each search goes on from the
    // depth where the last one stopped unless told to start afresh.
    setup_fen(MATE_IN_TWO);
    EXPECT_LT(think_to(3), -MATE_BOUND);
    EXPECT_EQ(think_to(4), INF_SCORE - 3);
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
    emtdf = 1;
    stop_depth = 1;
    EXPECT_EQ(think_to(4), INF_SCORE - 3);
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
    emtdf = 0;
    // Every pruning on still finds the mate in two.
    nulling_move = razor = futility = lmr = 1;
    delta = 100;
    stop_depth = 1;
    setup_fen(MATE_IN_TWO);
    EXPECT_GT(think_to(5), -MATE_BOUND);
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
}

} // namespace
