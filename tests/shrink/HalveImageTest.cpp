#include "shrink/HalveImage.h"

#include <gtest/gtest.h>

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

struct WindowCase {
    const char* rule;
    Grid source;
    std::vector<COLORREF> expected;  // destination pixels, row by row
};

// Builds a source of the given depth holding the picture. Indexed depths get
// a colour table of exactly the letters used, so every pixel reads back as
// drawn.
bool MakeSource(CDibImage& image, const Grid& picture, WORD bpp, bool bottomUp) {
    const LONG width = static_cast<LONG>(picture[0].size());
    const LONG height = static_cast<LONG>(picture.size());
    if (!image.Create(width, bottomUp ? height : -height, bpp, BI_RGB, nullptr, 0))
        return false;
    if (bpp <= 8) {
        std::vector<RGBQUAD> table;
        for (const auto& [letter, colour] : kColours) {
            table.push_back({GetBValue(colour), GetGValue(colour), GetRValue(colour), 0});
        }
        if (table.size() > (1u << bpp))
            return false;
        image.SetColorTable(0, static_cast<UINT>(table.size()), table.data());
    }
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x)
            image.SetPixel(x, y, kColours.at(picture[y][x]));
    }
    return true;
}

std::vector<COLORREF> Halve(CDibImage& source, WORD destinationBpp,
                            void (*halve)(CDibImage&, CDibImage&)) {
    CDibImage destination;
    EXPECT_TRUE(destination.Create(source.width() / 2, source.height() / 2, destinationBpp, BI_RGB,
                                   nullptr, 0));
    halve(source, destination);
    std::vector<COLORREF> pixels;
    for (LONG y = 0; y < destination.height(); ++y) {
        for (LONG x = 0; x < destination.width(); ++x)
            pixels.push_back(destination.GetPixel(x, y));
    }
    return pixels;
}

COLORREF Average(std::initializer_list<COLORREF> colours) {
    unsigned r = 0, g = 0, b = 0;
    for (COLORREF c : colours) {
        r += GetRValue(c);
        g += GetGValue(c);
        b += GetBValue(c);
    }
    const unsigned n = static_cast<unsigned>(colours.size());
    return RGB(r / n, g / n, b / n);
}

const WindowCase kWindowCases[] = {
    {"a corner window without key averages its four pixels, truncating",
     {"aa", "ab"},
     {RGB(10, 20, 30)}},  // (30 + 11) / 4, (60 + 23) / 4, (90 + 33) / 4
    {"a corner window with two key pixels of four is a tie and gives the key colour",
     {"KK", "aa"},
     {kKeyColour}},
    {"the whole picture in the key colour stays key",
     {"KKKK", "KKKK", "KKKK", "KKKK"},
     {kKeyColour, kKeyColour, kKeyColour, kKeyColour}},
    {"an inner window with four key pixels of nine averages the other five",
     {"aaaa", "aKKa", "aKKb", "accc"},
     {kA, kA, Average({kA, kA, kA, kC}), RGB(34, 44, 54)}},
    {"an inner window with five key pixels of nine gives the key colour",
     {"aaaa", "aKKa", "aKKK", "accc"},
     {kA, kA, Average({kA, kA, kA, kC}), kKeyColour}},
    {"an edge window holds six pixels, and three key pixels tie",
     {"aaKb", "aKKa"},
     {Average({kA, kA, kA}), kKeyColour}},
    {"an even width reads the last column as the right column of the last window",
     {"aaab", "aaab"},
     {kA, Average({kA, kA, kA, kA, kB, kB})}},
    {"an odd size never reads the last column and row",
     {"aaaaK", "aaaaK", "aaaaK", "aaaaK", "KKKKK"},
     {kA, kA, kA, kA}},
    {"a colour one step from the key is averaged like any other", {"Kn", "nn"}, {kNearKey}},
};

}  // namespace

TEST(HalveImageTest, WindowRulesHoldForEverySourceDepthOnBothPaths) {
    struct Path {
        const char* name;
        void (*halve)(CDibImage&, CDibImage&);
    };
    const Path paths[] = {{"chosen path", HalveImage}, {"per-pixel path", HalveImagePerPixel}};
    for (const WindowCase& c : kWindowCases) {
        for (WORD bpp : {4, 8, 24, 32}) {
            for (bool bottomUp : {true, false}) {
                for (const Path& path : paths) {
                    SCOPED_TRACE(testing::Message()
                                 << c.rule << ", " << bpp << " bpp, "
                                 << (bottomUp ? "bottom-up" : "top-down") << ", " << path.name);
                    CDibImage source;
                    ASSERT_TRUE(MakeSource(source, c.source, bpp, bottomUp));
                    EXPECT_EQ(Halve(source, 24, path.halve), c.expected);
                    EXPECT_EQ(source.borrowCount(), 0);
                }
            }
        }
    }
}

TEST(HalveImageTest, OneBitSourcesUseTheirTwoColours) {
    // At one bit the table holds the key colour and one other.
    CDibImage source;
    ASSERT_TRUE(source.Create(4, 2, 1, BI_RGB, nullptr, 0));
    const RGBQUAD table[2] = {{128, 0, 255, 0}, {30, 20, 10, 0}};
    source.SetColorTable(0, 2, table);
    const Grid picture = {"KaKK", "aaKa"};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            source.SetPixel(x, y, kColours.at(picture[y][x]));
    }
    // Corner: three of four are colour; edge window: three key of six tie.
    EXPECT_EQ(Halve(source, 24, HalveImage), (std::vector<COLORREF>{kA, kKeyColour}));
}

