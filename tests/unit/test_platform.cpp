// The input reader and the duration formatter of the test reports (the runtime generator is
// pinned through the learn keys: test_hash).
#include <gtest/gtest.h>

#include <string>

#include "platform.h"
#include "stats.h"

TEST(Stats, TimeClean) {
    for (auto [ms, text] :
         {std::pair{999, "00:00:00"}, {45296000, "12:34:56"}, {360000000, "100:00:00"}})
        EXPECT_STREQ(Time_clean(ms), text);
}

TEST(Platform, WordsAndLongWords) {
    std::string text = "  hello\n\tworld " + std::string(10000, 'x') + " e2e4";
    input_use_text(text.c_str());
    char w[256];
    EXPECT_EQ(input_word(w, 8), WORD_OK);
    EXPECT_STREQ(w, "hello");
    EXPECT_EQ(input_word(w, 8), WORD_OK);
    EXPECT_STREQ(w, "world");
    // A word too long is refused whole, its first part given.
    EXPECT_EQ(input_word(w, sizeof w), WORD_TOO_LONG);
    EXPECT_EQ(std::string(w), std::string(255, 'x'));
    EXPECT_EQ(input_word(w, 8), WORD_OK);
    EXPECT_STREQ(w, "e2e4");
    EXPECT_EQ(input_word(w, 8), WORD_EOF);
    EXPECT_TRUE(input_ended());
}

TEST(Platform, Integers) {
    input_use_text(" 42 -7 +3 abc -x 99999999999");
    int n = 0;
    for (int want : {42, -7, 3}) {
        EXPECT_EQ(input_int(&n), 1);
        EXPECT_EQ(n, want);
    }
    char w[8];
    for (const char *word : {"abc", "-x"}) { // not a number: nothing consumed
        EXPECT_EQ(input_int(&n), 0);
        input_word(w, sizeof w);
        EXPECT_STREQ(w, word);
    }
    EXPECT_EQ(input_int(&n), 1);
    EXPECT_EQ(n, 2147483647);
    EXPECT_EQ(input_int(&n), -1);
}

TEST(Platform, Lines) {
    std::string big(1 << 20, 'a');
    std::string text = "go\n" + big + "\nquit\n";
    input_use_text(text.c_str());
    char line[256];
    ASSERT_TRUE(input_line(line, sizeof line));
    EXPECT_STREQ(line, "go\n");
    std::string long_line;
    do {
        ASSERT_TRUE(input_line(line, sizeof line));
        long_line += line;
    } while (long_line.back() != '\n');
    EXPECT_EQ(long_line, big + "\n");
    ASSERT_TRUE(input_line(line, sizeof line));
    EXPECT_STREQ(line, "quit\n");
    EXPECT_FALSE(input_line(line, sizeof line));
}
