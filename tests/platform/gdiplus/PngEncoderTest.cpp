// The PNG encoder's compression in parts: a stream deflated in parts on
// several threads must inflate to the data (its checksum combined right, each
// part primed with the data before it), and a large picture written that way
// must read back exactly in our decoder and in Pillow. The round trips of
// every format are in CodecTest.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "platform/gdiplus/ParallelDeflate.h"
#include "platform/gdiplus/PixelConversion.h"
#include "platform/gdiplus/PngCodec.h"
#include "tests/support/Pictures.h"
#include "tests/support/Pillow.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"

namespace {

uint32_t Next(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 24;
}

}  // namespace

TEST(ParallelDeflate, PartsJoinIntoOneStreamOfTheDataNoLargerThanOneParts) {
    // Records repeat with a period of `period` records: matches reach back
    // across every part boundary, so a part not primed with the data before
    // it starts over with a whole period of literals.
    // clang-format off
    const struct { size_t recordBytes, records, period, parts; int strategy; } cases[] = {
        {16001, 240, 1, 4, Z_DEFAULT_STRATEGY}, {4001, 300, 5, 3, Z_DEFAULT_STRATEGY}, {7, 300000, 3000, 8, Z_RLE},
        {300007, 9, 2, 4, Z_DEFAULT_STRATEGY},  // records longer than the window and than a batch
        {5, 3, 1, 8, Z_DEFAULT_STRATEGY},  // fewer records than parts
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.recordBytes << " x " << c.records << " in " << c.parts);
        Bytes data(c.recordBytes * c.records);
        uint32_t state = 5;
        for (size_t i = 0; i < c.period * c.recordBytes && i < data.size(); ++i)
            data[i] = static_cast<BYTE>(Next(state) % 50);
        for (size_t i = c.period * c.recordBytes; i < data.size(); ++i)
            data[i] = data[i - c.period * c.recordBytes];
        const RecordSource source = [&](size_t first, size_t count, BYTE* out) {
            std::memcpy(out, &data[first * c.recordBytes], count * c.recordBytes);
            return true;
        };
        Bytes whole, inParts;
        ASSERT_EQ(DeflateInParts(c.records, c.recordBytes, 1, c.strategy, source, 1, whole), Ok);
        ASSERT_EQ(DeflateInParts(c.records, c.recordBytes, 1, c.strategy, source, c.parts, inParts),
                  Ok);
        // zlib checks the header and the Adler-32 of the whole.
        Bytes inflated(data.size() + 1);
        uLongf size = inflated.size();
        ASSERT_EQ(uncompress(inflated.data(), &size, inParts.data(), inParts.size()), Z_OK);
        inflated.resize(size);
        EXPECT_TRUE(inflated == data);
        // A sync flush and a block header (its code tables) cost tens of
        // bytes a part; an unprimed part would cost a period of literals.
        EXPECT_LE(inParts.size(), whole.size() + 128 * c.parts);
    }
}

TEST(PngEncoder, LargePicturesWrittenInPartsReadBackExactlyHereAndInPillow) {
    // Bands of noise (left unfiltered) between smooth bands (filtered), so
    // that rows differ in filter and in how they compress on either side of
    // the part boundaries. Palette rows are never filtered.
    const struct {
        PixelFormat format;
        UINT width, height;
    } cases[] = {
        {PixelFormat24bppRGB, 1200, 1000},
        {PixelFormat8bppIndexed, 2500, 1300},
        {PixelFormat64bppARGB, 700, 640},
    };
    const TempFolder folder;
    std::vector<std::string> paths;
    std::vector<std::vector<ARGB>> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.format));
        ImageBuffer picture = NoisePicture(c.format, c.width, c.height, 3);
        const size_t rowBytes = (size_t{c.width} * GetPixelFormatSize(c.format) + 7) / 8;
        ASSERT_GE(DeflatePartsFor((rowBytes + 1) * c.height), 3u);
        for (UINT y = 0; y < c.height; ++y) {
            for (size_t x = 0; (y / 16) % 3 != 0 && x < rowBytes; ++x)
                picture.Row(y)[x] = static_cast<BYTE>(x / 3 + y + (x % 3) * x * y / 4096);
        }
        Bytes file;
        ASSERT_EQ(EncodePng(picture.View(), file), Ok);
        ImageBuffer decoded;
        ASSERT_EQ(DecodePng(file.data(), file.size(), decoded), Ok);
        ASSERT_EQ(decoded.Format(), c.format);
        for (UINT y = 0; y < c.height; ++y)
            ASSERT_EQ(std::memcmp(decoded.Row(y), picture.Row(y), rowBytes), 0) << "row " << y;
        expected.push_back(ArgbPixels(picture.View()));
        paths.push_back(folder.File(std::to_string(paths.size()) + ".png"));
        WriteFileBytes(paths.back(), file);
    }
    const std::vector<PillowPicture> theirs = ReadWithPillow(paths);
    for (size_t i = 0; i < theirs.size(); ++i) {
        ASSERT_TRUE(theirs[i].read) << paths[i];
        // Pillow narrows 16-bit channels its own way, by at most a step.
        EXPECT_LE(MaxChannelDifference(theirs[i].pixels, expected[i]), i == 2 ? 1 : 0) << paths[i];
    }
}
