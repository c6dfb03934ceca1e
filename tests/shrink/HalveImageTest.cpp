#include "shrink/HalveImage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "image/CDibImage.h"
#include "platform/win32/Gdi.h"
#include "shrink/HalveRows.h"

namespace {

constexpr COLORREF kA = RGB(10, 20, 30);
constexpr COLORREF kB = RGB(11, 23, 33);
constexpr COLORREF kC = RGB(50, 60, 70);
constexpr COLORREF kNearKey = RGB(255, 0, 127);

// Pictures are drawn with one letter a pixel: K is the key colour.
const std::map<char, COLORREF> kColours = {
    {'K', kKeyColour}, {'a', kA}, {'b', kB}, {'c', kC}, {'n', kNearKey}};

using Grid = std::vector<std::string>;

// A source of the depth holding the picture; indexed depths get a table of
// exactly the letters used, so every pixel reads back as drawn. False when
// the depth cannot hold them.
bool MakeSource(CDibImage& image, const Grid& picture, WORD bpp, bool bottomUp) {
    const LONG width = static_cast<LONG>(picture[0].size()),
               height = static_cast<LONG>(picture.size());
    std::vector<RGBQUAD> table;
    for (const auto& [letter, colour] : kColours) {
        for (const std::string& row : picture) {
            if (row.find(letter) != std::string::npos) {
                table.push_back({GetBValue(colour), GetGValue(colour), GetRValue(colour), 0});
                break;
            }
        }
    }
    if ((bpp <= 8 && table.size() > (1u << bpp)) ||
        !image.Create(width, bottomUp ? height : -height, bpp, BI_RGB, nullptr, 0))
        return false;
    if (bpp <= 8)
        image.SetColorTable(0, static_cast<UINT>(table.size()), table.data());
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x)
            image.SetPixel(x, y, kColours.at(picture[y][x]));
    }
    return true;
}

std::vector<COLORREF> Halve(CDibImage& source, void (*halve)(CDibImage&, CDibImage&)) {
    CDibImage destination;
    EXPECT_TRUE(
        destination.Create(source.width() / 2, source.height() / 2, 24, BI_RGB, nullptr, 0));
    halve(source, destination);
    std::vector<COLORREF> pixels;
    for (LONG y = 0; y < destination.height(); ++y) {
        for (LONG x = 0; x < destination.width(); ++x)
            pixels.push_back(destination.GetPixel(x, y));
    }
    return pixels;
}

}  // namespace

TEST(HalveImageTest, WindowRulesHoldForEverySourceDepthOnBothPaths) {
    const struct {
        const char* rule;
        Grid source;
        std::vector<COLORREF> expected;  // destination pixels, row by row
    } cases[] = {
        {"a corner window without key averages its four pixels, truncating",
         {"aa", "ab"},
         {RGB(10, 20, 30)}},  // (30 + 11) / 4, (60 + 23) / 4, (90 + 33) / 4
        {"two key pixels of four is a tie and gives the key colour", {"KK", "aa"}, {kKeyColour}},
        {"the whole picture in the key colour stays key",
         {"KKKK", "KKKK", "KKKK", "KKKK"},
         {kKeyColour, kKeyColour, kKeyColour, kKeyColour}},
        {"an inner window with four key pixels of nine averages the other five",
         {"aaaa", "aKKa", "aKKb", "accc"},
         {kA, kA, RGB(20, 30, 40), RGB(34, 44, 54)}},
        {"an inner window with five key pixels of nine gives the key colour",
         {"aaaa", "aKKa", "aKKK", "accc"},
         {kA, kA, RGB(20, 30, 40), kKeyColour}},
        {"an edge window holds six pixels, and three key pixels tie",
         {"KaKK", "aaKa"},
         {kA, kKeyColour}},
        {"an even width reads the last column as the right column of the last window",
         {"aaab", "aaab"},
         {kA, RGB(10, 21, 31)}},
        {"an odd size never reads the last column and row",
         {"aaaaK", "aaaaK", "aaaaK", "aaaaK", "KKKKK"},
         {kA, kA, kA, kA}},
        {"a colour one step from the key is averaged like any other", {"Kn", "nn"}, {kNearKey}},
    };
    for (const auto& c : cases) {
        for (WORD bpp : {1, 4, 8, 24, 32}) {
            for (bool bottomUp : {true, false}) {
                for (auto halve : {HalveImage, HalveImagePerPixel}) {
                    SCOPED_TRACE(testing::Message()
                                 << c.rule << ", " << bpp << " bpp, "
                                 << (bottomUp ? "bottom-up" : "top-down") << ", "
                                 << (halve == HalveImage ? "chosen" : "per-pixel"));
                    CDibImage source;
                    if (!MakeSource(source, c.source, bpp, bottomUp))
                        continue;
                    EXPECT_EQ(Halve(source, halve), c.expected);
                    EXPECT_EQ(source.borrowCount(), 0);
                }
            }
        }
    }
}

