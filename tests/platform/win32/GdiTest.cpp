#include "platform/win32/Gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A section with its header and (for indexed depths) colour table.
struct Section {
    HBITMAP handle = nullptr;
    BYTE* bits = nullptr;
    HDC dc = nullptr;

    Section(LONG width, LONG height, WORD bpp, DWORD compression = BI_RGB,
            std::vector<DWORD> following = {}) {
        std::vector<BYTE> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        BITMAPINFOHEADER header{};
        header.biSize = sizeof(header);
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = bpp;
        header.biCompression = compression;
        std::memcpy(block.data(), &header, sizeof(header));
        if (!following.empty()) {
            std::memcpy(block.data() + sizeof(header), following.data(), following.size() * 4);
        }
        void* memory = nullptr;
        handle = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(block.data()),
                                  DIB_RGB_COLORS, &memory, nullptr, 0);
        bits = static_cast<BYTE*>(memory);
        if (handle != nullptr) {
            dc = CreateCompatibleDC(nullptr);
            SelectObject(dc, handle);
        }
    }
    ~Section() {
        if (dc != nullptr)
            DeleteDC(dc);
        if (handle != nullptr)
            DeleteObject(handle);
    }
};

// Colour-table entries as DWORDs: 0x00RRGGBB is blue, green, red, reserved.
constexpr DWORD Entry(BYTE r, BYTE g, BYTE b) {
    return (DWORD(r) << 16) | (DWORD(g) << 8) | b;
}

}  // namespace

TEST(GdiTest, ExactDepthsStoreAndReadTheColourBytes) {
    for (WORD bpp : {24, 32}) {
        SCOPED_TRACE(bpp);
        Section s(3, -2, bpp);  // top-down: row 0 first in memory
        SetPixel(s.dc, 2, 1, RGB(255, 0, 128));
        EXPECT_EQ(GetPixel(s.dc, 2, 1), RGB(255, 0, 128));
        const int rowBytes = (bpp * 3 + 31) / 32 * 4;
        const BYTE* p = s.bits + rowBytes + 2 * (bpp / 8);
        EXPECT_EQ(p[0], 128);  // blue, green, red in memory
        EXPECT_EQ(p[1], 0);
        EXPECT_EQ(p[2], 255);
    }
}

TEST(GdiTest, ThirtyTwoBitWritesClearTheFourthByteAndReadsIgnoreIt) {
    Section s(1, 1, 32);
    s.bits[3] = 0x77;
    EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(0, 0, 0));
    SetPixel(s.dc, 0, 0, RGB(1, 2, 3) | 0x05000000);
    EXPECT_EQ(s.bits[3], 0);
    EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(1, 2, 3));
}

TEST(GdiTest, BottomUpSectionsKeepTheTopRowLastInMemory) {
    Section s(1, 3, 24);
    SetPixel(s.dc, 0, 0, RGB(9, 8, 7));
    const BYTE* lastRow = s.bits + 2 * 4;
    EXPECT_EQ(lastRow[0], 7);
    EXPECT_EQ(lastRow[2], 9);
}

TEST(GdiTest, IndexedWritesPickTheNearestEntryAndTheLowestIndexOnATie) {
    struct Case {
        COLORREF written;
        int expectedIndex;
    };
    // Entries 0 and 1 are equally near to (10, 0, 0); 2 and 3 are identical.
    const std::vector<DWORD> table = {Entry(0, 0, 0), Entry(20, 0, 0), Entry(200, 200, 200),
                                      Entry(200, 200, 200)};
    const Case cases[] = {{RGB(10, 0, 0), 0},
                          {RGB(11, 0, 0), 1},
                          {RGB(190, 210, 200), 2},
                          {RGB(20, 0, 0), 1},
                          {RGB(255, 255, 255), 2}};
    for (WORD bpp : {4, 8}) {
        Section s(4, 1, bpp, BI_RGB, table);
        for (const Case& c : cases) {
            SetPixel(s.dc, 1, 0, c.written);
            const int index = bpp == 8 ? s.bits[1] : (s.bits[0] & 0x0F);
            EXPECT_EQ(index, c.expectedIndex) << "bpp " << bpp << " colour " << c.written;
            const DWORD e = table[c.expectedIndex];
            EXPECT_EQ(GetPixel(s.dc, 1, 0), RGB(e >> 16, e >> 8, e));
        }
    }
    // One bit per pixel, most significant bit first.
    Section mono(10, 1, 1, BI_RGB, {Entry(0, 0, 0), Entry(255, 255, 255)});
    SetPixel(mono.dc, 0, 0, RGB(250, 250, 250));
    SetPixel(mono.dc, 9, 0, RGB(250, 250, 250));
    EXPECT_EQ(mono.bits[0], 0x80);
    EXPECT_EQ(mono.bits[1], 0x40);
}

