// The Windows input layer on a real anonymous pipe standing in for standard input, as an
// interface's pipe does: the poll peeks without reading, takes out only the ignorable bytes,
// and counts only what the reader has not taken; text-mode line ends, the end of input, and the
// clock.
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <ctime>
#include <string>
#include <thread>

#include "platform.h"

namespace {

// One pipe per process, made standard input before the engine's input layer first looks at it.
HANDLE pipe_writer() {
    static HANDLE writer = [] {
        HANDLE r, w;
        if (!CreatePipe(&r, &w, nullptr, 0)) return (HANDLE) nullptr;
        SetStdHandle(STD_INPUT_HANDLE, r);
        return w;
    }();
    return writer;
}

void send(const std::string &bytes) {
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(pipe_writer(), bytes.data(), (DWORD)bytes.size(), &n, nullptr) &&
                n == bytes.size());
}

DWORD waiting_in_pipe() {
    DWORD total = 0;
    PeekNamedPipe(GetStdHandle(STD_INPUT_HANDLE), nullptr, 0, nullptr, &total, nullptr);
    return total;
}

} // namespace

TEST(WindowsInput, PollTakesOutOnlyIgnorableBytes) {
    ASSERT_NE(pipe_writer(), nullptr);
    EXPECT_EQ(bioskey(), 0);
    send(std::string(".\r\n\n.\0.", 7));
    EXPECT_EQ(bioskey(), 0);
    EXPECT_EQ(waiting_in_pipe(), 0u);

    // A command stays in the pipe for the reader; the status request in front of it does not.
    send(".\ngo\n");
    EXPECT_NE(bioskey(), 0);
    EXPECT_EQ(waiting_in_pipe(), 3u);
    EXPECT_NE(bioskey(), 0);
    char word[16];
    ASSERT_EQ(input_word(word, sizeof word), WORD_OK);
    EXPECT_STREQ(word, "go");
    EXPECT_EQ(bioskey(), 0); // the line end left by the word is the reader's
    // A command the reader took in with the one it read is no input arriving.
    send("e2e4\nquit\n");
    ASSERT_EQ(input_word(word, sizeof word), WORD_OK);
    EXPECT_STREQ(word, "e2e4");
    EXPECT_EQ(bioskey(), 0);
    ASSERT_EQ(input_word(word, sizeof word), WORD_OK);
    EXPECT_STREQ(word, "quit");
}

TEST(WindowsInput, TextModeLineEnds) {
    ASSERT_NE(pipe_writer(), nullptr);
    char line[64];
    // The CR that ends one write pairs with the LF that starts the next, written later.
    send("abc\r\ndef\r");
    std::thread later([] {
        Sleep(200);
        send("\nlone\rcr\n");
    });
    ASSERT_TRUE(input_line(line, sizeof line));
    EXPECT_STREQ(line, "abc\n");
    ASSERT_TRUE(input_line(line, sizeof line));
    later.join();
    EXPECT_STREQ(line, "def\n");
    ASSERT_TRUE(input_line(line, sizeof line));
    EXPECT_STREQ(line, "lone\rcr\n");
}

TEST(WindowsInput, ClosedPipeEndsInput) {
    ASSERT_NE(pipe_writer(), nullptr);
    send("e2e4\n");
    char word[16];
    ASSERT_EQ(input_word(word, sizeof word), WORD_OK);
    EXPECT_STREQ(word, "e2e4");
    send(".");
    CloseHandle(pipe_writer());
    EXPECT_EQ(bioskey(), 0); // the '.' is taken out of the pipe
    EXPECT_FALSE(input_ended());
    EXPECT_EQ(bioskey(), 0); // and then the pipe is found broken
    EXPECT_TRUE(input_ended());
    EXPECT_EQ(input_word(word, sizeof word), WORD_EOF);
}

TEST(WindowsClock, CalendarMilliseconds) {
    EXPECT_LT(get_ms() - (uint32_t)((unsigned long long)time(nullptr) * 1000), 2000u);
    const uint32_t start = get_ms();
    Sleep(50);
    EXPECT_GE(get_ms() - start, 40u);
    EXPECT_LT(get_ms() - start, 1000u);
}