TEST(HalveImageTest, SixteenBitSourcesAreComparedAsTheyReadBack) {
    // 5-5-5 cannot hold blue 128: the key colour reads back as (255, 0, 132),
    // which is an ordinary colour to the filter.
    CDibImage source;
    ASSERT_TRUE(source.Create(2, 2, 16, BI_RGB, nullptr, 0));
    for (int i = 0; i < 4; ++i)
        source.SetPixel(i % 2, i / 2, kKeyColour);
    EXPECT_EQ(Halve(source, HalveImage), (std::vector<COLORREF>{RGB(255, 0, 132)}));
}

namespace {

struct Layout {
    WORD bpp;
    DWORD compression;
    DWORD masks[3];
};

// Every depth, and bit fields that are not plain bytes.
const Layout kLayouts[] = {{1, BI_RGB, {}},
                           {4, BI_RGB, {}},
                           {8, BI_RGB, {}},
                           {16, BI_RGB, {}},
                           {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
                           {24, BI_RGB, {}},
                           {32, BI_RGB, {}},
                           {32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}},
                           {32, BI_BITFIELDS, {0x3FF00000, 0x000FFC00, 0x000003FF}}};

// Random pixels, keyPercent of them in the key colour; indexed images get a
// random table with the key colour, a near-key colour and a repeated entry,
// so ties in the nearest-entry search happen.
void Randomise(CDibImage& image, std::mt19937& random, unsigned keyPercent) {
    const int bpp = image.bitsPerPixel();
    if (bpp <= 8) {
        std::vector<RGBQUAD> table(1u << bpp);
        for (RGBQUAD& e : table)
            e = {static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                 static_cast<BYTE>(random()), 0};
        table[0] = {128, 0, 255, 0};
        if (table.size() > 4) {
            table[2] = {127, 0, 255, 0};
            table[4] = table[3];
        }
        image.SetColorTable(0, static_cast<UINT>(table.size()), table.data());
    }
    for (int y = 0; y < image.height(); ++y) {
        BYTE* row = image.firstRow() + y * image.pitch();
        for (int i = 0; i < (image.width() * bpp + 7) / 8; ++i)
            row[i] = static_cast<BYTE>(random());
        for (int x = 0; x < image.width(); ++x) {
            if (random() % 100 >= keyPercent)
                continue;
            if (bpp <= 8)  // index 0 holds the key colour
                row[x * bpp >> 3] &=
                    static_cast<BYTE>(~(((1 << bpp) - 1) << (8 - bpp - (x * bpp & 7))));
            else
                image.SetPixel(x, y, kKeyColour);
        }
    }
}

// Two destinations of one layout, bottom-up and top-down, indexed ones with
// the same random table.
void MakeDestinations(CDibImage& first, CDibImage& second, int width, int height, const Layout& to,
                      std::mt19937& random) {
    ASSERT_TRUE(first.Create(width, height, to.bpp, to.compression, to.masks, 0));
    ASSERT_TRUE(second.Create(width, -height, to.bpp, to.compression, to.masks, 0));
    if (to.bpp <= 8) {
        Randomise(first, random, 0);
        RGBQUAD table[256];
        GetDIBColorTable(first.BorrowDC(), 0, 256, table);
        first.ReturnDC();
        second.SetColorTable(0, 1u << to.bpp, table);
    }
}

// The stored bits of every row, not only the colours they read as.
void ExpectSameRows(CDibImage& expected, CDibImage& actual) {
    const int bits = expected.width() * expected.bitsPerPixel();
    const BYTE lastBits = static_cast<BYTE>(0xFF00 >> (bits % 8));
    for (int y = 0; y < expected.height(); ++y) {
        const BYTE* one = expected.firstRow() + y * expected.pitch();
        const BYTE* other = actual.firstRow() + y * actual.pitch();
        ASSERT_EQ(0, std::memcmp(one, other, bits / 8)) << "row " << y;
        if (lastBits != 0) {
            ASSERT_EQ(one[bits / 8] & lastBits, other[bits / 8] & lastBits) << "row " << y;
        }
    }
}

}  // namespace

