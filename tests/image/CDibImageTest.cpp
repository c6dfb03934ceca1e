#include "image/CDibImage.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/Gdi.h"

namespace {

DIBSECTION Describe(const CDibImage& image) {
    DIBSECTION ds{};
    GetObjectA(image.section(), sizeof(ds), &ds);
    return ds;
}

void ExpectEmpty(const CDibImage& image) {
    EXPECT_EQ(image.section(), nullptr);
    EXPECT_EQ(image.firstRow(), nullptr);
    EXPECT_EQ(image.width(), 0);
    EXPECT_EQ(image.height(), 0);
    EXPECT_EQ(image.pitch(), 0);
    EXPECT_EQ(image.bitsPerPixel(), 0);
    EXPECT_FALSE(image.isSection());
    EXPECT_FALSE(image.hasAlpha());
    EXPECT_EQ(image.transparentIndex(), -1);
}

}  // namespace

TEST(CDibImageTest, CreatedImagesAddressRowZeroAsTheTopRowInEitherOrder) {
    struct Case {
        LONG width, height;
        WORD bpp;
        LONG pitchMagnitude;
    };
    const Case cases[] = {{3, 2, 24, 12}, {1, 1, 1, 4},  {33, 3, 1, 8},  {9, 4, 4, 8},
                          {5, 3, 8, 8},   {3, 5, 16, 8}, {4, 5, 32, 16}, {7, 2, 24, 24}};
    for (const Case& c : cases) {
        for (bool bottomUp : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.bpp
                                            << (bottomUp ? " bottom-up" : " top-down"));
            CDibImage image;
            ASSERT_TRUE(
                image.Create(c.width, bottomUp ? c.height : -c.height, c.bpp, BI_RGB, nullptr, 0));
            const DIBSECTION ds = Describe(image);
            auto* block = static_cast<BYTE*>(ds.dsBm.bmBits);
            EXPECT_EQ(image.width(), c.width);
            EXPECT_EQ(image.height(), c.height);
            EXPECT_EQ(image.bitsPerPixel(), c.bpp);
            EXPECT_TRUE(image.isSection());
            EXPECT_FALSE(image.hasAlpha());
            EXPECT_EQ(image.transparentIndex(), -1);
            EXPECT_EQ(ds.dsBmih.biHeight, bottomUp ? c.height : -c.height);
            if (bottomUp) {
                EXPECT_EQ(image.pitch(), -c.pitchMagnitude);
                EXPECT_EQ(image.firstRow(), block + (c.height - 1) * c.pitchMagnitude);
            } else {
                EXPECT_EQ(image.pitch(), c.pitchMagnitude);
                EXPECT_EQ(image.firstRow(), block);
            }
            // The top-left pixel written through the platform lands at firstRow.
            image.SetPixel(0, 0, RGB(255, 255, 255));
            if (c.bpp > 8) {
                EXPECT_NE(image.firstRow()[0], 0);
            }
        }
    }
}

TEST(CDibImageTest, IndexedImagesStartWithAnAllBlackColourTable) {
    for (WORD bpp : {1, 4, 8}) {
        CDibImage image;
        ASSERT_TRUE(image.Create(4, 4, bpp, BI_RGB, nullptr, 0));
        RGBQUAD table[256];
        std::memset(table, 0xAB, sizeof(table));
        const UINT count = GetDIBColorTable(image.BorrowDC(), 0, 256, table);
        image.ReturnDC();
        EXPECT_EQ(count, 1u << bpp);
        for (UINT i = 0; i < count; ++i) {
            EXPECT_EQ(table[i].rgbRed | table[i].rgbGreen | table[i].rgbBlue | table[i].rgbReserved,
                      0)
                << "entry " << i << " at " << bpp;
        }
        // Whatever index a pixel holds, it reads as black.
        image.firstRow()[0] = 0xFF;
        EXPECT_EQ(image.GetPixel(0, 0), RGB(0, 0, 0));
    }
}

TEST(CDibImageTest, SetColorTableChangesWhatIndexedPixelsRead) {
    CDibImage image;
    ASSERT_TRUE(image.Create(2, 1, 8, BI_RGB, nullptr, 0));
    const RGBQUAD entries[2] = {{1, 2, 3, 0}, {30, 20, 10, 0}};
    image.SetColorTable(4, 2, entries);
    image.firstRow()[1] = 5;
    EXPECT_EQ(image.GetPixel(1, 0), RGB(10, 20, 30));
    image.SetPixel(0, 0, RGB(2, 2, 2));
    EXPECT_EQ(image.firstRow()[0], 4);
    EXPECT_EQ(image.borrowCount(), 0);
}

