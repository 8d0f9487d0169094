// vrk-bookvet: vets the lines of opening-book texts with an independent engine as judge.
//
//   vrk-bookvet [--depth N | --nodes N] [--engine PATH] [--cache FILE] OUTDIR BOOK.txt...
//
// Every line is replayed and the judge scores the position after each move (default: depth 12,
// one thread, 16 MB of hash, a fresh state for every search). A line is cut before its first
// move that leaves the side playing it more than VET_MARGIN worse off than the initial position
// leaves that side, and dropped when fewer than VET_MIN_PLIES plies are left (vet_rule.h). The
// vetted texts go to OUTDIR under the books' own names, in their order, without the lines that
// repeat or begin another one; the report goes to standard output and OUTDIR/report.txt. The
// judge's scores are kept in a cache (default OUTDIR/bookvet.cache), so a re-run is quick.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "board.h"
#include "book_text.h"
#include "judge.h"
#include "notation.h"
#include "vet_rule.h"

namespace {

// One line of a text with the judge's scores after each of its moves.
struct VettedLine {
    int number;        // in the text, from 1
    std::string text;  // as written
    std::vector<int> after;
    std::vector<bool> playable;
    int kept;
    VetVerdict verdict;
};

// The position for the judge, from the engine's board: all six FEN fields.
std::string judge_fen() {
    char buf[224];
    get_current_fen(buf);
    std::string fen(buf, strchr(buf, ' ') + 2); // placement and side
    fen += ' ';
    static const char RIGHTS[] = "KQkq";
    for (int i = 0; i < 4; i++)
        if (castle & (1 << i)) fen += RIGHTS[i];
    if (!castle) fen += '-';
    fen += ' ';
    if (ep < 0) fen += '-';
    else fen += {char('a' + ep % 8), char('8' - ep / 8)};
    return fen + " 0 1";
}

// The first n moves of a line text (each move is followed by one blank).
std::string first_moves(const std::string &text, int n) {
    size_t end = 0;
    for (int k = 0; k < n; k++)
        end = text.find(' ', end) + 1;
    return text.substr(0, end);
}

std::string format(const char *fmt, ...) {
    char buf[1024];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

std::string pawns(int cp) {
    return format("%+.2f", cp / 100.0);
}

struct Run {
    Judge &judge;
    int initial; // the judge's score of the initial position
    FILE *report;

    void say(const std::string &text) {
        for (FILE *f : {stdout, report})
            fputs(text.c_str(), f);
    }

    // Replays and scores every line of a text; false with a message on an illegal line or a
    // failing judge.
    bool vet(const std::string &path, std::vector<VettedLine> &out) {
        std::vector<std::string> texts;
        if (!read_text_lines(path, texts)) return fprintf(stderr, "cannot read %s\n", path.c_str()), false;
        for (size_t i = 0; i < texts.size(); i++) {
            if (texts[i].empty()) continue;
            fprintf(stderr, "\r%s: line %zu of %zu, %d positions searched, %d from the cache ",
                    path.c_str(), i + 1, texts.size(), judge.searched(), judge.cached());
            VettedLine v{(int)i + 1, texts[i], {}, {}, 0, VetVerdict::KEPT};
            std::vector<std::string> fens;
            std::vector<BookMove> moves;
            std::string err;
            bool ok = parse_line(texts[i], moves, err, [&] { fens.push_back(judge_fen()); });
            for (size_t k = 0; ok && k < fens.size(); k++) {
                int cp;
                ok = judge.score(fens[k], cp, err);
                v.after.push_back(cp);
            }
            if (!ok) {
                fprintf(stderr, "\n%s:%zu: %s\n", path.c_str(), i + 1, err.c_str());
                return false;
            }
            for (const BookMove &m : moves)
                v.playable.push_back(m.playable);
            v.kept = vet_plies_kept(initial, v.after, v.playable);
            v.verdict = vet_verdict(v.kept, (int)v.after.size());
            out.push_back(v);
        }
        fprintf(stderr, "\n");
        return true;
    }

    // The score distribution at the exits: after the last move of each line, how much worse or
    // better off than the initial position the book's side is.
    void exits(const char *title, const std::vector<int> &losses) {
        static const struct {
            const char *name;
            int low, high; // loss in centipawns, both inclusive
        } BANDS[] = {{"better by more than 0.50", INT32_MIN, -51},
                     {"better by 0.26 to 0.50", -50, -26},
                     {"within 0.25", -25, 25},
                     {"worse by 0.26 to 0.50", 26, 50},
                     {"worse by 0.51 to 1.00", 51, 100},
                     {"worse by more than 1.00", 101, INT32_MAX}};
        say(format("  exits %s (%zu lines):\n", title, losses.size()));
        for (const auto &band : BANDS) {
            long n = std::count_if(losses.begin(), losses.end(),
                                   [&](int l) { return l >= band.low && l <= band.high; });
            say(format("    %-26s %ld\n", band.name, n));
        }
        if (losses.empty()) return;
        std::vector<int> sorted = losses;
        std::sort(sorted.begin(), sorted.end());
        say(format("    median %s, worst %s\n", pawns(-sorted[sorted.size() / 2]).c_str(),
                   pawns(-sorted.back()).c_str()));
    }

    static int exit_loss(int initial, const VettedLine &v, int plies) {
        return vet_exit_loss(initial, v.after, v.playable, plies);
    }

    // Writes the vetted text and reports on one book.
    bool finish(const std::string &path, const std::vector<VettedLine> &lines,
                const std::string &out_path) {
        std::vector<std::string> kept_texts;
        std::vector<int> kept_exits, before, after;
        int counts[3] = {0, 0, 0};
        for (const VettedLine &v : lines) {
            counts[(int)v.verdict]++;
            if (!v.after.empty()) before.push_back(exit_loss(initial, v, (int)v.after.size()));
            if (v.verdict == VetVerdict::DROPPED) continue;
            kept_texts.push_back(first_moves(v.text, v.kept));
            kept_exits.push_back(exit_loss(initial, v, v.kept));
        }
        // A line that another one repeats or continues adds nothing to the book.
        std::vector<std::string> written;
        for (size_t i = 0; i < kept_texts.size(); i++) {
            const std::string &t = kept_texts[i];
            bool redundant = false;
            for (size_t j = 0; j < kept_texts.size() && !redundant; j++)
                redundant = j != i && kept_texts[j].compare(0, t.size(), t) == 0 &&
                            (kept_texts[j].size() > t.size() || j < i);
            if (redundant) continue;
            written.push_back(t);
            after.push_back(kept_exits[i]);
        }
        say(format("%s: %zu lines: %d kept whole, %d cut, %d dropped; %zu written\n", path.c_str(),
                   lines.size(), counts[0], counts[1], counts[2], written.size()));
        exits("as written before vetting", before);
        exits("after vetting", after);
        for (const VettedLine &v : lines) {
            if (v.verdict == VetVerdict::KEPT) continue;
            std::string tail = v.text.substr(first_moves(v.text, v.kept).size());
            say(format("  %s %d: %s| %s(%s)\n", v.verdict == VetVerdict::CUT ? "cut" : "dropped",
                       v.number, first_moves(v.text, v.kept).c_str(),
                       first_moves(tail, 1).c_str(),
                       pawns(-exit_loss(initial, v, v.kept + 1)).c_str()));
        }
        FILE *f = fopen(out_path.c_str(), "w");
        for (const std::string &t : written)
            if (f) fprintf(f, "%s\n", t.c_str());
        if (!f || fclose(f) != 0) return fprintf(stderr, "cannot write %s\n", out_path.c_str()), false;
        return true;
    }
};

std::string default_engine() {
    return access("/usr/games/stockfish", X_OK) == 0 ? "/usr/games/stockfish" : "stockfish";
}

int usage() {
    fprintf(stderr, "usage: vrk-bookvet [--depth N | --nodes N] [--engine PATH] [--cache FILE] "
                    "OUTDIR BOOK.txt...\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    JudgeSettings settings;
    settings.engine = default_engine();
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        std::string opt = argv[i], value = argv[i + 1];
        if (opt == "--depth") settings.depth = atoi(value.c_str());
        else if (opt == "--nodes") settings.nodes = atol(value.c_str());
        else if (opt == "--engine") settings.engine = value;
        else if (opt == "--cache") settings.cache = value;
        else return usage();
    }
    if (argc - i < 2 || settings.depth < 1 || settings.nodes < 0) return usage();
    std::string out_dir = argv[i++];
    mkdir(out_dir.c_str(), 0777);
    if (settings.cache.empty()) settings.cache = out_dir + "/bookvet.cache";

    Judge judge(settings);
    std::string err;
    set_initial_position();
    int initial;
    if (!judge.start(err) || !judge.score(judge_fen(), initial, err)) {
        fprintf(stderr, "vrk-bookvet: %s\n", err.c_str());
        return 1;
    }
    FILE *report = fopen((out_dir + "/report.txt").c_str(), "w");
    if (!report) return fprintf(stderr, "cannot write %s/report.txt\n", out_dir.c_str()), 1;
    Run run{judge, initial, report};
    run.say(format("judge: %s; the initial position scores %s for White\n",
                   judge.description().c_str(), pawns(initial).c_str()));
    run.say(format("rule: a line is cut before its first move that leaves its side more than %.2f "
                   "worse off than the initial position does, and dropped when fewer than %d "
                   "plies are left; moves marked '?' and their side's later moves are the "
                   "opponent's and not judged. Cut moves are given for their side, exits for "
                   "the book's side, against what the initial position gives that side "
                   "(negative: worse)\n",
                   VET_MARGIN / 100.0, VET_MIN_PLIES));
    bool ok = true;
    for (; i < argc && ok; i++) {
        std::string path = argv[i];
        std::vector<VettedLine> lines;
        std::string name = path.substr(path.find_last_of('/') + 1);
        ok = run.vet(path, lines) && run.finish(path, lines, out_dir + "/" + name);
    }
    run.say(format("judge: %d positions searched, %d from the cache\n", judge.searched(),
                   judge.cached()));
    fclose(report);
    return ok ? 0 : 1;
}
