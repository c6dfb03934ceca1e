#include "shrink/HalveImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "image/CDibImage.h"
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
    if (!image.Create(width, bottomUp ? height : -height, bpp, BI_RGB, nullptr, 0)) return false;
    if (bpp <= 8) {
        std::vector<RGBQUAD> table;
        for (const auto& [letter, colour] : kColours) {
            table.push_back({GetBValue(colour), GetGValue(colour), GetRValue(colour), 0});
        }
        if (table.size() > (1u << bpp)) return false;
        image.SetColorTable(0, static_cast<UINT>(table.size()), table.data());
    }
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x) image.SetPixel(x, y, kColours.at(picture[y][x]));
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
        for (LONG x = 0; x < destination.width(); ++x) pixels.push_back(destination.GetPixel(x, y));
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
    {"a colour one step from the key is averaged like any other",
     {"Kn", "nn"},
     {kNearKey}},
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
                    SCOPED_TRACE(testing::Message() << c.rule << ", " << bpp << " bpp, "
                                                    << (bottomUp ? "bottom-up" : "top-down")
                                                    << ", " << path.name);
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
        for (int x = 0; x < 4; ++x) source.SetPixel(x, y, kColours.at(picture[y][x]));
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
        for (int x = 0; x < 2; ++x) source.SetPixel(x, y, kKeyColour);
    }
    EXPECT_EQ(Halve(source, 24, HalveImage), (std::vector<COLORREF>{RGB(255, 0, 132)}));
}

TEST(HalveImageTest, RowPathGivesTheSameDestinationAsThePerPixelPath) {
    std::mt19937 random(20261206);
    int compared = 0;
    for (int width = 1; width <= 40; ++width) {
        for (int height = 1; height <= 40; ++height) {
            const WORD sourceBpp = (random() & 1) ? 24 : 32;
            const WORD destinationBpp = (random() & 1) ? 24 : 32;
            const bool bottomUp = random() & 1;
            const unsigned keyPercent = random() % 101;
            // Now and then a destination larger than half, whose windows
            // reach beyond the source.
            const int extra = (random() % 8 == 0) ? 1 : 0;
            SCOPED_TRACE(testing::Message() << width << "x" << height << " " << sourceBpp << "->"
                                            << destinationBpp << " key " << keyPercent << "%");
            CDibImage source;
            ASSERT_TRUE(
                source.Create(width, bottomUp ? height : -height, sourceBpp, BI_RGB, nullptr, 0));
            for (int y = 0; y < height; ++y) {
                BYTE* row = source.firstRow() + y * source.pitch();
                for (int x = 0; x < width; ++x) {
                    BYTE* p = row + x * (sourceBpp / 8);
                    const bool key = random() % 100 < keyPercent;
                    // Near-key colours too, to catch a sloppy key test.
                    const unsigned near = random() % 4;
                    p[0] = key ? 0x80 : static_cast<BYTE>(near == 0 ? 0x80 : random());
                    p[1] = key ? 0x00 : static_cast<BYTE>(near == 1 ? 0x00 : random());
                    p[2] = key ? 0xFF : static_cast<BYTE>(near == 2 ? 0xFF : random());
                    if (sourceBpp == 32) p[3] = static_cast<BYTE>(random());
                }
            }
            const int dw = width / 2 + extra, dh = height / 2 + extra;
            if (dw == 0 || dh == 0) continue;
            CDibImage reference, fast;
            ASSERT_TRUE(reference.Create(dw, dh, destinationBpp, BI_RGB, nullptr, 0));
            ASSERT_TRUE(fast.Create(dw, -dh, destinationBpp, BI_RGB, nullptr, 0));
            ASSERT_TRUE(CanHalveRows(source, fast));
            HalveImagePerPixel(source, reference);
            HalveRows(source, fast);
            const int rowBytes = dw * destinationBpp / 8;
            for (int y = 0; y < dh; ++y) {
                ASSERT_EQ(0, std::memcmp(reference.firstRow() + y * reference.pitch(),
                                         fast.firstRow() + y * fast.pitch(), rowBytes))
                    << "row " << y;
            }
            ++compared;
        }
    }
    EXPECT_GT(compared, 1500);
}

TEST(HalveImageTest, TheRowPathTakesOnlyPlainByteLayouts) {
    struct Case {
        WORD bpp;
        DWORD compression;
        DWORD masks[3];
        bool rows;
    };
    const Case cases[] = {{24, BI_RGB, {}, true},
                          {32, BI_RGB, {}, true},
                          {32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, true},
                          {32, BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000}, false},
                          {16, BI_RGB, {}, false},
                          {8, BI_RGB, {}, false}};
    for (const Case& c : cases) {
        CDibImage source, destination;
        ASSERT_TRUE(source.Create(4, 4, c.bpp, c.compression, c.masks, 0));
        ASSERT_TRUE(destination.Create(2, 2, 24, BI_RGB, nullptr, 0));
        EXPECT_EQ(CanHalveRows(source, destination), c.rows) << c.bpp << "/" << c.compression;
        EXPECT_EQ(CanHalveRows(destination, source), c.rows);
    }
}
