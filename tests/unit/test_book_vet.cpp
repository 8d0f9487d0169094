// The vetting tool's cut rule, with given scores in place of the judge's: each move is measured
// for its own side against what the initial position gives that side, the first move beyond the
// margin cuts the line, and a line left too short is dropped.
#include <gtest/gtest.h>

#include "../../tools/bookvet/vet_rule.h"

namespace {

struct Case {
    const char *what;
    std::vector<int> after; // White's score after each move
    int kept;
    VetVerdict verdict;
    int never_played = -1; // the ply of a move marked never to be played
};

constexpr int START = 38; // the initial position, for White

TEST(BookVet, CutsAtTheFirstMoveBeyondTheMarginForItsSide) {
    const std::vector<int> sound = {30, 35, 40, 30, 38, 45, 20, 38, 50, 40};
    auto with = [&](int k, int score) {
        std::vector<int> s = sound;
        s[k] = score;
        return s;
    };
    const Case cases[] = {
        {"sound line, Black at the initial position's -0.38 throughout", sound, 10,
         VetVerdict::KEPT},
        {"White exactly 0.50 below the start", with(8, START - 50), 10, VetVerdict::KEPT},
        {"White 0.51 below the start", with(8, START - 51), 8, VetVerdict::CUT},
        {"Black exactly 0.50 below its start", with(9, START + 50), 10, VetVerdict::KEPT},
        {"Black 0.51 below its start", with(9, START + 51), 9, VetVerdict::CUT},
        {"a Black move that is good for Black is no loss for White", with(9, START - 300), 10,
         VetVerdict::KEPT},
        {"a gambit's pawn, cut where it is given", with(4, START - 120), 4,
         VetVerdict::DROPPED},
        {"a mate against the mover", with(8, -30000), 8, VetVerdict::CUT},
        {"the first bad move counts", {30, 35, 40, 30, 38, 45, 20, 38, -60, 200}, 8,
         VetVerdict::CUT},
        {"a whole line shorter than the minimum", {30, 35, 40, 30}, 4, VetVerdict::DROPPED},
        {"cut one ply short of the minimum", with(7, START + 51), 7, VetVerdict::DROPPED},
        {"a losing move the book never plays is the opponent's loss, and so are that side's later "
         "moves", {START - 90, 35, START - 120, 30, 38, 45, 20, 38, 50, 40}, 10, VetVerdict::KEPT, 0},
        {"but the book's answers to it are judged", with(3, START + 60), 3, VetVerdict::DROPPED,
         0},
    };
    static_assert(VET_MARGIN == 50 && VET_MIN_PLIES == 8, "the cases are written for these");
    for (const Case &c : cases) {
        std::vector<bool> playable(c.after.size(), true);
        if (c.never_played >= 0) playable[c.never_played] = false;
        int kept = vet_plies_kept(START, c.after, playable);
        EXPECT_EQ(kept, c.kept) << c.what;
        EXPECT_EQ(vet_verdict(kept, (int)c.after.size()), c.verdict) << c.what;
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
