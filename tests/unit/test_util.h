// Helpers shared by the unit tests.
#pragma once
#include <functional>
#include <string>

// The engine as after start-up: initial position, key tables filled, hash tables of 1 MB and
// 64 KB allocated and empty, hashing on, every search table cleared.
void reset_engine();
// Sets up a full FEN line ("placement side castling [ep [fifty [move]]]") with an empty
// history at ply 0, recomputes the keys and generates the moves.
void setup_fen(const std::string &fen);
// Runs f and returns what it printed on standard output.
std::string capture_stdout(const std::function<void()> &f);
// Finds the generated root move with this coordinate text ("e2e4", "e7e8Q"); 0 when none.
int find_move(const std::string &coord);
