#include "fuzz_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "board.h"
#include "engine_reset.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"

namespace {
char work_dir[] = "/tmp/vrk-fuzz-XXXXXX";
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    static const char rc[] =
        "HASH=1\nHPAWN=64\nCHECKNODES=500\nNULLMOVE=1\nMTDF=0\nABWINDOW=50\nFUTILITY=1\n"
        "RAZOR=1\nDELTA=1\nLMR=1\nEGBB=0\nEGBBCACHE=4\nEGBBPATH=egbb/\n5MEN=0\nLEARN=0\n"
        "RESIGN_VALUE=-1000\nBOOK=1\n";
    if (!freopen("/dev/null", "w", stdout) || !mkdtemp(work_dir) || chdir(work_dir) != 0) {
        perror("fuzz: set-up");
        abort();
    }
    // The working directory goes when the run ends normally; a crash leaves it for inspection.
    atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(work_dir, ignored);
    });
    for (const char *name : {"random1.bin", "random2.bin", "tourbook.bin", "mainbook.bin"})
        std::filesystem::copy_file(std::string(VRK_DATA_DIR) + "/" + name, name);
    fuzz_write_file("vrk.rc", (const uint8_t *)rc, sizeof rc - 1);
    reset_engine_state();
    return 0;
}

void fuzz_set_fen(const char *placement, const char *side_field, const char *castling) {
    set_position(placement, side_field, castling);
    gen();
}

void fuzz_search(int depth) {
    max_depth = depth;
    max_time = NO_TIME_LIMIT;
    stop_depth = 1;
    input_use_text(""); // no input: the search ends at its depth
    think(THINK_SILENT);
    input_use_text(nullptr);
}

void fuzz_write_file(const char *path, const uint8_t *data, size_t size) {
    if (!std::ofstream(path, std::ios::binary).write((const char *)data, (std::streamsize)size))
        abort();
}

std::string fuzz_text(const uint8_t *data, size_t size) {
    return std::string((const char *)data, strnlen((const char *)data, size));
}
