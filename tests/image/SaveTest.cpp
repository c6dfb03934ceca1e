#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "image/CDibImage.h"
#include "tests/fakes/GdiplusFakes.h"
#include "tests/support/RawTestCodec.h"
#include "tests/support/TempFolder.h"

namespace {

using gdiplus_testing::WriteStep;

const GUID kRawFormat = {0x7E570002, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}};

// Rows whose every byte differs, top row first.
void FillRows(CDibImage& image, size_t rowBytes) {
    for (int y = 0; y < image.height(); ++y) {
        for (size_t i = 0; i < rowBytes; ++i)
            image.firstRow()[y * image.pitch() + i] = static_cast<BYTE>(7 * y + i + 1);
    }
}

Bytes Row(const CDibImage& image, int y, size_t size) {
    const BYTE* row = image.firstRow() + y * image.pitch();
    return Bytes(row, row + size);
}

TEST(SaveTest, TheEncoderGetsTheSectionAtItsDepthOrTheAlphaPixels) {
    // clang-format off
    const struct { WORD bpp; DWORD compression; DWORD masks[3]; DWORD flags; PixelFormat reaches; } cases[] = {
        {1, BI_RGB, {}, 0, PixelFormat1bppIndexed}, {4, BI_RGB, {}, 0, PixelFormat4bppIndexed},
        {8, BI_RGB, {}, 0, PixelFormat8bppIndexed}, {16, BI_RGB, {}, 0, PixelFormat16bppRGB555},
        {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 0, PixelFormat16bppRGB565},
        {24, BI_RGB, {}, 0, PixelFormat24bppRGB}, {32, BI_RGB, {}, 0, PixelFormat32bppRGB},
        {32, BI_RGB, {}, 1, PixelFormat32bppARGB},
    };
    // clang-format on
    RegisterRawTestCodec();
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pixel format 0x" << std::hex << c.reaches);
        CDibImage image;
        ASSERT_TRUE(image.Create(5, 3, c.bpp, c.compression, c.masks, c.flags));
        const RGBQUAD entries[2] = {{10, 20, 30, 0}, {40, 50, 60, 0}};
        if (c.bpp <= 8)
            image.SetColorTable(0, 2, entries);
        const size_t rowBytes = (5 * c.bpp + 7) / 8;
        FillRows(image, rowBytes);
        const std::string path = folder.File("a.rawtest");
        ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
        ImageBuffer saved;
        ASSERT_EQ(ReadRawTestFile(path, saved), Ok);
        EXPECT_EQ(saved.Format(), c.reaches);
        EXPECT_EQ(saved.Width(), 5u);
        ASSERT_EQ(saved.Height(), 3u);
        for (UINT y = 0; y < 3; ++y)
            EXPECT_EQ(Bytes(saved.Row(y), saved.Row(y) + rowBytes), Row(image, y, rowBytes)) << y;
        // The whole colour table, alpha set, black beyond the entries given.
        std::vector<ARGB> palette(c.bpp <= 8 ? 1u << c.bpp : 0, 0xFF000000);
        if (c.bpp <= 8)
            palette[0] = 0xFF1E140A, palette[1] = 0xFF3C3228;
        EXPECT_EQ(saved.Palette(), palette);
    }
}

