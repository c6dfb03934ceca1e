// The GIF decoder on files written byte by byte from a readable recipe, and
// the encoder's reduction of many colours to a table of 256.
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

// A one-frame GIF; GifFile() writes it byte by byte. Tables hold colours
// made from their index; frame pixels are 0, 1, 2... round the table.
struct GifRecipe {
    UINT screenWidth = 4, screenHeight = 3, left = 0, top = 0, width = 4, height = 3;
    UINT globalEntries = 4, localEntries = 0;  // 0: no such table
    BYTE background = 0;
    int transparentIndex = -1;  // >= 0: a graphic control extension names it
    bool interlaced = false;
    bool extras = false;            // a comment and an application extension before the frame
    bool secondFrame = false;       // another frame of index 1 everywhere after the first
    int minimumCodeSize = 0;        // 0: the smallest that holds the table
    std::vector<BYTE> pixels = {};  // the frame's indices when not the default
    std::string signature = "GIF89a";
};

UINT Entries(const GifRecipe& r) {
    return r.localEntries ? r.localEntries : r.globalEntries;
}

ARGB Colour(UINT i, bool local) {
    return 0xFF000000u | (i * 37 & 0xFF) << 16 | (255 - i) << 8 | (local ? 200 : i / 2);
}

std::vector<BYTE> FramePixels(const GifRecipe& r) {
    std::vector<BYTE> pixels = r.pixels;
    for (size_t i = 0; r.pixels.empty() && i < size_t{r.width} * r.height; ++i)
        pixels.push_back(static_cast<BYTE>(i % std::max(Entries(r), 1u)));
    return pixels;
}

int Log2(UINT entries) {
    int bits = 1;
    while ((1u << bits) < entries)
        ++bits;
    return bits;
}

void Append16(Bytes& out, UINT value) {
    out.insert(out.end(), {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8)});
}

void AppendTable(Bytes& out, UINT entries, bool local) {
    for (UINT i = 0; i < entries; ++i) {
        const ARGB c = Colour(i, local);
        out.insert(out.end(), {BYTE(c >> 16), BYTE(c >> 8), BYTE(c)});
    }
}

// LZW data that never grows its codes: a clear code before every few pixels
// keeps the code width at minimum + 1. Large, but any decoder must take it.
Bytes Lzw(const std::vector<BYTE>& pixels, int minimumCodeSize) {
    const UINT clear = 1u << minimumCodeSize, width = minimumCodeSize + 1;
    const size_t run = std::max<UINT>(1, clear / 2 - 1);
    Bytes packed, data = {static_cast<BYTE>(minimumCodeSize)};
    uint32_t bits = 0;
    UINT filled = 0;
    auto put = [&](UINT code) {
        for (bits |= code << filled, filled += width; filled >= 8; bits >>= 8, filled -= 8)
            packed.push_back(static_cast<BYTE>(bits));
    };
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (i % run == 0)
            put(clear);
        put(pixels[i] & (clear - 1));
    }
    put(clear + 1);  // end of information
    if (filled > 0)
        packed.push_back(static_cast<BYTE>(bits));
    for (size_t at = 0; at < packed.size(); at += 255) {  // sub-blocks of up to 255 bytes
        data.push_back(static_cast<BYTE>(std::min<size_t>(255, packed.size() - at)));
        data.insert(data.end(), packed.begin() + at, packed.begin() + at + data.back());
    }
    data.push_back(0);  // block terminator
    return data;
}

// Image descriptor (position, size, flags: local table, interlace, table
// size), the local table, the LZW data. Interlaced frames store rows 0, 8,
// 16..., then 4, 12..., then 2, 6..., then 1, 3...
void AppendFrame(Bytes& file, const GifRecipe& r, const std::vector<BYTE>& pixels, int codeSize) {
    file.push_back(',');
    for (UINT v : {r.left, r.top, r.width, r.height})
        Append16(file, v);
    file.push_back(static_cast<BYTE>((r.localEntries ? 0x80 | (Log2(r.localEntries) - 1) : 0) |
                                     (r.interlaced ? 0x40 : 0)));
    AppendTable(file, r.localEntries, true);
    std::vector<BYTE> ordered = r.interlaced ? std::vector<BYTE>{} : pixels;
    const UINT first[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; r.interlaced && pass < 4; ++pass) {
        for (UINT y = first[pass]; y < r.height; y += step[pass])
            ordered.insert(ordered.end(), &pixels[y * r.width], &pixels[(y + 1) * r.width]);
    }
    const Bytes data = Lzw(ordered, codeSize);
    file.insert(file.end(), data.begin(), data.end());
}

