// The engine's start-up state, shared by the unit tests and the fuzz targets.
#pragma once

// Initial position, key tables filled, hash tables of 1 MB and 64 KB freshly allocated (their
// sizes are printed), hashing on, learning and bitbases off, search tables cleared, moves
// generated.
void reset_engine_state();
