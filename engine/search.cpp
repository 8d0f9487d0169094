// The search: iterative deepening with MTD(f) or aspiration windows, the root, the null-window
// search with its prunings, reductions and extensions, quiescence with delta pruning, the static
// exchange evaluator, move ordering, the periodic time and input check, and the mate finder.
#include "search.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "board.h"
#include "data.h"
#include "eval.h"
#include "hash.h"
#include "learn.h"
#include "notation.h"
#include "platform.h"
#include "session.h"
#include "settings.h"
#include "stats.h"

int stop_search;
jmp_buf env;
unsigned stop_time;
int last_score, last_score_before_research, found_time;
char best_variation[384];
int inf6men, follow_pv;
int stop_on_input_end;
int (*input_poll)();
int node_limit;
int mate_plies;
int root_moves[MAX_ROOT_MOVES];
int root_move_count;
int pv[64][64], pv_length[64], killer[64][2];

namespace {

// Ordering marks added to the generator's scores.
constexpr int PV_MARK = 10000000;
constexpr int PV2_MARK = 3000000;
constexpr int KILLER_MARK = 150000;

// Depth units: the drivers and the root count plies, the searches below quarter plies.
constexpr int ONE_PLY = 4;

// Null move: base reduction (the ply itself plus two), a ply less with this much material, and a
// ply less again above each of the depths.
constexpr int NULL_BASE_R = 12;
constexpr int NULL_MATERIAL = 2001;
constexpr int NULL_DEEPER_1 = 35, NULL_DEEPER_2 = 59, NULL_DEEPER_3 = 83;

// Extensions, in quarter plies. Known before generation: a mate threat found by the null move,
// castling, a recapture of equal value on a PV node, a pawn reaching the sixth rank within the
// first iteration's plies, a promotion, a check (more after a pawn captured at ply 1, and for
// each of the two earlier checks of the same side). Read from the list: a single move, and in
// check a single or a second legal evasion.
constexpr int THREAT_EXT = 1, CASTLE_EXT = 2, RECAPTURE_EXT = 1, PAWN_SIXTH_EXT = 2;
constexpr int PROMOTION_EXT = 2, CHECK_EXT = ONE_PLY, CHECK_PAWN_CAPTURE_EXT = 1;
constexpr int CHECK_AGAIN_EXT = 1;
constexpr int SINGLE_MOVE_EXT = ONE_PLY, ONE_EVASION_EXT = 2, TWO_EVASIONS_EXT = 1;

// Late-move reductions start above this depth (just under three plies); above the second a
// move of a PV node is reduced by two plies instead of one.
constexpr int LMR_DEPTH = 11;
constexpr int LMR_DEEP_DEPTH = 12;
constexpr int LMR_REDUCTION = ONE_PLY, LMR_DEEP_REDUCTION = 2 * ONE_PLY;
// Internal iterative deepening below the root only above this depth.
constexpr int IID_DEPTH = 11;
// Nodes this near the leaves prefetch their children's table slots.
constexpr int PREFETCH_DEPTH = 2 * ONE_PLY;

// Razoring and futility margins over the material balance.
constexpr int RAZOR_MARGIN = 974;
constexpr int FUTILITY_MARGIN_1 = 320; // depth up to one ply
constexpr int FUTILITY_MARGIN_2 = 500; // depth up to two plies

// Delta pruning: what a promotion can at most bring.
constexpr int PROMOTION_DELTA = 875;

// Stage 3 is the endgame, where the material-based prunings are off.
constexpr int ENDGAME = 3;

// The stack guards of the searches: a node beyond them is evaluated, so that the moves below it
// stay within the per-ply arrays and the move stack.
constexpr int MAX_SEARCH_PLY = MAX_PLY - 2;
constexpr int MAX_SEARCH_HPLY = MAX_GAME_PLIES;

bool is_capture(int m) {
    return (move_bits(m) & FLAG_CAPTURE) != 0;
}

unsigned elapsed_ms() {
    return get_ms() - start_time;
}
int elapsed_cs() {
    return (int)(elapsed_ms() / 10);
}

// The hash-table bound test shared by the three searches: true with *score set when the
// entry decides the node inside (alpha, beta).
bool hash_cutoff(const HashEntry *e, int alpha, int beta, int *score) {
    hash_hit++;
    int s = e->score;
    if ((e->type == HASH_UPPER && s <= alpha) || (e->type == HASH_LOWER && s >= beta)) {
        *score = s;
        return true;
    }
    if (e->type == HASH_EXACT) {
        *score = s < beta ? s : beta;
        return true;
    }
    return false;
}

void hash_store(int best, int hash_move, int depth, int alpha, int beta) {
    if (!hashing) return;
    int type = best >= beta ? HASH_LOWER : best <= alpha ? HASH_UPPER : HASH_EXACT;
    HashInsert(hashcode, best, hash_move, depth & 0xFF, type);
}

void count_node() {
    nodes++;
    checkup();
}

// Starts loading the table slots of the children of a node near the leaves, from place i of its
// list on: they are searched one after the other within a short time, and their slots then load
// side by side instead of each stalling its node in turn.
void prefetch_children(int i) {
    if (!hashing) return;
    for (; i < first_move[ply + 1]; i++)
        HashPrefetch(key_after(gen_dat[i].m));
}

bool allowed_at_root(int m) {
    return std::find(root_moves, root_moves + root_move_count, m) != root_moves + root_move_count;
}

void remember_killer(int p, int m) {
    killer[p][1] = killer[p][0];
    killer[p][0] = m;
}

// ---------------------------------------------------------------------------------------------
// Progress output of the drivers and the root.

// The mode of the search under way, for the root's lines; its drivers set it.
int root_mode;
// The depth of the root search under way, before the root's extensions, and the deepest ply
// its moves have reached so far.
int root_depth, sel_depth;

// A UCI "info" line: the score from the side to move's view, in moves to a mate beyond
// MATE_BOUND, with its bound (HASH_EXACT, or HASH_LOWER / HASH_UPPER for a fail high / low).
void print_uci_info(int depth, int score, int bound) {
    const unsigned ms = elapsed_ms();
    printf("info depth %d seldepth %d score ", depth, std::max(sel_depth, max_ply));
    if (score > -MATE_BOUND)
        printf("mate %d", (INF_SCORE - score + 1) / 2);
    else if (score < MATE_BOUND)
        printf("mate %d", -((INF_SCORE + score) / 2));
    else
        printf("cp %d", score);
    if (bound != HASH_EXACT) printf(bound == HASH_LOWER ? " lowerbound" : " upperbound");
    printf(" nodes %u nps %u time %u hashfull %d", (unsigned)nodes,
           (unsigned)((double)(unsigned)nodes * 1000.0 / (ms ? ms : 1)), ms,
           hashing ? HashFullPermill() : 0);
    if (egbb) printf(" tbhits %d", egbb_hit);
    int line[MAX_PLY];
    const int n = playable_pv(line);
    if (n) printf(" pv");
    for (int j = 0; j < n; j++)
        printf(" %s", uci_move_str(line[j]));
    printf("\n");
    fflush(stdout);
}

void print_progress(int mode, int depth, int score, int bound = HASH_EXACT) {
    if (mode == THINK_UCI) {
        print_uci_info(depth, score, bound);
        sel_depth = 0;
        return;
    }
    if (mode == THINK_SILENT) return;
    if (mode == THINK_EPD) {
        Time_clean(found_time);
        printf("info depth %d score cp %d time %d nodes %d found (%s) pv", depth, score,
               elapsed_cs(), nodes, restc);
    } else {
        printf("%d %d %d %d", depth, score, elapsed_cs(), nodes);
    }
    printf(" %s\n", best_variation);
    fflush(stdout);
}

// Appends text to best_variation, cutting it at the buffer's capacity.
void append_variation(size_t *len, const char *text) {
    size_t n = strlen(text), room = sizeof best_variation - 1 - *len;
    if (n > room) n = room;
    memcpy(best_variation + *len, text, n);
    *len += n;
    best_variation[*len] = 0;
}

void print_root_line(int depth, int score) {
    if (root_mode == THINK_UCI) return;
    printf("%d->%d %d %d %d %s\n", depth, max_ply, score, elapsed_cs(), nodes, best_variation);
    fflush(stdout);
}

// ---------------------------------------------------------------------------------------------
// Set-up of think.

void fresh_start() {
    stop_depth = 1;
    if (hashing && !anticipedmove) {
        HashReset();
        HashPawnReset();
    }
    memset(pv, 0, sizeof pv);
    memset(history, 0, sizeof history);
    memset(bf_history, 0, sizeof bf_history);
    memset(killer, 0, sizeof killer);
    if (learning) set_hash();
    ply = found_time = max_ply = 0;
    nodes = rest_nodes = hash_hit = hash_pawn_hit = egbb_hit = cnt_nm = 0;
    null_stat = killer_cut = lmr_cut = lmr_nodes = futility_cut = razor_cut = delta_cut = 0;
    learn_hit = 0;
}

bool mate_found(int score) {
    return mate_plies > 0 && score >= INF_SCORE - mate_plies;
}

void mtdf_driver(int mode, int guess) {
    root_mode = mode;
    sel_depth = 0;
    if (max_depth < (unsigned)stop_depth) return;
    int f = guess;
    for (int depth = stop_depth; (unsigned)depth <= max_depth; depth++) {
        follow_pv = 1;
        f = mtdf(mode, f, depth);
        print_progress(mode, depth, f);
        if (mate_found(f)) break;
    }
}

// ---------------------------------------------------------------------------------------------
// The root.

// Internal iterative deepening at the root: a search two plies shallower finds a first move.
int root_iid(int alpha, int beta, int depth) {
    int v = search_nw(alpha, beta, ONE_PLY * depth - 2 * ONE_PLY, 1);
    if (v <= alpha) search_nw(-INF_SCORE, beta, ONE_PLY * depth - 2 * ONE_PLY, 1);
    return hash_move_key(pv[0][0]);
}

// A root move that improved inside the window: record it, show it, and (for any but the first
// move of the list) search it again with the full upper bound. Returns the new best.
int root_improved(int m, int i, int score, int beta, int depth) {
    if (m != pv[0][0]) found_time = (int)elapsed_ms();
    if (!is_capture(m)) history[move_from(m)][move_to(m)]++;
    update_pv(m);
    build_variation(score);
    print_root_line(depth, score);
    int best = score;
    if (i > first_move[0]) {
        int r = -search_nw(-beta, -score, ONE_PLY * depth - ONE_PLY, 1);
        if (r > best) best = r;
    }
    print_root_line(depth, best);
    // A move that fails high is shown by the driver's line.
    if (root_mode == THINK_UCI && best < beta) print_uci_info(root_depth, best, HASH_EXACT);
    wlearn(depth, best, m);
    return best;
}

// ---------------------------------------------------------------------------------------------
// The null-window search, step by step.

// Null move: returns 1 with *cut set on a cut-off; otherwise reports the mate threat.
int try_null_move(int beta, int depth, int *cut, int *threat) {
    nullmat = 0;
    if (depth > 6 * ONE_PLY) mat_balance();
    makemove(null_move);
    cnt_nm++;
    int v = -search_nw(-beta, 1 - beta, null_move_depth(depth, nullmat), 0);
    cnt_nm--;
    takeback();
    if (v >= beta) {
        null_stat++;
        *cut = v;
        return 1;
    }
    *threat = v < MATE_BOUND;
    return 0;
}

// Internal iterative deepening below the root: the move of a shallower search is tried first.
int inner_iid(int alpha, int beta, int depth) {
    int v = search_nw(alpha, beta, depth - 2 * ONE_PLY, 1);
    if (v <= alpha) search_nw(-INF_SCORE, beta, depth - 2 * ONE_PLY, 1);
    return hash_move_key(pv[ply][ply]);
}

int count_legal() {
    int n = 0;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        if (makemove(gen_dat[i].m)) {
            takeback();
            n++;
        }
    }
    return n;
}