// Signature, logical screen descriptor (size, flags: global table, 8-bit
// colour resolution, table size; background index, aspect ratio), the global
// table, extensions, the frames, the trailer.
Bytes GifFile(const GifRecipe& r) {
    Bytes file(r.signature.begin(), r.signature.end());
    Append16(file, r.screenWidth);
    Append16(file, r.screenHeight);
    file.insert(
        file.end(),
        {static_cast<BYTE>((r.globalEntries ? 0x80 | (Log2(r.globalEntries) - 1) : 0) | 0x70),
         r.background, 0});
    AppendTable(file, r.globalEntries, false);
    if (r.extras) {
        file.insert(file.end(),
                    {'!', 0xFE, 5,   'h', 'e', 'l', 'l', 'o', 0,   '!', 0xFF, 11, 'N', 'E',
                     'T', 'S',  'C', 'A', 'P', 'E', '2', '.', '0', 3,   1,    0,  0,   0});
    }
    if (r.transparentIndex >= 0)  // graphic control extension: flags, delay, index
        file.insert(file.end(),
                    {'!', 0xF9, 4, 0x01, 0, 0, static_cast<BYTE>(r.transparentIndex), 0});
    const int codeSize =
        r.minimumCodeSize > 0 ? r.minimumCodeSize : std::max(2, Log2(std::max(Entries(r), 2u)));
    AppendFrame(file, r, FramePixels(r), codeSize);
    if (r.secondFrame)
        AppendFrame(file, GifRecipe{.width = r.width, .height = r.height},
                    Bytes(r.width * r.height, 1), codeSize);
    file.push_back(';');
    return file;
}

}  // namespace

TEST(GifDecoder, TheFirstFrameIsComposedOntoItsScreen) {
    // clang-format off
    const std::pair<const char*, GifRecipe> cases[] = {
        {"a frame filling the screen", {}},
        {"GIF87a", {.signature = "GIF87a"}},
        {"a frame inside a larger screen, background 2", {9, 7, 3, 2, 4, 3, 4, 0, 2}},
        {"a frame inside a larger screen, transparent 3", {9, 7, 5, 4, 4, 3, 4, 0, 2, 3}},
        {"a transparent index beyond the table", {.screenWidth = 6, .transparentIndex = 9}},
        {"a local table of 8 over a global one of 4", {.localEntries = 8}},
        {"a local table and no global one", {.globalEntries = 0, .localEntries = 2}},
        {"a table of 256", {37, 11, 0, 0, 37, 11, 256}},
        {"an interlaced frame of 11 rows", {5, 11, 0, 0, 5, 11, 4, 0, 0, -1, true}},
        {"an interlaced frame of 2 rows", {4, 2, 0, 0, 4, 2, 4, 0, 0, -1, true}},
        {"a frame reaching beyond the screen", {4, 3, 2, 1, 4, 3, 4, 0, 1}},
        {"a 0 x 0 screen", {0, 0}},
        {"an empty frame on a screen", {4, 3, 0, 0, 0, 0, 4, 0, 3}},
        {"an empty frame placed beyond the screen", {4, 3, 60000, 200, 60000, 0, 4, 0, 2}},
        {"extensions before the frame", {.extras = true}},
        {"a second frame, not read", {.secondFrame = true}},
    };
    // clang-format on
    for (const auto& [what, r] : cases) {
        SCOPED_TRACE(what);
        const Bytes file = GifFile(r);
        ImageBuffer image;
        ASSERT_EQ(DecodeGif(file.data(), file.size(), image), Ok);
        const bool empty = r.width == 0 || r.height == 0;
        const UINT width = empty ? r.screenWidth : std::max(r.screenWidth, r.left + r.width);
        const UINT height = empty ? r.screenHeight : std::max(r.screenHeight, r.top + r.height);
        ASSERT_EQ(image.Format(), PixelFormat8bppIndexed);
        ASSERT_EQ(image.Width(), width);
        ASSERT_EQ(image.Height(), height);
        std::vector<ARGB> palette;
        for (UINT i = 0; i < Entries(r); ++i)
            palette.push_back(Colour(i, r.localEntries != 0) &
                              (int(i) == r.transparentIndex ? 0xFFFFFF : ~0u));
        EXPECT_EQ(image.Palette(), palette);
        const bool clear = r.transparentIndex >= 0 && UINT(r.transparentIndex) < Entries(r);
        EXPECT_EQ(image.PaletteFlags(), clear ? UINT(PaletteFlagsHasAlpha) : 0u);
        const std::vector<BYTE> pixels = FramePixels(r);
        const BYTE fill =
            static_cast<BYTE>(r.transparentIndex >= 0 ? r.transparentIndex : r.background);
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = 0; x < width; ++x) {
                const bool inFrame =
                    x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height;
                ASSERT_EQ(image.Row(y)[x],
                          inFrame ? pixels[(y - r.top) * r.width + (x - r.left)] : fill)
                    << "pixel " << x << "," << y;
            }
        }
    }
}

