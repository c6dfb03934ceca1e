#include "platform/win32/Strings.h"

#include <gtest/gtest.h>

namespace {

TEST(StringsTest, TheLengthCountsBytesWithoutTheTerminator) {
    struct Case {
        const char* text;
        int length;
    };
    const Case cases[] = {
        {"", 0},              // empty
        {"a", 1},             // one byte
        {"/pics/a.bmp", 11},  // a Path
        {"größe", 7},         // two 2-byte letters
        {"\xFF\xFE", 2},      // not UTF-8: still bytes
        {"ab\0cd", 2},        // stops at the first zero
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(lstrlenA(c.text), c.length);
    }
}

TEST(StringsTest, ANullTextHasLengthZero) {
    EXPECT_EQ(lstrlenA(nullptr), 0);
}

}  // namespace
