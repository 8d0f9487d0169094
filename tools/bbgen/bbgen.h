// Bitbase generator: retrograde analysis of one material (both sides to move) and the writer of
// the compressed table files that the prober reads.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// A material by its canonical prober piece codes (2..6 white queen..pawn, 8..12 black), in the
// order of the prober's canonical form; the kings are implied.
struct Material {
    int n = 0;
    int pc[3] = {0, 0, 0};
};

// "kqkr" -> its canonical material; false for a malformed name or more than three pieces.
bool parse_material(const std::string &name, Material &m);
std::string material_name(const Material &m);
// Materials reached by one capture or promotion (K v K excluded).
std::vector<Material> dependencies(const Material &m);
// Path of a table file in a directory.
std::string table_path(const std::string &dir, const Material &m, int side);

// Generator values of a position for its side to move.
enum : uint8_t { V_UNKNOWN = 0, V_WIN = 1, V_LOSS = 2, V_DRAW = 3, V_ILLEGAL = 4 };

// Values of other materials, read back from the table files of a directory.
class Oracle {
  public:
    explicit Oracle(std::string dir) : dir_(std::move(dir)) {}
    // Loads both sides of a material; false when a file is missing or unreadable.
    bool load(const Material &m);
    // Value for the side to move of a legal position (prober squares and codes, n pieces).
    uint8_t lookup(int side, int wk, int bk, int n, const int *pc, const int *sq) const;

  private:
    std::string dir_;
    std::deque<std::vector<uint8_t>> data_; // decoded bytes of each loaded file
    const std::vector<uint8_t> *table_[2][14][14][14] = {};
};

// Positions of one material up to the board symmetries that fix no king square: files a-d for
// the white king, and ranks 1-4 as well without pawns. A position right after a pawn's double
// step is stored without en-passant rights (the tables have none), but the double step itself
// is valued with the opponent's en-passant captures.
class Generator {
  public:
    struct Men; // a position being worked on
    // Called from time to time with the phase and the fraction of it done.
    using Progress = void (*)(const char *phase, double fraction);
    Generator(const Material &m, const Oracle &oracle, int threads);
    void run(Progress progress);
    // Value of any legal position (full-board squares).
    uint8_t value(int side, int wk, int bk, const int *sq) const;
    // The file contents of one side, one value (0 draw, 1 win, 2 loss) per prober index.
    std::vector<uint8_t> file_values(int side, long &conflicts) const;
    const Material &material() const { return mat_; }
    // Positions of the generator's space of a material (a measure of its work).
    static size_t space(const Material &m);

  private:
    Material mat_;
    const Oracle &oracle_;
    int threads_;
    bool pawns_;
    size_t size_;
    std::vector<uint8_t> state_[2];     // per side: a value, or moves left to refute (below)
    std::vector<uint64_t> fresh_[2][2]; // per layer parity and side: positions just decided

    size_t encode(const Men &p) const;
    void decode(size_t i, Men &p) const;
    uint8_t initial_state(const Men &p, int side) const;
    uint8_t exit_value(const Men &child, int side) const;
    uint8_t en_passant(const Men &p, int side, int pawn) const;
    void init(Progress progress);
    bool layer(int parity);
    void retract(size_t i, int side, std::vector<uint64_t> *next);
    void mark(std::vector<uint64_t> *bits, int side, size_t i);
};

// Writes a table file (values 0..3, one per index) in the prober's compressed format; the file
// appears under its name only when complete.
bool write_bitbase(const std::string &path, const std::vector<uint8_t> &values);

// Runs work(chunk) for chunks 0..n-1 on the given number of threads.
void parallel_chunks(int threads, size_t n, const std::function<void(size_t)> &work);