// Everything a node of search_nw decided before its move loop.
struct Node {
    int alpha, beta, depth;
    int pv_node, incheck, threat;
    int ext2;
    int has_base, base;
    int child_null;
    int hash_move;
};

int late_move_reducible(const Node &nd, int m, int legal, int p) {
    int from = move_from(m), to = move_to(m);
    return lmr && !nd.incheck && !nd.threat && nd.depth > LMR_DEPTH &&
           (move_bits(m) & (FLAG_CAPTURE | FLAG_PROMOTE)) == 0 &&
           bf_history[from][to] > history[from][to] && m != killer[p][0] && m != killer[p][1] &&
           legal > 3;
}

// A late quiet move is searched shallower with a null window first; only a move that beats
// alpha there is searched again one ply deeper (without the node's extensions).
int reduced_search(const Node &nd, int m, int best, int ub) {
    int from = move_from(m), to = move_to(m);
    lmr_nodes++;
    // The child's own ply plus the reduction.
    int r = nd.depth - ONE_PLY -
            (nd.pv_node && nd.depth > LMR_DEEP_DEPTH ? LMR_DEEP_REDUCTION : LMR_REDUCTION);
    int v = -search_nw(-best - 1, -best, r, 1);
    if (v > best) {
        history[from][to]++;
        return -search_nw(-ub, -best, nd.depth - ONE_PLY, 1);
    }
    lmr_cut++;
    bf_history[from][to]++;
    return v;
}

