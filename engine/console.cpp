// The console: its start, its loop, the engine's turn and the commands.
#include "console.h"

#include <cstdio>
#include <cstring>

#include "board.h"
#include "book.h"
#include "data.h"
#include "egbb_glue.h"
#include "epd.h"
#include "eval.h"
#include "game.h"
#include "hash.h"
#include "learn.h"
#include "notation.h"
#include "openings.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"
#include "uci.h"
#include "xboard.h"

static const char *truth(int flag) {
    return flag ? "true" : "false";
}

static void print_banner() {
    printf("\n\033[01;34mVrk\033[0m, a chess engine\n");
    printf("----------------------\n");
    printf("version 1.0\n\n");
    printf("\033[00;31mhelp\033[0m displays a list of commands.\n\n");
}

static void print_settings() {
    printf("hash=%dMB, hashpawn=%dKB, check_nodes=%dn, null move=%s, mtdf=%s, alpha/beta "
           "window=%dcp, fut=%s, razor=%s, delta=%s, delta margin=%dcp, Late Move Reduction=%s, "
           "egbb=%s, egbb_5men=%s, learing=%s, resign=%d, book=%s\n\n",
           mb_hash, kb_hash_pawn, check_nodes, truth(nulling_move), truth(emtdf), mtdf_window,
           truth(futility), truth(razor), truth(delta), delta, truth(lmr), truth(egbb),
           truth(egbb_5men), truth(learning), resign_value, truth(enable_book));
}

// ---------------------------------------------------------------------------------------------
// The engine's turn

static void engine_turn() {
    if (opening_phase && enable_book) {
        int m = play_book_move();
        if (m) {
            printf("Opening phase: Book move: %s\nOpening line=%s\n", move_str(m), opening_history);
            print_board();
        } else {
            opening_phase = 0;
        }
        return;
    }
    opening_phase = 0;
    if (pondering) {
        printf("Lm=%s|Am=%s\n", last_move, anti_move);
        if (!strcmp(last_move, anti_move)) {
            printf("Anticiped move!\n");
            anticipedmove = 1;
        } else if (!anticipedmove) {
            stop_depth = 1;
        }
    } else if (!anticipedmove) {
        stop_depth = 1;
    }
    think_for_move(THINK_CONSOLE);
    unsigned t = get_ms();
    if (!pv[0][0] || hply >= MAX_GAME_PLIES) { // no move, or the move stack is full
        print_result();
        computer_side = EMPTY;
        return;
    }
    int m = pv[0][0];
    unsigned e = t - start_time;
    std::string san = San(m);
    if (e)
        printf("Computer's move: %s (%s) [%8.2f n/s]\n", san.c_str(), move_str(m),
               nodes * 1000.0 / e);
    else
        printf("Computer's move: %s (%s) [%d n]\n", san.c_str(), move_str(m), nodes);
    makemove(m);
    ply = 0;
    gen();
    print_board();
    print_result();
    snprintf(anti_move, sizeof anti_move, "%s", move_str(pv[0][1]));
    printf(
        "NODES=%d|HASH_HIT=%d|HASH_PAWN_HIT=%d|NULL_MOVE CUT=%d|KILLER_CUT=%d|LMR CUT=%d|EVAL=%d\n",
        nodes, hash_hit, hash_pawn_hit, null_stat, killer_cut, lmr_cut, eval());
    if (pondering) stop_depth = do_ponder(anti_move);
}

// ---------------------------------------------------------------------------------------------
// Commands

