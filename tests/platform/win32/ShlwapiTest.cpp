#include "platform/win32/Shlwapi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct ExtensionCase {
    const char* path;
    const char* extension;  // the text from the returned pointer on
};

// ASCII only, so that each case reads the same as UTF-16.
const ExtensionCase kCases[] = {
    {"a.bmp", ".bmp"},
    {"/pics/a.bmp", ".bmp"},
    {"/pics/a.BMP", ".BMP"},
    {"/pics/a.tar.gz", ".gz"},
    {"/pics/.hidden", ".hidden"},
    {"/pics/a.", "."},
    {"/my pics/a.bmp", ".bmp"},  // a space before the dot does not matter
    {"/pics/a", ""},
    {"", ""},
    {"/pics.d/a", ""},    // a dot in a folder name never counts
    {"/pics/a.b c", ""},  // nor one that a space follows
    {"/pics/a. ", ""},
    {"/pics/a.bmp/", ""},
    {"pics.d\\a", ".d\\a"},  // a backslash is part of the file name
    {"C:\\pics\\a.bmp", ".bmp"},
};

std::u16string Widen(const char* ascii) {
    return std::u16string(ascii, ascii + std::strlen(ascii));
}

TEST(ShlwapiTest, TheNarrowExtensionStartsAtTheLastDotOfTheLastComponent) {
    for (const ExtensionCase& c : kCases) {
        SCOPED_TRACE(c.path);
        const char* extension = PathFindExtensionA(c.path);
        // Always a pointer into the path, at the terminator when there is none.
        ASSERT_EQ(extension, c.path + std::strlen(c.path) - std::strlen(c.extension));
        EXPECT_STREQ(extension, c.extension);
    }
}

TEST(ShlwapiTest, TheWideExtensionFollowsTheSameRule) {
    for (const ExtensionCase& c : kCases) {
        SCOPED_TRACE(c.path);
        const std::u16string path = Widen(c.path);
        const WCHAR* extension = PathFindExtensionW(path.c_str());
        ASSERT_EQ(extension, path.c_str() + path.size() - std::strlen(c.extension));
        EXPECT_EQ(std::u16string(extension), Widen(c.extension));
    }
}

TEST(ShlwapiTest, NonAsciiNamesKeepTheirExtension) {
    const char* narrow = "/bilder/größe.bmp";
    EXPECT_STREQ(PathFindExtensionA(narrow), ".bmp");
    const std::u16string wide = u"/\u5199\u771F/\U0001F600.png";
    EXPECT_EQ(std::u16string(PathFindExtensionW(wide.c_str())), u".png");
}

TEST(ShlwapiTest, ANullPathHasNoExtension) {
    EXPECT_EQ(PathFindExtensionA(nullptr), nullptr);
    EXPECT_EQ(PathFindExtensionW(nullptr), nullptr);
}

}  // namespace
