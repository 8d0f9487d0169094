// The UCI loop: identity and options, positions, searches under the interface's limits and
// clock, and the commands an interface sends while the engine searches, which the search's input
// poll reads. An option the interface set stays in force for the run: a new game reads vrk.rc
// again and sets the option over it.
#include "uci.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board.h"
#include "data.h"
#include "defs.h"
#include "egbb_glue.h"
#include "game.h"
#include "hash.h"
#include "learn.h"
#include "notation.h"
#include "openings.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Lines and words

// A word of a line and where it starts: a string option takes the rest of the line as sent.
struct Word {
    std::string text;
    size_t at;
};
using Words = std::vector<Word>;

bool is_blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

Words split(const std::string &line) {
    Words words;
    for (size_t i = 0; i < line.size();) {
        if (is_blank(line[i])) {
            i++;
            continue;
        }
        size_t start = i;
        while (i < line.size() && !is_blank(line[i]))
            i++;
        words.push_back({line.substr(start, i - start), start});
    }
    return words;
}

std::string lower(std::string s) {
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

// One line of any length (an interface sends the whole game again with every move), without its
// line end; false once input has ended. What was printed is flushed before the read waits.
bool read_line(std::string &line) {
    line.clear();
    char chunk[4096];
    bool ended_line = false;
    while (!ended_line) {
        // The buffer is cleared so that the line end is found past a NUL byte too.
        memset(chunk, 0, sizeof chunk);
        if (!input_line(chunk, sizeof chunk)) break;
        line += chunk;
        ended_line = memchr(chunk, '\n', sizeof chunk) != nullptr;
    }
    if (line.empty() && !ended_line) return false;
    while (!line.empty() && is_blank(line.back()))
        line.pop_back();
    return true;
}

// A whole number, optionally signed; false for anything else (a word, a trailing letter).
// Beyond any int it is held at NUMBER_CAP.
constexpr long long NUMBER_CAP = 4LL * INT_MAX;
bool read_number(const std::string &text, long long *out) {
    const char *p = text.c_str();
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') p++;
    if (!isdigit((unsigned char)*p)) return false;
    long long v = 0;
    for (; isdigit((unsigned char)*p); p++)
        v = std::min(v * 10 + (*p - '0'), NUMBER_CAP);
    if (*p) return false;
    *out = negative ? -v : v;
    return true;
}

void say(const char *text) {
    printf("%s\n", text);
    fflush(stdout);
}

// ---------------------------------------------------------------------------------------------
// Options

// An interface's or a relay's lag, kept back from the clock: enough for a game at 0:10+0.1
// through an adapter.
constexpr int DEFAULT_MOVE_OVERHEAD = 100; // ms
int move_overhead_ms = DEFAULT_MOVE_OVERHEAD;
int ponder_option; // the interface may send "go ponder"; the engine never ponders itself

enum Kind { CHECK, SPIN, BUTTON, STRING };

struct Option {
    Option(const char *name_, Kind kind_, int *setting_, int min_, int max_, void (*changed_)())
        : name(name_), kind(kind_), setting(setting_), min(min_), max(max_), changed(changed_) {}
    const char *name;
    Kind kind;
    int *setting; // of a check or a spin
    int min, max;
    void (*changed)(); // once the setting took another value, or the button was pressed
    // Set by the interface: set again after a new game has read vrk.rc.
    bool set = false;
    int value = 0;
    std::string text;
};

// The hash tables at the sizes of the settings, made anew (and so emptied).
void remake_tables() {
    hashing = mb_hash > 0;
    if (!hashing) return;
    HashInit(mb_hash);
    HashPawnInit(kb_hash_pawn);
}

void remake_pawn_table() {
    if (hashing) HashPawnInit(kb_hash_pawn);
}

void open_learn_file() {
    if (learning) init_learn();
}

Option options[] = {
    {"Hash", SPIN, &mb_hash, 0, MAX_HASH_MB, remake_tables},
    {"Pawn Hash", SPIN, &kb_hash_pawn, 1, MAX_HASH_MB * 1024, remake_pawn_table},
    {"Check Nodes", SPIN, &check_nodes, 1, 10000000, nullptr},
    {"Null Move", CHECK, &nulling_move, 0, 1, nullptr},
    {"MTDF", CHECK, &emtdf, 0, 1, nullptr},
    {"Window", SPIN, &mtdf_window, 1, 30000, nullptr},
    {"Futility", CHECK, &futility, 0, 1, nullptr},
    {"Razor", CHECK, &razor, 0, 1, nullptr},
    {"Delta", SPIN, &delta, 0, 10000, nullptr},
    {"LMR", CHECK, &lmr, 0, 1, nullptr},
    {"Bitbases", CHECK, &egbb, 0, 1, nullptr},
    {"Bitbase Cache", SPIN, &egbb_cache, 1, 2047, nullptr},
    {"Bitbase Path", STRING, nullptr, 0, 0, nullptr},
    {"Five Men", CHECK, &egbb_5men, 0, 1, nullptr},
    {"Learn", CHECK, &learning, 0, 1, open_learn_file},
    {"OwnBook", CHECK, &enable_book, 0, 1, nullptr},
    {"Ponder", CHECK, &ponder_option, 0, 1, nullptr},
    {"Move Overhead", SPIN, &move_overhead_ms, 0, 5000, nullptr},
    {"Clear Hash", BUTTON, nullptr, 0, 0, remake_tables},
};

void print_option(const Option &o) {
    printf("option name %s type ", o.name);
    switch (o.kind) {
    case CHECK:
        printf("check default %s\n", *o.setting ? "true" : "false");
        break;
    case SPIN:
        printf("spin default %d min %d max %d\n", std::clamp(*o.setting, o.min, o.max), o.min,
               o.max);
        break;
    case BUTTON:
        printf("button\n");
        break;
    case STRING:
        printf("string default %s\n", egbb_path[0] ? egbb_path : "<empty>");
        break;
    }
}

void set_value(Option &o, int value) {
    const int before = *o.setting;
    *o.setting = value;
    if (before != value && o.changed) o.changed();
}

// The bitbase directory: "<empty>" is the working directory; a separator is added where the
// interface left it out, since file names are appended to it. False when it does not fit.
bool set_path(const std::string &text) {
    std::string path = text == "<empty>" ? "" : text;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    if (path.size() > 254) return false;
    snprintf(egbb_path, 255, "%s", path.c_str());
    return true;
}

// The options the interface set, over the values a new game read from vrk.rc, before the new
// game makes its tables and opens the learn file with them.
void reapply_options() {
    for (Option &o : options) {
        if (!o.set) continue;
        if (o.kind == STRING)
            set_path(o.text);
        else
            *o.setting = o.value;
    }
}

// The bitbases as they were last loaded.
struct LoadedBitbases {
    bool loaded = false;
    std::string path;
    int cache = 0, five_men = 0;
} bitbases;

void note_bitbases_loaded() {
    bitbases = {true, egbb_path, egbb_cache, egbb_5men};
}

// What the settings ask for that is done only before a search: bitbases switched on, or pointed
// elsewhere, are loaded.
void settle() {
    if (!egbb || (bitbases.loaded && bitbases.path == egbb_path && bitbases.cache == egbb_cache &&
                  bitbases.five_men == egbb_5men))
        return;
    init_egbb(true);
    note_bitbases_loaded();
    // Every set holds KQK: a probe of it tells whether the directory held bitbases at all.
    constexpr int A1 = 0, C1 = 2, H8 = 63, WHITE_QUEEN = 2;
    const bool found = find_egbb4(LIGHT, A1, H8, WHITE_QUEEN, C1, 0, 0) != NO_SCORE;
    printf("info string %s %s\n", found ? "bitbases loaded from" : "no bitbases found in",
           egbb_path[0] ? egbb_path : "./");
}

// ---------------------------------------------------------------------------------------------
// Positions

// Past this many plies a game drops the history that no repetition can reach any more, so that
// the move stack keeps room for the search.
constexpr int LONG_GAME = HIST_STACK / 2;

// What is wrong with the fields of a FEN, nullptr when nothing is; an en passant square that
// does not follow a pawn's double step is dropped, not refused.
const char *fen_fault(const std::vector<std::string> &f) {
    if (f.size() < 4 || f.size() > 6) return "a FEN has 4 or 6 fields";
    int row = 0, file = 0, kings[2] = {0, 0}, men[2] = {0, 0}, pawns[2] = {0, 0};
    for (char c : f[0]) {
        if (c == '/') {
            if (file != 8 || ++row > 7) return "the board is not 8 ranks of 8 squares";
            file = 0;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
        } else {
            static const char LETTERS[] = "PNBRQKpnbrqk";
            const char *l = c ? strchr(LETTERS, c) : nullptr;
            if (!l) return "unknown piece letter";
            const int k = (int)(l - LETTERS), colour = k < 6 ? LIGHT : DARK, p = k % 6;
            if (p == PAWN && (row == 0 || row == 7)) return "a pawn on the first or last rank";
            kings[colour] += p == KING;
            pawns[colour] += p == PAWN;
            men[colour]++;
            file++;
        }
        if (file > 8) return "the board is not 8 ranks of 8 squares";
    }
    if (row != 7 || file != 8) return "the board is not 8 ranks of 8 squares";
    if (kings[LIGHT] != 1 || kings[DARK] != 1) return "each side needs one king";
    if (men[LIGHT] > 16 || men[DARK] > 16 || pawns[LIGHT] > 8 || pawns[DARK] > 8)
        return "too many men";
    if (f[1] != "w" && f[1] != "b") return "the side to move is w or b";
    if (f[2] != "-") {
        for (size_t i = 0; i < f[2].size(); i++)
            if (!strchr("KQkq", f[2][i]) || f[2].find(f[2][i]) != i) return "bad castling rights";
    }
    if (f[3] != "-" && (f[3].size() != 2 || !names_square(f[3].c_str())))
        return "bad en passant square";
    long long n;
    for (size_t i = 4; i < f.size(); i++)
        if (!read_number(f[i], &n) || n < 0) return "bad move counter";
    return nullptr;
}

// The en passant square of a FEN on the board set up, when a pawn has just made the double step
// past it; else -1.
int en_passant(const std::string &field) {
    if (field == "-") return -1;
    const int sq = square_at(field.c_str());
    // The pawn stands on the fifth rank from its side, the square it came from is empty.
    const int pawn_sq = side == LIGHT ? sq + 8 : sq - 8, start = side == LIGHT ? sq - 8 : sq + 8;
    const bool fits = row_of(sq) == (side == LIGHT ? 2 : 5) && color[sq] == EMPTY &&
                      color[start] == EMPTY && color[pawn_sq] == xside && piece[pawn_sq] == PAWN;
    return fits ? sq : -1;
}

void start_position() {
    set_initial_position();
    start_book_line();
    gen();
}

// Sets up a FEN; false (the initial position set up) for one that is malformed or illegal.
bool set_up_fen(const std::vector<std::string> &f) {
    const char *fault = fen_fault(f);
    if (!fault) {
        long long fifty_count = 0;
        if (f.size() > 4) read_number(f[4], &fifty_count);
        set_position(f[0].c_str(), f[1].c_str(), f[2].c_str(), "-", (int)fifty_count);
        ep = en_passant(f[3]);
        opening_phase = 0;
        gen();
        if (in_check(xside)) fault = "the side not to move is in check";
    }
    if (!fault) return true;
    printf("info string bad FEN (%s): the initial position is set up\n", fault);
    start_position();
    return false;
}

// The move a word of UCI's coordinate notation names in the position on the board (ply 0, moves
// generated), 0 when it names no legal move.
int legal_move(const std::string &text) {
    const size_t n = text.size();
    if (n < 4 || n > 5 || (n == 5 && !strchr("nbrqNBRQ", text[4]))) return 0;
    const int i = parse_move(text.c_str());
    if (i < 0) return 0;
    const int m = gen_dat[i].m;
    if (((move_bits(m) & FLAG_PROMOTE) != 0) != (n == 5) || !makemove(m)) return 0;
    takeback();
    return m;
}

void play_moves(const Words &w, size_t from) {
    for (size_t k = from; k < w.size(); k++) {
        const int m = legal_move(w[k].text);
        if (!m) {
            printf("info string illegal move %s: the moves stop before it\n", w[k].text.c_str());
            return;
        }
        if (hply >= LONG_GAME) drop_old_history();
        makemove(m);
        if (opening_phase) add_opening_move(move_str(m));
        ply = 0;
        gen();
    }
}

// ---------------------------------------------------------------------------------------------
// The search under way

struct Task {
    bool running = false;
    bool until_stop = false; // infinite or ponder: the best move only after stop (or ponderhit)
    bool pondering = false;  // a ponder search before the ponder hit
    bool deadline = false;   // a deadline limits it (else the poll keeps the clock's away)
    bool clock = false;      // the interface gave the engine's clock
    double own = 0, inc = 0; // seconds
    int moves_to_go = 0;
    unsigned budget = NO_TIME_LIMIT; // ms, from the clock and the move time
    bool stop = false;
} task;

bool quit_requested;

double overhead_seconds() {
    return move_overhead_ms * 0.001;
}

// The clock of the move starts now: the search goes on under the budget of its "go".
void ponder_hit() {
    task.pondering = task.until_stop = false;
    if (task.clock) clock_reading(task.own, task.moves_to_go, task.inc, overhead_seconds());
    if (task.budget != NO_TIME_LIMIT) {
        task.deadline = true;
        stop_time = get_ms() + guarded_budget(task.budget);
    }
}

void run_line(const std::string &line);

// The input poll of the search. Lines that arrive are read and carried out at once: "isready"
// is answered and the search goes on; "stop" and "quit" end it. A search that only "stop" ends
// also reads the lines that came with its "go", and ends when input has ended.
int poll_input() {
    if (quit_requested) return 1;
    if (!task.deadline) stop_time = get_ms() + NO_TIME_LIMIT;
    if (!bioskey() && !(task.until_stop && input_cannot_arrive())) return 0;
    std::string line;
    do {
        if (!read_line(line)) {
            quit_requested = true;
            return 1;
        }
        run_line(line);
        if (task.stop || quit_requested) return 1;
    } while (input_buffered());
    return 0;
}

// A search that ended by itself while the interface waits for "stop" (or "ponderhit") waits too.
void wait_for_stop() {
    std::string line;
    while (task.until_stop && !task.stop && !quit_requested) {
        if (!read_line(line)) {
            quit_requested = true;
            break;
        }
        run_line(line);
    }
}

void print_bestmove() {
    if (!pv[0][0]) {
        say("bestmove 0000");
        return;
    }
    int line[MAX_PLY];
    const int n = playable_pv(line);
    printf("bestmove %s", uci_move_str(n ? line[0] : pv[0][0]));
    if (n > 1) printf(" ponder %s", uci_move_str(line[1]));
    say("");
}

// What the bitbases say of the root, when they hold it.
void report_bitbases() {
    if (!egbb) return;
    int men = 0;
    for (const auto &colour : piece_count)
        for (int count : colour)
            men += count;
    if (men > 5 || (men == 5 && !egbb_5men)) return;
    const int v = eval_egbb();
    if (v == NO_SCORE) return;
    printf("info string bitbases: %s\n", v > 0   ? "the side to move wins"
                                         : v < 0 ? "the side to move loses"
                                                 : "a draw");
}

// ---------------------------------------------------------------------------------------------
// Commands

// The limits of a "go", in ms for the times; NOT_GIVEN where the interface gave none.
constexpr long long NOT_GIVEN = LLONG_MIN;
struct Limits {
    long long time[2] = {NOT_GIVEN, NOT_GIVEN}, inc[2] = {0, 0}; // by colour
    long long movestogo = 0, depth = 0, nodes = 0, mate = 0, movetime = NOT_GIVEN;
    bool infinite = false, ponder = false;
    int moves[MAX_ROOT_MOVES];
    int move_count = 0;
};

// Deepest iteration a "go" may ask for: the search's per-ply arrays need room beyond it.
constexpr long long MAX_GO_DEPTH = MAX_PLY - 4;
constexpr long long MAX_MATE = MAX_GO_DEPTH / 2;

void read_limits(const Words &w, Limits &l) {
    struct Number {
        const char *word;
        long long *value;
        long long min, max;
    };
    const long long T = INT_MAX;
    const Number numbers[] = {
        {"wtime", &l.time[LIGHT], -T, T},  {"btime", &l.time[DARK], -T, T},
        {"winc", &l.inc[LIGHT], 0, T},     {"binc", &l.inc[DARK], 0, T},
        {"movestogo", &l.movestogo, 0, T}, {"depth", &l.depth, 1, MAX_GO_DEPTH},
        {"nodes", &l.nodes, 1, INT_MAX},   {"mate", &l.mate, 1, MAX_MATE},
        {"movetime", &l.movetime, 0, T},
    };
    bool listing = false; // the words after "searchmoves"
    for (size_t k = 1; k < w.size(); k++) {
        const std::string &word = w[k].text;
        const Number *n = nullptr;
        for (const Number &x : numbers)
            if (word == x.word) n = &x;
        if (n) {
            listing = false;
            long long v;
            if (k + 1 < w.size() && read_number(w[k + 1].text, &v)) {
                *n->value = std::clamp(v, n->min, n->max);
                k++;
            } else {
                printf("info string go: %s without a number\n", n->word);
            }
        } else if (word == "infinite" || word == "ponder") {
            listing = false;
            (word == "infinite" ? l.infinite : l.ponder) = true;
        } else if (word == "searchmoves") {
            listing = true;
        } else if (const int m = listing ? legal_move(word) : 0) {
            if (l.move_count < MAX_ROOT_MOVES) l.moves[l.move_count++] = m;
        } else {
            printf("info string go: %s skipped\n", word.c_str());
        }
    }
}

void cmd_go(const Words &w, const std::string &) {
    Limits l;
    read_limits(w, l);
    settle();
    const int us = side, them = side ^ 1;
    // A clock given only for the other side is taken for ours rather than searching for ever.
    const long long own = l.time[us] != NOT_GIVEN ? l.time[us] : l.time[them];
    const bool clock = own != NOT_GIVEN;
    const long long opp = l.time[them] != NOT_GIVEN ? l.time[them] : own;
    task = Task();
    task.clock = clock;
    task.own = own * 0.001;
    task.inc = l.inc[us] * 0.001;
    task.moves_to_go = (int)std::min(l.movestogo, (long long)INT_MAX);
    if (clock)
        task.budget = budget_ms(move_allowance(std::max(task.own - overhead_seconds(), 0.0),
                                               opp * 0.001, task.moves_to_go, task.inc));
    if (l.movetime != NOT_GIVEN)
        task.budget = std::min(task.budget, budget_ms((l.movetime - move_overhead_ms) * 0.001));
    task.pondering = l.ponder;
    const bool limited = clock || l.movetime != NOT_GIVEN || l.depth || l.nodes || l.mate;
    task.until_stop = l.ponder || l.infinite || !limited;

    std::copy(l.moves, l.moves + l.move_count, root_moves);
    root_move_count = l.move_count;
    // The book plays games, on a clock or a time a move; a depth, a node count, a mate, some of
    // the moves or no limit at all ask for a search of the position.
    const bool game = (clock || l.movetime != NOT_GIVEN) && !l.depth && !l.nodes && !l.mate;
    if (game && !task.until_stop && !root_move_count && opening_phase && enable_book) {
        if (const int m = legal_book_move(false)) {
            printf("info string book move %s\n", uci_move_str(m));
            printf("bestmove %s\n", uci_move_str(m));
            fflush(stdout);
            return;
        }
        opening_phase = 0;
    }

    // A mate in n moves is seen at 2n plies: its last position must be searched, not evaluated.
    max_depth = (unsigned)(l.depth ? l.depth : l.mate ? 2 * l.mate : DEFAULT_MAX_DEPTH);
    node_limit = (int)l.nodes;
    mate_plies = l.mate ? (int)(2 * l.mate - 1) : 0;
    task.deadline = task.budget != NO_TIME_LIMIT && !task.pondering;
    if (clock && !task.pondering)
        clock_reading(task.own, task.moves_to_go, task.inc, overhead_seconds());
    else
        clock_forget();
    max_time = task.deadline ? task.budget : NO_TIME_LIMIT;
    anticipedmove = 0;
    stop_depth = 1;
    report_bitbases();
    task.running = true;
    think_for_move(THINK_UCI);
    wait_for_stop();
    task.running = false;
    node_limit = mate_plies = root_move_count = 0;
    print_bestmove();
}

void cmd_position(const Words &w, const std::string &) {
    // The first window of the next search is centred on the last score, which belongs to
    // another position now.
    last_score = 0;
    size_t k = 2;
    if (w.size() > 1 && w[1].text == "startpos") {
        start_position();
    } else if (w.size() > 1 && w[1].text == "fen") {
        std::vector<std::string> fields;
        while (k < w.size() && w[k].text != "moves")
            fields.push_back(w[k++].text);
        if (!set_up_fen(fields)) return;
    } else {
        say("info string position: startpos or fen expected");
        return;
    }
    if (k == w.size()) return;
    if (w[k].text != "moves") {
        printf("info string position: %s instead of moves\n", w[k].text.c_str());
        return;
    }
    play_moves(w, k + 1);
}

void identify() {
    printf("id name vrk 1.0\n");
    printf("id author the vrk developers\n");
    for (const Option &o : options)
        print_option(o);
    say("uciok");
}

void cmd_uci(const Words &, const std::string &) {
    identify();
}

void cmd_isready(const Words &, const std::string &) {
    if (!task.running) settle();
    say("readyok");
}

void cmd_setoption(const Words &w, const std::string &line) {
    size_t name = 1, value = 2;
    if (w.size() < 3 || w[1].text != "name") {
        say("info string setoption: name expected");
        return;
    }
    while (value < w.size() && w[value].text != "value")
        value++;
    std::string wanted;
    for (size_t k = name + 1; k < value; k++)
        wanted += (k > name + 1 ? " " : "") + w[k].text;
    Option *o = nullptr;
    for (Option &x : options)
        if (lower(x.name) == lower(wanted)) o = &x;
    if (!o) {
        printf("info string unknown option %s\n", wanted.c_str());
        return;
    }
    if (o->kind == BUTTON) {
        o->changed();
        return;
    }
    if (value >= w.size()) {
        printf("info string %s needs a value\n", o->name);
        return;
    }
    const std::string text = value + 1 < w.size() ? line.substr(w[value + 1].at) : "";
    long long v;
    if (o->kind == STRING) {
        if (!set_path(text)) {
            printf("info string %s: too long\n", o->name);
            return;
        }
        o->text = text;
    } else if (o->kind == CHECK) {
        if (lower(text) != "true" && lower(text) != "false") {
            printf("info string %s takes true or false, not %s\n", o->name, text.c_str());
            return;
        }
        set_value(*o, o->value = lower(text) == "true");
    } else if (read_number(text, &v)) {
        const long long held = std::clamp(v, (long long)o->min, (long long)o->max);
        if (held != v) printf("info string %s held to %lld\n", o->name, held);
        set_value(*o, o->value = (int)held);
    } else {
        printf("info string %s takes a number, not %s\n", o->name, text.c_str());
        return;
    }
    o->set = true;
}

void cmd_ucinewgame(const Words &, const std::string &) {
    start_engine(reapply_options);
    anticipedmove = 0;
    stop_depth = 1;
    clock_forget();
}

void cmd_stop(const Words &, const std::string &) {
    if (task.running) task.stop = true;
}

void cmd_ponderhit(const Words &, const std::string &) {
    if (task.running && task.pondering) ponder_hit();
}

void cmd_quit(const Words &, const std::string &) {
    quit_requested = true;
}

void cmd_nothing(const Words &, const std::string &) {}

struct Command {
    const char *word;
    bool during_search; // carried out while a search runs, else refused then
    void (*run)(const Words &w, const std::string &line);
};

const Command COMMANDS[] = {
    {"uci", true, cmd_uci},
    {"debug", true, cmd_nothing},
    {"isready", true, cmd_isready},
    {"setoption", false, cmd_setoption},
    {"register", true, cmd_nothing},
    {"ucinewgame", false, cmd_ucinewgame},
    {"position", false, cmd_position},
    {"go", false, cmd_go},
    {"stop", true, cmd_stop},
    {"ponderhit", true, cmd_ponderhit},
    {"quit", true, cmd_quit},
};

const Command *command(const std::string &word) {
    for (const Command &c : COMMANDS)
        if (word == c.word) return &c;
    return nullptr;
}

// Carries out a line: its first command word with the words after it; unknown words in front of
// it are skipped, as the protocol asks.
void run_line(const std::string &line) {
    Words w = split(line);
    size_t k = 0;
    while (k < w.size() && !command(w[k].text))
        k++;
    if (k > 0) printf("info string unknown command %s\n", w[0].text.c_str());
    if (k == w.size()) return;
    const Command *c = command(w[k].text);
    if (task.running && !c->during_search) {
        printf("info string %s ignored: a search is running\n", c->word);
        return;
    }
    w.erase(w.begin(), w.begin() + (long)k);
    c->run(w, line);
}

} // namespace

void uci() {
    // An interface may interrupt its engines; a closed output pipe must not end the program.
    signal(SIGINT, SIG_IGN);
#ifdef SIGPIPE
    signal(SIGPIPE, SIG_IGN);
#endif
    printf("\n");
    message_prefix = "info string ";
    // Nothing of an earlier session (the fuzz target runs many) is kept.
    for (Option &o : options)
        o.set = false;
    move_overhead_ms = DEFAULT_MOVE_OVERHEAD;
    ponder_option = 0;
    task = Task();
    quit_requested = false;
    bitbases = LoadedBitbases();
    if (egbb) note_bitbases_loaded();
    start_position();
    identify();
    input_poll = poll_input;
    std::string line;
    while (!quit_requested && read_line(line))
        run_line(line);
    input_poll = nullptr;
    message_prefix = "";
    fflush(stdout);
}
