#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/PixelConversion.h"
#include "platform/win32/Gdi.h"
#include "tests/fakes/GdiplusFakes.h"
#include "tests/support/RawTestCodec.h"
#include "tests/support/TempFolder.h"

namespace {

// Rows in hex, "b0 40|01 80".
std::vector<Bytes> Rows(const std::string& hex) {
    std::vector<Bytes> rows(1);
    for (size_t i = 0; i < hex.size(); ++i) {
        if (hex[i] == '|')
            rows.emplace_back();
        else if (hex[i] != ' ')
            rows.back().push_back(static_cast<BYTE>(std::stoi(hex.substr(i++, 2), nullptr, 16)));
    }
    return rows;
}

TEST(LoadTest, EveryDecodedFormatMapsToItsSectionWithoutTouchingThePadding) {
    std::vector<ARGB> greys;
    for (ARGB i = 0; i < 16; ++i)
        greys.push_back(0xFF000000 | 0x111111 * i);
    // Copied rows keep every byte, the spare byte of 32bppRGB included; others
    // are drawn at 32 bits with 255 in the spare byte where there is no alpha.
    // rows: as decoded
    // section: the section's rows; null when they are the decoded bytes
    // clang-format off
    const struct { PixelFormat format; UINT width; std::vector<ARGB> palette; const char* rows; int depth; bool alpha; const char* section; COLORREF topLeft; } cases[] = {
        {PixelFormat1bppIndexed, 10, {0x80FF0000, 0xFF00FF00}, "b0 40|01 80", 1, false, nullptr, RGB(0, 255, 0)},
        {PixelFormat4bppIndexed, 3, greys, "1f 20|f1 30", 4, false, nullptr, RGB(17, 17, 17)},
        {PixelFormat8bppIndexed, 2, {0xFF102030, 0x00405060, 0xFF708090}, "00 02|01 c8", 8, false, nullptr, RGB(16, 32, 48)},
        {PixelFormat16bppRGB555, 2, {}, "00 7c 1f 00|e0 03 00 00", 16, false, nullptr, RGB(255, 0, 0)},
        {PixelFormat16bppRGB565, 2, {}, "e0 07 1f 00|00 f8 00 00", 16, false, nullptr, RGB(0, 255, 0)},
        {PixelFormat24bppRGB, 3, {}, "010203040506070809|090807060504030201", 24, false, nullptr, RGB(3, 2, 1)},
        {PixelFormat32bppRGB, 1, {}, "0102035a|040506a5", 32, false, nullptr, RGB(3, 2, 1)},
        {PixelFormat32bppARGB, 1, {}, "01020380|04050600", 32, true, nullptr, RGB(3, 2, 1)},
        {PixelFormat16bppGrayScale, 1, {}, "3412|ffff", 32, false, "121212ff|ffffffff", RGB(18, 18, 18)},
        {PixelFormat48bppRGB, 1, {}, "001000200030|ff0000000000", 32, false, "102030ff|000000ff", RGB(48, 32, 16)},
        {PixelFormat16bppARGB1555, 1, {}, "00fc|1f00", 32, true, "0000ffff|ff000000", RGB(255, 0, 0)},
        {PixelFormat32bppPARGB, 1, {}, "40201080|09090900", 32, true, "80402080|00000000", RGB(32, 64, 128)},
        {PixelFormat64bppARGB, 1, {}, "0011002200330044|0000000000000000", 32, true, "11223344|00000000", RGB(51, 34, 17)},
        {PixelFormat64bppPARGB, 1, {}, "0020002000200080|000000000000ffff", 32, true, "40404080|000000ff", RGB(64, 64, 64)},
    };
    // clang-format on
    RegisterRawTestCodec();
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pixel format 0x" << std::hex << c.format);
        WriteFileBytes(folder.File("a.rawtest"),
                       MakeRawTestFile(c.format, c.width, 2, c.palette, Rows(c.rows)));
        CDibImage image;
        ASSERT_EQ(image.Load(folder.File("a.rawtest").c_str()), S_OK);
        EXPECT_EQ(image.bitsPerPixel(), c.depth);
        EXPECT_EQ(image.hasAlpha(), c.alpha);
        EXPECT_EQ(image.width(), static_cast<LONG>(c.width));
        ASSERT_EQ(image.height(), 2);
        EXPECT_LT(image.pitch(), 0) << "sections are bottom-up";
        const std::vector<Bytes> expected = Rows(c.section != nullptr ? c.section : c.rows);
        for (int r = 0; r < 2; ++r) {
            const BYTE* row = image.firstRow() + r * image.pitch();
            Bytes want = expected[r];
            want.resize(-image.pitch(), 0);
            EXPECT_EQ(Bytes(row, row - image.pitch()), want) << "row " << r;
        }
        EXPECT_EQ(image.GetPixel(0, 0), c.topLeft);
        // Indexed sections hold the palette without its alpha, black beyond it.
        for (UINT i = 0; c.depth <= 8 && i < (1u << c.depth); ++i) {
            RGBQUAD e{};
            GetDIBColorTable(image.BorrowDC(), i, 1, &e);
            image.ReturnDC();
            const ARGB want = i < c.palette.size() ? c.palette[i] & 0xFFFFFF : 0;
            EXPECT_EQ(DWORD{e.rgbReserved} << 24 | e.rgbRed << 16 | e.rgbGreen << 8 | e.rgbBlue,
                      want);
        }
    }
}