TEST(HalveImageTest, SixteenBitSourcesAreComparedAsTheyReadBack) {
    // 5-5-5 cannot hold blue 128: the key colour reads back as (255, 0, 132),
    // which is an ordinary colour to the filter.
    CDibImage source;
    ASSERT_TRUE(source.Create(2, 2, 16, BI_RGB, nullptr, 0));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x)
            source.SetPixel(x, y, kKeyColour);
    }
    EXPECT_EQ(Halve(source, 24, HalveImage), (std::vector<COLORREF>{RGB(255, 0, 132)}));
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

// Random pixels; indexed images get a random table with the key colour,
// near-key colours and repeated entries, so ties in the nearest-entry
// search happen.
void Randomise(CDibImage& image, std::mt19937& random, unsigned keyPercent) {
    const int bpp = image.bitsPerPixel();
    if (bpp <= 8) {
        std::vector<RGBQUAD> table(1u << bpp);
        for (RGBQUAD& e : table) {
            e = {static_cast<BYTE>(random()), static_cast<BYTE>(random()),
                 static_cast<BYTE>(random()), 0};
        }
        table[0] = {128, 0, 255, 0};
        if (table.size() > 2)
            table[2] = {127, 0, 255, 0};
        if (table.size() > 4)
            table[4] = table[3];
        image.SetColorTable(0, static_cast<UINT>(table.size()), table.data());
    }
    const int rowBytes = (image.width() * bpp + 7) / 8;
    for (int y = 0; y < image.height(); ++y) {
        BYTE* row = image.firstRow() + y * image.pitch();
        for (int i = 0; i < rowBytes; ++i)
            row[i] = static_cast<BYTE>(random());
        for (int x = 0; x < image.width(); ++x) {
            if (random() % 100 >= keyPercent)
                continue;
            if (bpp <= 8) {
                // Index 0 holds the key colour.
                const int bit = x * bpp;
                row[bit >> 3] &= static_cast<BYTE>(~(((1 << bpp) - 1) << (8 - bpp - (bit & 7))));
            } else {
                image.SetPixel(x, y, kKeyColour);
            }
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
            ASSERT_TRUE(reference.Create(dw, dh, to.bpp, to.compression, to.masks, 0));
            ASSERT_TRUE(rows.Create(dw, -dh, to.bpp, to.compression, to.masks, 0));
            if (to.bpp <= 8) {
                // Both destinations get the same random table.
                Randomise(reference, random, 0);
                RGBQUAD table[256];
                GetDIBColorTable(reference.BorrowDC(), 0, 256, table);
                reference.ReturnDC();
                rows.SetColorTable(0, 1u << to.bpp, table);
            }
            HalveImagePerPixel(source, reference);
            HalveRows(source, rows);
            for (int y = 0; y < dh; ++y) {
                for (int x = 0; x < dw; ++x) {
                    ASSERT_EQ(reference.GetPixel(x, y), rows.GetPixel(x, y)) << x << "," << y;
                }
                // The stored bits too, not only the colours they read as.
                const int rowBytes = (dw * to.bpp) / 8;
                ASSERT_EQ(0, std::memcmp(reference.firstRow() + y * reference.pitch(),
                                         rows.firstRow() + y * rows.pitch(), rowBytes))
                    << "row " << y;
            }
            EXPECT_EQ(source.borrowCount(), 0);
            EXPECT_EQ(rows.borrowCount(), 0);
            ++compared;
        }
    }
    EXPECT_GT(compared, 1500);
}

TEST(HalveImageTest, BandsFilledSideBySideGiveTheRowsOfOnePass) {
    std::mt19937 random(7);
    for (WORD bpp : {24, 32, 8, 4, 1}) {
        SCOPED_TRACE(bpp);
        CDibImage source;
        ASSERT_TRUE(source.Create(301, 203, bpp, BI_RGB, nullptr, 0));
        Randomise(source, random, 30);
        CDibImage single, banded;
        ASSERT_TRUE(single.Create(150, 101, bpp, BI_RGB, nullptr, 0));
        ASSERT_TRUE(banded.Create(150, 101, bpp, BI_RGB, nullptr, 0));
        if (bpp <= 8) {
            // Both destinations get the same random table.
            Randomise(single, random, 0);
            RGBQUAD table[256];
            GetDIBColorTable(single.BorrowDC(), 0, 256, table);
            single.ReturnDC();
            banded.SetColorTable(0, 1u << bpp, table);
        }
        HalveRows(source, single, 1);
        // Whole bytes of pixels, then the pixels' bits of a last partial byte.
        const int wholeBytes = 150 * bpp / 8;
        const BYTE lastBits = static_cast<BYTE>(0xFF00 >> (150 * bpp % 8));
        for (int bands : {2, 3, 7, 101, 500}) {
            std::memset(banded.firstRow() + 100 * banded.pitch(), 0xAB, 101 * -banded.pitch());
            HalveRows(source, banded, bands);
            for (int y = 0; y < 101; ++y) {
                const BYTE* one = single.firstRow() + y * single.pitch();
                const BYTE* many = banded.firstRow() + y * banded.pitch();
                ASSERT_EQ(0, std::memcmp(one, many, wholeBytes)) << bands << " bands, row " << y;
                if (lastBits != 0) {
                    ASSERT_EQ(one[wholeBytes] & lastBits, many[wholeBytes] & lastBits)
                        << bands << " bands, row " << y;
                }
            }
            EXPECT_EQ(source.borrowCount(), 0);
            EXPECT_EQ(banded.borrowCount(), 0);
        }
    }
}
