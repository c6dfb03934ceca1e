// The program's resources as the loader finds them: the icon group and the
// version record.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/win32/ResourceFormats.h"
#include "platform/win32/Resources.h"
#include "res/Resource.h"

namespace {

template <typename T>
const T* Load(WORD type, WORD id) {
    const HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    if (found == nullptr)
        return nullptr;
    return static_cast<const T*>(LockResource(LoadResource(module, found)));
}

}  // namespace

TEST(ResourceTest, TheIconGroupHoldsNineImagesThreeSizesAtEachOfThreeDepthsInOrder) {
    const GRPICONDIR* group = Load<GRPICONDIR>(14, IDI_APP_ICON);
    ASSERT_NE(group, nullptr);
    const struct {
        int size, bits;
    } images[] = {{48, 4}, {32, 4},  {16, 4},  {48, 8}, {32, 8},
                  {16, 8}, {48, 24}, {32, 24}, {16, 24}};
    ASSERT_EQ(group->idCount, 9);
    for (WORD i = 0; i < group->idCount; ++i) {
        const GRPICONDIRENTRY& entry = group->idEntries[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(entry.nId, i + 1);
        EXPECT_EQ(entry.bWidth, images[i].size);
        EXPECT_EQ(entry.bHeight, images[i].size);
        EXPECT_EQ(entry.wBitCount, images[i].bits);
        EXPECT_EQ(entry.bColorCount, images[i].bits == 4 ? 16 : 0);  // 0: 256 or more
        // The image itself: its size, and no more colours than its depth holds;
        // the deeper images are shaded, so they use more than the 16 colours.
        const auto* xpm = Load<const char*>(3, entry.nId);
        ASSERT_NE(xpm, nullptr);
        int width = 0, height = 0, colours = 0, charsPerPixel = 0;
        ASSERT_EQ(std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &charsPerPixel), 4);
        EXPECT_EQ(width, images[i].size);
        EXPECT_EQ(height, images[i].size);
        if (images[i].bits < 24) {
            EXPECT_LE(colours, 1 << images[i].bits);
        }
        if (images[i].bits > 4) {
            EXPECT_GT(colours, 16);
        }
        for (int row = 0; row < height; ++row) {
            EXPECT_EQ(std::string(xpm[1 + colours + row]).size(),
                      static_cast<size_t>(width * charsPerPixel));
        }
    }
}

TEST(ResourceTest, TheVersionRecordGivesTheProjectsVersion) {
    const auto* version = Load<VS_VERSIONINFO>(16, 1);
    ASSERT_NE(version, nullptr);
    const VS_FIXEDFILEINFO& fixed = version->fixed;
    const std::string dotted = std::to_string(fixed.dwFileVersionMS >> 16) + "." +
                               std::to_string(fixed.dwFileVersionMS & 0xFFFF) + "." +
                               std::to_string(fixed.dwFileVersionLS >> 16) + "." +
                               std::to_string(fixed.dwFileVersionLS & 0xFFFF);
    EXPECT_EQ(dotted, DORVALUNE_VERSION);
    EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
    EXPECT_EQ(fixed.dwProductVersionLS, fixed.dwFileVersionLS);
    for (WORD i = 0; i < version->stringCount; ++i) {
        const std::string key = version->strings[i].key;
        if (key == "FileVersion" || key == "ProductVersion") {
            EXPECT_EQ(std::string(version->strings[i].value), DORVALUNE_VERSION) << key;
        }
    }
}
