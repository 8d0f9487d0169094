// Helpers shared by the fuzz targets: a private working directory, silenced standard output,
// the engine in its start-up state, and files written from fuzz data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Once per process: stdout to /dev/null, then chdir into a fresh temporary directory holding
// copies of the named files of the data directory (nullptr-terminated list, may be empty).
void fuzz_setup(const char *const *data_files);

// For the targets that run start-up (init): the random tables and books copied from the data
// directory, and a vrk.rc with small tables, input checks every 500 nodes, prunings on, no
// learning and no bitbases.
void fuzz_setup_startup();

// The engine as after start-up, without books: initial position, keys, hash tables of 1 MB and
// 64 KB, hashing on, cleared search tables, moves generated, no learning, no bitbases.
void fuzz_reset_engine();

// Writes exactly these bytes to path (relative to the working directory).
void fuzz_write_file(const char *path, const uint8_t *data, size_t size);

// The data as a NUL-terminated string; bytes after an embedded NUL are dropped.
std::string fuzz_text(const uint8_t *data, size_t size);
