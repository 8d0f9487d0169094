#include "test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

#include "board.h"
#include "engine_reset.h"
#include "notation.h"

void reset_engine() {
    capture_stdout(reset_engine_state);
}

void setup_fen(const std::string &fen) {
    std::istringstream in(fen);
    std::string placement, side_field = "w", castle_field = "-", ep_field = "-";
    int fifty_field = 0;
    in >> placement >> side_field >> castle_field >> ep_field >> fifty_field;
    set_position(placement.c_str(), side_field.c_str(), castle_field.c_str(), ep_field.c_str(),
                 fifty_field);
    gen();
}

std::string capture_stdout(const std::function<void()> &f) {
    fflush(stdout);
    std::string name = (std::filesystem::temp_directory_path() / "vrk-capture-XXXXXX").string();
    int fd = mkstemp(name.data());
    int saved = dup(1);
    dup2(fd, 1);
    f();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(fd);
    std::ifstream in(name, std::ios::binary);
    std::string out(std::istreambuf_iterator<char>(in), {});
    in.close();
    unlink(name.c_str());
    return out;
}

int find_move(const std::string &coord) {
    for (int i = first_move[ply]; i < first_move[ply + 1]; i++)
        if (coord == move_str(gen_dat[i].m)) return gen_dat[i].m;
    return 0;
}

Table table_rows(const std::string &file, const std::string &section) {
    std::ifstream in("tests/data/" + file);
    Table rows;
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        if (!inside) continue;
        std::vector<std::string> &row = rows.emplace_back();
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, '|');) {
            const size_t first = f.find_first_not_of(' '), last = f.find_last_not_of(' ');
            row.push_back(first == std::string::npos ? "" : f.substr(first, last + 1 - first));
        }
    }
    EXPECT_FALSE(rows.empty()) << "no rows in tests/data/" << file << " [" << section << "]";
    return rows;
}

// Names are tried until one is new, so that test processes running side by side never share one.
TempDir::TempDir() {
    namespace fs = std::filesystem;
    static unsigned serial = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    do
        dir_ = fs::temp_directory_path() /
               ("vrk-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    while (!fs::create_directory(dir_));
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}
