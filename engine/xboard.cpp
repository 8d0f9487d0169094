// The XBoard protocol loop: one command line at a time from the interface, the engine's turn
// (book move or search, then pondering on the expected reply) and the edit sub-protocol.
// The engine announces no features, so the interface treats it as a first-version engine.
#include "xboard.h"

#include <csignal>
#include <cstdio>
#include <cstring>

#include "board.h"
#include "data.h"
#include "defs.h"
#include "game.h"
#include "hash.h"
#include "notation.h"
#include "openings.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"

int post = THINK_SILENT;

namespace {

// One protocol line, line end included.
constexpr size_t LINE_CAP = 256;

// Clock settings received from the interface; they only live as long as the loop.
struct Session {
    Level level;           // level: moves per control, base, increment
    bool per_move = false; // st came after the last level: the clock is each move's own
    int opponent_cs = 0;   // otim: the opponent's clock in centiseconds
    int own_cs = 0;        // time: the engine's clock in centiseconds
};

enum Flow { CONTINUE, QUIT };

// Moves made before the last edit belong to another board: they are never taken back.
int edit_hply = 0;

// Reads one line into buf (LINE_CAP bytes, line end kept when it fits); a longer line comes in
// pieces, each read as a line of its own. Everything printed so far is flushed first, since the
// interface waits for it. False once input has ended.
bool read_line(char *buf) {
    fflush(stdout);
    return input_line(buf, LINE_CAP);
}

// Analysis of the position on the board: a search that only the next input ends, so it must
// neither start nor go on when no input can come.
void analyse() {
    if (input_cannot_arrive()) return;
    stop_on_input_end = 1;
    think(post);
    stop_on_input_end = 0;
}

void regenerate() {
    ply = 0;
    gen();
}

// ---- the engine's turn ----

// Plays a book move when the book has one; false when it has none (or a move that cannot be
// made, which would otherwise be offered again for ever).
bool play_book_move() {
    gen_rec *entry = choose_book_move();
    if (entry == nullptr) return false;
    int m = entry->m;
    if (!makemove(m)) return false;
    last_score = 0;
    const char *text = move_str(m);
    add_opening_move(text);
    printf(" Book move\nmove %s\n", text);
    fflush(stdout);
    regenerate();
    return true;
}

void engine_turn() {
    if (opening_phase && enable_book) {
        if (!play_book_move()) opening_phase = 0;
        return;
    }
    opening_phase = 0;
    // A ponder hit lets the search go on at the depth pondering reached.
    if (pondering && strcmp(last_move, anti_move) == 0)
        anticipedmove = 1;
    else if (!anticipedmove)
        stop_depth = 1;
    printf("Anticiped move %s\n", anti_move);

    think_for_move(post);
    last_values[hply % 3] = last_score;
    if (pv[0][0] == 0 || hply >= MAX_GAME_PLIES) { // no move, or the move stack is full
        computer_side = EMPTY;
        printf("No Move in PV!\n");
        print_result();
        return;
    }
    if (resign()) {
        printf("resign\n");
        fflush(stdout);
        computer_side = EMPTY;
        return;
    }
    int m = pv[0][0];
    printf("move %s\n", move_str(m));
    fflush(stdout);
    makemove(m);
    regenerate();
    print_result();
    fflush(stdout);
    snprintf(anti_move, sizeof anti_move, "%s", move_str(pv[0][1]));
    if (pondering) stop_depth = do_ponder(anti_move);
}

// ---- moves received ----

void receive_move(const char *line) {
    int i = parse_move(line);
    if (i == -2) {
        // The line keeps its own line end, so an empty line follows.
        printf("Error (unknown command): %s\n", line);
        return;
    }
    int m = i >= 0 ? gen_dat[i].m : 0;
    if (i == -1 || hply >= MAX_GAME_PLIES || !makemove(m)) { // a full stack takes no more
        printf("Illegal move.\n\n");
        fflush(stdout);
        return;
    }
    snprintf(last_move, sizeof last_move, "%s", move_str(m));
    if (opening_phase) add_opening_move(last_move);
    regenerate();
    print_result();
    if (analyzing) analyse();
}

// ---- edit sub-protocol ----

// Piece code of an edit letter: PAWN..KING, EMPTY for "x" (clear the square), -1 otherwise.
int edit_piece(char letter) {
    static const char LETTERS[] = "PNBRQK";
    if (letter == 'x') return EMPTY;
    for (int p = PAWN; p <= KING; ++p)
        if (letter == LETTERS[p]) return p;
    return -1;
}

// Square of a file letter and rank digit, -1 when they name no square of the board.
int edit_square(const char *text) {
    return names_square(text) ? square_at(text) : -1;
}

struct EditState {
    int colour = LIGHT;
    int last_piece = -1; // piece of the last recognised letter, -1 before any
};

void edit_line(const char *line, EditState &st) {
    switch (line[0]) {
    case '\n':
        return;
    case '#':
        for (int sq = 0; sq < 64; ++sq)
            color[sq] = piece[sq] = EMPTY;
        return;
    case 'c':
        st.colour ^= 1;
        return;
    }
    int p = edit_piece(line[0]);
    if (p == -1)
        p = st.last_piece;
    else if (p != EMPTY)
        st.last_piece = p;
    int sq = edit_square(line + 1);
    if (p == -1 || sq < 0) return;
    // No pawn stands on the first or the last rank: the generator steps off the board from there.
    if (p == PAWN && (row_of(sq) == 0 || row_of(sq) == 7)) return;
    color[sq] = p == EMPTY ? EMPTY : st.colour;
    piece[sq] = p;
}

// The edited position has no castling rights and no en passant square (the one kept would
// belong to the position before the edit); its keys and move list are rebuilt.
void finish_edit() {
    castle = 0;
    ep = -1;
    edit_hply = hply;
    finish_setup();
    if (hashing) HashReset();
    ComputeHashCode();
    regenerate();
}

// ---- commands ----

Flow cmd_nothing(const char *, Session &) {
    return CONTINUE;
}

Flow cmd_new(const char *, Session &) {
    init();
    edit_hply = 0;
    gen();
    // The game before may have ended on a ponder hit; its search must not be continued here
    // (its principal variation belongs to another position).
    anticipedmove = 0;
    stop_depth = 1;
    tply = 0;
    clock_forget(); // the last game's clock
    computer_side = DARK;
    opening_phase = 1;
    return CONTINUE;
}

Flow cmd_quit(const char *, Session &) {
    return QUIT;
}

Flow cmd_force(const char *, Session &) {
    computer_side = EMPTY;
    return CONTINUE;
}

// "white" and "black" give the move to one side and the engine the other. The key follows the
// side to move, as after any set-up.
void set_side_to_move(int s) {
    side = s;
    xside = s ^ 1;
    ComputeHashCode();
    ply = 0;
    hply = 0;
    edit_hply = 0;
    gen();
    print_result();
    computer_side = s ^ 1;
}

Flow cmd_white(const char *, Session &) {
    set_side_to_move(LIGHT);
    return CONTINUE;
}

Flow cmd_black(const char *, Session &) {
    set_side_to_move(DARK);
    return CONTINUE;
}

// Without a number the arithmetic still applies, to the budget in force.
Flow cmd_st(const char *line, Session &s) {
    int seconds = (int)max_time;
    sscanf(line, "st %d", &seconds);
    max_time = (unsigned)seconds * 1000;
    max_depth = DEFAULT_MAX_DEPTH;
    s.per_move = true;
    return CONTINUE;
}

Flow cmd_sd(const char *line, Session &) {
    int depth = (int)max_depth;
    sscanf(line, "sd %d", &depth);
    max_depth = (unsigned)depth;
    if (max_depth <= 2) max_depth = 3;
    max_time = NO_TIME_LIMIT;
    return CONTINUE;
}

// The clock as the guard reads it: moves left before it is refilled (0 in sudden death).
int moves_to_go(const Session &s) {
    if (s.per_move) return 1;
    return s.level.mps ? s.level.mps - tply % s.level.mps : 0;
}

Flow cmd_time(const char *line, Session &s) {
    sscanf(line, "time %d", &s.own_cs);
    const Level &l = s.level;
    clock_reading(s.own_cs * 0.01, moves_to_go(s), s.per_move ? 0.0 : l.inc);
    max_time =
        budget_ms(allocate_time(s.own_cs * 0.01, s.opponent_cs * 0.01, l.mps, l.base, l.inc));
    return CONTINUE;
}

Flow cmd_level(const char *line, Session &s) {
    if (read_level(line, &s.level)) s.per_move = false;
    return CONTINUE;
}

Flow cmd_otim(const char *line, Session &s) {
    sscanf(line, "otim %d", &s.opponent_cs);
    return CONTINUE;
}

Flow cmd_go(const char *, Session &) {
    computer_side = side;
    return CONTINUE;
}

Flow cmd_analyze(const char *, Session &) {
    computer_side = EMPTY;
    max_time = NO_TIME_LIMIT;
    ply = 0;
    hply = 0;
    edit_hply = 0;
    gen();
    analyzing = 1;
    analyse();
    return CONTINUE;
}

Flow cmd_hint(const char *, Session &) {
    think_for_hint();
    if (pv[0][0] != 0) {
        printf("Hint: %s\n", move_str(pv[0][0]));
        fflush(stdout);
    }
    return CONTINUE;
}

// Takes back n moves when the game has that many.
bool take_back(int n) {
    if (hply - edit_hply < n) return false;
    for (int k = 0; k < n; ++k)
        takeback();
    regenerate();
    return true;
}

Flow cmd_undo(const char *, Session &) {
    if (take_back(1)) print_result();
    return CONTINUE;
}

Flow cmd_remove(const char *, Session &) {
    if (take_back(2)) {
        tply -= 1;
        print_result();
    }
    return CONTINUE;
}

Flow cmd_edit(const char *, Session &) {
    EditState st;
    char line[LINE_CAP];
    for (;;) {
        if (!read_line(line)) return QUIT;
        if (line[0] == '.') break;
        edit_line(line, st);
    }
    finish_edit();
    return CONTINUE;
}

Flow cmd_post(const char *, Session &) {
    post = THINK_POST;
    return CONTINUE;
}

Flow cmd_nopost(const char *, Session &) {
    post = THINK_SILENT;
    return CONTINUE;
}

Flow cmd_hard(const char *, Session &) {
    pondering = 1;
    return CONTINUE;
}

Flow cmd_easy(const char *, Session &) {
    pondering = 0;
    return CONTINUE;
}

struct Command {
    const char *word;
    Flow (*run)(const char *line, Session &s);
};

const Command COMMANDS[] = {
    {"xboard", cmd_nothing},
    {"protover", cmd_nothing},
    {"new", cmd_new},
    {"quit", cmd_quit},
    {"force", cmd_force},
    {"white", cmd_white},
    {"black", cmd_black},
    {"st", cmd_st},
    {"sd", cmd_sd},
    {"time", cmd_time},
    {"level", cmd_level},
    {"otim", cmd_otim},
    {"xtime", cmd_nothing},
    {"name", cmd_nothing},
    {"rating", cmd_nothing},
    {"go", cmd_go},
    {"analyze", cmd_analyze},
    {"hint", cmd_hint},
    {"undo", cmd_undo},
    {"remove", cmd_remove},
    {"edit", cmd_edit},
    {"post", cmd_post},
    {"nopost", cmd_nopost},
    {"random", cmd_nothing},
    {"hard", cmd_hard},
    {"easy", cmd_easy},
    {"computer", cmd_nothing},
    {"result", cmd_nothing},
};

// Carries out one line: a command when its first word is one, otherwise a move.
Flow run_line(const char *line, Session &s) {
    char word[LINE_CAP] = "";
    sscanf(line, "%255s", word);
    for (const Command &c : COMMANDS)
        if (strcmp(word, c.word) == 0) return c.run(line, s);
    receive_move(line);
    return CONTINUE;
}

} // namespace

void xboard() {
    // The interface interrupts its engines before each opponent move; that must not end us.
    signal(SIGINT, SIG_IGN);
    printf("\n");
    start_engine();
    edit_hply = 0;
    printf("\033[H\033[J");
    gen();
    computer_side = EMPTY;

    Session session;
    char line[LINE_CAP];
    for (;;) {
        if (side == computer_side) {
            engine_turn();
            continue;
        }
        if (!read_line(line)) break;
        if (line[0] == '\n') continue;
        if (run_line(line, session) == QUIT) break;
    }
    fflush(stdout);
}
