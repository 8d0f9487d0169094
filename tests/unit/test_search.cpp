// The search: drivers, root, check extensions, the periodic check, the mate finder and the move
// the engine always has (pruning, ordering, exchange evaluation and the table cuts move the bench
// counts: tests/e2e/test_bench.py).
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "board.h"
#include "eval.h"
#include "game.h"
#include "hash.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"
#include "test_util.h"

namespace {

const char *const MATED = "r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4";
const char *const MATE_IN_TWO = "kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1"; // 1. Ra6 bxa6 2. b7#

class Search : public ::testing::Test {
  protected:
    void SetUp() override {
        input_use_text("");
        reset_engine();
        nulling_move = razor = futility = lmr = delta = emtdf = 0;
        analyzing = anticipedmove = last_score = CurrentStage = inf6men = 0;
        check_nodes = 10000;
        max_time = NO_TIME_LIMIT;
        max_depth = 40;
        stop_depth = 1;
        nodes = rest_nodes = 0;
        stop_time = (start_time = get_ms()) + NO_TIME_LIMIT;
        input_poll = nullptr;
        node_limit = mate_plies = root_move_count = 0;
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
    int t;
    capture_stdout([&] { t = root_search(-INF_SCORE, INF_SCORE, 1); });
    std::string out = capture_stdout([&] { EXPECT_EQ(mtdf(1, t + 250, 1), t); });
    std::vector<std::pair<int, int>> want = {{1, t + 150}, {1, t + 50}, {1, t}, {1, t}};
    EXPECT_EQ(progress(out), want) << out;
    // A fail-high of the aspiration window is searched again with the upper bound open.
    max_depth = 1;
    out = capture_stdout([&] { aspiration_search(1, t - 300); });
    auto lines = progress(out);
    ASSERT_EQ(lines.size(), 2u) << out;
    EXPECT_GE(lines[0].second, t - 200);
    EXPECT_EQ(std::make_pair(lines[1].second, stop_depth), std::make_pair(t, 2));
    setup_fen(MATED); // a mated root ends after one probe
    out = capture_stdout([] { EXPECT_EQ(mtdf(1, 0, 2), -INF_SCORE); });
    EXPECT_EQ(progress(out).size(), 1u);
}

// A continued search keeps its counters and tables; analysis, and a fresh search after a ponder
// hit, clear the history, and only the ponder hit keeps the table.
TEST_F(Search, WhatASearchKeeps) {
    think_to(3);
    EXPECT_EQ(stop_depth, 4);
    const int kept_nodes = nodes;
    killer[5][0] = 12345;
    capture_stdout([] { think(THINK_CONSOLE); }); // nothing left to search: only the set-up runs
    EXPECT_EQ(std::make_pair(nodes, killer[5][0]), std::make_pair(kept_nodes, 12345));
    analyzing = 1;
    think_to(3);
    EXPECT_EQ(killer[5][0], 0);
    analyzing = 0;
    stop_depth = 1;
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

// A side without a legal move is not searched in any mode, though only the clock limits it: the
// set-up runs (a fresh search clears the counters, analysis prints no move's status), and the
// move is none, also where a continued search kept an earlier principal variation.
TEST_F(Search, NoSearchWithoutALegalMove) {
    max_time = 1000;
    for (const char *fen : {MATED, "k7/8/1Q6/8/8/8/8/7K b - - 0 1"}) {
        for (int mode : {THINK_SILENT, THINK_CONSOLE, THINK_EPD}) {
            setup_fen(fen);
            analyzing = mode == THINK_EPD;
            stop_depth = 1;
            nodes = 99;
            strcpy(best_variation, "1. e2e4");
            std::string out = capture_stdout([mode] { think(mode); });
            EXPECT_EQ(out, mode == THINK_SILENT ? "" : "ply score time nodes pv\n") << fen;
            EXPECT_EQ(std::make_tuple(pv[0][0], nodes, std::string(best_variation)),
                      std::make_tuple(0, 0, std::string()))
                << fen;
        }
        analyzing = 0;
        stop_depth = 5;
        pv[0][0] = 12345;
        capture_stdout([] { think(THINK_SILENT); });
        EXPECT_EQ(std::make_pair(pv[0][0], stop_depth), std::make_pair(0, 5)) << fen;
    }
}

TEST_F(Search, BestVariationTextAndMarks) {
    const char *line[] = {"e2e4", "e7e5", "g1f3", "b8c6"};
    for (int j = 0; j < 4; j++) {
        makemove(pv[0][j] = find_move(line[j]));
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

// Without castling rights every root move scores 0, so the list order decides (what a fail-high
// records moves the bench counts).
TEST_F(Search, RootFailHighReturnsTheCuttingScore) {
    setup_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w - - 0 1");
    analyzing = 1; // a status line before each move: time, nodes, depth, moves left, moves, move
    int v;
    std::string out = capture_stdout([&] { v = root_search(-5000, -4000, 1); });
    EXPECT_NE(out.find(" 1 19 20 a2a3\n"), std::string::npos) << out;
    EXPECT_GE(v, -4000);
    EXPECT_EQ(last_score, v);
}

// None of these roots is stored.
TEST_F(Search, RootOfMateStalemateAndFifty) {
    for (const auto &r : table_rows("search.txt", "root ends")) {
        setup_fen(r[0]);
        int v;
        capture_stdout([&] { v = root_search(-INF_SCORE, INF_SCORE, 1); });
        EXPECT_EQ(v, r[1] == "-" ? contempt_factor() : std::stoi(r[1])) << r[0];
        EXPECT_EQ(HashFind(hashcode), nullptr) << r[0];
    }
}

// Boundaries the bench positions never sit on: the material that deepens the null-move
// reduction, razoring's margin at three plies in the initial position (balance 0), and an exact
// entry answering a window below it with the window's edge.
TEST_F(Search, BoundariesTheBenchMisses) {
    EXPECT_EQ(null_move_depth(36, 2000), 20);
    EXPECT_EQ(null_move_depth(36, 2001), 16);
    razor = 1;
    for (auto [alpha, depth_left] : {std::pair{975, 8}, {974, 12}}) {
        int depth = 12, base = -1;
        EXPECT_EQ(razor_futility(alpha, &depth, &base), 0);
        EXPECT_EQ(depth, depth_left) << alpha;
    }
    HashInsert(hashcode, 250, NO_HASH_MOVE, 40, HASH_EXACT);
    EXPECT_EQ(search_nw(-20, 100, 8, 0), 100);
    EXPECT_EQ(search_nw(-20, 300, 8, 0), 250);
}

// The principal move gets its mark and ends the marking; a move the variation plays two plies
// later is marked as well (no bench count depends on that mark).
TEST_F(Search, PvMarks) {
    const int a = make_move_word(52, 36, 0, FLAG_PAWN | FLAG_DOUBLE),
              b = make_move_word(62, 45, 0, 0);
    first_move[0] = 0;
    first_move[1] = 3;
    gen_dat[0] = gen_dat[2] = gen_rec{b, 0};
    gen_dat[1] = gen_rec{a, 0};
    pv[0][0] = a;
    pv[0][2] = b;
    pv_marks();
    EXPECT_EQ(std::make_tuple(gen_dat[0].score, gen_dat[1].score, gen_dat[2].score, follow_pv),
              std::make_tuple(3000000, 10000000, 0, 1));
}

// The parts of the check extension no bench search reaches: a check two plies after another,
// and the bitbase endgames (no egbb in the bench), where a check is not extended nor marked.
TEST_F(Search, CheckExtensions) {
    setup_fen("7k/5Npp/8/8/8/8/8/K7 b - - 0 1");
    hply = 3;
    ply = stop_depth = 2;
    hist_dat[1] = hist_dat[2] = hist_rec{};
    hist_dat[1].check_flag = 1;
    EXPECT_EQ(node_extensions(0, 1, 0), 5);
    EXPECT_EQ(hist_dat[hply].check_flag, 1);
    inf6men = 1;
    EXPECT_EQ(node_extensions(0, 1, 0), 0);
    EXPECT_EQ(hist_dat[hply].check_flag, 0);
    ply = hply = 0;
}

TEST_F(Search, RepetitionBelowTheRootIsADraw) {
    for (const char *m : {"g1f3", "g8f6", "f3g1", "f6g8"}) { // the first move ends the scan
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

// The settings file may give any interval: one below a node checks at every node.
TEST_F(Search, ChecksComeEveryCheckNodes) {
    const std::vector<std::pair<int, std::vector<int>>> cases = {
        {10000, {1, 10001, 20001, 30001}}, {0, {1, 2, 3, 4, 5}}, {-2000000000, {1, 2, 3, 4, 5}}};
    for (const auto &[interval, expected] : cases) {
        check_nodes = interval;
        nodes = rest_nodes = 0;
        std::vector<int> checked;
        for (int n = 1; n <= expected.back(); n++) {
            const int before = rest_nodes;
            nodes = n;
            checkup();
            if (rest_nodes != before) checked.push_back(n);
        }
        EXPECT_EQ(checked, expected) << interval;
    }
}

// Restoring the position after the jump out is checked with input ending the search.
TEST_F(Search, DeadlineInterruptsAtTheFirstNode) {
    max_time = 0;
    check_nodes = 1; // a continued search checks as soon as its count passes the last check
    capture_stdout([] { think(THINK_CONSOLE); });
    EXPECT_EQ(std::make_tuple(stop_search, pv[0][0], nodes), std::make_tuple(1, 0, 1));
    // A continued search keeps the move of the search it continues.
    max_time = NO_TIME_LIMIT;
    think_to(2);
    const int best = pv[0][0];
    max_time = 0;
    think_to(40);
    EXPECT_EQ(pv[0][0], best);
}

// Mates found by the mate finder at the depth they need and not below, every mating line printed.
TEST_F(Search, MatSearch) {
    for (const auto &r : table_rows("search.txt", "mat")) {
        setup_fen(r[0]);
        int found;
        std::string out = capture_stdout([&] { found = mat_search(std::stoi(r[1]), 1, xside, 1); });
        EXPECT_EQ(found, r[2] != "-") << r[0] << " " << r[1];
        std::istringstream mates(r[2]);
        for (std::string mate; r[2] != "-" && std::getline(mates, mate, ';');)
            EXPECT_NE(out.find(mate + "\n"), std::string::npos) << out;
    }
}

// Three moves and one more ply to see that the last one mates, with either driver and with
// every pruning on; each search goes on from the depth where the last one stopped.
TEST_F(Search, ThinkFindsTheMates) {
    setup_fen(MATE_IN_TWO);
    EXPECT_LT(think_to(3), -MATE_BOUND);
    for (int driver : {0, 1}) {
        emtdf = driver;
        stop_depth = 1;
        EXPECT_EQ(think_to(4), INF_SCORE - 3);
        EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
    }
    emtdf = 0;
    nulling_move = razor = futility = lmr = 1;
    delta = 100;
    stop_depth = 1;
    setup_fen(MATE_IN_TWO);
    EXPECT_GT(think_to(5), -MATE_BOUND);
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
}

// What a driver may add: its own input poll in place of bioskey (here the third poll ends the
// search), a node limit the checks fall on, root moves to choose from, and a mate to stop at
// (without it the search would go on to depth 40).
TEST_F(Search, ADriversPollAndLimits) {
    static int polls;
    polls = 0;
    input_poll = [] { return ++polls == 3 ? 1 : 0; };
    think_to(40);
    EXPECT_EQ(std::make_tuple(polls, stop_search, nodes), std::make_tuple(3, 1, 20001));
    input_poll = nullptr;
    node_limit = 5000;
    stop_depth = 1;
    think_to(40);
    EXPECT_EQ(stop_search, 1);
    EXPECT_EQ(nodes, 5000);
    node_limit = 0;
    root_moves[0] = find_move("a2a3");
    root_move_count = 1;
    stop_depth = 1;
    think_to(3);
    EXPECT_STREQ(move_str(pv[0][0]), "a2a3");
    root_move_count = 0;
    setup_fen(MATE_IN_TWO);
    mate_plies = 3;
    stop_depth = 1;
    EXPECT_EQ(think_to(40), INF_SCORE - 3);
    EXPECT_EQ(stop_search, 0);
    EXPECT_STREQ(move_str(pv[0][0]), "a1a6");
}

// A root entry left aged by an earlier search, deep and with a score far from the truth, answers
// every depth it covers, and the first real depth fails low everywhere: the plain search ends
// without a move, the engine's turn still plays one (with the table on again); a mated side none.
TEST_F(Search, AMoveWheneverThePositionHasOne) {
    for (auto turn : {think, think_for_move}) {
        setup_fen("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
        HashInsert(hashcode, 9991, 0xFFFF, 252, HASH_EXACT);
        HashClear();
        last_score = 9991;
        stop_depth = 1;
        max_depth = 64;
        max_time = 300;
        capture_stdout([&] { turn(THINK_SILENT); });
        EXPECT_EQ(find_move(move_str(pv[0][0])) != 0, turn == think_for_move);
    }
    EXPECT_EQ(hashing, 1);
    reset_engine();
    setup_fen(MATED);
    capture_stdout([] { think_for_move(THINK_SILENT); });
    EXPECT_EQ(pv[0][0], 0);
}

} // namespace