int futile(const Node &nd, int best) {
    return nd.has_base && nd.ext2 == 0 && best >= nd.base + mat_gain(hist_dat[hply - 1]) &&
           !in_check(side);
}

// The move loop of search_nw (step 8). Returns the node's best score; *cut tells a cut-off.
int search_moves(Node &nd, int *cut) {
    const int p = ply;
    const int child_depth = nd.depth - ONE_PLY + nd.ext2;
    int best = nd.alpha, ub = nd.beta, legal = 0, searched = 0, bound = NO_BOUND;
    *cut = 0;
    for (int i = first_move[p]; i < first_move[p + 1]; i++) {
        bound = select_move(i, nd.hash_move, bound);
        int m = gen_dat[i].m;
        if (!makemove(m)) continue;
        legal++;
        int from = move_from(m), to = move_to(m), v;
        if (late_move_reducible(nd, m, legal, p)) {
            v = reduced_search(nd, m, best, ub);
        } else if (futile(nd, best)) {
            nodes++;
            futility_cut++;
            v = best;
        } else {
            v = -search_nw(-ub, -best, child_depth, nd.child_null);
        }
        if (best < v && v < nd.beta) {
            nd.hash_move = hash_move_key(m);
            if (!is_capture(m)) history[from][to]++;
            update_pv(m);
            best = v;
            if (i > first_move[p]) {
                int r = -search_nw(-nd.beta, -v, child_depth, nd.child_null);
                if (r > best) best = r;
            }
        } else {
            if (!is_capture(m)) bf_history[from][to]++;
            if (v > best) best = v;
        }
        takeback();
        if (best >= nd.beta) {
            nd.hash_move = hash_move_key(m);
            if (!is_capture(m)) history[from][to]++;
            remember_killer(p, m);
            *cut = 1;
            return best;
        }
        // A node that did not cut off with its first move is likely to search them all.
        if (!searched && nd.depth <= PREFETCH_DEPTH) prefetch_children(i + 1);
        searched = 1;
        ub = best + 1;
    }
    if (!searched) best = nd.incheck ? -INF_SCORE + ply : contempt_factor();
    return best;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The root's printable line.

// "1. e2e4!! e7e5 2. g1f3 b8c6": the root's line, marked by how far it beat the reference score.
void build_variation(int score) {
    size_t len = 0;
    char number[16];
    best_variation[0] = 0;
    append_variation(&len, "1. ");
    append_variation(&len, move_str(pv[0][0]));
    if (score > last_score_before_research + 99) append_variation(&len, "!");
    if (score > last_score_before_research + 299) append_variation(&len, "!");
    for (int j = 1; j < pv_length[0]; j++) {
        if (j % 2) {
            append_variation(&len, " ");
        } else {
            snprintf(number, sizeof number, " %d. ", j / 2 + 1);
            append_variation(&len, number);
        }
        append_variation(&len, move_str(pv[0][j]));
    }
    last_score_before_research = score;
}

// ---------------------------------------------------------------------------------------------
// Move ordering.

void pv_marks() {
    follow_pv = 0;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        int m = gen_dat[i].m;
        if (ply + 2 < MAX_PLY && m == pv[0][ply + 2]) gen_dat[i].score += PV2_MARK;
        if (m == pv[0][ply]) {
            gen_dat[i].score += PV_MARK;
            follow_pv = 1;
            return;
        }
    }
}

