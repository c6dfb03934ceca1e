#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "platform/gdiplus/FileIo.h"
#include "tests/support/RawTestCodec.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<BYTE>;

const GUID kRawFormat = {0x7E570002, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}};

struct SavedCase {
    const char* name;
    WORD bpp;
    DWORD compression;
    DWORD masks[3];
    DWORD flags;
    PixelFormat reaches;
};

}  // namespace

TEST(SaveTest, TheEncoderGetsTheSectionAtItsDepthOrTheAlphaPixels) {
    RegisterRawTestCodec();
    TempFolder folder;
    const SavedCase cases[] = {
        {"1 bit", 1, BI_RGB, {}, 0, PixelFormat1bppIndexed},
        {"4 bit", 4, BI_RGB, {}, 0, PixelFormat4bppIndexed},
        {"8 bit", 8, BI_RGB, {}, 0, PixelFormat8bppIndexed},
        {"5-5-5", 16, BI_RGB, {}, 0, PixelFormat16bppRGB555},
        {"5-6-5", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 0, PixelFormat16bppRGB565},
        {"24 bit", 24, BI_RGB, {}, 0, PixelFormat24bppRGB},
        {"32 bit", 32, BI_RGB, {}, 0, PixelFormat32bppRGB},
        {"32 bit with alpha", 32, BI_RGB, {}, 1, PixelFormat32bppARGB},
    };
    for (const SavedCase& c : cases) {
        SCOPED_TRACE(c.name);
        CDibImage image;
        ASSERT_TRUE(image.Create(5, 3, c.bpp, c.compression, c.masks, c.flags));
        if (c.bpp <= 8) {
            const RGBQUAD entries[2] = {{10, 20, 30, 0}, {40, 50, 60, 0}};
            image.SetColorTable(0, 2, entries);
        }
        // A distinct byte pattern, top row first.
        const int rowBytes = (5 * c.bpp + 7) / 8;
        for (int y = 0; y < 3; ++y) {
            for (int i = 0; i < rowBytes; ++i) {
                image.firstRow()[y * image.pitch() + i] = static_cast<BYTE>(16 * y + i + 1);
            }
        }
        const std::string path = folder.File(std::string(c.name) + ".rawtest");
        ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
        RawTestPicture saved;
        ASSERT_TRUE(ReadRawTestFile(path, saved));
        EXPECT_EQ(saved.format, c.reaches);
        EXPECT_EQ(saved.width, 5u);
        EXPECT_EQ(saved.height, 3u);
        for (int y = 0; y < 3; ++y) {
            const BYTE* row = image.firstRow() + y * image.pitch();
            EXPECT_EQ(saved.rows[y], Bytes(row, row + rowBytes)) << "row " << y;
        }
        if (c.bpp <= 8) {
            ASSERT_EQ(saved.palette.size(), 1u << c.bpp);
            EXPECT_EQ(saved.palette[0], 0xFF1E140Au);
            EXPECT_EQ(saved.palette[1], 0xFF3C3228u);
            if (c.bpp > 1) {
                EXPECT_EQ(saved.palette[2], 0xFF000000u);
            }
        }
    }
}

TEST(SaveTest, AFormatIdChoosesTheEncoderWhateverTheExtension) {
    RegisterRawTestCodec();
    TempFolder folder;
    CDibImage image;
    ASSERT_TRUE(image.Create(2, 2, 24, BI_RGB, nullptr, 0));
    const std::string path = folder.File("picture.bmp");
    ASSERT_EQ(image.Save(path.c_str(), kRawFormat), S_OK);
    RawTestPicture saved;
    EXPECT_TRUE(ReadRawTestFile(path, saved));
    const GUID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    EXPECT_EQ(image.Save(folder.File("other.rawtest").c_str(), unknown), E_FAIL);
    EXPECT_FALSE(FileExists(folder.File("other.rawtest")));
}

