// Helpers shared by the unit tests.
#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// The engine as after start-up (reset_engine_state), its table sizes' lines swallowed.
void reset_engine();
// Sets up a full FEN line ("placement side castling [ep [fifty [move]]]") with an empty
// history at ply 0, recomputes the keys and generates the moves.
void setup_fen(const std::string &fen);
// Runs f and returns what it printed on standard output.
std::string capture_stdout(const std::function<void()> &f);
// Finds the generated root move with this coordinate text ("e2e4", "e7e8Q"); 0 when none.
int find_move(const std::string &coord);

// The rows of section [section] of tests/data/<file>: fields separated by '|', trimmed; blank
// lines and '#' lines (the cases' explanations) are skipped.
using Table = std::vector<std::vector<std::string>>;
Table table_rows(const std::string &file, const std::string &section);

// A fresh empty temporary directory, removed with its contents when the object goes (Windows
// keeps files still open).
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return dir_; }
    // The path with a trailing separator, as the engine's path settings expect.
    std::string prefix() const { return (dir_ / "").string(); }

  private:
    std::filesystem::path dir_;
};

// A TempDir that is also the working directory while it lives.
class ScratchDir : public TempDir {
  public:
    ScratchDir() : home_(std::filesystem::current_path()) { std::filesystem::current_path(path()); }
    ~ScratchDir() { std::filesystem::current_path(home_); }

  private:
    std::filesystem::path home_;
};
