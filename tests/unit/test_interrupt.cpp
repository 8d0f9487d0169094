// Searches ended by input on a pipe, checked node by node where the transcripts can only time
// them: only what arrives after the readers' last fill counts.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <unistd.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "board.h"
#include "game.h"
#include "notation.h"
#include "platform.h"
#include "search.h"
#include "session.h"
#include "settings.h"
#include "test_util.h"

namespace {

#ifdef _WIN32
// An anonymous pipe, as an interface gives: the engine peeks at it through its handle.
int make_pipe(int fds[2]) {
    return _pipe(fds, 4096, _O_BINARY);
}
#else
int make_pipe(int fds[2]) {
    return pipe(fds);
}
#endif

class PipedInput : public ::testing::Test {
  protected:
    int writer = -1;

    void SetUp() override {
#ifdef _WIN32
        // The engine looks at what standard input is only once in a process.
        static bool replaced = false;
        if (replaced)
            GTEST_SKIP() << "on Windows each test needs a process of its own, as under ctest";
        replaced = true;
#endif
        int fds[2];
        ASSERT_EQ(make_pipe(fds), 0);
        ASSERT_EQ(dup2(fds[0], 0), 0);
        close(fds[0]);
        writer = fds[1];
        input_use_text(nullptr);
        reset_engine();
        check_nodes = 1000;
        max_time = NO_TIME_LIMIT;
        max_depth = 40;
        stop_depth = 1;
    }
    void TearDown() override {
        if (writer >= 0) close(writer);
    }
    void send(const char *text) {
        ASSERT_EQ(write(writer, text, strlen(text)), (ssize_t)strlen(text));
    }
    std::string next_word() {
        char buf[64];
        input_word(buf, sizeof buf);
        return buf;
    }
};

TEST_F(PipedInput, WaitingInputStopsAtTheFirstCheckAndStaysReadable) {
    send("go\n");
    const uint64_t key = hashcode;
    capture_stdout([] { think(THINK_SILENT); });
    EXPECT_EQ(std::make_tuple(stop_search, nodes, ply, hashcode), std::make_tuple(1, 1, 0, key));
    EXPECT_EQ(next_word(), "go");
}

// Input arriving behind a command already read stops the search (that the held command does
// not is the transcripts' "sd 2" and piped script cases).
TEST_F(PipedInput, InputArrivingBehindInputAlreadyReadStopsTheSearch) {
    send("go\nquit\n");
    EXPECT_EQ(next_word(), "go");
    std::thread later([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        send("e2e4\n");
    });
    capture_stdout([] { think(THINK_SILENT); });
    later.join();
    EXPECT_EQ(stop_search, 1);
    EXPECT_EQ(next_word(), "quit");
    EXPECT_EQ(next_word(), "e2e4");
}

// Stopped by input before any move: nothing is played, the input is read next. Stopped with
// no input to come (no limit but input, and the next command already held): a short search
// without the table gives the move.
TEST_F(PipedInput, TheFallbackMoveOnlyWhenNoInputStoppedTheSearch) {
    send("undo\n");
    capture_stdout([] { think_for_move(THINK_SILENT); });
    EXPECT_EQ(pv[0][0], 0);
    EXPECT_EQ(next_word(), "undo");
    send("go\nbye\n");
    EXPECT_EQ(next_word(), "go");
    capture_stdout([] { think_for_move(THINK_SILENT); });
    EXPECT_NE(find_move(move_str(pv[0][0])), 0);
    EXPECT_EQ(std::make_pair(max_time, max_depth), std::make_pair(NO_TIME_LIMIT, 40u));
}

// Unknown or illegal ponder moves are refused without a word, though input could end a search.
TEST_F(PipedInput, PonderOnlyLegalMovesUntilInputComes) {
    setup_fen("4k3/8/8/8/8/8/4r3/4K2R w - - 0 1"); // Kf2 walks into the rook
    for (const char *text : {"4444", "e2e5", "e1f2"}) {
        anticipedmove = 1;
        int r = 0;
        EXPECT_EQ(capture_stdout([&] { r = do_ponder(text); }), "") << text;
        EXPECT_EQ(std::make_tuple(r, anticipedmove, hply), std::make_tuple(1, 0, 0)) << text;
    }
    // A legal one is pondered until input comes, and leaves the settings as they were.
    send("quit\n");
    max_time = 5000;
    EXPECT_EQ(capture_stdout([] { do_ponder("e1e2"); }).rfind("Ponder move e1e2\n", 0), 0u);
    EXPECT_EQ(std::make_tuple(stop_on_input_end, max_time, hply), std::make_tuple(0, 5000u, 0));
}

// A ponder move that mates the engine leaves it nothing to search: pondering ends at once, and the
// loop waits for the input that would otherwise have ended the search.
TEST_F(PipedInput, PonderingIntoAMateEndsAtOnce) {
    setup_fen("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1");
    std::thread later([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        send("quit\n");
    });
    int r = 0;
    std::string out = capture_stdout([&] { r = do_ponder("a1a8"); });
    later.join();
    EXPECT_EQ(out, "Ponder move a1a8\n");
    EXPECT_EQ(std::make_tuple(r, nodes, hply), std::make_tuple(1, 0, 0));
    EXPECT_EQ(next_word(), "quit");
}

} // namespace
