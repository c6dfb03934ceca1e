// The Windows program's icon group and version record, read from
// dorvalune.exe as the file manager reads them: the same nine images as the
// Linux group, pixel for pixel, and the project's version.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "res/Resource.h"
#include "res/VersionStrings.h"
#include "tests/support/TestFiles.h"

namespace {

unsigned Le(const Bytes& bytes, size_t at, int size) {
    unsigned value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes.at(at + static_cast<size_t>(i));
    return value;
}

// An XPM image of res/icons: each pixel 0xRRGGBB, or -1 where transparent.
std::vector<long> XpmPixels(const std::string& path) {
    const Bytes file = ReadFileBytes(path);
    const std::string text(file.begin(), file.end());
    std::vector<std::string> strings;
    for (size_t at = text.find('"'); at != std::string::npos; at = text.find('"', at + 1)) {
        const size_t end = text.find('"', at + 1);
        strings.push_back(text.substr(at + 1, end - at - 1));
        at = end;
    }
    int size = 0, height = 0, colours = 0, perPixel = 0;
    std::sscanf(strings.at(0).c_str(), "%d %d %d %d", &size, &height, &colours, &perPixel);
    std::map<std::string, long> colourOf;
    for (int i = 1; i <= colours; ++i) {
        const std::string& line = strings.at(static_cast<size_t>(i));
        const std::string value = line.substr(line.find(" c ") + 3);
        colourOf[line.substr(0, static_cast<size_t>(perPixel))] =
            value == "None" ? -1 : std::stol(value.substr(1), nullptr, 16);
    }
    std::vector<long> pixels;
    for (int y = 0; y < height; ++y) {
        const std::string& row = strings.at(static_cast<size_t>(1 + colours + y));
        for (int x = 0; x < size; ++x)
            pixels.push_back(colourOf.at(
                row.substr(static_cast<size_t>(x * perPixel), static_cast<size_t>(perPixel))));
    }
    return pixels;
}

// An RT_ICON image: the information header, the colour table, the colour
// bitmap and the mask, rows bottom up. Each pixel 0xRRGGBB, or -1 where the
// mask makes it transparent.
std::vector<long> IconPixels(const Bytes& image) {
    const size_t size = Le(image, 4, 4), bits = Le(image, 14, 2);
    const size_t colours = 40 + (bits <= 8 ? 4u << bits : 0u);
    const size_t colourRow = (size * bits + 31) / 32 * 4, maskRow = (size + 31) / 32 * 4;
    const size_t mask = colours + colourRow * size;
    std::vector<long> pixels;
    for (size_t y = size; y-- > 0;) {
        const size_t at = colours + y * colourRow;
        for (size_t x = 0; x < size; ++x) {
            const unsigned index =
                bits == 8 ? image.at(at + x) : (image.at(at + x / 2) >> (x % 2 ? 0 : 4)) & 0xF;
            if (image.at(mask + y * maskRow + x / 8) & (0x80 >> (x % 8)))
                pixels.push_back(-1);
            else  // 0xRRGGBB once read little-endian
                pixels.push_back(bits == 24 ? Le(image, at + 3 * x, 3)
                                            : Le(image, 40 + 4 * index, 3));
        }
    }
    return pixels;
}

}  // namespace

TEST(ResourceTest, TheIconGroupHoldsTheNineImagesOfTheLinuxGroupPixelForPixel) {
    // The executable loaded as data: nothing of it runs.
    const HMODULE program = LoadLibraryExA(
        DORVALUNE_PROGRAM, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr) << DORVALUNE_PROGRAM;
    auto resource = [program](LPCSTR type, WORD id) {
        HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(id), type);
        if (found == nullptr)
            return Bytes();
        const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(program, found)));
        return Bytes(data, data + SizeofResource(program, found));
    };
    const Bytes group = resource(RT_GROUP_ICON, IDI_APP_ICON);
    ASSERT_GE(group.size(), 6u);
    const struct {
        int size, bits;
    } images[] = {{48, 4}, {32, 4},  {16, 4},  {48, 8}, {32, 8},
                  {16, 8}, {48, 24}, {32, 24}, {16, 24}};
    ASSERT_EQ(Le(group, 4, 2), 9u);
    for (size_t i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        const size_t entry =
            6 + 14 * i;  // width, height, colours, reserved, planes, bits, bytes, id
        EXPECT_EQ(Le(group, entry, 1), static_cast<unsigned>(images[i].size));
        EXPECT_EQ(Le(group, entry + 2, 1), images[i].bits == 4 ? 16u : 0u);  // 0: 256 or more
        EXPECT_EQ(Le(group, entry + 6, 2), static_cast<unsigned>(images[i].bits));
        const Bytes image = resource(RT_ICON, static_cast<WORD>(Le(group, entry + 12, 2)));
        ASSERT_EQ(image.size(), Le(group, entry + 8, 4));
        EXPECT_EQ(IconPixels(image), XpmPixels(DORVALUNE_SOURCE_DIR "/res/icons/dorvalune-" +
                                               std::to_string(images[i].size) + "-" +
                                               std::to_string(images[i].bits) + ".xpm"));
    }
    FreeLibrary(program);
    // What the shell shows for the file: one icon.
    EXPECT_EQ(ExtractIconExA(DORVALUNE_PROGRAM, -1, nullptr, nullptr, 0), 1u);
}

TEST(ResourceTest, TheVersionRecordGivesTheProjectsVersionInGerman) {
    DWORD handle = 0;
    Bytes info(GetFileVersionInfoSizeA(DORVALUNE_PROGRAM, &handle));
    ASSERT_TRUE(
        GetFileVersionInfoA(DORVALUNE_PROGRAM, 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(fixed->dwFileVersionLS)),
              DORVALUNE_VERSION);
    // Explorer looks the strings up under the language and code page that
    // the translation table names.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0407);  // German (Germany)
    EXPECT_EQ(translation[1], 0x04E4);  // code page 1252
    const struct {
        const char* key;
        std::string value;
    } strings[] = {
        {"FileVersion", DORVALUNE_VERSION},
        {"ProductVersion", DORVALUNE_VERSION},
        {"FileDescription", DORVALUNE_FILE_DESCRIPTION},
        {"ProductName", DORVALUNE_PRODUCT_NAME},
        {"OriginalFilename", DORVALUNE_INTERNAL_NAME},
    };
    for (const auto& string : strings) {
        char* value = nullptr;
        const std::string query = "\\StringFileInfo\\040704e4\\" + std::string(string.key);
        ASSERT_TRUE(
            VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            << string.key;
        EXPECT_EQ(value, string.value) << string.key;
    }
}
