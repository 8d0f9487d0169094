// Speed of the static evaluation: evaluates each of a fixed set of middlegame positions many
// times, once with the pawn hash in use (as in a search, where most pawn structures recur) and
// once computing every pawn term afresh, and prints evaluations per second for each. Each
// position counts with its fastest of a few rounds, so that a busy machine disturbs it less.
//   vrk-evalbench [EVALS_PER_POSITION]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "board.h"
#include "eval.h"
#include "hash.h"
#include "notation.h"
#include "settings.h"

static const char *const positions[] = {
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 0 7",
    "r2q1rk1/pp1nbppp/2p1pn2/3p4/2PP4/2NBPN2/PP3PPP/R2Q1RK1 w - - 0 9",
    "rnbq1rk1/pp2ppbp/3p1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R b KQ - 2 8",
    "r1bqr1k1/pp1n1pbp/2pp1np1/4p3/2PPP3/2N1BP2/PP1QN1PP/R3KB1R w KQ - 2 10",
    "r3kb1r/pp1n1ppp/2p1pn2/q4b2/2BP4/2N1PN2/PP3PPP/R1BQ1RK1 w kq - 2 9",
    "2rq1rk1/pb1nbppp/1p2pn2/2pp4/3P4/1P1BPN2/PBPN1PPP/2RQ1RK1 w - - 0 11",
    "r2qk2r/1b1nbppp/p2ppn2/1p6/3NP3/1BN1B3/PPP1QPPP/2KR3R w kq - 2 11",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2kr3r/pp1q1ppp/2n1bn2/2bp4/8/2NB1N2/PPPBQPPP/2KR3R w - - 6 12",
    "r1b2rk1/2q1bppp/p2p1n2/np2p3/3PP3/5N1P/PPB2PP1/RNBQR1K1 w - - 1 13",
    "3r1rk1/p1q2ppp/1pn1pn2/2b5/2P5/P1N1PN2/1B2BPPP/2RQ1RK1 w - - 1 15",
    "r4rk1/pp3ppp/2n1b3/q1pp4/3P4/P1P1PN2/2Q2PPP/R1B2RK1 w - - 0 14",
    "2r2rk1/1p1nqppp/p3p3/3pP3/3P4/1QN2P2/PP4PP/2R2RK1 b - - 3 18",
    "r2r2k1/pp3pp1/2n1b2p/4p3/2B1P3/2P2N2/P4PPP/R3R1K1 w - - 2 18",
    "3rr1k1/1p3ppp/p1n5/2pq4/3P4/P1Q1PN2/5PPP/2RR2K1 w - - 0 21",
};
static const int position_count = sizeof positions / sizeof positions[0];
static const int ROUNDS = 40;

static void setup(const char *fen) {
    std::istringstream in(fen);
    std::string placement, side_field, castle_field;
    in >> placement >> side_field >> castle_field;
    set_position(placement.c_str(), side_field.c_str(), castle_field.c_str());
}

// Evaluates every position `repeat` times in each of ROUNDS rounds, keeping each position's
// fastest round; returns evaluations per second and adds the positions' scores to *checksum.
static double run(long repeat, long *checksum) {
    double seconds = 0;
    for (int i = 0; i < position_count; ++i) {
        setup(positions[i]);
        *checksum += eval();
        double best = 1e30;
        for (int round = 0; round < ROUNDS; ++round) {
            auto t0 = std::chrono::steady_clock::now();
            for (long r = 0; r < repeat; ++r)
                eval();
            auto t1 = std::chrono::steady_clock::now();
            best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        }
        seconds += best;
    }
    return (double)repeat * position_count / seconds;
}

int main(int argc, char **argv) {
    const long repeat = argc > 1 ? atol(argv[1]) : 5000;
    if (repeat <= 0) {
        fprintf(stderr, "usage: vrk-evalbench [EVALS_PER_POSITION]\n");
        return 2;
    }
    hashing = 0; // the setups below need no transposition table
    HashPawnInit(1024);

    long checksum_on = 0, checksum_off = 0;
    hashing = 1;
    const double with_hash = run(repeat, &checksum_on);
    hashing = 0;
    const double without_hash = run(repeat, &checksum_off);

    printf("positions: %d, evaluations per position: %ld, best of %d rounds\n", position_count,
           repeat, ROUNDS);
    printf("pawn hash on:  %.0f evals/s\n", with_hash);
    printf("pawn hash off: %.0f evals/s\n", without_hash);
    printf("score checksum: %ld%s\n", checksum_on,
           checksum_on == checksum_off ? "" : " (differs without the pawn hash!)");
    return checksum_on == checksum_off ? 0 : 1;
}