void killer_marks() {
    int found = 0;
    for (int i = first_move[ply]; i < first_move[ply + 1] && found < 2; i++) {
        int m = gen_dat[i].m;
        if (m == killer[ply][0] || m == killer[ply][1]) {
            gen_dat[i].score += KILLER_MARK;
            found++;
            killer_cut++;
        }
    }
}

int select_move(int i, int hash_move, int bound) {
    const int last = first_move[ply + 1];
    int pick = -1, picked_score = NO_BOUND;
    if (hash_move != NO_HASH_MOVE) {
        // The hash move key holds from and to in the opposite byte order of the move word.
        const int wanted = ((hash_move & 0xFF) << 8) | ((hash_move >> 8) & 0xFF);
        for (int j = i; j < last; j++)
            if ((gen_dat[j].m & 0xFFFF) == wanted) {
                pick = j;
                break;
            }
    }
    if (pick < 0) {
        pick = i;
        for (int j = i, top = -1; j < last; j++)
            if (gen_dat[j].score > top) {
                top = gen_dat[j].score;
                pick = j;
                if (top == bound) break; // nothing further can score more
            }
        picked_score = gen_dat[pick].score;
    }
    gen_rec t = gen_dat[i];
    gen_dat[i] = gen_dat[pick];
    gen_dat[pick] = t;
    return picked_score;
}

void update_pv(int m) {
    int p = ply - 1;
    pv[p][p] = m;
    for (int j = p + 1; j < pv_length[p + 1]; j++)
        pv[p][j] = pv[p + 1][j];
    pv_length[p] = pv_length[p + 1];
}