TEST(CDibImageTest, OnlyBitZeroOfTheFlagsAsksForAlpha) {
    struct Case {
        DWORD flags;
        bool alpha;
    };
    for (const Case& c : {Case{0, false}, Case{1, true}, Case{2, false}, Case{3, true}}) {
        CDibImage image;
        ASSERT_TRUE(image.Create(2, 2, 32, BI_RGB, nullptr, c.flags));
        EXPECT_EQ(image.hasAlpha(), c.alpha) << "flags " << c.flags;
    }
}

TEST(CDibImageTest, BitFieldMasksReachTheSectionOnlyAboveEightBits) {
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    CDibImage wide;
    ASSERT_TRUE(wide.Create(3, 3, 16, BI_BITFIELDS, masks, 0));
    const DIBSECTION ds = Describe(wide);
    EXPECT_EQ(ds.dsBmih.biCompression, BI_BITFIELDS);
    EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
    EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);
    EXPECT_EQ(ds.dsBitfields[2], 0x001Fu);
    wide.SetPixel(1, 1, RGB(0, 255, 0));
    EXPECT_EQ(wide.GetPixel(1, 1), RGB(0, 255, 0));

    // At 8 bits the masks are not read: the colour table is zeroed instead.
    CDibImage indexed;
    ASSERT_TRUE(indexed.Create(3, 3, 8, BI_BITFIELDS, masks, 0));
    RGBQUAD first{9, 9, 9, 9};
    GetDIBColorTable(indexed.BorrowDC(), 0, 1, &first);
    indexed.ReturnDC();
    EXPECT_EQ(first.rgbRed | first.rgbGreen | first.rgbBlue, 0);
}

TEST(CDibImageTest, RefusedSizesLeaveTheImageEmpty) {
    const LONG sizes[][2] = {{0, 5}, {5, 0}, {0, 0}, {-3, 3}};
    for (const auto& size : sizes) {
        CDibImage image;
        EXPECT_FALSE(image.Create(size[0], size[1], 24, BI_RGB, nullptr, 0));
        ExpectEmpty(image);
    }
}

TEST(CDibImageTest, DestroyEmptiesTheImageAndLeavesAnEmptyOneAlone) {
    const int sections = gdi_testing::LiveSections();
    CDibImage image;
    image.Destroy();
    ExpectEmpty(image);
    ASSERT_TRUE(image.Create(4, 4, 32, BI_RGB, nullptr, 1));
    EXPECT_EQ(gdi_testing::LiveSections(), sections + 1);
    image.Destroy();
    ExpectEmpty(image);
    EXPECT_EQ(gdi_testing::LiveSections(), sections);
}

TEST(CDibImageTest, NestedBorrowsShareOneContextUntilTheLastReturn) {
    CDibImage image;
    ASSERT_TRUE(image.Create(2, 2, 24, BI_RGB, nullptr, 0));
    HDC outer = image.BorrowDC();
    HDC inner = image.BorrowDC();
    EXPECT_EQ(outer, inner);
    EXPECT_EQ(image.borrowCount(), 2);
    // While borrowed, the section is selected into that context.
    SetPixel(outer, 1, 1, RGB(7, 7, 7));
    image.ReturnDC();
    EXPECT_EQ(image.borrowedDC(), outer);
    EXPECT_EQ(image.GetPixel(1, 1), RGB(7, 7, 7));
    EXPECT_EQ(image.borrowCount(), 1);
    image.ReturnDC();
    EXPECT_EQ(image.borrowedDC(), nullptr);
    EXPECT_EQ(image.borrowCount(), 0);
    // The section went back out of the context, so it can be deleted now.
    image.Destroy();
    EXPECT_EQ(image.section(), nullptr);
}

TEST(CDibImageTest, SinglePixelAccessReusesOneContextFromThePool) {
    CDibImage a, b;
    ASSERT_TRUE(a.Create(2, 2, 24, BI_RGB, nullptr, 0));
    ASSERT_TRUE(b.Create(2, 2, 24, BI_RGB, nullptr, 0));
    a.GetPixel(0, 0);  // makes the pool's first context if it had none
    const int contexts = gdi_testing::LiveDeviceContexts();
    for (int i = 0; i < 100; ++i) {
        a.SetPixel(i % 2, 0, RGB(i, 0, 0));
        b.SetPixel(0, i % 2, a.GetPixel(i % 2, 0));
    }
    EXPECT_EQ(gdi_testing::LiveDeviceContexts(), contexts);
    EXPECT_EQ(b.GetPixel(0, 1), RGB(99, 0, 0));
}
