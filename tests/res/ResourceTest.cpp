// The program's resources as the loader finds them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/win32/LastError.h"
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

TEST(ResourceTest, ResourcesAreFoundByTypeAndIdAndMissingOnesSayWhatIsMissing) {
    EXPECT_NE(Load<DLGTEMPLATEEX>(5, IDD_MAIN_DIALOG), nullptr);
    EXPECT_NE(Load<GRPICONDIR>(14, IDI_APP_ICON), nullptr);
    EXPECT_NE(Load<VS_VERSIONINFO>(16, 1), nullptr);

    const struct {
        WORD type;
        WORD id;
        DWORD error;
    } missing[] = {{5, 103, ERROR_RESOURCE_NAME_NOT_FOUND}, {4, 1, ERROR_RESOURCE_TYPE_NOT_FOUND}};
    for (const auto& m : missing) {
        SetLastError(0);
        EXPECT_EQ(Load<void>(m.type, m.id), nullptr);
        EXPECT_EQ(GetLastError(), m.error);
    }
}

TEST(ResourceTest, TheMainDialogTemplateCarriesItsStyleBitsAndDialogUnits) {
    const DLGTEMPLATEEX* dialog = Load<DLGTEMPLATEEX>(5, IDD_MAIN_DIALOG);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->style, 0x90C800C8u);
    EXPECT_EQ(dialog->exStyle, 0x00040000u);
    EXPECT_EQ(std::string(dialog->title), "Dorvalune");
    EXPECT_EQ(std::string(dialog->typeface), "MS Shell Dlg");
    EXPECT_EQ(dialog->pointsize, 8);
    EXPECT_EQ(dialog->charset, 1);
    EXPECT_EQ(dialog->cx, 236);
    EXPECT_EQ(dialog->cy, 124);
    ASSERT_EQ(dialog->cDlgItems, 3);
    const struct {
        DWORD id;
        WORD windowClass;
        DWORD style;
        short x, y, cx, cy;
    } items[] = {
        {1, 0x0080, 0x50010001, 179, 101, 50, 16},
        {1000, 0x0083, 0x50A10103, 7, 7, 222, 90},
        {1002, 0x0080, 0x50010000, 121, 103, 50, 14},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const DLGITEMTEMPLATEEX& item = dialog->items[i];
        EXPECT_EQ(item.id, items[i].id);
        EXPECT_EQ(item.windowClass, items[i].windowClass);
        EXPECT_EQ(item.style, items[i].style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, items[i].x);
        EXPECT_EQ(item.y, items[i].y);
        EXPECT_EQ(item.cx, items[i].cx);
        EXPECT_EQ(item.cy, items[i].cy);
    }
}

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
    const VS_VERSIONINFO* version = Load<VS_VERSIONINFO>(16, 1);
    ASSERT_NE(version, nullptr);
    const VS_FIXEDFILEINFO& fixed = version->fixed;
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    char dotted[32];
    std::snprintf(dotted, sizeof(dotted), "%u.%u.%u.%u", fixed.dwFileVersionMS >> 16,
                  fixed.dwFileVersionMS & 0xFFFF, fixed.dwFileVersionLS >> 16,
                  fixed.dwFileVersionLS & 0xFFFF);
    EXPECT_EQ(std::string(dotted), DORVALUNE_VERSION);
    EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
    EXPECT_EQ(fixed.dwProductVersionLS, fixed.dwFileVersionLS);
    EXPECT_EQ(fixed.dwFileType, 1u);  // an application
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(std::string(version->stringTableKey), "040704e4");
    EXPECT_EQ(version->translation[0], 0x0407);
    EXPECT_EQ(version->translation[1], 0x04E4);

    std::string fileVersion, productVersion, internalName, originalName;
    for (WORD i = 0; i < version->stringCount; ++i) {
        const std::string key = version->strings[i].key;
        if (key == "FileVersion")
            fileVersion = version->strings[i].value;
        if (key == "ProductVersion")
            productVersion = version->strings[i].value;
        if (key == "InternalName")
            internalName = version->strings[i].value;
        if (key == "OriginalFilename")
            originalName = version->strings[i].value;
    }
    EXPECT_EQ(fileVersion, DORVALUNE_VERSION);
    EXPECT_EQ(productVersion, DORVALUNE_VERSION);
    EXPECT_EQ(internalName, "Dorvalune.exe");
    EXPECT_EQ(originalName, "Dorvalune.exe");
}

}  // namespace
