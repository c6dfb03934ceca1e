// The BMP Suite: every good file shows its picture, every questionable file
// gives the outcome decided for it, every bad file is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/platform/gdiplus/BmpTestSupport.h"

namespace {

// Channel 0 is blue, 1 green, 2 red, 3 alpha.
int Channel(ARGB c, int i) {
    return (c >> (8 * i)) & 0xFF;
}

struct Decoded {
    Status status;
    ImageBuffer image;
    std::vector<ARGB> pixels;
    ARGB At(UINT x, UINT y) const { return pixels[size_t{y} * image.Width() + x]; }
};

Decoded Decode(const std::string& groupAndName) {
    const std::vector<BYTE> file = ReadWholeFile(
        BmpSuiteFile(groupAndName.substr(0, 1).c_str(), groupAndName.substr(2).c_str()));
    Decoded d;
    d.status = DecodeBmp(file.data(), file.size(), d.image);
    d.pixels = ArgbPixels(d.image.View());
    return d;
}

// Each table has a row for every file of its folder.
size_t FilesIn(const char* group) {
    const std::filesystem::directory_iterator folder(BmpSuiteFile(group, ""));
    return static_cast<size_t>(std::distance(begin(folder), end(folder)));
}

// How a good file relates to g/rgb24.bmp, the suite's picture at full depth.
struct GoodFile {
    const char* name;
    PixelFormat format;
    size_t paletteCount;
    int tolerance;  // largest channel difference; -1 for pictures dithered to a few colours
    const char* sameAs = nullptr;  // the same colours, or the same indices, as this g/ file
    UINT width = 127;
    UINT height = 64;
    UINT rowStep = 1;  // the squashed picture keeps every second row
};

constexpr int kPal8Step = 51;  // the 252-colour table has 6 or 7 levels a channel
constexpr int k5Bits = 9;      // one step of a 5-bit channel
constexpr PixelFormat k1 = PixelFormat1bppIndexed, k4 = PixelFormat4bppIndexed,
                      k8 = PixelFormat8bppIndexed;

const GoodFile kGoodFiles[] = {
    {"pal1.bmp", k1, 2, -1},
    {"pal1bg.bmp", k1, 2, -1, "pal1.bmp"},  // blue and green in place of black and white
    {"pal1wb.bmp", k1, 2, -1, "pal1.bmp"},  // table in the other order
    {"pal4.bmp", k4, 12, -1},
    {"pal4gs.bmp", k4, 12, -1},
    {"pal4rle.bmp", k4, 12, -1, "pal4.bmp"},
    {"pal8-0.bmp", k8, 256, kPal8Step, "pal8.bmp"},
    {"pal8.bmp", k8, 252, kPal8Step},
    {"pal8gs.bmp", k8, 252, -1},
    {"pal8nonsquare.bmp", k8, 252, kPal8Step, nullptr, 127, 32, 2},
    {"pal8os2.bmp", k8, 256, kPal8Step, "pal8.bmp"},
    {"pal8rle.bmp", k8, 252, kPal8Step, "pal8.bmp"},
    {"pal8topdown.bmp", k8, 252, kPal8Step, "pal8.bmp"},
    {"pal8v4.bmp", k8, 252, kPal8Step, "pal8.bmp"},
    {"pal8v5.bmp", k8, 252, kPal8Step, "pal8.bmp"},
    {"pal8w124.bmp", k8, 252, kPal8Step, "pal8.bmp", 124, 61},  // top-left corners
    {"pal8w125.bmp", k8, 252, kPal8Step, "pal8.bmp", 125, 62},
    {"pal8w126.bmp", k8, 252, kPal8Step, "pal8.bmp", 126, 63},
    {"rgb16-565.bmp", PixelFormat16bppRGB565, 0, k5Bits},
    {"rgb16-565pal.bmp", PixelFormat16bppRGB565, 0, k5Bits, "rgb16-565.bmp"},
    {"rgb16.bmp", PixelFormat16bppRGB555, 0, k5Bits},
    {"rgb16bfdef.bmp", PixelFormat16bppRGB555, 0, k5Bits, "rgb16.bmp"},
    {"rgb24.bmp", PixelFormat24bppRGB, 0, 0},
    {"rgb24pal.bmp", PixelFormat24bppRGB, 0, 0},
    {"rgb32.bmp", PixelFormat32bppRGB, 0, 0},
    {"rgb32bf.bmp", PixelFormat32bppRGB, 0, 0},
    {"rgb32bfdef.bmp", PixelFormat32bppRGB, 0, 0},
};

bool Grey(ARGB c) {
    return Channel(c, 0) == Channel(c, 1) && Channel(c, 1) == Channel(c, 2);
}

void CheckGoodFile(const GoodFile& g, const Decoded& d, const Decoded& reference) {
    ASSERT_EQ(d.status, Ok);
    EXPECT_EQ(d.image.Format(), g.format);
    EXPECT_EQ(d.image.Palette().size(), g.paletteCount);
    ASSERT_EQ(d.image.Width(), g.width);
    ASSERT_EQ(d.image.Height(), g.height);
    const std::vector<ARGB>& palette = d.image.Palette();
    const bool grey = std::all_of(palette.begin(), palette.end(), Grey) && palette.size() > 2;
    const Decoded same = Decode(std::string("g/") + (g.sameAs ? g.sameAs : g.name));
    const size_t rowBytes = (g.width * GetPixelFormatSize(g.format) + 7) / 8;
    bool sameColours = true, sameIndices = !palette.empty();
    int worst = 0;
    double luminanceError = 0;
    for (UINT y = 0; y < g.height; ++y) {
        sameIndices = sameIndices && std::memcmp(d.image.Row(y), same.image.Row(y), rowBytes) == 0;
        for (UINT x = 0; x < g.width; ++x) {
            const ARGB want = reference.At(x, y * g.rowStep);
            const ARGB got = d.At(x, y);
            for (int i = 0; i < 4; ++i) {
                worst = std::max(worst, std::abs(Channel(got, i) - Channel(want, i)));
            }
            // Dithering to colours keeps a colour the table holds as it is.
            if (!grey && std::find(palette.begin(), palette.end(), want) != palette.end()) {
                ASSERT_EQ(got, want) << "at " << x << ", " << y;
            }
            luminanceError +=
                std::abs(Channel(got, 0) - (0.2126 * Channel(want, 2) + 0.7152 * Channel(want, 1) +
                                            0.0722 * Channel(want, 0)));
            sameColours = sameColours && got == same.At(x, y);
        }
    }
    EXPECT_LE(worst, g.tolerance < 0 ? 255 : g.tolerance);
    // Grey files hold the picture's luminance (Rec. 709), dithered.
    EXPECT_LT(grey ? luminanceError / (g.width * g.height) : 0.0, 12.0);
    EXPECT_TRUE(sameColours || sameIndices) << "differs from " << g.sameAs;
}

// Tolerance of a channel of `bits` bits scaled to 8: one step of the channel,
// or 1 for wider channels whose writer rounded differently.
int ChannelTolerance(int bits) {
    if (bits >= 8)
        return bits == 8 ? 0 : 1;
    return (255 + (1 << bits) - 2) / ((1 << bits) - 1);
}

// The outcome decided for each questionable file. Decoded files are compared
// channel by channel with a reference picture.
struct QuestionableFile {
    const char* name;
    Status status;
    PixelFormat format = PixelFormatUndefined;
    size_t paletteCount = 0;
    const char* reference = nullptr;
    int bits[4] = {8, 8, 8, 8};  // B, G, R, A channel widths
    bool skips = false;          // RLE pixels left out keep index 0
};

constexpr const char* kRgb24 = "g/rgb24.bmp";
constexpr const char* kRgba32 = "q/rgba32-1.bmp";  // the suite's picture with alpha
constexpr PixelFormat kRgb = PixelFormat32bppRGB, kArgb = PixelFormat32bppARGB;

const QuestionableFile kQuestionableFiles[] = {
    {"pal1huffmsb.bmp", NotImplemented},  // OS/2 Huffman 1D
    {"pal1p1.bmp", Ok, k1, 1},            // every pixel index 0 of a one-colour table
    {"pal2.bmp", NotImplemented},         // 2 bpp: Windows CE only
    {"pal2color.bmp", NotImplemented},
    // Pixels the RLE stream skips show colour-table entry 0, purple.
    {"pal4rlecut.bmp", Ok, k4, 13, "g/pal4.bmp", {8, 8, 8, 8}, true},
    {"pal4rletrns.bmp", Ok, k4, 13, "g/pal4.bmp", {8, 8, 8, 8}, true},
    {"pal8offs.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"pal8os2-hs.bmp", Ok, k8, 256, "g/pal8.bmp"},
    {"pal8os2-sz.bmp", Ok, k8, 256, "g/pal8.bmp"},
    {"pal8os2sp.bmp", Ok, k8, 252, "g/pal8.bmp"},  // table size from the pixel offset
    {"pal8os2v2-16.bmp", Ok, k8, 256, "g/pal8.bmp"},
    {"pal8os2v2-40sz.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"pal8os2v2-sz.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"pal8os2v2.bmp", Ok, k8, 252, "g/pal8.bmp"},
    {"pal8oversizepal.bmp", Ok, k8, 256, "g/pal8.bmp"},  // 300 entries, 256 usable
    {"pal8rlecut.bmp", Ok, k8, 253, "g/pal8.bmp", {8, 8, 8, 8}, true},
    {"pal8rletrns.bmp", Ok, k8, 253, "g/pal8.bmp", {8, 8, 8, 8}, true},
    {"rgb16-231.bmp", Ok, kRgb, 0, kRgb24, {1, 3, 2, 8}},
    {"rgb16-3103.bmp", Ok, kRgb, 0, kRgb24, {3, 10, 3, 8}},
    {"rgb16faketrns.bmp", Ok, PixelFormat16bppRGB555, 0, kRgb24, {5, 5, 5, 8}},
    {"rgb24jpeg.bmp", NotImplemented},
    {"rgb24largepal.bmp", Ok, PixelFormat24bppRGB, 0, kRgb24},
    {"rgb24lprof.bmp", Ok, PixelFormat24bppRGB, 0, kRgb24},  // profiles are not applied
    {"rgb24png.bmp", NotImplemented},
    {"rgb24prof.bmp", Ok, PixelFormat24bppRGB, 0, kRgb24},
    {"rgb24prof2.bmp", Ok, PixelFormat24bppRGB, 0},  // red and green stay as stored, swapped
    {"rgb24rle24.bmp", NotImplemented},              // OS/2 RLE24
    {"rgb32-111110.bmp", Ok, kRgb, 0, kRgb24, {10, 11, 11, 8}},
    {"rgb32-7187.bmp", Ok, kRgb, 0, kRgb24, {7, 18, 7, 8}},
    {"rgb32-xbgr.bmp", Ok, kRgb, 0, kRgb24},
    {"rgb32fakealpha.bmp", Ok, kRgb, 0, kRgb24},  // BI_RGB has no alpha
    {"rgb32h52.bmp", Ok, kRgb, 0, kRgb24},
    {"rgba16-1924.bmp", Ok, kArgb, 0, kRgba32, {2, 9, 1, 4}},
    {"rgba16-4444.bmp", Ok, kArgb, 0, kRgba32, {4, 4, 4, 4}},
    {"rgba16-5551.bmp", Ok, kArgb, 0, kRgba32, {5, 5, 5, 1}},
    {"rgba32-1.bmp", Ok, kArgb, 0, kRgb24},
    {"rgba32-1010102.bmp", Ok, kArgb, 0, kRgba32, {10, 10, 10, 2}},
    {"rgba32-2.bmp", Ok, kArgb, 0, kRgba32},
    {"rgba32-61754.bmp", Ok, kArgb, 0, kRgba32, {5, 17, 6, 4}},
    {"rgba32-81284.bmp", Ok, kArgb, 0, kRgba32, {8, 12, 8, 4}},
    {"rgba32abf.bmp", Ok, kArgb, 0, kRgba32},
    {"rgba32h56.bmp", Ok, kArgb, 0, kRgba32},
    {"rgba64.bmp", NotImplemented},
};

void CheckQuestionableFile(const QuestionableFile& q, const Decoded& d) {
    EXPECT_EQ(d.image.Format(), q.format);
    EXPECT_EQ(d.image.Palette().size(), q.paletteCount);
    EXPECT_EQ(HoldsNoPicture(d.image), q.status != Ok);
    if (q.reference == nullptr)
        return;
    const Decoded r = Decode(q.reference);
    ASSERT_EQ(d.pixels.size(), r.pixels.size());
    for (size_t p = 0; p < d.pixels.size(); ++p) {
        const ARGB got = d.pixels[p];
        const int alpha = Channel(got, 3);
        // Skipped RLE pixels; colours under full transparency; partial
        // transparency, of which an opaque reference says nothing.
        if (q.skips && got == d.image.Palette()[0])
            continue;
        if (alpha == 0 || (q.reference == kRgb24 && alpha != 255))
            continue;
        for (int i = 0; i < 4; ++i) {
            ASSERT_LE(std::abs(Channel(got, i) - Channel(r.pixels[p], i)),
                      ChannelTolerance(q.bits[i]))
                << "channel " << i << " of pixel " << p;
        }
    }
}

}  // namespace

TEST(BmpSuite, EveryGoodFileShowsItsPicture) {
    EXPECT_EQ(FilesIn("g"), std::size(kGoodFiles));
    const Decoded reference = Decode(kRgb24);
    for (const GoodFile& g : kGoodFiles) {
        SCOPED_TRACE(g.name);
        CheckGoodFile(g, Decode(std::string("g/") + g.name), reference);
    }
}

TEST(BmpSuite, EveryQuestionableFileGivesItsDecidedOutcome) {
    EXPECT_EQ(FilesIn("q"), std::size(kQuestionableFiles));
    for (const QuestionableFile& q : kQuestionableFiles) {
        SCOPED_TRACE(q.name);
        const Decoded d = Decode(std::string("q/") + q.name);
        ASSERT_EQ(d.status, q.status);
        CheckQuestionableFile(q, d);
    }
}

TEST(BmpSuite, EveryBadFileIsRefusedWithoutAPicture) {
    EXPECT_EQ(FilesIn("b"), 20u);
    for (const auto& entry : std::filesystem::directory_iterator(BmpSuiteFile("b", ""))) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const Decoded d = Decode("b/" + name);
        // 3000000 x 2000000 pixels is beyond the caps; every other file is malformed.
        EXPECT_EQ(d.status, name == "reallybig.bmp" ? ValueOverflow : GenericError);
        EXPECT_TRUE(HoldsNoPicture(d.image));
    }
}
