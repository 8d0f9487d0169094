#include "engine_reset.h"

#include "game.h"

void reset_engine_state() {
    fresh_engine(1, 64);
}
