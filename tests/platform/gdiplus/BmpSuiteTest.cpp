// The BMP Suite: every good file shows its picture, every questionable file
// gives the outcome decided for it, every bad file is refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "platform/gdiplus/BmpDecoder.h"
#include "tests/platform/gdiplus/BmpTestSupport.h"

namespace {

BYTE Channel(ARGB c, int i) {
    return static_cast<BYTE>(c >> (8 * i));
}  // 0 B, 1 G, 2 R, 3 A

struct Decoded {
    Status status;
    ImageBuffer image;
    std::vector<ARGB> pixels;
    ARGB At(UINT x, UINT y) const { return pixels[size_t{y} * image.Width() + x]; }
};

Decoded Decode(const char* group, const char* name) {
    const std::vector<BYTE> file = ReadWholeFile(BmpSuiteFile(group, name));
    Decoded d;
    d.status = DecodeBmp(file.data(), file.size(), d.image);
    if (d.status == Ok)
        d.pixels = ArgbPixels(d.image.View());
    return d;
}

UINT IndexAt(const ImageBuffer& image, UINT x, UINT y) {
    const UINT bits = GetPixelFormatSize(image.Format());
    const UINT perByte = 8 / bits;
    return (image.Row(y)[x / perByte] >> ((perByte - 1 - x % perByte) * bits)) & ((1u << bits) - 1);
}

// Every file of a suite folder must have a row in its table.
template <typename Row, size_t N>
void ExpectTableCoversFolder(const char* group, const Row (&table)[N]) {
    std::set<std::string> names;
    for (const Row& row : table)
        names.insert(row.name);
    for (const auto& entry : std::filesystem::directory_iterator(BmpSuiteFile(group, ""))) {
        EXPECT_TRUE(names.count(entry.path().filename().string())) << entry.path();
    }
    EXPECT_EQ(names.size(), N);
}

// How a good file relates to g/rgb24.bmp, the suite's picture at full depth.
struct GoodFile {
    const char* name;
    PixelFormat format;
    size_t paletteCount;
    int tolerance = -1;  // largest channel difference; -1: dithered, not compared pixel by pixel
    UINT width = 127;
    UINT height = 64;
    UINT rowStep = 1;                   // the squashed picture keeps every second row
    const char* sameColours = nullptr;  // equals this g/ file's top-left corner
    const char* sameIndices = nullptr;  // same indices, other colour table
    bool grey = false;
};

// The 252-colour table holds 6 or 7 levels a channel: steps of up to 51.
constexpr int kPal8Step = 51;
// 5-bit channels widened to 8 bits are within one 5-bit step of the original.
constexpr int k5BitStep = 9;

const GoodFile kGoodFiles[] = {
    {"pal1.bmp", PixelFormat1bppIndexed, 2},
    {"pal1bg.bmp", PixelFormat1bppIndexed, 2, -1, 127, 64, 1, nullptr, "pal1.bmp"},
    {"pal1wb.bmp", PixelFormat1bppIndexed, 2, -1, 127, 64, 1, "pal1.bmp"},
    {"pal4.bmp", PixelFormat4bppIndexed, 12},
    {"pal4gs.bmp", PixelFormat4bppIndexed, 12, -1, 127, 64, 1, nullptr, nullptr, true},
    {"pal4rle.bmp", PixelFormat4bppIndexed, 12, -1, 127, 64, 1, "pal4.bmp", "pal4.bmp"},
    {"pal8-0.bmp", PixelFormat8bppIndexed, 256, kPal8Step, 127, 64, 1, "pal8.bmp"},
    {"pal8.bmp", PixelFormat8bppIndexed, 252, kPal8Step},
    {"pal8gs.bmp", PixelFormat8bppIndexed, 252, -1, 127, 64, 1, nullptr, nullptr, true},
    {"pal8nonsquare.bmp", PixelFormat8bppIndexed, 252, kPal8Step, 127, 32, 2},
    {"pal8os2.bmp", PixelFormat8bppIndexed, 256, kPal8Step, 127, 64, 1, "pal8.bmp"},
    {"pal8rle.bmp", PixelFormat8bppIndexed, 252, kPal8Step, 127, 64, 1, "pal8.bmp", "pal8.bmp"},
    {"pal8topdown.bmp", PixelFormat8bppIndexed, 252, kPal8Step, 127, 64, 1, "pal8.bmp", "pal8.bmp"},
    {"pal8v4.bmp", PixelFormat8bppIndexed, 252, kPal8Step, 127, 64, 1, "pal8.bmp", "pal8.bmp"},
    {"pal8v5.bmp", PixelFormat8bppIndexed, 252, kPal8Step, 127, 64, 1, "pal8.bmp", "pal8.bmp"},
    {"pal8w124.bmp", PixelFormat8bppIndexed, 252, kPal8Step, 124, 61, 1, "pal8.bmp"},
    {"pal8w125.bmp", PixelFormat8bppIndexed, 252, kPal8Step, 125, 62, 1, "pal8.bmp"},
    {"pal8w126.bmp", PixelFormat8bppIndexed, 252, kPal8Step, 126, 63, 1, "pal8.bmp"},
    {"rgb16-565.bmp", PixelFormat16bppRGB565, 0, k5BitStep},
    {"rgb16-565pal.bmp", PixelFormat16bppRGB565, 0, k5BitStep, 127, 64, 1, "rgb16-565.bmp"},
    {"rgb16.bmp", PixelFormat16bppRGB555, 0, k5BitStep},
    {"rgb16bfdef.bmp", PixelFormat16bppRGB555, 0, k5BitStep, 127, 64, 1, "rgb16.bmp"},
    {"rgb24.bmp", PixelFormat24bppRGB, 0, 0},
    {"rgb24pal.bmp", PixelFormat24bppRGB, 0, 0},
    {"rgb32.bmp", PixelFormat32bppRGB, 0, 0},
    {"rgb32bf.bmp", PixelFormat32bppRGB, 0, 0},
    {"rgb32bfdef.bmp", PixelFormat32bppRGB, 0, 0},
};

// Grey files are the picture's luminance (Rec. 709 weights) with some dithering.
double MeanLuminanceError(const Decoded& grey, const Decoded& reference) {
    double sum = 0;
    for (size_t i = 0; i < grey.pixels.size(); ++i) {
        const ARGB c = reference.pixels[i];
        const double luminance =
            0.2126 * Channel(c, 2) + 0.7152 * Channel(c, 1) + 0.0722 * Channel(c, 0);
        sum += std::abs(Channel(grey.pixels[i], 0) - luminance);
    }
    return sum / grey.pixels.size();
}

void CheckGoodFile(const GoodFile& g, const Decoded& d, const Decoded& reference) {
    ASSERT_EQ(d.status, Ok);
    EXPECT_EQ(d.image.Format(), g.format);
    EXPECT_EQ(d.image.Palette().size(), g.paletteCount);
    ASSERT_EQ(d.image.Width(), g.width);
    ASSERT_EQ(d.image.Height(), g.height);
    const std::vector<ARGB>& palette = d.image.Palette();
    int worst = 0;
    for (UINT y = 0; y < g.height; ++y) {
        for (UINT x = 0; x < g.width; ++x) {
            const ARGB want = reference.At(x, y * g.rowStep);
            const ARGB got = d.At(x, y);
            for (int i = 0; i < 4; ++i) {
                worst = std::max(worst, std::abs(Channel(got, i) - Channel(want, i)));
            }
            // Dithering keeps a colour the table holds exactly as it is; grey
            // files are dithered by luminance, which rounds greys as well.
            if (!g.grey && std::find(palette.begin(), palette.end(), want) != palette.end()) {
                ASSERT_EQ(got, want) << "at " << x << ", " << y;
            }
            if (g.grey) {
                ASSERT_TRUE(Channel(got, 0) == Channel(got, 1) &&
                            Channel(got, 1) == Channel(got, 2));
            }
        }
    }
    if (g.tolerance >= 0) {
        EXPECT_LE(worst, g.tolerance);
    }
    if (g.grey) {
        EXPECT_LT(MeanLuminanceError(d, reference), 12.0);
    }
    if (g.sameColours != nullptr) {
        const Decoded other = Decode("g", g.sameColours);
        for (UINT y = 0; y < g.height; ++y) {
            for (UINT x = 0; x < g.width; ++x) {
                ASSERT_EQ(d.At(x, y), other.At(x, y)) << "at " << x << ", " << y;
            }
        }
    }
    if (g.sameIndices != nullptr) {
        const Decoded other = Decode("g", g.sameIndices);
        for (UINT y = 0; y < g.height; ++y) {
            for (UINT x = 0; x < g.width; ++x) {
                ASSERT_EQ(IndexAt(d.image, x, y), IndexAt(other.image, x, y))
                    << "at " << x << ", " << y;
            }
        }
    }
}

// Tolerance of a channel of `bits` bits scaled to 8: one step of the channel,
// or 1 for wider channels whose writer rounded differently.
int ChannelTolerance(int bits) {
    if (bits == 8)
        return 0;
    if (bits > 8)
        return 1;
    return (255 + (1 << bits) - 2) / ((1 << bits) - 1);
}

// The outcome decided for each questionable file. Decoded files are compared
// with a reference: g/rgb24.bmp for opaque pictures, q/rgba32-1.bmp for those
// with alpha, g/pal8.bmp and g/pal4.bmp for the indexed ones.
struct QuestionableFile {
    const char* name;
    Status status;
    PixelFormat format = PixelFormatUndefined;
    size_t paletteCount = 0;
    const char* reference = nullptr;  // "group/name"
    int bits[4] = {8, 8, 8, 8};       // B, G, R, A channel widths
    bool skipsShowIndexZero = false;  // RLE pixels left out keep colour-table entry 0
};

constexpr const char* kRgb24 = "g/rgb24.bmp";
constexpr const char* kRgba32 = "q/rgba32-1.bmp";

const QuestionableFile kQuestionableFiles[] = {
    {"pal1huffmsb.bmp", NotImplemented},  // OS/2 Huffman 1D
    {"pal1p1.bmp", Ok, PixelFormat1bppIndexed, 1},
    {"pal2.bmp", NotImplemented},       // 2 bpp: Windows CE only
    {"pal2color.bmp", NotImplemented},  // 2 bpp
    {"pal4rlecut.bmp", Ok, PixelFormat4bppIndexed, 13, "g/pal4.bmp", {8, 8, 8, 8}, true},
    {"pal4rletrns.bmp", Ok, PixelFormat4bppIndexed, 13, "g/pal4.bmp", {8, 8, 8, 8}, true},
    {"pal8offs.bmp", Ok, PixelFormat8bppIndexed, 252, "g/pal8.bmp"},
    {"pal8os2-hs.bmp", Ok, PixelFormat8bppIndexed, 256, "g/pal8.bmp"},
    {"pal8os2-sz.bmp", Ok, PixelFormat8bppIndexed, 256, "g/pal8.bmp"},
    {"pal8os2sp.bmp", Ok, PixelFormat8bppIndexed, 252, "g/pal8.bmp"},
    {"pal8os2v2-16.bmp", Ok, PixelFormat8bppIndexed, 256, "g/pal8.bmp"},
    {"pal8os2v2-40sz.bmp", Ok, PixelFormat8bppIndexed, 252, "g/pal8.bmp"},
    {"pal8os2v2-sz.bmp", Ok, PixelFormat8bppIndexed, 252, "g/pal8.bmp"},
    {"pal8os2v2.bmp", Ok, PixelFormat8bppIndexed, 252, "g/pal8.bmp"},
    {"pal8oversizepal.bmp", Ok, PixelFormat8bppIndexed, 256, "g/pal8.bmp"},
    {"pal8rlecut.bmp", Ok, PixelFormat8bppIndexed, 253, "g/pal8.bmp", {8, 8, 8, 8}, true},
    {"pal8rletrns.bmp", Ok, PixelFormat8bppIndexed, 253, "g/pal8.bmp", {8, 8, 8, 8}, true},
    {"rgb16-231.bmp", Ok, PixelFormat32bppRGB, 0, kRgb24, {1, 3, 2, 8}},
    {"rgb16-3103.bmp", Ok, PixelFormat32bppRGB, 0, kRgb24, {3, 10, 3, 8}},
    {"rgb16faketrns.bmp", Ok, PixelFormat16bppRGB555, 0, kRgb24, {5, 5, 5, 8}},
    {"rgb24jpeg.bmp", NotImplemented},
    {"rgb24largepal.bmp", Ok, PixelFormat24bppRGB, 0, kRgb24},
    {"rgb24lprof.bmp", Ok, PixelFormat24bppRGB, 0, kRgb24},  // profiles are not applied
    {"rgb24png.bmp", NotImplemented},
    {"rgb24prof.bmp", Ok, PixelFormat24bppRGB, 0, kRgb24},
    // Its profile swaps red and green back; without colour management they stay swapped.
    {"rgb24prof2.bmp", Ok, PixelFormat24bppRGB, 0},
    {"rgb24rle24.bmp", NotImplemented},  // OS/2 RLE24
    {"rgb32-111110.bmp", Ok, PixelFormat32bppRGB, 0, kRgb24, {10, 11, 11, 8}},
    {"rgb32-7187.bmp", Ok, PixelFormat32bppRGB, 0, kRgb24, {7, 18, 7, 8}},
    {"rgb32-xbgr.bmp", Ok, PixelFormat32bppRGB, 0, kRgb24},
    {"rgb32fakealpha.bmp", Ok, PixelFormat32bppRGB, 0, kRgb24},  // BI_RGB has no alpha
    {"rgb32h52.bmp", Ok, PixelFormat32bppRGB, 0, kRgb24},
    {"rgba16-1924.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32, {2, 9, 1, 4}},
    {"rgba16-4444.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32, {4, 4, 4, 4}},
    {"rgba16-5551.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32, {5, 5, 5, 1}},
    {"rgba32-1.bmp", Ok, PixelFormat32bppARGB, 0, kRgb24},
    {"rgba32-1010102.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32, {10, 10, 10, 2}},
    {"rgba32-2.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32},
    {"rgba32-61754.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32, {5, 17, 6, 4}},
    {"rgba32-81284.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32, {8, 12, 8, 4}},
    {"rgba32abf.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32},
    {"rgba32h56.bmp", Ok, PixelFormat32bppARGB, 0, kRgba32},
    {"rgba64.bmp", NotImplemented},
};

void CheckQuestionableFile(const QuestionableFile& q, const Decoded& d) {
    if (q.status != Ok) {
        EXPECT_TRUE(HoldsNoPicture(d.image));
        return;
    }
    EXPECT_EQ(d.image.Format(), q.format);
    EXPECT_EQ(d.image.Palette().size(), q.paletteCount);
    if (q.reference == nullptr)
        return;
    const std::string reference(q.reference);
    const Decoded r = Decode(reference.substr(0, 1).c_str(), reference.substr(2).c_str());
    ASSERT_EQ(d.pixels.size(), r.pixels.size());
    const bool alpha = q.format == PixelFormat32bppARGB;
    const bool opaqueReference = reference == kRgb24;
    for (UINT y = 0; y < d.image.Height(); ++y) {
        for (UINT x = 0; x < d.image.Width(); ++x) {
            const ARGB got = d.At(x, y);
            const ARGB want = r.At(x, y);
            if (q.skipsShowIndexZero && IndexAt(d.image, x, y) == 0) {
                ASSERT_EQ(got, d.image.Palette()[0]);
                continue;
            }
            // Under full transparency the colour channels hold nothing to compare,
            // and an opaque reference says nothing about partial transparency.
            if (alpha && (Channel(got, 3) == 0 || (opaqueReference && Channel(got, 3) != 255))) {
                continue;
            }
            for (int i = 0; i < 4; ++i) {
                ASSERT_LE(std::abs(Channel(got, i) - Channel(want, i)), ChannelTolerance(q.bits[i]))
                    << "channel " << i << " at " << x << ", " << y;
            }
        }
    }
}

struct BadFile {
    const char* name;
    Status status;
};

const BadFile kBadFiles[] = {
    {"badbitcount.bmp", GenericError},    {"badbitssize.bmp", GenericError},
    {"baddens1.bmp", GenericError},       {"baddens2.bmp", GenericError},
    {"badfilesize.bmp", GenericError},    {"badheadersize.bmp", GenericError},
    {"badpalettesize.bmp", GenericError}, {"badplanes.bmp", GenericError},
    {"badrle.bmp", GenericError},         {"badrle4.bmp", GenericError},
    {"badrle4bis.bmp", GenericError},     {"badrle4ter.bmp", GenericError},
    {"badrlebis.bmp", GenericError},      {"badrleter.bmp", GenericError},
    {"badwidth.bmp", GenericError},       {"pal8badindex.bmp", GenericError},
    {"reallybig.bmp", ValueOverflow},     {"rgb16-880.bmp", GenericError},
    {"rletopdown.bmp", GenericError},     {"shortfile.bmp", GenericError},
};

}  // namespace

TEST(BmpSuite, EveryGoodFileShowsItsPicture) {
    ExpectTableCoversFolder("g", kGoodFiles);
    const Decoded reference = Decode("g", "rgb24.bmp");
    ASSERT_EQ(reference.status, Ok);
    for (const GoodFile& g : kGoodFiles) {
        SCOPED_TRACE(g.name);
        CheckGoodFile(g, Decode("g", g.name), reference);
    }
}

TEST(BmpSuite, EveryQuestionableFileGivesItsDecidedOutcome) {
    ExpectTableCoversFolder("q", kQuestionableFiles);
    for (const QuestionableFile& q : kQuestionableFiles) {
        SCOPED_TRACE(q.name);
        const Decoded d = Decode("q", q.name);
        ASSERT_EQ(d.status, q.status);
        CheckQuestionableFile(q, d);
    }
}

TEST(BmpSuite, EveryBadFileIsRefusedWithoutAPicture) {
    ExpectTableCoversFolder("b", kBadFiles);
    for (const BadFile& b : kBadFiles) {
        SCOPED_TRACE(b.name);
        const Decoded d = Decode("b", b.name);
        EXPECT_EQ(d.status, b.status);
        EXPECT_TRUE(HoldsNoPicture(d.image));
    }
}
