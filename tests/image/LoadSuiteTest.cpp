#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/PixelConversion.h"
#include "tests/support/RawTestCodec.h"
#include "tests/support/TempFolder.h"

namespace {

struct SuiteResult {
    int loaded = 0;
    int failed = 0;
};

// Loads every file of a suite folder; under the sanitizers a stray read fails the run.
SuiteResult LoadFolder(const std::string& folder) {
    SuiteResult result;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        CDibImage image;
        if (image.Load(entry.path().c_str()) == S_OK) {
            ++result.loaded;
            EXPECT_GT(image.width(), 0) << entry.path();
            // The top-left pixel is readable through the platform.
            image.GetPixel(0, 0);
        } else {
            ++result.failed;
            EXPECT_EQ(image.section(), nullptr) << entry.path();
        }
    }
    return result;
}

}  // namespace

TEST(LoadSuiteTest, EveryBitmapOfTheSuiteLoadsOrFailsCleanly) {
    const std::string suite = DORVALUNE_TESTDATA_DIR "/bmpsuite/";
    if (!std::filesystem::exists(suite))
        GTEST_SKIP() << "no bitmap suite at " << suite;
    const SuiteResult good = LoadFolder(suite + "g");
    const SuiteResult questionable = LoadFolder(suite + "q");
    const SuiteResult bad = LoadFolder(suite + "b");
    EXPECT_EQ(good.failed, 0);
    EXPECT_GT(good.loaded, 20);
    EXPECT_GT(questionable.loaded, 0);
    EXPECT_EQ(bad.loaded, 0);
    EXPECT_GT(bad.failed, 10);
}

TEST(LoadSuiteTest, EveryPngOfTheSuiteLoadsOrFailsCleanly) {
    const std::string suite = DORVALUNE_TESTDATA_DIR "/pngsuite";
    if (!std::filesystem::exists(suite))
        GTEST_SKIP() << "no PNG suite at " << suite;
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(suite)) {
        if (entry.path().extension() != ".png")
            continue;
        CDibImage image;
        const bool corrupt = entry.path().filename().string()[0] == 'x';
        const HRESULT result = image.Load(entry.path().c_str());
        EXPECT_EQ(result, corrupt ? E_FAIL : S_OK) << entry.path();
        loaded += result == S_OK;
    }
    EXPECT_GT(loaded, 100);
}

namespace {

std::vector<BYTE> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
}

}  // namespace

TEST(LoadSuiteTest, BitmapsLoadedInPlaceReadLikeDecodedOnes) {
    const std::string suite = DORVALUNE_TESTDATA_DIR "/bmpsuite/g/";
    if (!std::filesystem::exists(suite))
        GTEST_SKIP() << "no bitmap suite at " << suite;
    TempFolder folder;
    std::vector<std::string> paths;
    for (const char* name : {"rgb24.bmp", "rgb32.bmp", "rgb24pal.bmp", "rgb32bf.bmp"}) {
        paths.push_back(suite + name);
    }
    // The same picture stored top-down: negative height, rows in reverse.
    std::vector<BYTE> bytes = ReadAll(suite + "rgb24.bmp");
    const UINT offset = bytes[10] | (bytes[11] << 8);
    const INT width = bytes[18] | (bytes[19] << 8), height = bytes[22] | (bytes[23] << 8);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<BYTE> flipped(bytes);
    for (INT r = 0; r < height; ++r) {
        std::copy_n(bytes.begin() + offset + r * stride, stride,
                    flipped.begin() + offset + (height - 1 - r) * stride);
    }
    const INT negative = -height;
    std::memcpy(&flipped[22], &negative, 4);
    paths.push_back(folder.File("topdown.bmp"));
    WriteFileBytes(paths.back(), flipped);

    for (const std::string& path : paths) {
        const std::vector<BYTE> file = ReadAll(path);
        ImageBuffer reference;
        ASSERT_EQ(DecodeBmp(file.data(), file.size(), reference), Ok) << path;
        CDibImage image;
        ASSERT_EQ(image.Load(path.c_str()), S_OK) << path;
        ASSERT_EQ(image.width(), static_cast<LONG>(reference.Width()));
        std::vector<ARGB> row(reference.Width());
        for (UINT y = 0; y < reference.Height(); ++y) {
            ReadRowArgb(reference.View(), y, row.data());
            for (UINT x = 0; x < reference.Width(); ++x) {
                const ARGB c = row[x];
                ASSERT_EQ(image.GetPixel(x, y), RGB(c >> 16, c >> 8, c))
                    << path << " " << x << "," << y;
            }
        }
    }
}