namespace {

enum class Next { Continue, Exit };

char word[256];

// A numeric argument: false (with a message) when the next word is no number.
bool read_number(const char *command, int *n) {
    int r = input_int(n);
    if (r == 1) return true;
    if (r == 0) printf("Error (number expected after %s)\n", command);
    return false;
}

// A word argument; false at the end of input or when it is too long.
bool read_arg(char *buf, size_t cap) {
    int r = input_word(buf, cap);
    if (r == WORD_TOO_LONG) printf("Error (word too long): %.20s...\n", buf);
    return r == WORD_OK;
}

float ratio(int a, int b) {
    return b ? (float)a / (float)b : 0.0f;
}

Next cmd_on() {
    strcpy(anti_move, "4444");
    computer_side = side;
    return Next::Continue;
}
Next cmd_off() {
    computer_side = EMPTY;
    return Next::Continue;
}
Next cmd_st() {
    int n;
    if (input_int(&n) == 1) max_time = (unsigned)n;
    max_time *= 1000;
    max_depth = DEFAULT_MAX_DEPTH;
    return Next::Continue;
}
Next cmd_sd() {
    int n;
    if (input_int(&n) == 1) max_depth = (unsigned)n;
    if (max_depth <= 1) max_depth = 1;
    max_time = NO_TIME_LIMIT;
    return Next::Continue;
}
Next cmd_mat() {
    int x;
    if (!read_number("mat", &x)) return Next::Continue;
    nodes = 0;
    memset(pv, 0, sizeof pv);
    printf("Searching %d half ply\n", 2 * x);
    start_time = get_ms();
    int found = mat_search(2 * x, 1, xside, 1);
    unsigned s = (get_ms() - start_time) / 1000;
    if (found)
        printf("Found (%d nodes examined,time=%d sec)\n", nodes, (int)s);
    else
        printf("Not Found :-( (%d nodes examined,time=%d sec)\n", nodes, (int)s);
    return Next::Continue;
}
Next cmd_create_learn_file() {
    int n;
    if (read_number("create_learn_file", &n)) create_learn_file(n);
    return Next::Continue;
}
Next cmd_clear_learn_file() {
    clear_learn_file();
    return Next::Continue;
}
Next cmd_stat() {
    static const char *stage_names[4] = {"Opening", "Early Midgame", "Late Midgame", "Endgame"};
    printf("%d Nodes\n", nodes);
    printf("%d Hashing hit %0.4f\n", hash_hit, ratio(hash_hit, nodes));
    printf("%f HashTable Used\n", HashUsed());
    printf("%d Hash Pawn hit %0.4f\n", hash_pawn_hit, ratio(hash_pawn_hit, nodes));
    printf("%f Hash Pawn Table Used\n", HashPawnUsed());
    printf("%d Killer Cut %0.4f\n", killer_cut, ratio(killer_cut, nodes));
    printf("%d Late Move Reduction Nodes\n", lmr_nodes);
    printf("%d Late Move Reduction Cut %0.4f\n", lmr_cut, ratio(lmr_cut, lmr_nodes));
    printf("%d Razoring cut %0.4f\n", razor_cut, ratio(razor_cut, nodes));
    printf("%d Futility pruning cut %0.4f\n", futility_cut, ratio(futility_cut, nodes));
    printf("%d Delta pruning Cut %0.4f\n", delta_cut, ratio(delta_cut, nodes));
    printf("%d Null move cut %0.4f\n", null_stat, ratio(null_stat, nodes));
    printf("%d Learn Hit\n", learn_hit);
    printf("%d Tablebases hit\n", egbb_hit);
    printf("%2.2f Mat Balance\n", mat_balance() * 0.01);
    printf("%2.2f Position Evaluation\n", eval() * 0.01);
    printf("Current stage: %s\n", Stage >= 0 && Stage <= 3 ? stage_names[Stage] : "");
    set_hash();
    printf("Hash Postion code=%x\n", hash);
    return Next::Continue;
}
Next cmd_ml() {
    printf("Moves's list: ");
    print_move_list();
    printf("\n");
    return Next::Continue;
}
Next cmd_fen() {
    char placement[256], fields[5][256];
    if (!read_arg(placement, sizeof placement)) return Next::Continue;
    for (auto &f : fields)
        if (!read_arg(f, sizeof f)) return Next::Continue;
    // The previous game's en passant square, counter and history do not belong to this position.
    set_position(placement, fields[0], fields[1]);
    computer_side = EMPTY;
    gen();
    print_board();
    print_result();
    return Next::Continue;
}
Next cmd_info() {
    printf("Size of Hash code %d bits\n", 64);
    printf("Size of int %d bits\n", 32);
    printf("Size of BYTE %d bits\n", 8);
    printf("Size of WORD %d bits\n", 16);
    printf("Size of Hash entry %d octets\n", 16);
    printf("Size of Hash Pawn entry %d octets\n", 16);
    return Next::Continue;
}
Next cmd_test() {
    char path[256];
    int n_sec, nb_pos;
    if (!read_arg(path, sizeof path) || !read_number("test", &n_sec) ||
        !read_number("test", &nb_pos))
        return Next::Continue;
    test(path, n_sec, nb_pos);
    return Next::Continue;
}
Next cmd_makebook() {
    char path[256];
    if (read_arg(path, sizeof path)) makebook(path);
    return Next::Continue;
}
Next cmd_hard() {
    pondering = 1;
    printf("ponder=%s\n", truth(pondering));
    return Next::Continue;
}
Next cmd_easy() {
    pondering = 0;
    printf("ponder=%s\n", truth(pondering));
    return Next::Continue;
}
Next cmd_book() {
    enable_book ^= 1;
    printf("book=%s\n", truth(enable_book));
    return Next::Continue;
}
Next cmd_undo() {
    if (hply > 0) {
        computer_side = EMPTY;
        takeback();
        ply = 0;
        gen();
    }
    return Next::Continue;
}
Next cmd_new() {
    computer_side = EMPTY;
    // A ponder hit of the last game must not let the first search of this one continue it.
    anticipedmove = 0;
    stop_depth = 1;
    init();
    gen();
    return Next::Continue;
}
Next cmd_d() {
    print_board();
    get_current_fen(EPD);
    printf("FEN %s\n", EPD);
    return Next::Continue;
}
Next cmd_bye() {
    printf("Enjoy your life!\n");
    return Next::Exit;
}
Next cmd_xboard() {
    xboard();
    return Next::Exit;
}
Next cmd_testsee() {
    testsee();
    return Next::Exit;
}
Next cmd_uci() {
    uci();
    return Next::Exit;
}
Next cmd_help() {
    static const char *lines[] = {
        "on - computer plays for the side to move",
        "off - computer stops playing",
        "st n - search for n seconds per move",
        nullptr, // the depth line is printed from a format
        "undo - takes back a move",
        "new - starts a new game",
        "d - display the board",
        "ml - display the legal moves",
        "fen - setup a fen position",
        "mat x - brut search for a mat in x ply",
        "test file.epd n_sec nb_pos - test EPD file",
        "hard - enable pondering",
        "easy - disable pondering",
        "book - disable book",
        "bye - exit the program",
        "xboard - switch to XBoard mode",
        "Enter moves in coordinate notation, e.g., e2e4, e7e8Q",
    };
    for (const char *l : lines) {
        if (l)
            printf("%s\n", l);
        else
            printf("sd n - search n ply per move (>=%d)\n", 1);
    }
    return Next::Continue;
}

struct Command {
    const char *name;
    Next (*run)();
};

const Command commands[] = {
    {"on", cmd_on},
    {"off", cmd_off},
    {"st", cmd_st},
    {"mat", cmd_mat},
    {"create_learn_file", cmd_create_learn_file},
    {"clear_learn_file", cmd_clear_learn_file},
    {"stat", cmd_stat},
    {"ml", cmd_ml},
    {"fen", cmd_fen},
    {"info", cmd_info},
    {"sd", cmd_sd},
    {"test", cmd_test},
    {"makebook", cmd_makebook},
    {"hard", cmd_hard},
    {"easy", cmd_easy},
    {"book", cmd_book},
    {"undo", cmd_undo},
    {"new", cmd_new},
    {"d", cmd_d},
    {"bye", cmd_bye},
    {"xboard", cmd_xboard},
    {"testsee", cmd_testsee},
    {"uci", cmd_uci},
    {"help", cmd_help},
};

void user_move(const char *w) {
    int i = parse_move(w);
    if (i == -2) {
        printf("Error (unknown command): %s\n", w);
        return;
    }
    if (hply >= MAX_GAME_PLIES) {
        printf("Error (game too long)\n"); // the move stack is full
        return;
    }
    if (i >= 0 && makemove(gen_dat[i].m)) {
        snprintf(last_move, sizeof last_move, "%s", move_str(gen_dat[i].m));
        if (opening_phase) add_opening_move(last_move);
        ply = 0;
        gen();
        print_result();
        return;
    }
    printf("Illegal move.\n");
    print_board();
    printf("Moves's list:");
    print_move_list();
    printf("\n");
}

// One word of the user: a command or a move. Exit ends the program.
Next user_turn() {
    printf("%d>vrk# ", hply);
    memset(word, 0, sizeof word);
    int r = input_word(word, sizeof word);
    if (r == WORD_EOF) return Next::Exit;
    if (r == WORD_TOO_LONG) {
        printf("Error (word too long): %.20s...\n", word);
        return Next::Continue;
    }
    for (const Command &c : commands)
        if (!strcmp(word, c.name)) return c.run();
    user_move(word);
    return Next::Continue;
}

} // namespace

int console_main() {
    print_banner();
    start_engine();
    print_settings();
    if (egbb) {
        init_egbb();
        fflush(stdout);
    }
    computer_side = EMPTY;
    max_time = NO_TIME_LIMIT;
    max_depth = DEFAULT_MAX_DEPTH;
    for (;;) {
        if (side != computer_side) {
            if (user_turn() == Next::Exit) break;
        } else {
            engine_turn();
        }
    }
    if (learning) close_learn();
    fflush(stdout);
    return 0;
}