TEST(LoadTest, WhatCannotBeReadOrDecodedLeavesTheImageEmpty) {
    RegisterRawTestCodec();
    TempFolder folder;
    WriteFileBytes(folder.File("text.bmp"), {'h', 'e', 'l', 'l', 'o'});
    WriteFileBytes(folder.File("empty.bmp"), {});
    WriteFileBytes(folder.File("short.rawtest"), {'R', 'A', 'W', 'T', 'E', 'S', 'T', '1', 1});
    const std::string good = folder.File("good.rawtest");
    WriteFileBytes(good, MakeRawTestFile(PixelFormat24bppRGB, 1, 1, {}, {{1, 2, 3}}));
    // Decoded, but not drawn into a section (32-bit CMYK): it must not come
    // out black under the user's name.
    WriteFileBytes(folder.File("cmyk.rawtest"),
                   MakeRawTestFile(0x200F, 1, 1, {}, {{0x80, 0x80, 0x80, 0x80}}));
    for (const std::string name : {"text.bmp", "empty.bmp", "short.rawtest", "missing.bmp", ".",
                                   "cmyk.rawtest", "good.rawtest"}) {
        // The good file fails for a library that does not start.
        gdiplus_testing::FailNextStartups(name == "good.rawtest" ? 1 : 0);
        CDibImage image;
        EXPECT_EQ(image.Load(folder.File(name).c_str()), E_FAIL) << name;
        EXPECT_EQ(image.section(), nullptr);
        EXPECT_EQ(image.width() | image.height() | image.bitsPerPixel(), 0);
    }
    CDibImage image;
    EXPECT_EQ(image.Load(good.c_str()), S_OK) << "the next load starts the library again";
}

TEST(LoadTest, PathsOfAnyLengthAndAnyBytesReachTheirFile) {
    RegisterRawTestCodec();
    TempFolder folder;
    const std::string base = folder.Path() + "/";
    std::vector<std::string> paths = {base + "caf\xC3\xA9 \xFF\xFE.rawtest", base + "a\\b.rawtest"};
    // 127 bytes convert in the inline buffer, 128 need the heap.
    for (size_t length : {127u, 128u})
        paths.push_back(base + std::string(length - base.size() - 8, 'p') + ".rawtest");
    for (const std::string& path : paths) {
        WriteFileBytes(path, MakeRawTestFile(PixelFormat24bppRGB, 1, 1, {}, {{7, 8, 9}}));
        CDibImage image;
        EXPECT_EQ(image.Load(path.c_str()), S_OK) << path.size() << " bytes: " << path;
        EXPECT_EQ(image.GetPixel(0, 0), RGB(9, 8, 7));
    }
}

TEST(LoadTest, BitmapsLoadedInPlaceReadLikeDecodedOnes) {
    for (const char* name : {"rgb24", "rgb32", "rgb24pal", "rgb32bf", "pal8topdown"}) {
        const std::string path = TestDataPath("bmpsuite/g/" + std::string(name) + ".bmp");
        const Bytes file = ReadFileBytes(path);
        ImageBuffer reference;
        ASSERT_EQ(DecodeBmp(file.data(), file.size(), reference), Ok) << path;
        CDibImage image;
        ASSERT_EQ(image.Load(path.c_str()), S_OK) << path;
        ASSERT_EQ(image.width(), static_cast<LONG>(reference.Width()));
        std::vector<ARGB> row(reference.Width());
        for (UINT y = 0; y < reference.Height(); ++y) {
            ReadRowArgb(reference.View(), y, row.data());
            for (UINT x = 0; x < reference.Width(); ++x) {
                ASSERT_EQ(image.GetPixel(x, y), RGB(row[x] >> 16, row[x] >> 8, row[x]))
                    << path << " " << x << "," << y;
            }
        }
    }
}

}  // namespace
