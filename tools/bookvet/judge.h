// The independent judge of the vetting tool: a UCI engine run as a child process, asked for the
// score of one position at a time at a fixed depth or node count, on one thread with a fixed hash
// and a cleared state before every search, so that a score depends on the position alone. Scores
// are kept in a cache file, so that a second run over the same lines asks the engine nothing.
#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <sys/types.h>

struct JudgeSettings {
    std::string engine; // program path
    int depth = 12;     // used when nodes is 0
    long nodes = 0;
    int hash_mb = 16;
    std::string cache; // cache file path
};

class Judge {
  public:
    explicit Judge(const JudgeSettings &settings) : settings_(settings) {}
    ~Judge();
    // Starts the engine and reads the cache; false with err filled when either fails.
    bool start(std::string &err);
    // The score in centipawns from White's point of view of a FEN position (all six fields); a
    // mate counts as a score beyond any material. False with err filled when the engine fails.
    bool score(const std::string &fen, int &white_cp, std::string &err);
    // "<engine name>, depth 12, 1 thread, hash 16 MB"
    const std::string &description() const { return description_; }
    int searched() const { return searched_; }
    int cached() const { return cached_; }

  private:
    JudgeSettings settings_;
    std::string description_;
    pid_t child_ = -1;
    FILE *to_ = nullptr, *from_ = nullptr, *cache_file_ = nullptr;
    std::map<std::string, int> cache_;
    int searched_ = 0, cached_ = 0;

    bool spawn(std::string &err);
    bool send(const std::string &command);
    // Reads lines up to one starting with `prefix`, which it returns in line; false at the end.
    bool read_until(const std::string &prefix, std::string &line, std::string *last_score);
    bool load_cache(std::string &err);
};

constexpr int JUDGE_MATE_CP = 30000; // a mate in n scores JUDGE_MATE_CP - n
