// The GIF decoder on damaged files and huge screens made by patching a file
// of our encoder, and the encoder's reduction of many colours to a table of
// 256. Other writers' layouts are read in CodecTest.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "platform/gdiplus/ColorReduction.h"
#include "platform/gdiplus/GifCodec.h"
#include "platform/gdiplus/PixelConversion.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestFiles.h"

namespace {

// The file with 16-bit little-endian values put at the given offsets.
Bytes Patched(Bytes file, std::initializer_list<std::pair<size_t, UINT>> values) {
    for (const auto& [at, value] : values) {
        file[at] = static_cast<BYTE>(value);
        file[at + 1] = static_cast<BYTE>(value >> 8);
    }
    return file;
}

}  // namespace

TEST(GifDecoder, DamagedFilesAndHugeScreensGiveTheirExactStatusQuickly) {
    // A 4 x 3 picture of a 2-entry table: signature, screen width and height
    // at 6 and 8, flags at 10, the table at 13, then the image descriptor: ',',
    // left, top, width, height, flags; the LZW code size; sub-blocks.
    Bytes good;
    ASSERT_EQ(EncodeGif(NoisePicture(PixelFormat1bppIndexed, 4, 3, 1, 2).View(), good), Ok);
    constexpr size_t kFrame = 13 + 2 * 3, kCodeSize = kFrame + 10;
    Bytes noTable = good, cutTable(good.begin(), good.begin() + 16),
          noFrame(good.begin(), good.begin() + kFrame);
    noTable.erase(noTable.begin() + 13, noTable.begin() + kFrame);
    noTable[10] &= 0x7F;
    noFrame.push_back(';');
    Bytes unknownRecord = good, codeSize12 = good, brokenLzw = good;
    unknownRecord[kFrame] = 'x';
    codeSize12[kCodeSize] = 12;
    brokenLzw[kCodeSize] = 5;  // fine, the data then is not
    brokenLzw[kCodeSize + 2] = brokenLzw[kCodeSize + 3] = 0xFF;
    const struct {
        const char* defect;
        Bytes file;
        Status status;
    } cases[] = {
        // clang-format off
        {"the good file the others damage", good, Ok},
        {"no colour table at all", noTable, GenericError},
        {"global table cut short", cutTable, GenericError},
        {"the trailer before any frame", noFrame, GenericError},
        {"an unknown record", unknownRecord, GenericError},
        {"LZW minimum code size 12", codeSize12, GenericError},
        {"LZW codes that refer to nothing", brokenLzw, GenericError},
        {"an empty frame on a 0 x 0 screen", Patched(good, {{6, 0}, {8, 0}, {kFrame + 5, 0}, {kFrame + 7, 0}}),
            GenericError},
        {"a 65535 x 65535 screen, beyond the pixel bound", Patched(good, {{6, 65535}, {8, 65535}}), ValueOverflow},
        {"a 30000 x 30000 screen round 12 pixels", Patched(good, {{6, 30000}, {8, 30000}}), GenericError},
        {"a 65535 x 16000 frame with 12 pixels of data", Patched(good, {{kFrame + 5, 65535}, {kFrame + 7, 16000}}),
            GenericError},
        {"a 4096 x 4096 screen round 12 pixels, small enough to take", Patched(good, {{6, 4096}, {8, 4096}}), Ok},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.defect);
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer image;
        EXPECT_EQ(DecodeGif(c.file.data(), c.file.size(), image), c.status);
        EXPECT_EQ(image.Pixels() == nullptr, c.status != Ok);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    }
}

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
