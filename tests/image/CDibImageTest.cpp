// Images as DIB sections, and the platform's rules for their pixels.
#include "image/CDibImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32/Diagnostics.h"
#include "platform/win32/Gdi.h"

namespace {

using Bytes = std::vector<BYTE>;
const DWORD kMasks[3] = {0xF800, 0x07E0, 0x001F};

TEST(CDibImageTest, PixelsAtEveryDepthFollowThePlatformsRules) {
    // Entries 0 and 1 are equally near to (10, 0, 0): the lower index wins.
    const RGBQUAD table[4] = {{0, 0, 0, 0}, {0, 0, 20, 0}, {200, 200, 200, 0}, {200, 200, 200, 0}};
    const RGBQUAD blackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    // 16 bits: narrowed by truncation (0x0F -> 1), widened by repetition (1 -> 8).
    // stored: from the first byte of pixel 1 of row 1
    // clang-format off
    const struct { WORD bpp; DWORD compression; COLORREF written; Bytes stored; COLORREF read; } cases[] = {
        {24, BI_RGB, RGB(255, 0, 128), {128, 0, 255}, RGB(255, 0, 128)},
        {32, BI_RGB, RGB(255, 0, 128) | 0x05000000, {128, 0, 255, 0}, RGB(255, 0, 128)},
        {16, BI_RGB, RGB(255, 0x0F, 128), {0x30, 0x7C}, RGB(255, 8, 132)},
        {16, BI_RGB, RGB(7, 7, 7), {0, 0}, RGB(0, 0, 0)},
        {16, BI_BITFIELDS, RGB(255, 0x0F, 128), {0x70, 0xF8}, RGB(255, 12, 132)},
        {8, BI_RGB, RGB(10, 0, 0), {0}, RGB(0, 0, 0)},
        {8, BI_RGB, RGB(11, 0, 0), {1}, RGB(20, 0, 0)},
        {8, BI_RGB, RGB(255, 255, 255), {2}, RGB(200, 200, 200)},
        {4, BI_RGB, RGB(190, 210, 200), {0x02}, RGB(200, 200, 200)},
        {1, BI_RGB, RGB(250, 250, 250), {0x40}, RGB(255, 255, 255)},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bpp << " bits, colour " << c.written);
        CDibImage image;
        ASSERT_TRUE(image.Create(2, -2, c.bpp, c.compression, kMasks, 0));
        image.SetColorTable(0, c.bpp == 1 ? 2 : 4, c.bpp == 1 ? blackWhite : table);
        BYTE* row = image.firstRow() + image.pitch();
        std::memset(row, c.bpp >= 16 ? 0x77 : 0, image.pitch());
        image.SetPixel(1, 1, c.written);
        EXPECT_EQ(Bytes(row + c.bpp / 8, row + c.bpp / 8 + c.stored.size()), c.stored);
        EXPECT_EQ(image.GetPixel(1, 1), c.read);
        if (c.bpp == 32) {  // the fourth byte is not read
            EXPECT_EQ(image.GetPixel(0, 1), RGB(0x77, 0x77, 0x77));
        }
    }
}

TEST(CDibImageTest, RefusedSectionsAndDestroyLeaveTheImageEmpty) {
    const int sections = win32_diagnostics::LiveSections();
    // clang-format off
    const LONG cases[][4] = {{0, 5, 24, BI_RGB}, {5, 0, 24, BI_RGB}, {5, 5, 2, BI_RGB}, {5, 5, 24, BI_BITFIELDS},
                             {5, 5, 16, BI_RLE8}, {-5, 5, 8, BI_RGB}, {1 << 20, 1 << 20, 32, BI_RGB}, {4, 4, 32, BI_RGB}};
    // clang-format on
    for (const auto& [width, height, bpp, compression] : cases) {
        CDibImage image;
        if (image.Create(width, height, static_cast<WORD>(bpp), compression, kMasks, 1)) {
            EXPECT_EQ(Bytes(image.firstRow(), image.firstRow() + 16), Bytes(16, 0));
            EXPECT_EQ(win32_diagnostics::LiveSections(), sections + 1);
            EXPECT_TRUE(image.hasAlpha()) << "bit 0 of the flags";
            image.Destroy();
        }
        EXPECT_EQ(win32_diagnostics::LiveSections(), sections) << width << "x" << height;
        EXPECT_EQ(image.section(), nullptr);
        EXPECT_EQ(image.firstRow(), nullptr);
        EXPECT_EQ(image.width() | image.height() | image.pitch() | image.bitsPerPixel(), 0);
        EXPECT_FALSE(image.isSection() || image.hasAlpha());
    }
}

TEST(CDibImageTest, ASectionLivesInOneContextAndSinglePixelsShareOnePooledContext) {
    CDibImage a, b;
    ASSERT_TRUE(a.Create(2, 2, 24, BI_RGB, nullptr, 0));
    ASSERT_TRUE(b.Create(2, 2, 24, BI_RGB, nullptr, 0));
    HDC outer = a.BorrowDC();
    EXPECT_EQ(a.BorrowDC(), outer);
    SetPixel(outer, 1, 1, RGB(7, 7, 7));  // the section is selected while borrowed
    a.ReturnDC();
    EXPECT_EQ(a.borrowedDC(), outer);
    a.ReturnDC();
    EXPECT_EQ(a.borrowedDC(), nullptr);
    const int contexts = win32_diagnostics::LiveDeviceContexts();
    for (int i = 0; i < 100; ++i) {
        a.SetPixel(i % 2, 0, RGB(i, 0, 0));
        b.SetPixel(0, i % 2, a.GetPixel(i % 2, 0));
    }
    EXPECT_EQ(win32_diagnostics::LiveDeviceContexts(), contexts);
    EXPECT_EQ(b.GetPixel(0, 1), RGB(99, 0, 0));
    EXPECT_EQ(a.GetPixel(1, 1), RGB(7, 7, 7));
    a.Destroy();  // possible only once the section is out of the context
    EXPECT_EQ(a.section(), nullptr);
}

}  // namespace