TEST(SaveTest, TheFormatIdOrElseTheExtensionChoosesTheEncoder) {
    GUID almostRaw = kRawFormat;
    almostRaw.Data4[7] = 9;
    // starts: the file's first bytes; empty when refused, and then no file is made
    // clang-format off
    const struct { const char* name; GUID format; std::string starts; } cases[] = {
        {"a.bmp", GUID_NULL, "BM"},             {"a.Rle", GUID_NULL, "BM"},
        {"a.tar.rawtest", GUID_NULL, "RAWTEST1"}, {"a.bmp", kRawFormat, "RAWTEST1"},
        {"a.rawtest", almostRaw, ""},           {"a.bm", GUID_NULL, ""},
        {"a", GUID_NULL, ""},                   {"pics.rawtest/a", GUID_NULL, ""},
        {"a.rawtest x", GUID_NULL, ""},         {"nowhere/a.rawtest", GUID_NULL, ""},
    };
    // clang-format on
    RegisterRawTestCodec();
    TempFolder folder;
    ::mkdir(folder.File("pics.rawtest").c_str(), 0700);
    CDibImage image;
    ASSERT_TRUE(image.Create(2, 2, 24, BI_RGB, nullptr, 0));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File(c.name);
        ASSERT_EQ(image.Save(path.c_str(), c.format), c.starts.empty() ? E_FAIL : S_OK);
        if (!c.starts.empty()) {
            const Bytes file = ReadFileBytes(path);
            EXPECT_EQ(std::string(file.begin(), file.begin() + c.starts.size()), c.starts);
            ::unlink(path.c_str());
        }
        EXPECT_EQ(ListFolder(folder.Path()), "pics.rawtest");
        EXPECT_EQ(ListFolder(folder.File("pics.rawtest")), "");
    }
}

TEST(SaveTest, AFailedSaveLeavesTheEarlierFileAndNothingElse) {
    // writeAfter: with the write failing; else at the step
    // clang-format off
    const struct { const char* what; int error; size_t writeAfter; WriteStep step; } cases[] = {
        {"disk full at once", ENOSPC, 0, WriteStep::Sync}, {"disk full in the rows", ENOSPC, 5000, WriteStep::Sync},
        {"flush", EIO, SIZE_MAX, WriteStep::Sync}, {"close", ENOSPC, SIZE_MAX, WriteStep::Close},
        {"rename", EIO, SIZE_MAX, WriteStep::Rename},
    };
    // clang-format on
    RegisterRawTestCodec();
    TempFolder folder;
    const std::string path = folder.File("a.rawtest");
    WriteFileBytes(path, {'o', 'l', 'd'});
    ::chmod(path.c_str(), 0604);
    CDibImage image;
    ASSERT_TRUE(image.Create(64, 64, 24, BI_RGB, nullptr, 0));
    for (const auto& c : cases) {
        if (c.writeAfter != SIZE_MAX)
            gdiplus_testing::InjectWriteError(c.error, c.writeAfter);
        else
            gdiplus_testing::InjectStepError(c.step, c.error);
        EXPECT_EQ(image.Save(path.c_str(), GUID_NULL), E_FAIL) << c.what;
        gdiplus_testing::InjectWriteError(0, 0);
        gdiplus_testing::InjectStepError(c.step, 0);
        EXPECT_EQ(ListFolder(folder.Path()), "a.rawtest") << c.what;
        EXPECT_EQ(ReadFileBytes(path), Bytes({'o', 'l', 'd'})) << c.what;
    }
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
    ImageBuffer replaced;
    EXPECT_EQ(ReadRawTestFile(path, replaced), Ok);
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u) << "the replaced file's mode is kept";
}

TEST(SaveTest, ABmpHoldsEveryRowBottomUpWithZeroPaddingHoweverManyRows) {
    TempFolder folder;
    // Rows with and without padding, and more rows than one system call takes.
    const std::tuple<int, int, WORD> cases[] = {{5, 2100, 24}, {4, 1500, 24}, {3, 700, 16}};
    for (const auto& [width, height, bpp] : cases) {
        SCOPED_TRACE(testing::Message() << width << "x" << height << " at " << bpp);
        CDibImage image;
        ASSERT_TRUE(image.Create(width, height, bpp, BI_RGB, nullptr, 0));
        const size_t rowBytes = width * bpp / 8, stride = (rowBytes + 3) / 4 * 4;
        FillRows(image, rowBytes);
        const std::string path = folder.File("rows.bmp");
        ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
        const Bytes file = ReadFileBytes(path);
        ASSERT_EQ(file.size(), 54 + stride * height);
        for (int y = 0; y < height; ++y) {
            Bytes want = Row(image, y, rowBytes);
            want.resize(stride, 0);
            const auto saved = file.begin() + 54 + (height - 1 - y) * stride;
            ASSERT_EQ(Bytes(saved, saved + stride), want) << "row " << y;
        }
    }
}

}  // namespace
