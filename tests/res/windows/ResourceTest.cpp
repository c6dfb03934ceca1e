// The Windows program's icon group and version record, read from
// dorvalune.exe as the file manager reads them: the same nine images as the
// Linux group, pixel for pixel, and the project's version.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "res/Resource.h"
#include "res/VersionStrings.h"
#include "tests/support/TestFiles.h"

namespace {

// The executable's resources, loaded as data: nothing of it runs.
class ProgramResources {
public:
    ProgramResources()
        : m_module(LoadLibraryExA(DORVALUNE_PROGRAM, nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ProgramResources() {
        if (m_module != nullptr)
            FreeLibrary(m_module);
    }
    ProgramResources(const ProgramResources&) = delete;
    ProgramResources& operator=(const ProgramResources&) = delete;

    bool Loaded() const { return m_module != nullptr; }
    // The resource's bytes; empty when there is none.
    Bytes Get(LPCSTR type, WORD id) const {
        HRSRC found = FindResourceA(m_module, MAKEINTRESOURCEA(id), type);
        if (found == nullptr)
            return {};
        const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(m_module, found)));
        return Bytes(data, data + SizeofResource(m_module, found));
    }

private:
    HMODULE m_module;
};

unsigned Le(const Bytes& bytes, size_t at, int size) {
    unsigned value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes.at(at + static_cast<size_t>(i));
    return value;
}

// An XPM image of res/icons: each pixel 0xRRGGBB, or -1 where transparent.
std::vector<long> XpmPixels(const std::string& path, int& size) {
    const Bytes file = ReadFileBytes(path);
    const std::string text(file.begin(), file.end());
    std::vector<std::string> strings;
    for (size_t at = text.find('"'); at != std::string::npos; at = text.find('"', at + 1)) {
        const size_t end = text.find('"', at + 1);
        strings.push_back(text.substr(at + 1, end - at - 1));
        at = end;
    }
    int height = 0, colours = 0, perPixel = 0;
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
std::vector<long> IconPixels(const Bytes& image, int& size, int& bits) {
    size = static_cast<int>(Le(image, 4, 4));
    bits = static_cast<int>(Le(image, 14, 2));
    const size_t table = 40;
    const size_t colourBits = table + (bits <= 8 ? 4u << bits : 0u);
    const size_t colourRow = static_cast<size_t>((size * bits + 31) / 32 * 4);
    const size_t maskBits = colourBits + colourRow * static_cast<size_t>(size);
    const size_t maskRow = static_cast<size_t>((size + 31) / 32 * 4);
    std::vector<long> pixels;
    for (int y = 0; y < size; ++y) {
        const size_t row = static_cast<size_t>(size - 1 - y);
        for (int x = 0; x < size; ++x) {
            if (image.at(maskBits + row * maskRow + static_cast<size_t>(x / 8)) &
                (0x80 >> (x % 8))) {
                pixels.push_back(-1);
                continue;
            }
            const size_t at = colourBits + row * colourRow;
            unsigned bgr = 0;
            if (bits == 24) {
                bgr = Le(image, at + static_cast<size_t>(x) * 3, 3);
            } else {
                const unsigned index =
                    bits == 8
                        ? image.at(at + static_cast<size_t>(x))
                        : (image.at(at + static_cast<size_t>(x / 2)) >> (x % 2 == 0 ? 4 : 0)) & 0xF;
                bgr = Le(image, table + index * 4, 3);
            }
            pixels.push_back(static_cast<long>(bgr));  // 0xRRGGBB once read little-endian
        }
    }
    return pixels;
}

std::string VersionString(const Bytes& info, const std::string& key) {
    char* value = nullptr;
    UINT length = 0;
    const std::string query = "\\StringFileInfo\\040704e4\\" + key;
    if (!VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        return "(none)";
    return value;
}

}  // namespace

TEST(ResourceTest, TheIconGroupHoldsTheNineImagesOfTheLinuxGroupPixelForPixel) {
    const ProgramResources program;
    ASSERT_TRUE(program.Loaded()) << DORVALUNE_PROGRAM;
    const Bytes group = program.Get(RT_GROUP_ICON, IDI_APP_ICON);
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
        const Bytes image = program.Get(RT_ICON, static_cast<WORD>(Le(group, entry + 12, 2)));
        ASSERT_EQ(image.size(), Le(group, entry + 8, 4));
        int size = 0, bits = 0, xpmSize = 0;
        const std::vector<long> pixels = IconPixels(image, size, bits);
        const std::vector<long> expected = XpmPixels(DORVALUNE_SOURCE_DIR "/res/icons/dorvalune-" +
                                                         std::to_string(images[i].size) + "-" +
                                                         std::to_string(images[i].bits) + ".xpm",
                                                     xpmSize);
        EXPECT_EQ(size, images[i].size);
        EXPECT_EQ(bits, images[i].bits);
        EXPECT_EQ(pixels, expected);
    }
    // What the shell shows for the file: one icon.
    EXPECT_EQ(ExtractIconExA(DORVALUNE_PROGRAM, -1, nullptr, nullptr, 0), 1u);
}

TEST(ResourceTest, TheVersionRecordGivesTheProjectsVersionInGerman) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(DORVALUNE_PROGRAM, &handle);
    ASSERT_GT(size, 0u) << DORVALUNE_PROGRAM;
    Bytes info(size);
    ASSERT_TRUE(GetFileVersionInfoA(DORVALUNE_PROGRAM, 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string dotted = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                               std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                               std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                               std::to_string(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(dotted, DORVALUNE_VERSION);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
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
    for (const auto& string : strings)
        EXPECT_EQ(VersionString(info, string.key), string.value) << string.key;
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0407);  // German (Germany)
    EXPECT_EQ(translation[1], 0x04E4);  // code page 1252
}