namespace {

// The generated move of the current ply that a hash move key names (the queen of the four
// promotions), 0 when none does.
int move_of_key(int key) {
    int found = 0;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        const int m = gen_dat[i].m;
        if (hash_move_key(m) != key) continue;
        found = m;
        if (!(move_bits(m) & FLAG_PROMOTE)) break;
    }
    return found;
}

} // namespace

int playable_pv(int line[MAX_PLY]) {
    const int start = ply;
    int n = 0;
    for (; n < start; n++)
        line[n] = pv[0][n];
    bool whole = true;
    for (; n < pv_length[0] && ply < MAX_SEARCH_PLY; n++) {
        const int m = pv[0][n];
        gen();
        const gen_rec *first = gen_dat + first_move[ply], *last = gen_dat + first_move[ply + 1];
        whole = std::any_of(first, last, [m](const gen_rec &g) { return g.m == m; }) && makemove(m);
        if (!whole) break;
        line[n] = m;
    }
    // Hash hits cut the line short: the table's moves carry it on, up to a repetition.
    while (whole && hashing && n > 0 && ply < MAX_SEARCH_PLY && !repetitions()) {
        const HashEntry *e = HashPeek(hashcode);
        if (!e) break;
        gen();
        const int m = move_of_key(e->move);
        if (!m || !makemove(m)) break;
        line[n++] = m;
    }
    while (ply > start)
        takeback();
    return n;
}

// ---------------------------------------------------------------------------------------------
// Time and input check.

void checkup() {
    if ((int)((unsigned)nodes - (unsigned)rest_nodes) <= 0) return;
    // An interval below one node (the settings file is not checked) means a check at every node;
    // the sum wraps like the node count does in a long analysis.
    const unsigned interval = check_nodes > 0 ? (unsigned)check_nodes : 1u;
    rest_nodes = (int)((unsigned)rest_nodes + interval);
    // The check after the one that reaches the node limit falls on it.
    if (node_limit > 0 && (int)((unsigned)rest_nodes - (unsigned)(node_limit - 1)) > 0)
        rest_nodes = node_limit - 1;
    // The poll comes first so that status requests waiting on a pipe are consumed even by the
    // check that finds the deadline passed.
    int input = input_poll ? input_poll() : bioskey();
    if (input || get_ms() >= stop_time || (node_limit > 0 && nodes >= node_limit) ||
        (stop_on_input_end && input_cannot_arrive())) {
        stop_search = 1;
        longjmp(env, 0);
    }
}

// ---------------------------------------------------------------------------------------------
// Iterative deepening.

void think(int mode) {
    stop_search = 0;
    if (setjmp(env)) {
        while (ply)
            takeback();
        cnt_nm = 0; // no null move is left on the line
        return;
    }
    start_time = get_ms();
    stop_time = start_time + max_time;
    if (stop_depth > 1 && !analyzing) {
        if (hashing) {
            HashClear();
            HashPawnClear();
        }
    } else {
        fresh_start();
    }
    int e = eval();
    last_score_before_research = last_score;
    CurrentStage = Stage;
    inf6men = n_pawns + n_pieces <= 5;
    if (mode != THINK_SILENT && mode != THINK_UCI) {
        printf("ply score time nodes pv\n");
        fflush(stdout);
    }
    // A mated or stalemated side has nothing to search (a mated root would fail low at the mate
    // score at every depth again, until the deadline or input ended it).
    if (!first_legal_move()) {
        pv[0][0] = 0;
        pv_length[0] = 0;
        best_variation[0] = '\0';
        return;
    }
    if (emtdf)
        mtdf_driver(mode, e);
    else
        aspiration_search(mode, last_score);
}

// The configured window; one of zero or less would never converge and counts as one centipawn.
// Every score lies within INF_SCORE, so a window wider than the whole range is no wider in effect;
// it is held at MAX_WINDOW to keep the window edges far from overflow.
constexpr int MAX_WINDOW = 3 * INF_SCORE;
static int search_window() {
    return std::clamp(mtdf_window, 1, MAX_WINDOW);
}

// Each probe uses a window mtdf_window wide whose upper edge is the current guess.
int mtdf(int mode, int guess, int depth) {
    const int w = search_window();
    int lower = -INF_SCORE, upper = INF_SCORE, g = guess;
    do {
        int beta = g == lower ? lower + w : g;
        follow_pv = 1;
        g = root_search(beta - w, beta, depth);
        print_progress(mode, depth, g, g < beta ? HASH_UPPER : HASH_LOWER);
        if (g < beta)
            upper = g;
        else
            lower = g;
    } while (lower < upper);
    return g;
}

