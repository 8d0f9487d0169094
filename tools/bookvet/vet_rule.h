// The rule by which the vetting tool cuts book lines, apart from the judge so that it can be
// tested with given scores (header only: the tool and the unit tests share it).
//
// Scores are centipawns from White's point of view. The initial position already favours White
// somewhat, so each move is measured against what the initial position gives its side: Black at
// -0.38 after a sound reply is normal when the initial position is +0.38.
#pragma once
#include <vector>

// A book move may leave its side at most this much worse off than the initial position does.
constexpr int VET_MARGIN = 50;
// A line left shorter than this after cutting is dropped: it would leave the engine on its own
// before it has even developed, and what remains of a cut line that short is mostly the first
// moves of a gambit or a trap, whose point the cut has taken away.
constexpr int VET_MIN_PLIES = 8;

// How much worse off than the initial position the move of ply k (0 = White's first move) leaves
// the side that played it, when the judge gives `after` for the position after it.
inline int vet_loss(int initial, int after, int ply) {
    return ply % 2 == 0 ? initial - after : after - initial;
}

// The plies of a line to keep: those before its first move that loses more than the margin. A
// move the book never plays (marked '?') is the opponent's choice, and so is every later move of
// that side in the line, since the engine can only be in it as the other side: if they lose, the
// loss is the opponent's. They are not judged; the book's answers are.
inline int vet_plies_kept(int initial, const std::vector<int> &after,
                          const std::vector<bool> &playable) {
    int opponent = -1; // the side of the first move marked never to be played
    for (int k = 0; k < (int)after.size(); k++) {
        if (!playable[k] && opponent < 0) opponent = k % 2;
        if (k % 2 != opponent && vet_loss(initial, after[k], k) > VET_MARGIN) return k;
    }
    return (int)after.size();
}

// How much worse off than the initial position the line's first `plies` plies leave the side the
// book plays there: the side of the last move, unless that side is the opponent's (above).
inline int vet_exit_loss(int initial, const std::vector<int> &after,
                         const std::vector<bool> &playable, int plies) {
    int last = plies - 1, loss = vet_loss(initial, after[last], last);
    for (int k = 0; k < plies; k++)
        if (!playable[k]) return k % 2 == last % 2 ? -loss : loss;
    return loss;
}

enum class VetVerdict { KEPT, CUT, DROPPED };

inline VetVerdict vet_verdict(int kept, int length) {
    if (kept < VET_MIN_PLIES) return VetVerdict::DROPPED;
    return kept < length ? VetVerdict::CUT : VetVerdict::KEPT;
}
