#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/scopedvalue.h"

namespace kv {
namespace {

TEST(ScopedValue, NestedScopesRestoreInTurnAlsoWhenTheInnerOneThrows) {
    int width = 10;
    {
        TScopedValue outer(width, 20);
        EXPECT_EQ(width, 20);
        EXPECT_EQ(outer.Saved(), 10);
        EXPECT_THROW(
            {
                TScopedValue inner(width, 30);
                EXPECT_EQ(width, 30);
                throw std::runtime_error("layout failed");
            },
            std::runtime_error);
        EXPECT_EQ(width, 20);
    }
    EXPECT_EQ(width, 10);
}

TEST(ScopedValue, APointerHandedOnIsPutBack) {
    int outerBaseline = 0, innerBaseline = 0;
    int* current = &outerBaseline;
    {
        TScopedValue baseline(current, &innerBaseline);
        *current = 7;
    }
    EXPECT_EQ(current, &outerBaseline);
    EXPECT_EQ(innerBaseline, 7);
    EXPECT_EQ(outerBaseline, 0);
}

}  // namespace
}  // namespace kv
