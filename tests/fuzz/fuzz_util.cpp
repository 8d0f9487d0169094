#include "fuzz_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>

#include "board.h"
#include "console.h"
#include "hash.h"
#include "keys.h"
#include "search.h"

namespace {

char work_dir[] = "/tmp/vrk-fuzz-XXXXXX";

int remove_entry(const char *path, const struct stat *, int, struct FTW *) {
    return remove(path);
}

// The working directory goes when the run ends normally; a crash leaves it for inspection.
void remove_work_dir() {
    nftw(work_dir, remove_entry, 8, FTW_DEPTH | FTW_PHYS);
}

void copy_file(const std::string &from, const std::string &to) {
    FILE *in = fopen(from.c_str(), "rb");
    FILE *out = fopen(to.c_str(), "wb");
    if (!in || !out) {
        fprintf(stderr, "fuzz: cannot copy %s\n", from.c_str());
        abort();
    }
    int c;
    while ((c = fgetc(in)) != EOF)
        fputc(c, out);
    fclose(in);
    fclose(out);
}

} // namespace

void fuzz_setup(const char *const *data_files) {
    int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
        dup2(null_fd, 1);
        close(null_fd);
    }
    if (!mkdtemp(work_dir) || chdir(work_dir) != 0) {
        perror("fuzz: working directory");
        abort();
    }
    atexit(remove_work_dir);
    for (const char *const *f = data_files; f && *f; f++)
        copy_file(std::string(VRK_DATA_DIR) + "/" + *f, *f);
}

void fuzz_setup_startup() {
    static const char *const files[] = {"random1.bin", "random2.bin", "tourbook.bin",
                                        "mainbook.bin", nullptr};
    static const char rc[] =
        "HASH=1\nHPAWN=64\nCHECKNODES=500\nNULLMOVE=1\nMTDF=0\nABWINDOW=50\nFUTILITY=1\n"
        "RAZOR=1\nDELTA=1\nLMR=1\nEGBB=0\nEGBBCACHE=4\nEGBBPATH=egbb/\n5MEN=0\nLEARN=0\n"
        "RESIGN_VALUE=-1000\nBOOK=1\n";
    fuzz_setup(files);
    fuzz_write_file("vrk.rc", (const uint8_t *)rc, sizeof rc - 1);
}

void fuzz_reset_engine() {
    set_initial_position();
    init_hash();
    mb_hash = 1;
    kb_hash_pawn = 64;
    hashing = 1;
    learning = 0;
    egbb = 0;
    if (!HashTable) {
        HashInit();
        HashPawnInit();
    }
    HashReset();
    HashPawnReset();
    ComputeHashCode();
    null_move = make_move_word(8, 8, 0, FLAG_NULL);
    memset(history, 0, sizeof history);
    memset(bf_history, 0, sizeof bf_history);
    memset(pv, 0, sizeof pv);
    memset(killer, 0, sizeof killer);
    cnt_nm = 0;
    gen();
}

void fuzz_write_file(const char *path, const uint8_t *data, size_t size) {
    FILE *f = fopen(path, "wb");
    if (!f) abort();
    if (size && fwrite(data, 1, size, f) != size) abort();
    fclose(f);
}

std::string fuzz_text(const uint8_t *data, size_t size) {
    return std::string(reinterpret_cast<const char *>(data), strnlen((const char *)data, size));
}
