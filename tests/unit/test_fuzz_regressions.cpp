// Inputs the fuzz targets (tests/fuzz) found to corrupt the position or to step outside the
// engine's tables, reduced to their core. Some faults only read memory next to a table; they are
// caught for certain in the sanitizer build (VRK_SANITIZE) and by the fuzz targets' replay.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "board.h"
#include "egbb_glue.h"
#include "eval.h"
#include "notation.h"
#include "openings.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"
#include "test_util.h"
#include "xboard.h"

namespace {

// The board, side to move and castling rights (with the en passant square) as text.
std::string position_text() {
    char buf[224];
    get_current_fen(buf);
    return buf;
}

// The protocol loop reading text, from the data directory where "new" finds books and vrk.rc.
void run_xboard(const std::string &text) {
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path("data");
    input_use_text(text.c_str(), true);
    capture_stdout([] { xboard(); });
    input_use_text(nullptr);
    std::filesystem::current_path(home);
}

} // namespace

// Every generated root move stays on the board, and making and taking it back leaves a sound
// position and then the very position it started from.
TEST(FuzzRegressions, CastlingRightsOrPawnsWhereNoGameLeadsThem) {
    for (const char *fen :
         {"4k3/8/8/8/8/8/4K2r/8 w K - 0 1",     // king off e1
          "4k3/8/8/8/8/8/3K4/R6R w KQ - 0 1",   // no king on e1
          "4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1",   // no rooks
          "4K3/8/8/8/8/8/8/r3k2r b KQkq - 0 1", // kings swapped
          "P3k2P/8/8/8/8/8/8/p3K2p w - - 0 1",  // pawns on their last rank
          "P3k2P/8/8/8/8/8/8/p3K2p b - - 0 1", "Pp2k3/8/8/8/8/8/8/4K1Pp w - - 0 1"}) {
        SCOPED_TRACE(fen);
        reset_engine();
        setup_fen(fen);
        const std::string before = position_text();
        for (int i = first_move[0]; i < first_move[1]; i++) {
            int m = gen_dat[i].m;
            ASSERT_TRUE(move_from(m) >= 0 && move_from(m) < 64 && move_to(m) >= 0 &&
                        move_to(m) < 64);
            if (makemove(m)) {
                EXPECT_TRUE(position_ok()) << "after move " << i;
                takeback();
            }
            EXPECT_TRUE(position_ok()) << "after taking back move " << i;
            ASSERT_EQ(position_text(), before) << "move " << i << " was not undone";
        }
    }
}

TEST(FuzzRegressions, EvaluationWithMoreThanEightPawnsASide) {
    for (const char *fen :
         {"4k3/8/8/8/P7/PPPPPPPP/P7/1N2K2R w - - 0 1", "1n2k2r/p7/pppppppp/p7/8/8/8/4K3 b - - 0 1",
          "rn2k1nr/pppppppp/pppppppp/8/8/PPPPPPPP/PPPPPPPP/RN2K1NR w - - 0 1"}) {
        reset_engine();
        setup_fen(fen);
        EXPECT_LT(abs(eval()), INF_SCORE) << fen;
    }
}

TEST(FuzzRegressions, BookLineLongerThanTheMoveStackIsCut) {
    ScratchDir scratch;
    std::string line;
    for (int i = 0; i < 101; i++)
        line += "Nf3 Nf6 Ng1 Ng8 ";
    std::ofstream("lines.txt") << line << "\n";
    reset_engine();
    capture_stdout([] { makebook("lines.txt"); });
    std::string written;
    std::getline(std::ifstream("vrkpers.opn"), written);
    EXPECT_LE(written.size(), 4u * (MAX_GAME_PLIES));
    EXPECT_GT(written.size(), 0u);
}

// With two kings of a colour set up, the search can leave a principal move that makemove then
// refuses; writing it (as the EPD runner does) took back a move that was never made.
TEST(FuzzRegressions, AlgebraicTextOfAMoveThePositionRefuses) {
    reset_engine();
    setup_fen("4r1k1/8/8/8/8/8/4B3/4K3 w - - 0 1"); // the bishop is pinned
    int m = find_move("e2d3");
    ASSERT_NE(m, 0);
    const std::string before = position_text();
    std::string san;
    capture_stdout([&] { san = San(m); });
    EXPECT_EQ(san, "Be2d3");
    EXPECT_EQ(hply, 0);
    EXPECT_EQ(ply, 0);
    EXPECT_EQ(position_text(), before);
    EXPECT_TRUE(position_ok());
}

TEST(FuzzRegressions, ProtocolMovesBeyondTheMoveStackAreRefused) {
    std::string moves;
    for (int i = 0; i < 101; i++)
        moves += "g1f3\ng8f6\nf3g1\nf6g8\n";
    run_xboard("new\nforce\n" + moves + "quit\n");
    EXPECT_LE(hply, MAX_GAME_PLIES);
    EXPECT_TRUE(position_ok());
}

TEST(FuzzRegressions, UndoNeverCrossesAnEdit) {
    run_xboard("new\nforce\ne2e4\ne7e5\nedit\n#\nKe1\nc\nKe8\n.\nundo\nremove\nquit\n");
    EXPECT_TRUE(position_ok());
    EXPECT_EQ(position_text(), "4k3/8/8/8/8/8/8/4K3 w  -");
}

// A search window of zero or less never converges; with it the first search ran for ever. The
// test passes when every search returns.
TEST(FuzzRegressions, SearchEndsWhateverTheConfiguredWindow) {
    ScratchDir scratch;
    // A hang ends the test program instead of holding up the whole run.
    static std::atomic<bool> finished{false};
    std::thread([] {
        for (int i = 0; i < 1200 && !finished; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!finished) {
            fprintf(stderr, "the search did not end\n");
            std::_Exit(1);
        }
    }).detach();
    for (const char *rc :
         {"MTDF=1\nABWINDOW=0\n", "MTDF=1\nABWINDOW=-50\n", "MTDF=0\nABWINDOW=-20000\n"}) {
        SCOPED_TRACE(rc);
        std::ofstream("vrk.rc") << "HASH=1\nHPAWN=64\nCHECKNODES=10000\nNULLMOVE=1\n" << rc;
        reset_engine();
        capture_stdout([] { read_config(); });
        max_depth = 3;
        max_time = NO_TIME_LIMIT;
        stop_depth = 1;
        input_use_text("");
        capture_stdout([] { think(THINK_SILENT); });
        input_use_text(nullptr);
    }
    finished = true;
}

// Cache sizes of 2048 MB and more overflowed the byte count handed to the prober (an undefined
// result that the sanitizer build reports).
TEST(FuzzRegressions, BitbaseCacheOfTwoGigabytesOrMore) {
    snprintf(egbb_path, 255, "%s", "/nonexistent-vrk-egbb/");
    for (int mb : {2048, 1 << 30, 1}) {
        egbb_cache = mb;
        capture_stdout([] { init_egbb(); });
    }
}
