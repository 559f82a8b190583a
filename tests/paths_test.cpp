#include <gtest/gtest.h>
#include <string>
#include "base/paths.h"

// "表" in code page 932 is 0x95 0x5C: its second byte looks like a backslash.
static const char HYOU[] = "\x95\x5c";

TEST(Paths, TrailByteWalk) {
    std::string s = std::string("a") + HYOU + "b";
    EXPECT_FALSE(isTrailByte(s.c_str(), 0));
    EXPECT_FALSE(isTrailByte(s.c_str(), 1));
    EXPECT_TRUE(isTrailByte(s.c_str(), 2));
    EXPECT_FALSE(isTrailByte(s.c_str(), 3));
}

TEST(Paths, TrailingBackslashAfterDoubleByteCharacter) {
    char path[16] = "C:\\";
    strcat(path, HYOU);
    ASSERT_TRUE(addTrailingBackslash(path, sizeof path));
    EXPECT_EQ(std::string(path), std::string("C:\\") + HYOU + "\\");
    ASSERT_TRUE(addTrailingBackslash(path, sizeof path));  // already ends in one
    EXPECT_EQ(strlen(path), 6u);

    char empty[4] = "";
    EXPECT_TRUE(addTrailingBackslash(empty, sizeof empty));
    EXPECT_STREQ(empty, "");

    char full[4] = "abc";
    EXPECT_FALSE(addTrailingBackslash(full, sizeof full));
    EXPECT_STREQ(full, "abc");
}

TEST(Paths, LastSeparatorAndDotIgnoreTrailBytes) {
    std::string p = std::string("C:\\dir\\") + HYOU + ".lzh";
    EXPECT_EQ(findLastBackslash(p.c_str()), 6u);
    EXPECT_EQ(findLastDot(p.c_str()), 9u);
    std::string q = std::string("C:\\") + HYOU;
    EXPECT_EQ(findLastBackslash(q.c_str()), 2u);
    EXPECT_EQ(findLastDot(q.c_str()), NO_POSITION);
}