TEST(HalveImageTest, RowPathGivesTheSameDestinationAsThePerPixelPath) {
    std::mt19937 random(20261206);
    int compared = 0;
    for (int width = 1; width <= 40; ++width) {
        for (int height = 1; height <= 40; ++height) {
            const Layout& from = kLayouts[random() % std::size(kLayouts)];
            const Layout& to = kLayouts[random() % std::size(kLayouts)];
            const bool bottomUp = random() & 1;
            const unsigned keyPercent = random() % 101;
            // Now and then a destination larger than half, whose windows
            // reach beyond the source.
            const int extra = (random() % 8 == 0) ? 1 : 0;
            SCOPED_TRACE(testing::Message() << width << "x" << height << " " << from.bpp << "/"
                                            << from.compression << " -> " << to.bpp << "/"
                                            << to.compression << " key " << keyPercent << "%");
            CDibImage source;
            ASSERT_TRUE(source.Create(width, bottomUp ? height : -height, from.bpp,
                                      from.compression, from.masks, 0));
            Randomise(source, random, keyPercent);
            const int dw = width / 2 + extra, dh = height / 2 + extra;
            if (dw == 0 || dh == 0)
                continue;
            CDibImage reference, rows;
            MakeDestinations(reference, rows, dw, dh, to, random);
            HalveImagePerPixel(source, reference);
            HalveRows(source, rows);
            for (int y = 0; y < dh; ++y) {
                for (int x = 0; x < dw; ++x)
                    ASSERT_EQ(reference.GetPixel(x, y), rows.GetPixel(x, y)) << x << "," << y;
            }
            ExpectSameRows(reference, rows);
            EXPECT_EQ(source.borrowCount(), 0);
            EXPECT_EQ(rows.borrowCount(), 0);
            ++compared;
        }
    }
    EXPECT_GT(compared, 1500);
}

TEST(HalveImageTest, BandsFilledSideBySideGiveTheRowsOfOnePass) {
    std::mt19937 random(7);
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(testing::Message() << layout.bpp << "/" << layout.compression);
        CDibImage source;
        ASSERT_TRUE(source.Create(301, 203, layout.bpp, layout.compression, layout.masks, 0));
        Randomise(source, random, 30);
        CDibImage single, banded;
        MakeDestinations(single, banded, 150, 101, layout, random);
        HalveRows(source, single, 1);
        for (int bands : {2, 3, 7, 101, 500}) {
            SCOPED_TRACE(testing::Message() << bands << " bands");
            const LONG pitch = banded.pitch();
            std::memset(banded.firstRow() + (pitch < 0 ? 100 * pitch : 0), 0xAB,
                        101 * std::abs(pitch));
            HalveRows(source, banded, bands);
            ExpectSameRows(single, banded);
            EXPECT_EQ(source.borrowCount(), 0);
            EXPECT_EQ(banded.borrowCount(), 0);
        }
    }
}