TEST(GdiTest, SixteenBitChannelsWidenByRepetitionAndNarrowByTruncation) {
    struct Case {
        DWORD compression;
        std::vector<DWORD> masks;
        COLORREF written;
        WORD stored;
        COLORREF readBack;
    };
    const Case cases[] = {
        // 5-5-5: 255 -> 31 -> 255; 0x0F -> 1 -> 8; 128 -> 16 -> 132.
        {BI_RGB, {}, RGB(255, 0x0F, 128), WORD((31 << 10) | (1 << 5) | 16), RGB(255, 8, 132)},
        {BI_RGB, {}, RGB(7, 7, 7), 0, RGB(0, 0, 0)},
        // 5-6-5 held as bit fields: green keeps six bits.
        {BI_BITFIELDS,
         {0xF800, 0x07E0, 0x001F},
         RGB(255, 0x0F, 128),
         WORD((31 << 11) | (3 << 5) | 16),
         RGB(255, 12, 132)},
    };
    for (const Case& c : cases) {
        Section s(2, 1, 16, c.compression, c.masks);
        SetPixel(s.dc, 1, 0, c.written);
        EXPECT_EQ(s.bits[2] | (s.bits[3] << 8), c.stored);
        EXPECT_EQ(GetPixel(s.dc, 1, 0), c.readBack);
    }
}

TEST(GdiTest, SectionsThatThePlatformCannotHoldAreRefused) {
    struct Case {
        LONG width, height;
        WORD bpp;
        DWORD compression;
    };
    const Case cases[] = {{0, 5, 24, BI_RGB},
                          {5, 0, 24, BI_RGB},
                          {5, 5, 2, BI_RGB},
                          {5, 5, 24, BI_BITFIELDS},
                          {5, 5, 16, BI_RLE8},
                          {-5, 5, 8, BI_RGB},
                          {1 << 20, 1 << 20, 32, BI_RGB}};
    for (const Case& c : cases) {
        Section s(c.width, c.height, c.bpp, c.compression);
        EXPECT_EQ(s.handle, nullptr) << c.width << "x" << c.height << " at " << c.bpp;
        EXPECT_EQ(s.bits, nullptr);
    }
}

TEST(GdiTest, ASectionLivesInOneDeviceContextAtATime) {
    Section s(2, 2, 24);
    HDC second = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(second, s.handle), nullptr);
    EXPECT_FALSE(DeleteObject(s.handle)) << "a selected section must not be deleted";

    DeleteDC(s.dc);  // deleting the DC releases the section it held
    s.dc = nullptr;
    HGDIOBJ stock = SelectObject(second, s.handle);
    ASSERT_NE(stock, nullptr);
    SetPixel(second, 1, 1, RGB(4, 5, 6));
    EXPECT_EQ(GetPixel(second, 1, 1), RGB(4, 5, 6));
    EXPECT_EQ(SelectObject(second, stock), static_cast<HGDIOBJ>(s.handle));
    DeleteDC(second);
}

TEST(GdiTest, GetObjectDescribesTheSectionAsCreated) {
    Section s(3, -2, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F});
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectA(s.handle, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    EXPECT_EQ(ds.dsBm.bmBits, s.bits);
    EXPECT_EQ(ds.dsBmih.biHeight, -2);
    EXPECT_EQ(ds.dsBmih.biWidth, 3);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 8);
    EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
    EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);
    EXPECT_EQ(ds.dsBitfields[2], 0x001Fu);
}

TEST(GdiTest, NewSectionsAreZeroedAndDeletingReleasesThem) {
    const int sections = gdi_testing::LiveSections();
    const int contexts = gdi_testing::LiveDeviceContexts();
    {
        Section s(5, 5, 32);
        for (int i = 0; i < 5 * 5 * 4; ++i)
            ASSERT_EQ(s.bits[i], 0);
        EXPECT_EQ(gdi_testing::LiveSections(), sections + 1);
        EXPECT_EQ(gdi_testing::LiveDeviceContexts(), contexts + 1);
    }
    EXPECT_EQ(gdi_testing::LiveSections(), sections);
    EXPECT_EQ(gdi_testing::LiveDeviceContexts(), contexts);
}
