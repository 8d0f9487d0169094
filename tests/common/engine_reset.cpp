#include "engine_reset.h"

#include <cstring>

#include "board.h"
#include "hash.h"
#include "keys.h"
#include "search.h"
#include "settings.h"

void reset_engine_state() {
    set_initial_position();
    init_hash();
    hashing = 1;
    learning = 0;
    egbb = 0;
    HashInit(1);
    HashPawnInit(64);
    ComputeHashCode();
    null_move = make_move_word(8, 8, 0, FLAG_NULL);
    memset(history, 0, sizeof history);
    memset(bf_history, 0, sizeof bf_history);
    memset(pv, 0, sizeof pv);
    memset(killer, 0, sizeof killer);
    cnt_nm = 0;
    gen();
}