int aspiration_search(int mode, int score) {
    root_mode = mode;
    sel_depth = 0;
    int w = search_window();
    int alpha = score - w, beta = score + w, v = score;
    int depth = stop_depth;
    while ((unsigned)depth <= max_depth) {
        follow_pv = 1;
        v = root_search(alpha, beta, depth);
        if (alpha < v && v < beta) {
            w = search_window();
            alpha = v - w;
            beta = v + w;
            print_progress(mode, depth, v);
            if (mate_found(v)) break;
            stop_depth++;
            depth++;
        } else {
            const int bound = v <= alpha ? HASH_UPPER : HASH_LOWER;
            if (v <= alpha) alpha = -INF_SCORE;
            if (v >= beta) beta = INF_SCORE;
            print_progress(mode, depth, v, bound);
        }
    }
    return v;
}

// ---------------------------------------------------------------------------------------------
// Root search (depth in plies).

int root_search(int alpha, int beta, int depth) {
    if (depth <= 0) return quiesce_nw(alpha, beta);
    count_node();
    pv_length[ply] = ply;
    if (hply > MAX_SEARCH_HPLY) return eval();
    root_depth = depth;

    // The table's entry of the root scores every root move: with some of them left out, it
    // only orders the moves, and this root's score is not stored.
    const bool whole_root = root_move_count == 0;
    int hash_move = NO_HASH_MOVE;
    if (hashing) {
        const HashEntry *e = HashFind(hashcode);
        int s;
        if (e) {
            if (whole_root && e->depth / ONE_PLY >= depth && hash_cutoff(e, alpha, beta, &s))
                return s;
            hash_move = e->move;
        }
    }
    if (hash_move == NO_HASH_MOVE && depth > 2) hash_move = root_iid(alpha, beta, depth);

    gen();
    int incheck = in_check(side);
    hist_dat[hply].check_flag = (int16_t)incheck;
    if (incheck) depth++;
    if (first_move[1] - first_move[0] == 1) depth++;
    if (follow_pv) pv_marks();
    killer_marks();

    int best = alpha, ub = beta, legal = 0, bound = NO_BOUND;
    for (int i = first_move[0]; i < first_move[1]; i++) {
        bound = select_move(i, hash_move, bound);
        int m = gen_dat[i].m;
        if (!whole_root && !allowed_at_root(m)) continue;
        max_ply = 0;
        if (analyzing)
            printf("stat01: %d %d %d %d %d %s\n", elapsed_cs(), nodes, depth, first_move[1] - 1 - i,
                   first_move[1] - first_move[0], move_str(m));
        fflush(stdout);
        if (!makemove(m)) continue;
        int score = rlearn(depth, m);
        if (score == NO_SCORE)
            score = -search_nw(-ub, -best, ONE_PLY * depth - ONE_PLY, 1);
        else
            learn_hit++;
        if (best < score && score < beta) {
            hash_move = hash_move_key(m);
            best = root_improved(m, i, score, beta, depth);
        } else {
            if (!is_capture(m)) bf_history[move_from(m)][move_to(m)]++;
            if (score > best) best = score;
        }
        takeback();
        sel_depth = std::max(sel_depth, max_ply);
        last_score = best;
        if (best >= beta) {
            wlearn(depth, best, m);
            hash_move = hash_move_key(m);
            remember_killer(0, m);
            if (whole_root) hash_store(best, hash_move, (ONE_PLY * depth) & 0xFC, alpha, beta);
            return best;
        }
        legal = 1;
        ub = best + 1;
    }
    if (!legal) return incheck ? -INF_SCORE + ply : contempt_factor();
    if (fifty > 99) return contempt_factor();
    if (whole_root) hash_store(best, hash_move, (ONE_PLY * depth) & 0xFC, alpha, beta);
    return best;
}

// ---------------------------------------------------------------------------------------------
// Null-window search (depth in quarter plies).

int null_move_depth(int depth, int non_pawn) {
    int r = depth - NULL_BASE_R;
    if (non_pawn >= NULL_MATERIAL) r -= ONE_PLY;
    if (depth > NULL_DEEPER_1) r -= ONE_PLY;
    if (depth > NULL_DEEPER_2) r -= ONE_PLY;
    if (depth > NULL_DEEPER_3) r -= ONE_PLY;
    return r;
}

