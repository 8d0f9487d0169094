#include "test_util.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <unistd.h>

#include "board.h"
#include "console.h"
#include "hash.h"
#include "keys.h"
#include "notation.h"
#include "search.h"

void reset_engine() {
    set_initial_position();
    init_hash();
    mb_hash = 1;
    kb_hash_pawn = 64;
    hashing = 1;
    capture_stdout([] {
        HashInit();
        HashPawnInit();
    });
    ComputeHashCode();
    null_move = make_move_word(8, 8, 0, FLAG_NULL);
    memset(history, 0, sizeof history);
    memset(bf_history, 0, sizeof bf_history);
    memset(pv, 0, sizeof pv);
    memset(killer, 0, sizeof killer);
    cnt_nm = 0;
    gen();
}

void setup_fen(const std::string &fen) {
    std::istringstream in(fen);
    std::string placement, side_field = "w", castle_field = "-", ep_field = "-";
    int fifty_field = 0;
    in >> placement >> side_field >> castle_field >> ep_field >> fifty_field;
    set_fen(placement.c_str(), side_field.c_str(), castle_field.c_str());
    ep = ep_field.size() == 2 ? (ep_field[0] - 'a') + ('8' - ep_field[1]) * 8 : -1;
    fifty = fifty_field;
    hply = 0;
    ply = 0;
    first_move[0] = 0;
    ComputeHashCode();
    gen();
}

std::string capture_stdout(const std::function<void()> &f) {
    fflush(stdout);
    char name[] = "/tmp/vrk-capture-XXXXXX";
    int fd = mkstemp(name);
    int saved = dup(1);
    dup2(fd, 1);
    f();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string out;
    lseek(fd, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, (size_t)n);
    close(fd);
    unlink(name);
    return out;
}

int find_move(const std::string &coord) {
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++)
        if (coord == move_str(gen_dat[i].m)) return gen_dat[i].m;
    return 0;
}