TEST(SaveTest, ASaveThatFailsLeavesNoFileBehind) {
    RegisterRawTestCodec();
    TempFolder folder;
    CDibImage image;
    ASSERT_TRUE(image.Create(4, 4, 24, BI_RGB, nullptr, 0));
    struct Case {
        const char* what;
        std::string path;
    };
    ::mkdir(folder.File("locked").c_str(), 0500);
    const Case cases[] = {
        {"no encoder for the extension", folder.File("a.xyz")},
        {"no extension", folder.File("a")},
        {"a dot in a folder name", folder.File("pics.rawtest") + "/a"},
        {"a dot followed by a space", folder.File("a.rawtest x")},
        {"a folder that does not exist", folder.File("nowhere") + "/a.rawtest"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(image.Save(c.path.c_str(), GUID_NULL), E_FAIL) << c.what;
    }
    if (::geteuid() != 0) {
        EXPECT_EQ(image.Save(folder.File("locked/a.rawtest").c_str(), GUID_NULL), E_FAIL);
    }
    EXPECT_EQ(ListFolder(folder.Path()), "locked");
    EXPECT_EQ(ListFolder(folder.File("locked")), "");
}

TEST(SaveTest, AWriteErrorLeavesTheEarlierFileUntouchedAndNoTemporaryFile) {
    RegisterRawTestCodec();
    TempFolder folder;
    const std::string path = folder.File("a.rawtest");
    WriteFileBytes(path, Bytes{'o', 'l', 'd'});
    CDibImage image;
    ASSERT_TRUE(image.Create(64, 64, 24, BI_RGB, nullptr, 0));
    for (size_t after : {size_t{0}, size_t{100}, size_t{5000}}) {
        gdiplus_testing::InjectWriteError(ENOSPC, after);
        EXPECT_EQ(image.Save(path.c_str(), GUID_NULL), E_FAIL) << "after " << after << " bytes";
        gdiplus_testing::InjectWriteError(0, 0);
        EXPECT_EQ(ListFolder(folder.Path()), "a.rawtest");
        RawTestPicture unchanged;
        EXPECT_FALSE(ReadRawTestFile(path, unchanged)) << "still the three bytes written first";
    }
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
    RawTestPicture replaced;
    EXPECT_TRUE(ReadRawTestFile(path, replaced));
}

TEST(SaveTest, AReplacedFileKeepsItsPermissionBits) {
    RegisterRawTestCodec();
    TempFolder folder;
    const std::string path = folder.File("a.rawtest");
    WriteFileBytes(path, Bytes{1});
    ::chmod(path.c_str(), 0640);
    CDibImage image;
    ASSERT_TRUE(image.Create(2, 2, 24, BI_RGB, nullptr, 0));
    ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(SaveTest, LongPathsSaveAlike) {
    RegisterRawTestCodec();
    TempFolder folder;
    CDibImage image;
    ASSERT_TRUE(image.Create(2, 2, 24, BI_RGB, nullptr, 0));
    // 511 bytes convert in a frame buffer, 512 need the heap.
    std::string deep = folder.Path();
    while (deep.size() < 400) {
        deep += "/" + std::string(50, 'd');
        ::mkdir(deep.c_str(), 0700);
    }
    for (size_t length : {511u, 512u}) {
        const std::string path =
            deep + "/" + std::string(length - deep.size() - 1 - 8, 'f') + ".rawtest";
        ASSERT_EQ(path.size(), length);
        EXPECT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK) << length;
        EXPECT_TRUE(FileExists(path));
    }
}

TEST(SaveTest, ABmpHoldsEveryRowBottomUpWithZeroPaddingHoweverManyRows) {
    TempFolder folder;
    struct Case {
        int width, height;
        WORD bpp;
    };
    // Rows with and without padding, and more rows than one system call takes.
    for (const Case c : {Case{5, 2100, 24}, Case{4, 1500, 24}, Case{3, 1, 32}, Case{3, 700, 16}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        CDibImage image;
        ASSERT_TRUE(image.Create(c.width, c.height, c.bpp, BI_RGB, nullptr, 0));
        const size_t rowBytes = static_cast<size_t>(c.width) * c.bpp / 8;
        for (int y = 0; y < c.height; ++y) {
            for (size_t i = 0; i < rowBytes; ++i)
                image.firstRow()[y * image.pitch() + i] = static_cast<BYTE>(7 * y + i + 1);
        }
        const std::string path = folder.File("rows.bmp");
        ASSERT_EQ(image.Save(path.c_str(), GUID_NULL), S_OK);

        std::ifstream in(path, std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t stride = (rowBytes + 3) / 4 * 4;
        ASSERT_EQ(file.size(), 54 + stride * c.height);
        for (int y = 0; y < c.height; ++y) {
            const BYTE* saved = file.data() + 54 + (c.height - 1 - y) * stride;
            const BYTE* row = image.firstRow() + y * image.pitch();
            ASSERT_EQ(Bytes(saved, saved + rowBytes), Bytes(row, row + rowBytes)) << "row " << y;
            ASSERT_EQ(Bytes(saved + rowBytes, saved + stride), Bytes(stride - rowBytes, 0));
        }
        // A write failing part of the way through the rows leaves nothing.
        std::remove(path.c_str());
        gdiplus_testing::InjectWriteError(ENOSPC, 54 + stride * c.height / 2);
        EXPECT_EQ(image.Save(path.c_str(), GUID_NULL), E_FAIL);
        gdiplus_testing::InjectWriteError(0, 0);
        EXPECT_EQ(ListFolder(folder.Path()), "");
    }
}
