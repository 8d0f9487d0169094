// The vetting tool's cut rule, with given scores in place of the judge's: each move is measured
// for its own side against what the initial position gives that side, the first move beyond the
// margin cuts the line, and a line left too short is dropped.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "../../tools/bookvet/vet_rule.h"
#include "test_util.h"

namespace {

constexpr int START = 38; // the initial position, for White

TEST(BookVet, CutsAtTheFirstMoveBeyondTheMarginForItsSide) {
    static_assert(VET_MARGIN == 50 && VET_MIN_PLIES == 8, "the cases are written for these");
    const std::map<std::string, VetVerdict> verdicts = {
        {"KEPT", VetVerdict::KEPT}, {"CUT", VetVerdict::CUT}, {"DROPPED", VetVerdict::DROPPED}};
    for (const auto &r : table_rows("book_vet.txt", "cut")) {
        std::vector<int> after;
        std::istringstream in(r[1]);
        for (int v; in >> v;)
            after.push_back(v);
        std::vector<bool> playable(after.size(), true);
        if (std::stoi(r[4]) >= 0) playable[std::stoi(r[4])] = false;
        const int kept = vet_plies_kept(START, after, playable);
        EXPECT_EQ(kept, std::stoi(r[2])) << r[0];
        EXPECT_EQ(vet_verdict(kept, (int)after.size()), verdicts.at(r[3])) << r[0];
    }
}

// At a line's end the book's side is judged: the side of the last move, unless the line shows
// that side to be the opponent's.
TEST(BookVet, ExitsAreJudgedForTheBooksSide) {
    const std::vector<int> after = {START - 90, START - 100, START - 80};
    EXPECT_EQ(vet_exit_loss(START, after, {true, true, true}, 3), 80);
    EXPECT_EQ(vet_exit_loss(START, after, {false, true, true}, 3), -80);
    EXPECT_EQ(vet_exit_loss(START, after, {false, true, true}, 2), -100);
}

} // namespace
