// The input reader and the runtime generator.
#include <gtest/gtest.h>

#include <string>

#include "platform.h"

TEST(Platform, RuntimeGenerator) {
    rt_srand(0);
    EXPECT_EQ(rt_rand(), 38);
    EXPECT_EQ(rt_rand(), 7719);
    EXPECT_EQ(rt_rand(), 21238);
    rt_srand(1);
    EXPECT_EQ(rt_rand(), 41);
    EXPECT_EQ(rt_rand(), 18467);
}

TEST(Platform, Words) {
    input_use_text("  hello\n\tworld e2e4");
    char w[8];
    EXPECT_EQ(input_word(w, sizeof w), WORD_OK);
    EXPECT_STREQ(w, "hello");
    EXPECT_EQ(input_word(w, sizeof w), WORD_OK);
    EXPECT_STREQ(w, "world");
    EXPECT_EQ(input_word(w, sizeof w), WORD_OK);
    EXPECT_STREQ(w, "e2e4");
    EXPECT_EQ(input_word(w, sizeof w), WORD_EOF);
    EXPECT_TRUE(input_ended());
}

TEST(Platform, LongWordRefusedWhole) {
    std::string text(10000, 'x');
    text += " next";
    input_use_text(text.c_str());
    char w[256];
    EXPECT_EQ(input_word(w, sizeof w), WORD_TOO_LONG);
    EXPECT_EQ(std::string(w), std::string(255, 'x'));
    EXPECT_EQ(input_word(w, sizeof w), WORD_OK);
    EXPECT_STREQ(w, "next");
}

TEST(Platform, Integers) {
    input_use_text(" 42 -7 +3 abc -x 99999999999");
    int n = 0;
    EXPECT_EQ(input_int(&n), 1);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(input_int(&n), 1);
    EXPECT_EQ(n, -7);
    EXPECT_EQ(input_int(&n), 1);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(input_int(&n), 0); // not a number: nothing consumed
    char w[8];
    input_word(w, sizeof w);
    EXPECT_STREQ(w, "abc");
    EXPECT_EQ(input_int(&n), 0);
    input_word(w, sizeof w);
    EXPECT_STREQ(w, "-x");
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
    size_t total = 0;
    do {
        ASSERT_TRUE(input_line(line, sizeof line));
        total += std::string(line).size();
    } while (line[std::string(line).size() - 1] != '\n');
    EXPECT_EQ(total, big.size() + 1);
    ASSERT_TRUE(input_line(line, sizeof line));
    EXPECT_STREQ(line, "quit\n");
    EXPECT_FALSE(input_line(line, sizeof line));
}