TEST(GifDecoder, DamagedFilesAndHugeScreensGiveTheirExactStatusQuickly) {
    const Bytes valid = GifFile({});
    const size_t screenEnd = 6 + 7 + 12;  // signature, screen descriptor, 4-entry table
    Bytes badRecord(valid.begin(), valid.begin() + screenEnd), noFrame = badRecord,
                                                               brokenLzw = valid;
    badRecord.insert(badRecord.end(), {'x', ';'});
    noFrame.push_back(';');
    brokenLzw[screenEnd + 10] = 5;  // minimum code size 5 is fine, the data then is not
    brokenLzw[screenEnd + 12] = brokenLzw[screenEnd + 13] = 0xFF;
    const struct {
        const char* defect;
        Bytes file;
        Status status;
    } cases[] = {
        // clang-format off
        {"no colour table at all", GifFile({.globalEntries = 0}), GenericError},
        {"global table cut short", Bytes(valid.begin(), valid.begin() + 20), GenericError},
        {"the trailer before any frame", noFrame, GenericError},
        {"an unknown record", badRecord, GenericError},
        {"LZW minimum code size 12", GifFile({.minimumCodeSize = 12}), GenericError},
        {"LZW codes that refer to nothing", brokenLzw, GenericError},
        {"an empty frame on a 0 x 0 screen", GifFile({0, 0, 0, 0, 0, 0}), GenericError},
        {"a 65535 x 65535 screen, beyond the pixel bound", GifFile({65535, 65535}), ValueOverflow},
        {"a 30000 x 30000 screen round one pixel", GifFile({30000, 30000, 0, 0, 1, 1, 4, 0, 1}),
            GenericError},
        {"a 65535 x 16000 frame with three pixels of data",
            GifFile({1, 1, 0, 0, 65535, 16000, 4, 0, 0, -1, false, false, false, 0, {1, 2, 3}}), GenericError},
        {"a 4096 x 4096 screen round one pixel, small enough to take",
            GifFile({4096, 4096, 0, 0, 1, 1, 4, 0, 1}), Ok},
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

TEST(GifDecoder, CopiesCutBeforeTheTrailerAreRefused) {
    const Bytes file = GifFile({30, 20, 0, 0, 30, 20, 4, 0, 0, 1, true, true});
    for (size_t cut = 0; cut + 1 < file.size(); ++cut) {
        ImageBuffer image;
        ASSERT_EQ(DecodeGif(file.data(), cut, image), cut < 6 ? UnknownImageFormat : GenericError)
            << "cut at " << cut << " of " << file.size();
    }
    // The trailer itself carries nothing the first frame needs.
    ImageBuffer image;
    EXPECT_EQ(DecodeGif(file.data(), file.size() - 1, image), Ok);
}

TEST(GifEncoder, ManyColoursAreReducedKeepingTheKeyColourAndTransparencyExact) {
    // A smooth picture of thousands of colours with noise, marked with the key
    // colour in places, with alpha some pixels transparent with varying colour.
    constexpr UINT kWidth = 160, kHeight = 120;
    for (const PixelFormat format : {PixelFormat24bppRGB, PixelFormat32bppARGB}) {
        SCOPED_TRACE(testing::PrintToString(format));
        std::vector<ARGB> pixels;
        for (UINT y = 0, state = 99; y < kHeight; ++y) {
            for (UINT x = 0; x < kWidth; ++x) {
                state = state * 1664525u + 1013904223u;
                const UINT noise = (state >> 24) & 7;
                pixels.push_back(0xFF000000u |
                                 std::min(255u, x * 255 / (kWidth - 1) + noise) << 16 |
                                 std::min(255u, y * 255 / (kHeight - 1) + noise) << 8 |
                                 (((x + y) * 127 / (kWidth + kHeight) + 64) & 0xFF));
                if ((x / 7 + y / 5) % 9 == 0)
                    pixels.back() = kKeyColor;
                if (format == PixelFormat32bppARGB && (x / 11 + y / 3) % 13 == 0)
                    pixels.back() = state >> 8;
            }
        }
        ASSERT_GT(std::set<ARGB>(pixels.begin(), pixels.end()).size(), 1000u);
        ImageBuffer source;
        ASSERT_EQ(source.Allocate(format, kWidth, kHeight), Ok);
        for (UINT y = 0; y < kHeight; ++y)
            WriteRowArgb(&pixels[size_t{y} * kWidth], kWidth, format, source.Row(y));
        Bytes file;
        ImageBuffer decoded;
        ASSERT_EQ(EncodeGif(source.View(), file), Ok);
        ASSERT_EQ(DecodeGif(file.data(), file.size(), decoded), Ok);
        EXPECT_LE(decoded.Palette().size(), 256u);
        const std::vector<ARGB> expected = ArgbPixels(source.View()),
                                actual = ArgbPixels(decoded.View());
        double totalError = 0;
        int largestError = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (expected[i] == kKeyColor || (expected[i] >> 24) == 0) {
                ASSERT_EQ(actual[i], expected[i] >> 24 ? kKeyColor : 0) << "pixel " << i;
                continue;
            }
            ASSERT_NE(actual[i], kKeyColor) << "pixel " << i << " became the key colour";
            ASSERT_EQ(actual[i] >> 24, 0xFFu) << "pixel " << i << " became transparent";
            const int error = MaxChannelDifference({actual[i]}, {expected[i]});
            totalError += error;
            largestError = std::max(largestError, error);
        }
        // A median cut of this picture lands within a few steps on average; a
        // broken reduction (or mapping) lands tens of steps away.
        EXPECT_LT(totalError / expected.size(), 6.0);
        EXPECT_LT(largestError, 24);
    }
}
