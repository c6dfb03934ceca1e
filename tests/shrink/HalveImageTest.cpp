#include "shrink/HalveImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Win32Api.h"
#include "image/CDibImage.h"
#include "shrink/HalveKernels.h"
#include "shrink/HalveRows.h"

namespace {

// Pictures are drawn with one letter a pixel, rows parted by '/': K is the
// key colour, n a colour one step from it; x, y and z are averages.
const std::map<char, COLORREF> kColours = {{'K', kKeyColour},       {'a', RGB(10, 20, 30)},
                                           {'b', RGB(11, 23, 33)},  {'c', RGB(50, 60, 70)},
                                           {'n', RGB(255, 0, 127)}, {'x', RGB(20, 30, 40)},
                                           {'y', RGB(34, 44, 54)},  {'z', RGB(10, 21, 31)}};

// A source of the depth holding the picture; indexed depths get a table of
// exactly the letters used, so every pixel reads back as drawn. False when
// the depth cannot hold them.
bool MakeSource(CDibImage& image, const std::string& picture, WORD bpp, bool bottomUp) {
    const LONG width = static_cast<LONG>(
        picture.find('/') == std::string::npos ? picture.size() : picture.find('/'));
    const LONG height = static_cast<LONG>(picture.size() + 1) / (width + 1);
    std::vector<RGBQUAD> table;
    for (const auto& [letter, colour] : kColours) {
        if (picture.find(letter) != std::string::npos)
            table.push_back({GetBValue(colour), GetGValue(colour), GetRValue(colour), 0});
    }
    if ((bpp <= 8 && table.size() > (1u << bpp)) ||
        !image.Create(width, bottomUp ? height : -height, bpp, BI_RGB, nullptr, 0))
        return false;
    if (bpp <= 8)
        image.SetColorTable(0, static_cast<UINT>(table.size()), table.data());
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x)
            image.SetPixel(x, y, kColours.at(picture[y * (width + 1) + x]));
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
        std::string source, expected;  // the destination row by row
    } cases[] = {
        // (30 + 11) / 4, (60 + 23) / 4, (90 + 33) / 4
        {"a corner window without key averages its four pixels, truncating", "aa/ab", "a"},
        {"two key pixels of four is a tie and gives the key colour", "KK/aa", "K"},
        {"the whole picture in the key colour stays key", "KKKK/KKKK/KKKK/KKKK", "KKKK"},
        {"an inner window with four key pixels of nine averages the other five",
         "aaaa/aKKa/aKKb/accc", "aaxy"},
        {"an inner window with five key pixels of nine gives the key colour", "aaaa/aKKa/aKKK/accc",
         "aaxK"},
        {"an edge window holds six pixels, and three key pixels tie", "KaKK/aaKa", "aK"},
        {"an even width reads the last column as the right one of the last window", "aaab/aaab",
         "az"},
        {"an odd size never reads the last column and row", "aaaaK/aaaaK/aaaaK/aaaaK/KKKKK",
         "aaaa"},
        {"a colour one step from the key is averaged like any other", "Kn/nn", "n"},
    };
    for (const auto& c : cases) {
        std::vector<COLORREF> expected;
        for (char letter : c.expected)
            expected.push_back(kColours.at(letter));
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
                    EXPECT_EQ(Halve(source, halve), expected);
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

// Every depth, and bit fields that are not plain bytes: depth, then masks.
// clang-format off
const DWORD kLayouts[][4] = {{1}, {4}, {8}, {16}, {16, 0xF800, 0x07E0, 0x001F}, {24}, {32},
                             {32, 0xFF0000, 0xFF00, 0xFF}, {32, 0x3FF00000, 0xFFC00, 0x3FF}};
// clang-format on

bool Create(CDibImage& image, int width, int height, const DWORD* layout) {
    return image.Create(width, height, static_cast<WORD>(layout[0]),
                        layout[1] ? BI_BITFIELDS : BI_RGB, layout[1] ? layout + 1 : nullptr, 0);
}

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

// Destinations of one layout: bottom-up, top-down, and bottom-up with every
// byte 0xAB; indexed ones with the same random table.
void MakeDestinations(CDibImage (&images)[3], int width, int height, const DWORD* to,
                      std::mt19937& random) {
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Create(images[i], width, i == 1 ? -height : height, to));
    std::memset(images[2].firstRow() + (height - 1) * images[2].pitch(), 0xAB,
                height * -images[2].pitch());
    if (to[0] <= 8) {
        Randomise(images[0], random, 0);
        RGBQUAD table[256];
        GetDIBColorTable(images[0].BorrowDC(), 0, 256, table);
        images[0].ReturnDC();
        images[1].SetColorTable(0, 1u << to[0], table);
        images[2].SetColorTable(0, 1u << to[0], table);
    }
}

// Whether the stored bits of every row are the same, not only the colours
// they read as.
testing::AssertionResult SameRows(CDibImage& expected, CDibImage& actual) {
    const int bits = expected.width() * expected.bitsPerPixel();
    const BYTE lastBits = static_cast<BYTE>(0xFF00 >> (bits % 8));
    for (int y = 0; y < expected.height(); ++y) {
        const BYTE* one = expected.firstRow() + y * expected.pitch();
        const BYTE* other = actual.firstRow() + y * actual.pitch();
        if (std::memcmp(one, other, bits / 8) != 0 ||
            (lastBits != 0 && ((one[bits / 8] ^ other[bits / 8]) & lastBits) != 0))
            return testing::AssertionFailure() << "row " << y << " differs";
    }
    return testing::AssertionSuccess();
}

}  // namespace

TEST(HalveImageTest, RowPathInOneBandOrManyGivesTheSameDestinationAsThePerPixelPath) {
    std::mt19937 random(20261206);
    int compared = 0;
    for (int width = 1; width <= 40; ++width) {
        for (int height = 1; height <= 40; ++height) {
            const DWORD* from = kLayouts[random() % std::size(kLayouts)];
            const DWORD* to = kLayouts[random() % std::size(kLayouts)];
            const bool bottomUp = random() & 1;
            const unsigned keyPercent = random() % 101;
            // Now and then a destination larger than half, whose windows
            // reach beyond the source.
            const int extra = (random() % 8 == 0) ? 1 : 0;
            SCOPED_TRACE(testing::Message()
                         << width << "x" << height << " " << from[0] << "/" << from[1] << " -> "
                         << to[0] << "/" << to[1] << " key " << keyPercent << "%");
            CDibImage source;
            ASSERT_TRUE(Create(source, width, bottomUp ? height : -height, from));
            Randomise(source, random, keyPercent);
            const int dw = width / 2 + extra, dh = height / 2 + extra;
            if (dw == 0 || dh == 0)
                continue;
            CDibImage destinations[3];
            CDibImage &reference = destinations[0], &rows = destinations[1],
                      &banded = destinations[2];
            MakeDestinations(destinations, dw, dh, to, random);
            HalveImagePerPixel(source, reference);
            // One band with the SSE2 kernels; bands filled side by side, with
            // the fastest kernels this processor runs, give the same rows.
            HalveRows(source, rows, 1, RunnableHalveKernels().front());
            const int bands = 2 + static_cast<int>(random() % (dh + 2));
            HalveRows(source, banded, bands);
            ASSERT_TRUE(SameRows(reference, rows));
            ASSERT_TRUE(SameRows(rows, banded)) << bands << " bands";
            EXPECT_EQ(source.borrowCount() + rows.borrowCount() + banded.borrowCount(), 0);
            ++compared;
        }
    }
    EXPECT_GT(compared, 1500);
}
