// The GIF encoder's reduction of many colours to a table of 256.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/gdiplus/ColorReduction.h"
#include "platform/gdiplus/GifCodec.h"
#include "platform/gdiplus/PixelConversion.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestFiles.h"

TEST(GifEncoder, ManyColoursAreReducedKeepingTheKeyColourAndTransparencyExact) {
    // A smooth picture of thousands of colours with noise, marked with the key
    // colour in places; with alpha, some pixels transparent in varying colours.
    constexpr UINT kWidth = 160, kHeight = 120;
    for (const PixelFormat format : {PixelFormat24bppRGB, PixelFormat32bppARGB}) {
        SCOPED_TRACE(testing::PrintToString(format));
        ImageBuffer source;
        ASSERT_EQ(source.Allocate(format, kWidth, kHeight), Ok);
        std::vector<ARGB> row(kWidth);
        for (UINT y = 0, state = 99; y < kHeight; ++y) {
            for (UINT x = 0; x < kWidth; ++x) {
                state = state * 1664525u + 1013904223u;
                const UINT noise = (state >> 24) & 7;
                row[x] = 0xFF000000u | std::min(255u, x * 255 / (kWidth - 1) + noise) << 16 |
                         std::min(255u, y * 255 / (kHeight - 1) + noise) << 8 |
                         ((x + y) * 127 / 280 + 64);
                row[x] = (x / 7 + y / 5) % 9 == 0 ? kKeyColor : row[x];
                row[x] = (x / 11 + y / 3) % 13 == 0 && format == PixelFormat32bppARGB ? state >> 8
                                                                                      : row[x];
            }
            WriteRowArgb(row.data(), kWidth, format, source.Row(y));
        }
        const std::vector<ARGB> expected = ArgbPixels(source.View());
        ASSERT_GT(std::set<ARGB>(expected.begin(), expected.end()).size(), 1000u);
        Bytes file;
        ImageBuffer decoded;
        ASSERT_EQ(EncodeGif(source.View(), file), Ok);
        ASSERT_EQ(DecodeGif(file.data(), file.size(), decoded), Ok);
        const std::vector<ARGB> actual = ArgbPixels(decoded.View());
        double totalError = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            const bool exact = expected[i] == kKeyColor || (expected[i] >> 24) == 0;
            // Only the key colour becomes the key colour; only clear pixels clear.
            ASSERT_EQ(actual[i] == kKeyColor, expected[i] == kKeyColor) << "pixel " << i;
            ASSERT_EQ(actual[i] >> 24, expected[i] >> 24 ? 0xFFu : 0) << "pixel " << i;
            const int error = exact ? 0 : MaxChannelDifference({actual[i]}, {expected[i]});
            ASSERT_LT(error, 24) << "pixel " << i;
            totalError += error;
        }
        // A median cut of this picture lands within a few steps on average; a
        // broken reduction (or mapping) lands tens of steps away.
        EXPECT_LT(totalError / expected.size(), 6.0);
    }
}
