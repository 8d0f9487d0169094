// Helpers shared by the fuzz targets. Their one LLVMFuzzerInitialize (fuzz_util.cpp) sends
// standard output to /dev/null, moves into a fresh temporary directory holding copies of the
// random tables and books with a vrk.rc of small tables, input checks every 500 nodes, prunings
// on, no learning and no bitbases, and puts the engine in its start-up state.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Sets up a position from FEN fields with no en passant square, no history, moves generated.
void fuzz_set_fen(const char *placement, const char *side_field, const char *castling);

// Searches the current position `depth` plies deep from a fresh start, with no input waiting.
void fuzz_search(int depth);

// Writes exactly these bytes to path (relative to the working directory).
void fuzz_write_file(const char *path, const uint8_t *data, size_t size);

// The data as a NUL-terminated string; bytes after an embedded NUL are dropped.
std::string fuzz_text(const uint8_t *data, size_t size);
