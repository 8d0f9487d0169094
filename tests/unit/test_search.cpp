// The search: drivers, root, null-window search, quiescence, exchange evaluation, ordering,
// the periodic check and the mate finder.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "board.h"
#include "eval.h"
#include "hash.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"
#include "test_util.h"

namespace {

const char *const MATED = "r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4";
// 1. Ra6 bxa6 2. b7#.
const char *const MATE_IN_TWO = "kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1";

class Search : public ::testing::Test {
  protected:
    void SetUp() override {
        input_use_text("");
        reset_engine();
        nulling_move = razor = futility = lmr = delta = emtdf = 0;
        check_nodes = 10000;
        analyzing = anticipedmove = 0;
        max_time = NO_TIME_LIMIT;
        max_depth = 40;
        stop_depth = 1;
        last_score = CurrentStage = inf6men = 0;
        nodes = rest_nodes = hash_hit = killer_cut = delta_cut = futility_cut = razor_cut = 0;
        start_time = get_ms();
        stop_time = start_time + NO_TIME_LIMIT;
    }
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

int root(int alpha, int beta, int depth) {
    int v;
    capture_stdout([&] { v = root_search(alpha, beta, depth); });
    return v;
}

int think_to(int depth) {
    max_depth = depth;
    capture_stdout([] { think(THINK_SILENT); });
    return last_score;
}

// Without a table every search of depth 1 sees the same tree, so a fail-low returns the
// window's lower edge and the progress lines show each window.
TEST_F(Search, DriverWindows) {
    hashing = 0;
    mtdf_window = 100;
    setup_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    const int t = root(-INF_SCORE, INF_SCORE, 1);
    std::string out = capture_stdout([&] { EXPECT_EQ(mtdf(1, t + 250, 1), t); });
    std::vector<std::pair<int, int>> want = {{1, t + 150}, {1, t + 50}, {1, t}, {1, t}};
    EXPECT_EQ(progress(out), want) << out;
    // A fail-high of the aspiration window is searched again with the upper bound open.
    max_depth = 1;
    out = capture_stdout([&] { aspiration_search(1, t - 300); });
    auto lines = progress(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_GE(lines[0].second, t - 200);
    EXPECT_EQ(lines[1].second, t);
    EXPECT_EQ(stop_depth, 2);
    setup_fen(MATED); // a mated root ends after one probe
    out = capture_stdout([] { EXPECT_EQ(mtdf(1, 0, 2), -INF_SCORE); });
    EXPECT_EQ(progress(out).size(), 1u);
}

TEST_F(Search, ContinuedSearchKeepsCountersAndStartsAtItsDepth) {
    think_to(3);
    EXPECT_EQ(stop_depth, 4);
    const int kept_nodes = nodes;
    killer[5][0] = 12345;
    stop_depth = 4; // nothing left to search: only the set-up runs
    capture_stdout([] { think(THINK_CONSOLE); });
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
    // Each score is compared with the one before: gains of 50, 100, 299 and 300.
    const std::pair<int, const char *> marks[] = {{50, ""}, {150, "!"}, {449, "!"}, {749, "!!"}};
    for (auto [score, mark] : marks) {
        build_variation(score);
        EXPECT_EQ(best_variation, "1. e2e4" + std::string(mark) + " e7e5 2. g1f3 b8c6");
    }
    for (int j = 0; j < 64; j++)
        pv[0][j] = pv[0][j % 4];
    pv_length[0] = 64;
    build_variation(0);
    EXPECT_EQ(strlen(best_variation), sizeof best_variation - 1); // cut to fit
}

TEST_F(Search, RootFailHighReturnsCuttingScoreAndRecordsIt) {
    // Without castling rights every root move scores 0, so the list order decides.
    setup_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1");
    const int first = gen_dat[0].m;
    analyzing = 1; // a status line before each move: time, nodes, depth, moves left, moves, move
    int v;
    std::string out = capture_stdout([&] { v = root_search(-5000, -4000, 1); });
    EXPECT_NE(out.find(" 1 19 20 a2a3\n"), std::string::npos) << out;
    EXPECT_GE(v, -4000);
    EXPECT_EQ(last_score, v);
    EXPECT_EQ(killer[0][0], first);
    const HashEntry *e = HashFind(hashcode);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::make_tuple(e->type, e->depth, e->move),
              std::make_tuple(HASH_LOWER, 4, hash_move_key(first)));
}

// The draw score depends on the stage the search sees; none of these roots is stored.
TEST_F(Search, RootOfMateStalemateAndFifty) {
    const std::pair<const char *, int> cases[] = {
        {MATED, -INF_SCORE},
        {"k7/8/1Q6/8/8/8/8/7K b - - 0 1", 0},
        {"k7/8/8/8/8/8/1R6/K7 b - - 100 80", 0}, // only Ka7, scored before the draw is seen
    };
    for (auto [fen, mate] : cases) {
        setup_fen(fen);
        const int v = root(-INF_SCORE, INF_SCORE, 1);
        EXPECT_EQ(v, mate ? mate : contempt_factor()) << fen;
        EXPECT_EQ(HashFind(hashcode), nullptr) << fen;
    }
}

TEST_F(Search, NullMoveDepthByMaterial) {
    EXPECT_EQ(null_move_depth(9, 0), -3); // straight into quiescence
    EXPECT_EQ(null_move_depth(36, 2000), 20);
    EXPECT_EQ(null_move_depth(36, 2001), 16);
    EXPECT_EQ(null_move_depth(84, 6530), 56);
}

TEST_F(Search, Extensions) {
    setup_fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
    makemove(find_move("e1g1"));
    EXPECT_EQ(node_extensions(0, 0, 1), 2 + 1); // castling, mate threat
    setup_fen("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1");
    stop_depth = 3;
    makemove(find_move("e5e6"));
    EXPECT_EQ(node_extensions(0, 0, 0), 2); // a pawn reaching the sixth rank
    stop_depth = 1;
    EXPECT_EQ(node_extensions(0, 0, 0), 0); // only within the first iteration's plies
    // Black in check from the knight at ply 2: five moves generated, only Kg8 legal; Black was
    // also in check two plies earlier.
    setup_fen("7k/5Npp/8/8/8/8/8/K7 b - - 0 1");
    hply = 3;
    ply = stop_depth = 2;
    hist_dat[1] = hist_dat[2] = hist_rec{};
    hist_dat[1].check_flag = 1;
    first_move[1] = first_move[2] = 0;
    int ext = node_extensions(0, 1, 0);
    EXPECT_EQ(ext, 5);
    EXPECT_EQ(hist_dat[hply].check_flag, 1);
    gen();
    const int n = first_move[ply + 1] - first_move[ply];
    EXPECT_EQ(ext + list_extensions(1, n) + (n <= 7), 8); // children searched at the node's depth
    inf6men = 1;                                          // few pieces: no check extension at all
    EXPECT_EQ(node_extensions(0, 1, 0), 0);
    EXPECT_EQ(hist_dat[hply].check_flag, 0);
    ply = hply = 0;
}

// In the initial position (balance 0): razoring above 975 at three plies, futility from two,
// where quiet moves below the base are skipped.
TEST_F(Search, RazoringAndFutility) {
    razor = futility = 1;
    const struct {
        int stage, alpha, depth, pruned, new_depth, base;
    } cases[] = {{0, 975, 12, 1, 8, 500},
                 {0, 974, 12, 0, 12, -1},
                 {0, 0, 4, 1, 4, 320},
                 {3, 5000, 12, 0, 12, -1}};
    for (const auto &c : cases) {
        CurrentStage = c.stage;
        int depth = c.depth, base = -1;
        EXPECT_EQ(razor_futility(c.alpha, &depth, &base), c.pruned) << c.alpha;
        EXPECT_EQ(std::make_pair(depth, base), std::make_pair(c.new_depth, c.base)) << c.alpha;
    }
    EXPECT_EQ(razor_cut, 1);
    CurrentStage = 0;
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
    // (alpha, beta, result, entry stored)
    const std::tuple<int, int, int, int> cases[] = {{e - 10, e + 10, e, HASH_EXACT},
                                                    {e + 10, e + 20, e + 10, HASH_UPPER},
                                                    {e - 20, e - 10, e, HASH_LOWER}};
    for (auto [alpha, beta, result, type] : cases) {
        HashReset();
        EXPECT_EQ(quiesce_nw(alpha, beta), result);
        EXPECT_EQ(HashFind(hashcode)->type, type) << alpha - e;
    }
    HashInsert(hashcode, -3000, NO_HASH_MOVE, 8, HASH_UPPER); // deeper entries are not used
    EXPECT_EQ(quiesce_nw(e - 10, e + 10), e);
}

TEST_F(Search, DeltaPruningSkipsHopelessCaptures) {
    // The pawn can take a pawn (see 100) or a knight (see 320).
    setup_fen("4k3/8/8/2p1n3/3P4/8/8/4K3 w - - 0 1");
    delta = 50;
    const int e = eval();
    quiesce_nw(e + 200, INF_SCORE); // the knight is worth taking, the pawn not
    EXPECT_EQ(delta_cut, 1);
    delta_cut = 0;
    HashReset();
    quiesce_nw(e + 100, INF_SCORE);
    EXPECT_EQ(delta_cut, 0);
}

TEST_F(Search, SeeOfTheDocumentedExchanges) {
    // The third has the rook first in the list; the pawn replacing it gains a history point.
    const std::pair<const char *, int> cases[] = {{"6k1/8/4p3/3n4/4P3/8/8/3R2K1 w - -", 320},
                                                  {"6k1/8/4p3/3p4/8/8/8/3Q2K1 w - -", 0},
                                                  {"6k1/3R4/4p3/3n4/4P3/8/8/6K1 w - -", 320}};
    for (auto [fen, value] : cases) {
        setup_fen(fen);
        EXPECT_EQ(see(27), value) << fen;
    }
    EXPECT_EQ(history[36][27], 1);
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
    // Among equal scores the first stays; an unknown hash move changes nothing.
    for (int m = 0; m < 3; m++)
        gen_dat[m].score = -5;
    select_move(0, 0x1234);
    EXPECT_EQ(gen_dat[0].m, b);
    gen_dat[2].score = 7;
    select_move(1, NO_HASH_MOVE);
    EXPECT_EQ(gen_dat[1].m, c);
}

TEST_F(Search, ChecksComeEveryCheckNodes) {
    std::vector<int> checked;
    for (int n = 1; n <= 30001; n++) {
        nodes = n;
        const int before = rest_nodes;
        checkup();
        if (rest_nodes != before) checked.push_back(n);
    }
    EXPECT_EQ(checked, (std::vector<int>{1, 10001, 20001, 30001}));
}

// Restoring the position after the jump out is checked with input ending the search.
TEST_F(Search, DeadlineInterruptsAtTheFirstNode) {
    max_time = 0;
    check_nodes = 1; // a continued search checks as soon as its count passes the last check
    capture_stdout([] { think(THINK_CONSOLE); });
    EXPECT_EQ(stop_search, 1);
    EXPECT_EQ(pv[0][0], 0);
    EXPECT_EQ(nodes, 1);
    // A continued search keeps the move of the search it continues.
    max_time = NO_TIME_LIMIT;
    think_to(2);
    const int best = pv[0][0];
    max_time = 0;
    think_to(40);
    EXPECT_EQ(pv[0][0], best);
}

// Mates found by the mate finder at the depth they need and not below, with every mating line
// printed ("": no mate). The mating check costs no depth, so two plies suffice, one does not.
TEST_F(Search, MatSearch) {
    const std::tuple<const char *, int, const char *> cases[] = {
        {MATE_IN_TWO, 1, ""},
        {MATE_IN_TWO, 2, "a1a6 b7a6 b6b7 #\n"},
        {"6k1/5ppp/8/8/8/8/5PPP/R2R2K1 w - - 0 1", 2, "a1a8 #\nd1d8 #\n"},
        {"k7/8/8/1Q6/8/8/8/7K w - - 0 1", 2, ""}, // Qb6 stalemates
    };
    for (auto [fen, depth, lines] : cases) {
        setup_fen(fen);
        int r;
        std::string out = capture_stdout([&] { r = mat_search(depth, 1, xside, 1); });
        EXPECT_EQ(r, *lines != 0) << fen << " " << depth;
        std::istringstream mates(lines);
        for (std::string mate; std::getline(mates, mate);)
            EXPECT_NE(out.find(mate + "\n"), std::string::npos) << out;
    }
}

// Three moves and one more ply to see that the last one mates, with either driver and with
// every pruning on; each search goes on from the depth where the last one stopped.
TEST_F(Search, ThinkFindsTheMates) {
    setup_fen(MATE_IN_TWO);
    EXPECT_LT(think_to(3), -MATE_BOUND);
    EXPECT_EQ(think_to(4), INF_SCORE - 3);
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
    emtdf = 1;
    stop_depth = 1;
    EXPECT_EQ(think_to(4), INF_SCORE - 3);
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
    emtdf = 0;
    nulling_move = razor = futility = lmr = 1;
    delta = 100;
    stop_depth = 1;
    setup_fen(MATE_IN_TWO);
    EXPECT_GT(think_to(5), -MATE_BOUND);
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
}

} // namespace
