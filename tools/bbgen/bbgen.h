// Bitbase generator: retrograde analysis of one material (both sides to move) and the writer of
// the compressed table files that the prober reads.
#pragma once
#include <cstdint>
#include <deque>
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
// the white king, and ranks 1-4 as well without pawns. Positions right after a pawn's double
// step are valued without en-passant rights (the tables have no en-passant square).
class Generator {
  public:
    struct Men; // a position being worked on
    Generator(const Material &m, const Oracle &oracle);
    // Runs the analysis; progress(fraction) is called from time to time.
    void run(void (*progress)(const char *phase, double fraction));
    // Value of any legal position (full-board squares).
    uint8_t value(int side, int wk, int bk, const int *sq) const;
    // The file contents of one side, one value (0 draw, 1 win, 2 loss) per prober index.
    std::vector<uint8_t> file_values(int side, long &conflicts) const;
    // Legal positions of the reduced space by value, [side][V_WIN..V_DRAW].
    void counts(long out[2][4]) const;
    const Material &material() const { return mat_; }

  private:
    Material mat_;
    const Oracle &oracle_;
    bool pawns_;
    int king_slots_;
    size_t size_;
    std::vector<uint8_t> val_[2], cnt_[2];

    size_t encode(int wk, int bk, const int *sq) const;
    void decode(size_t i, Men &p) const;
    void init_side(int side, void (*progress)(const char *, double));
    void retro(void (*progress)(const char *, double));
};

// Writes a table file (values 0..3, one per index) in the prober's compressed format; the file
// appears under its name only when complete.
bool write_bitbase(const std::string &path, const std::vector<uint8_t> &values);