int node_extensions(int pv_node, int incheck, int threat) {
    int ext = threat ? THREAT_EXT : 0;
    const hist_rec *last = hply >= 1 ? &hist_dat[hply - 1] : nullptr;
    int bits = last ? move_bits(last->m) : 0;
    if (last) {
        const hist_rec &prev = hist_dat[hply >= 2 ? hply - 2 : 0];
        int to = move_to(last->m);
        if (bits & FLAG_CASTLE) ext += CASTLE_EXT;
        if (pv_node && hply >= 2 && (bits & FLAG_CAPTURE) && (move_bits(prev.m) & FLAG_CAPTURE) &&
            piece_value[last->capture] == piece_value[prev.capture])
            ext += RECAPTURE_EXT;
        if (ply < stop_depth && piece[to] == PAWN && row_of(to) == 2 && side == DARK)
            ext += PAWN_SIXTH_EXT;
        if (bits & FLAG_PROMOTE) ext += PROMOTION_EXT;
    }
    if (incheck && !inf6men) {
        ext += CHECK_EXT;
        if (ply == 1 && last && (bits & FLAG_CAPTURE) && last->capture == PAWN)
            ext += CHECK_PAWN_CAPTURE_EXT;
        hist_dat[hply].check_flag = 1;
        if (hply > 2 && hist_dat[hply - 2].check_flag) ext += CHECK_AGAIN_EXT;
        if (hply > 4 && hist_dat[hply - 4].check_flag) ext += CHECK_AGAIN_EXT;
    } else {
        hist_dat[hply].check_flag = 0;
    }
    return ext;
}

int list_extensions(int incheck, int n) {
    int ext = n == 1 ? SINGLE_MOVE_EXT : 0;
    if (incheck && ply < 2 * stop_depth) {
        int legal = count_legal();
        if (legal == 1)
            ext += ONE_EVASION_EXT;
        else if (legal == 2)
            ext += TWO_EVASIONS_EXT;
    }
    return ext;
}

int razor_futility(int alpha, int *depth, int *base) {
    int m = mat_balance();
    if (razor && *depth > 2 * ONE_PLY && *depth <= 3 * ONE_PLY && CurrentStage != ENDGAME &&
        alpha > m + RAZOR_MARGIN) {
        *depth -= ONE_PLY;
        razor_cut++;
    }
    if (!futility || CurrentStage == ENDGAME || *depth > 2 * ONE_PLY) return 0;
    *base = m + (*depth <= ONE_PLY ? FUTILITY_MARGIN_1 : FUTILITY_MARGIN_2);
    return 1;
}

int search_nw(int alpha, int beta, int depth, int null_allowed) {
    // 1. Entry and guards.
    if (depth <= 0) return quiesce_nw(alpha, beta);
    count_node();
    pv_length[ply] = ply;
    if (ply > 0) {
        if (reps()) return contempt_factor();
        if (ply > MAX_SEARCH_PLY) return eval();
    }
    if (hply > MAX_SEARCH_HPLY) return eval();

    Node nd{};
    nd.alpha = alpha;
    nd.beta = beta;
    nd.depth = depth;
    nd.pv_node = beta - alpha > 1;
    nd.hash_move = NO_HASH_MOVE;
    // 2. Transposition table.
    if (hashing) {
        const HashEntry *e = HashFind(hashcode);
        int s;
        if (e) {
            if (depth <= e->depth && hash_cutoff(e, alpha, beta, &s)) return s;
            nd.hash_move = e->move;
        }
    }

    // 3. Null move.
    nd.incheck = in_check(side);
    if (null_allowed && nulling_move && !nd.incheck && depth > 2 * ONE_PLY &&
        CurrentStage != ENDGAME) {
        int cut;
        if (try_null_move(beta, depth, &cut, &nd.threat)) return cut;
    }

    // 4. Extensions; 5. razoring and the futility base.
    int ext = node_extensions(nd.pv_node, nd.incheck, nd.threat);
    if (!(nd.incheck && !inf6men) && (razor || futility) && ext == 0)
        nd.has_base = razor_futility(alpha, &nd.depth, &nd.base);

    // 6. Internal iterative deepening.
    if (nd.hash_move == NO_HASH_MOVE && nd.pv_node && nd.depth > IID_DEPTH && !null_allowed)
        nd.hash_move = inner_iid(alpha, beta, nd.depth);

    // 7. Generation and the extensions that need the move list.
    gen();
    int n = first_move[ply + 1] - first_move[ply];
    ext += list_extensions(nd.incheck, n);
    nd.ext2 = ext + (n <= 7 ? 1 : 0);
    nd.child_null = nd.incheck ? 0 : 1;
    if (follow_pv) pv_marks();
    killer_marks();

    // 8. Move loop; 9. end of the list.
    int cut = 0;
    int best = n ? search_moves(nd, &cut) : nd.incheck ? -INF_SCORE + ply : contempt_factor();
    if (!cut && fifty > 99) best = contempt_factor();
    // 10. Hash store.
    hash_store(best, nd.hash_move, nd.depth, alpha, beta);
    return best;
}

// ---------------------------------------------------------------------------------------------
// Quiescence search and static exchange evaluation.

