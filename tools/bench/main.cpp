// vrk-bench [--all] [--mtdf] [depth]: searches a fixed list of positions to a fixed depth, each
// from a fresh start, and prints the total node count (the behaviour signature) and the speed.
// --all switches every pruning on (null move, razoring, futility, LMR, delta 100); --mtdf uses
// the MTD(f) driver instead of aspiration windows.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "search_setup.h"

namespace {

const char *const POSITIONS[] = {
    // Openings.
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -",
    "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq -",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq -",
    "rnbqk2r/ppp1ppbp/3p1np1/8/2PPP3/2N5/PP3PPP/R1BQKBNR w KQkq -",
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2P2N2/PP1P1PPP/RNBQK2R w KQkq -",
    // Middlegames.
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ -",
    "r2q1rk1/pp1nbppp/2p1pn2/3p1b2/2PP4/1PN1PN2/PB3PPP/R2QKB1R w KQ -",
    "r1bq1rk1/4bppp/p1np1n2/1p2p3/4P3/1BN2N1P/PPP2PP1/R1BQR1K1 w - -",
    "2rq1rk1/pb1nbppp/1p2pn2/2ppN3/3P4/1P1BPN2/PBPQ1PPP/2R2RK1 w - -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "3r1rk1/p1q2pp1/1p2pn1p/2b5/2P5/1P2PB2/PB3PPP/2RQ1RK1 w - -",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - -",
    "2r3k1/pp2qppp/2n1p3/3pP3/3P4/P1Q2N2/1P3PPP/2R3K1 b - -",
    // Tactics.
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq -",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - -",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - -",
    "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq -",
    // Endgames.
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "8/8/4k3/8/2p5/8/B2P2K1/8 w - -",
    "8/8/1p1k4/p1p5/P1P1K3/1P6/8/8 w - -",
    "8/5k2/8/3R4/8/2K5/8/5r2 b - -",
    "6k1/8/8/8/8/8/2Q5/6K1 w - -",
    "8/8/8/3k4/8/8/3PK3/8 w - -",
    "4k3/8/8/8/8/8/4P3/4K3 w - -",
    "8/pp3k2/2p1r1p1/3p4/3P1P2/2P3P1/PP4K1/4R3 w - -",
    "R7/P4k2/8/8/8/8/r7/6K1 w - -",
};

} // namespace

int main(int argc, char **argv) {
    Switches s;
    int next = parse_switches(argc, argv, &s);
    int depth = next < argc ? atoi(argv[next]) : 6;
    search_setup(s);
    max_depth = (unsigned)depth;
    max_time = NO_TIME_LIMIT;
    long long total = 0;
    unsigned start = get_ms();
    std::clock_t cpu_start = std::clock();
    int n = 0;
    for (const char *fen : POSITIONS) {
        setup_position(fen);
        stop_depth = 1;
        last_score = 0;
        quiet_think();
        total += nodes;
        printf("Position %2d: %10d nodes  %s\n", ++n, nodes, move_str(pv[0][0]));
    }
    unsigned ms = get_ms() - start;
    double cpu = (double)(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    // The processor-time rate is the one to compare on a busy machine.
    printf("\n%lld nodes %lld nps (%.0f nps of processor time)\n", total,
           ms ? total * 1000 / ms : total, cpu > 0 ? total / cpu : 0.0);
    return 0;
}
