// The learn file: one record per slot, addressed by the root key modulo the number of records.
// Record layout (little-endian): key u32, from u8, to u8, score s16, depth u8, 3 reserved bytes.
#include "learn.h"

#include <cstdint>

#include "board.h"
#include "defs.h"
#include "eval.h"
#include "platform.h"
#include "settings.h"

FILE *learn_file;
int learn_size;

namespace {

constexpr const char *LEARN_NAME = "vrk.lrn";
constexpr int RECORD_SIZE = 12;
constexpr int MIN_LEARN_DEPTH = 5;  // shallower results are not worth keeping
constexpr int LAST_LEARN_STAGE = 1; // opening and early middle game only

struct LearnRecord {
    uint32_t key;
    int from, to;
    int score; // sign-extended from 16 bits
    int depth;
    uint8_t reserved[3];
};

void close_file() {
    fflush(learn_file);
    fclose(learn_file);
    learn_file = nullptr;
}

void open_learn() {
    learn_file = fopen(LEARN_NAME, "r+b");
    if (!learn_file) {
        message("Cannot open learn file %s !!\n", LEARN_NAME);
        return;
    }
    fseek(learn_file, 0, SEEK_END);
    learn_size = (int)(ftell(learn_file) / RECORD_SIZE);
    message("Learn file => %s open (%d entries)\n", LEARN_NAME, learn_size);
}

// Writes a new file of n empty records; "Done!" only once all of it has reached the disk.
void write_empty_file(int n) {
    FILE *f = fopen(LEARN_NAME, "wb");
    if (f) {
        static const unsigned char zero[RECORD_SIZE] = {};
        for (int i = 0; i < n; i++)
            fwrite(zero, 1, RECORD_SIZE, f);
        if (close_written(f)) {
            printf("Done!\n");
            return;
        }
    }
    printf("Cannot write learn file %s !!\n", LEARN_NAME);
}

long record_offset() {
    return (long)RECORD_SIZE * (long)(hash % (uint32_t)learn_size);
}

// A record the file no longer holds (it has shrunk since it was opened) reads as empty, so that
// the next result is written there again rather than lost.
bool read_record(LearnRecord *r) {
    unsigned char b[RECORD_SIZE] = {};
    if (fseek(learn_file, record_offset(), SEEK_SET) != 0) return false;
    if (fread(b, 1, RECORD_SIZE, learn_file) < RECORD_SIZE) clearerr(learn_file);
    r->key = (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
    r->from = b[4];
    r->to = b[5];
    r->score = (int16_t)(uint16_t)(b[6] | b[7] << 8);
    r->depth = b[8];
    for (int i = 0; i < 3; i++)
        r->reserved[i] = b[9 + i];
    return true;
}

void write_record(const LearnRecord &r) {
    unsigned char b[RECORD_SIZE];
    for (int i = 0; i < 4; i++)
        b[i] = (unsigned char)(r.key >> (8 * i));
    b[4] = (unsigned char)r.from;
    b[5] = (unsigned char)r.to;
    b[6] = (unsigned char)(r.score & 0xFF);
    b[7] = (unsigned char)((r.score >> 8) & 0xFF);
    b[8] = (unsigned char)r.depth;
    for (int i = 0; i < 3; i++)
        b[9 + i] = r.reserved[i];
    fseek(learn_file, record_offset(), SEEK_SET);
    fwrite(b, 1, RECORD_SIZE, learn_file);
    fflush(learn_file);
}

bool usable() {
    return learning && learn_file && learn_size > 0;
}

} // namespace

void init_learn() {
    if (learn_file && learning) close_file();
    open_learn();
}

void close_learn() {
    if (learning && learn_file) close_file();
}

void create_learn_file(int n) {
    printf("Creating Learn File for %d entries...", n);
    if (learn_file) close_file();
    write_empty_file(n);
}

void clear_learn_file() {
    // Any open handle is closed, so that the file is never held twice.
    if (learn_file) close_file();
    printf("Cleaning Learn File for %d entries...", learn_size);
    write_empty_file(learn_size);
    open_learn();
}

int rlearn(int depth, int move) {
    LearnRecord r;
    if (!usable() || !read_record(&r)) return NO_SCORE;
    if (r.key == 0 || r.key != hash || r.depth <= depth) return NO_SCORE;
    if (r.from != (move_from(move) & 0xFF) || r.to != (move_to(move) & 0xFF)) return NO_SCORE;
    return r.score;
}

void wlearn(int depth, int score, int move) {
    LearnRecord r;
    if (CurrentStage > LAST_LEARN_STAGE || depth < MIN_LEARN_DEPTH || !usable()) return;
    if (!read_record(&r) || depth < r.depth) return;
    r.key = hash;
    r.from = move_from(move) & 0xFF;
    r.to = move_to(move) & 0xFF;
    r.score = score;
    r.depth = depth & 0xFF;
    write_record(r);
}