int quiesce_nw(int alpha, int beta) {
    nodes++;
    pv_length[ply] = ply;
    checkup();
    int hash_move = NO_HASH_MOVE;
    if (hashing) {
        const HashEntry *e = HashFind(hashcode);
        int s;
        if (e && e->depth == 0) {
            if (hash_cutoff(e, alpha, beta, &s)) return s;
            hash_move = e->move;
        }
    }
    int stand = eval();
    if (ply > MAX_SEARCH_PLY || hply > MAX_SEARCH_HPLY) return stand;
    if (stand >= beta) {
        hash_store(stand, hash_move, 0, alpha, beta);
        return stand;
    }
    int best = alpha > stand ? alpha : stand;
    gen_caps();
    if (follow_pv) pv_marks();
    const int p = ply;
    if (first_move[p] == first_move[p + 1]) {
        hash_store(best, hash_move, 0, alpha, beta);
        return best;
    }
    killer_marks();
    prefetch_children(first_move[p]); // few moves, each searched quickly
    int ub = beta, bound = NO_BOUND;
    for (int i = first_move[p]; i < first_move[p + 1]; i++) {
        bound = select_move(i, hash_move, bound);
        int m = gen_dat[i].m;
        if (delta && CurrentStage != ENDGAME) {
            int hopeless = (move_bits(m) & FLAG_PROMOTE)
                               ? stand + PROMOTION_DELTA < alpha
                               : stand + (long long)delta + see(move_to(m)) < alpha;
            if (hopeless) {
                delta_cut++;
                nodes++;
                continue;
            }
        }
        if (!makemove(m)) continue;
        int v = -quiesce_nw(-ub, -best);
        if (best < v && v < beta) {
            hash_move = hash_move_key(m);
            update_pv(m);
            best = v;
            if (i > first_move[p]) {
                int r = -quiesce_nw(-beta, -v);
                if (r > best) best = r;
            }
        } else if (v > best) {
            best = v;
        }
        takeback();
        if (best >= beta) {
            hash_move = hash_move_key(m);
            remember_killer(p, m);
            break;
        }
        ub = best + 1;
    }
    hash_store(best, hash_move, 0, alpha, beta);
    return best;
}

int see(int sq) {
    nodes++;
    if (ply > MAX_SEARCH_PLY || hply > MAX_SEARCH_HPLY) return 0;
    int chosen = -1, code = EMPTY + 1;
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++) {
        int m = gen_dat[i].m;
        if (!(move_bits(m) & FLAG_CAPTURE) || move_to(m) != sq || !makemove(m)) continue;
        takeback();
        int from = move_from(m);
        if (piece[from] < code) {
            if (chosen >= 0) history[from][sq]++;
            chosen = i;
            code = piece[from];
        }
    }
    if (chosen < 0) return 0;
    int gain = piece_value[piece[sq]];
    makemove(gen_dat[chosen].m);
    gen_caps();
    // A capture that loses is not played. Otherwise the opponent's reply is valued a second
    // time, counting its nodes and history again.
    int result = 0;
    if (gain - see(sq) >= 0) result = gain - see(sq);
    takeback();
    return result;
}

// ---------------------------------------------------------------------------------------------
// Mate search: an AND/OR tree over all legal moves in which the attacker's checks cost no depth.

namespace {

void print_mate_line() {
    printf("Found! (%d nodes,time=%d sec)\n", nodes, (int)(elapsed_ms() / 1000));
    for (int j = 0; j < pv_length[0]; j++)
        printf("%s ", move_str(pv[0][j]));
    printf("#\n");
}

} // namespace

int mat_search(int depth, int mode, int defender, int print) {
    nodes++;
    int incheck = 0;
    if (side == defender) {
        incheck = in_check(defender);
        if (incheck) depth++;
    }
    if (ply > MAX_SEARCH_PLY || depth < 0) return 0;
    gen();
    const int first = first_move[ply], last = first_move[ply + 1];
    int legal = 0, found = 0;
    for (int i = first; i < last; i++) {
        if (print) select_move(i, NO_HASH_MOVE);
        int m = gen_dat[i].m;
        if (!makemove(m)) continue;
        legal = 1;
        if (print)
            printf("info depth %d currmove %s currmovenumber %d/%d nodes %d time %d\n", depth,
                   move_str(m), i - first + 1, last - first, nodes, (int)elapsed_ms());
        int r = mat_search(depth - 1, !mode, defender, 0);
        takeback();
        if (!mode) {
            if (!r) return 0;
            pv[0][ply] = m;
        } else if (r) {
            pv[0][ply] = m;
            if (!print) return 1;
            found = 1;
            print_mate_line();
        }
    }
    if (!legal) {
        if (incheck && side == defender) {
            pv_length[0] = ply;
            return 1;
        }
        return 0;
    }
    return mode ? found : 1;
}
