#include <gtest/gtest.h>

#include "app/strcon.h"
#include "tests/common/testutil.h"

TEST(StringCollection, FindTextPositionsAndCase) {
    kv::TStringCollection s;
    EXPECT_EQ(s.FindText("b", "abcb"), 2u);
    EXPECT_EQ(s.FindText("b", "abcb", 3), 4u);
    EXPECT_EQ(s.FindText("b", "abcb", 5), 0u);
    EXPECT_EQ(s.FindText("B", "abcb"), 0u);
    EXPECT_EQ(s.FindText("B", "abcb", 0, true), 2u);
    // Positions count bytes of the UTF-8 text.
    EXPECT_EQ(s.FindText("москва", "Город Москва", 0, true), std::string("Город ").size() + 1);
    EXPECT_EQ(s.FindText("ёлка", "ЁЛКА", 0, true), 1u);
    EXPECT_EQ(s.FindText("x", "abc", 99), 0u);
}

TEST(StringCollection, TextAfterAndBefore) {
    kv::TStringCollection s;
    EXPECT_EQ(s.TextAfter("=", "a=b=c"), "b=c");
    EXPECT_EQ(s.TextAfter("#", "a=b"), "");
    EXPECT_EQ(s.TextBefore("=", "a=b=c"), "a");
    EXPECT_EQ(s.TextBefore("#", "a=b"), "a=b");
    EXPECT_EQ(s.TextAfter("A", "aA"), "");  // case-sensitive
    EXPECT_EQ(s.UpperText("щука"), "ЩУКА");
}
