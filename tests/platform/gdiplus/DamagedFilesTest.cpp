// Damaged, hostile and unsupported files, each with one defect: kept from
// fuzzing, built chunk by chunk or entry by entry, or patched into a file of
// our encoders. Each gives its own status quickly and leaves no picture, and
// a huge declared size is refused before it is allocated. (BMP header
// defects are in BmpDecoderTest.)
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/GifCodec.h"
#include "platform/gdiplus/JpegCodec.h"
#include "platform/gdiplus/PngCodec.h"
#include "platform/gdiplus/TiffCodec.h"
#include "tests/support/Pictures.h"
#include "tests/support/PngChunks.h"
#include "tests/support/TestFiles.h"

namespace {

void Put(Bytes& out, uint32_t value, int bytes) {  // least significant first
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<BYTE>(value >> 8 * i));
}

// The file with `bytes` written over it at `at`.
Bytes Patched(Bytes file, size_t at, std::initializer_list<BYTE> bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + long(at));
    return file;
}

// A PNG file of IHDR (when given), the chunks given, IDAT and IEND.
using Chunks = std::vector<std::pair<std::string, Bytes>>;
Bytes Png(const Bytes& ihdr, const Bytes& idat, Chunks chunks = {}) {
    if (!ihdr.empty())
        chunks.insert(chunks.begin(), {"IHDR", ihdr});
    chunks.insert(chunks.end(), {{"IDAT", idat}, {"IEND", {}}});
    Bytes file = PngSignature();
    for (const auto& [type, data] : chunks)
        PutChunk(file, type, data);
    return file;
}

// clang-format off
enum Tag : uint16_t {
    kWidth = 256, kLength = 257, kBitsPerSample = 258, kCompression = 259, kPhotometric = 262,
    kStripOffsets = 273, kSamplesPerPixel = 277, kRowsPerStrip = 278, kStripByteCounts = 279,
    kColorMap = 320, kTileWidth = 322, kTileLength = 323, kTileOffsets = 324, kTileByteCounts = 325,
    kSampleFormat = 339, kPrivate = 65000,
};
// clang-format on
constexpr uint16_t kShort = 3, kLong = 4;
constexpr uint32_t kAtData = 0xFFFFFFFF;  // stands for the pixel data's offset

// A little-endian TIFF put together entry by entry: header, the directory,
// values too long for their entry, then the pixel data. To start with, an
// 8 x 4 picture of 8-bit grey in one uncompressed strip.
struct Tiff {
    // clang-format off
    std::map<uint16_t, std::pair<uint16_t, std::vector<uint32_t>>> entries = {
        {kWidth, {kShort, {8}}}, {kLength, {kShort, {4}}}, {kBitsPerSample, {kShort, {8}}},
        {kCompression, {kShort, {1}}}, {kPhotometric, {kShort, {1}}}, {kStripOffsets, {kLong, {kAtData}}},
        {kSamplesPerPixel, {kShort, {1}}}, {kRowsPerStrip, {kShort, {4}}}, {kStripByteCounts, {kLong, {32}}},
    };
    Bytes data = Bytes(32, 0x5A);

    Tiff& Set(uint16_t tag, uint32_t value) { return Values(tag, kLong, {value}); }
    Tiff& Values(uint16_t tag, uint16_t type, std::vector<uint32_t> v) { entries[tag] = {type, v}; return *this; }
    Tiff& Remove(uint16_t tag) { entries.erase(tag); return *this; }
    Tiff& Data(Bytes bytes) { data = std::move(bytes); return *this; }
    // clang-format on
    Bytes Build() const {
        Bytes file = {'I', 'I', 42, 0, 8, 0, 0, 0}, values;
        const uint32_t valuesAt = 8 + 2 + 12 * uint32_t(entries.size()) + 4;
        uint32_t dataAt = valuesAt;
        for (const auto& [tag, entry] : entries) {
            const uint32_t bytes = uint32_t(entry.second.size()) * (entry.first == kShort ? 2 : 4);
            dataAt += bytes > 4 ? bytes : 0;
        }
        Put(file, uint32_t(entries.size()), 2);
        for (const auto& [tag, entry] : entries) {
            Bytes packed;
            for (uint32_t v : entry.second)
                Put(packed, v == kAtData ? dataAt : v, entry.first == kShort ? 2 : 4);
            Put(file, tag, 2);
            Put(file, entry.first, 2);
            Put(file, uint32_t(entry.second.size()), 4);
            if (packed.size() > 4) {
                Put(file, valuesAt + uint32_t(values.size()), 4);
                values.insert(values.end(), packed.begin(), packed.end());
            } else {
                packed.resize(4);
                file.insert(file.end(), packed.begin(), packed.end());
            }
        }
        Put(file, 0, 4);  // no next directory
        file.insert(file.end(), values.begin(), values.end());
        file.insert(file.end(), data.begin(), data.end());
        return file;
    }
};

// The process's peak resident memory so far, in kilobytes.
long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// While it lives, the process may map at most `headroom` bytes more than it
// holds now. A decoder that reserves what a file merely declares then fails
// with OutOfMemory instead of passing unseen because it never touched the
// pages. AddressSanitizer reserves its shadow memory up front, so under it
// the cap is left off.
class AddressSpaceCap {
public:
    explicit AddressSpaceCap(size_t headroom) {
#ifndef __SANITIZE_ADDRESS__
        size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        if (pages != 0 && getrlimit(RLIMIT_AS, &saved_) == 0) {
            rlimit capped = saved_;
            capped.rlim_cur = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + headroom;
            active_ = setrlimit(RLIMIT_AS, &capped) == 0;
        }
#else
        (void)headroom;
#endif
    }
    ~AddressSpaceCap() {
        if (active_)
            setrlimit(RLIMIT_AS, &saved_);
    }

private:
    rlimit saved_{};
    bool active_ = false;
};

// reservesTheDeclaredRows: an arithmetic-coded frame may hold any number of
// blocks in a few bytes, so its rows are reserved (never touched) before its
// data proves short.
// clang-format off
struct Case { const char* defect; Status (*decode)(const BYTE*, size_t, ImageBuffer&); Bytes file; Status status; bool reservesTheDeclaredRows = false; };
// clang-format on

}  // namespace

TEST(Decoders, EachDamagedOrHugeFileGivesItsStatusWithoutAllocatingIt) {
    // PNG: one grey pixel, one palette index, a 64 MB zlib stream of zeros.
    const Bytes grey = Zlib({0 /*filter*/, 0x80}), index0 = Zlib({0, 0}),
                zeros = Zlib(Bytes(64u << 20, 0));
    Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    text.insert(text.end(), zeros.begin(), zeros.end());
    // GIF: our 4 x 3 picture of a 2-entry table. Signature, screen width and
    // height at 6 and 8, flags at 10, the table at 13, then the frame: ',',
    // left, top, width, height, flags, the LZW code size, sub-blocks.
    Bytes gif, jpeg;
    ASSERT_EQ(EncodeGif(NoisePicture(PixelFormat1bppIndexed, 4, 3, 1, 2).View(), gif), Ok);
    constexpr size_t f = 13 + 2 * 3, lzw = f + 10;
    Bytes noTable = gif, noFrame(gif.begin(), gif.begin() + f);
    noTable.erase(noTable.begin() + 13, noTable.begin() + f);
    noTable[10] &= 0x7F;
    noFrame.push_back(';');
    // JPEG: our 48 x 40 picture. Frame header: FF C0, length(2), precision,
    // height(2), width(2), component count, then each component's id,
    // sampling factors and quantisation table.
    ASSERT_EQ(EncodeJpeg(SmoothPicture(PixelFormat24bppRGB, 48, 40).View(), jpeg), Ok);
    size_t s = 0, d = 0;  // the frame header; 8 bytes into the scan's coded data
    for (size_t at = 2; d == 0 && at + 4 <= jpeg.size();
         at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3])) {
        s = jpeg[at + 1] == 0xC0 ? at : s;
        d = jpeg[at + 1] == 0xDA ? at + 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]) + 8 : 0;
    }
    ASSERT_GT(d, 0u);
    // TIFF: a few bytes of LZW claiming ten billion pixels, or a tile of four billion.
    const Bytes tiff = Tiff().Build();
    // clang-format off
    const Tiff lzwTiff = Tiff().Set(kCompression, 5).Set(kStripByteCounts, 3).Data({0x80, 0x40, 0x40});
    const Tiff tiled = Tiff(lzwTiff).Remove(kStripOffsets).Remove(kStripByteCounts).Remove(kRowsPerStrip)
                           .Set(kTileOffsets, kAtData).Set(kTileByteCounts, 3);
    // clang-format on
    // Files kept from fuzzing and hand-made damage: every one needs a case.
    auto kept = [](const std::string& name) { return ReadFileBytes(TestDataPath(name)); };
    size_t keptFiles = 0;
    for (const char* folder : {"bmp/malformed", "gif/findings", "jpeg/malformed", "tiff/malformed"})
        keptFiles += std::distance(std::filesystem::directory_iterator(TestDataPath(folder)), {});
    EXPECT_EQ(keptFiles, 11u);
    const auto B = DecodeBmp, P = DecodePng, G = DecodeGif, J = DecodeJpeg, T = DecodeTiff;
    const Case cases[] = {
        // clang-format off
        {"kept: BMP info header cut short", B, kept("bmp/malformed/info_header_cut_short.bmp"), GenericError},
        {"kept: BMP colour table cut short", B, kept("bmp/malformed/colour_table_cut_short.bmp"), GenericError},
        {"kept: BMP pixels cut short", B, kept("bmp/malformed/pixels_cut_short.bmp"), GenericError},
        // An empty frame far outside a 4 x 3 screen once stretched the picture
        // to 800 million pixels; the screen alone remains.
        {"kept: GIF empty frame far away", G, kept("gif/findings/empty-frame-800-megapixels-away.gif"), Ok},
        {"kept: JPEG quantisation table missing", J, kept("jpeg/malformed/quantisation_table_missing.jpg"), InvalidParameter},
        {"kept: JPEG huge frame", J, kept("jpeg/malformed/huge_frame_in_a_few_bytes.jpg"), InvalidParameter},
        {"kept: JPEG huge arithmetic frame", J, kept("jpeg/malformed/huge_arithmetic_frame_in_a_few_bytes.jpg"), InvalidParameter, true},
        {"kept: JPEG scan before frame", J, kept("jpeg/malformed/scan_before_frame.jpg"), InvalidParameter},
        // Each scan of a progression passes over every block: beyond 100 scans
        // is a way to make a small file take minutes.
        {"kept: JPEG progression of 101 scans", J, kept("jpeg/malformed/progression_of_101_scans.jpg"), ValueOverflow},
        {"kept: JPEG progression of 704 scans", J, kept("jpeg/malformed/progression_of_704_scans.jpg"), ValueOverflow},
        {"kept: TIFF strip offsets missing", T, kept("tiff/malformed/strip_offsets_missing.tif"), InvalidParameter},
        {"PNG: nothing wrong, one grey pixel", P, Png(Ihdr(1, 1, 8, 0), grey), Ok},
        {"PNG: zero width", P, Png(Ihdr(0, 1, 8, 0), grey), GenericError},
        {"PNG: width beyond 2^31 - 1", P, Png(Ihdr(0x80000000u, 1, 8, 0), grey), GenericError},
        {"PNG: interlace method 2", P, Png(Ihdr(1, 1, 8, 0, 2), grey), GenericError},
        {"PNG: IHDR not first", P, Png({}, grey, {{"gAMA", {0, 0, 0xB1, 0x8F}}, {"IHDR", Ihdr(1, 1, 8, 0)}}), GenericError},
        {"PNG: IHDR one byte long", P, Png(Bytes(14, 1), grey), GenericError},
        {"PNG: palette file without PLTE", P, Png(Ihdr(1, 1, 8, 3), index0), GenericError},
        {"PNG: tRNS longer than PLTE", P, Png(Ihdr(1, 1, 8, 3), index0, {{"PLTE", {1, 2, 3}}, {"tRNS", {0, 0}}}), GenericError},
        {"PNG: an index beyond PLTE, read as opaque black", P, Png(Ihdr(1, 1, 8, 3), Zlib({0, 5}), {{"PLTE", {1, 2, 3}}}), Ok},
        {"PNG: image data two rows short", P, Png(Ihdr(1, 3, 8, 0), grey), GenericError},
        {"PNG: unknown critical chunk", P, Png(Ihdr(1, 1, 8, 0), grey, {{"CRIT", {1}}}), GenericError},
        {"PNG: IDAT that is not zlib", P, Png(Ihdr(1, 1, 8, 0), {1, 2, 3, 4}), GenericError},
        // Declared sizes within the pixel bounds, so that only the check
        // against what the data can inflate to refuses them before allocating.
        {"PNG: 30000 x 30000 RGBA 16 declared in a few bytes", P, Png(Ihdr(30000, 30000, 16, 6), index0), GenericError},
        {"PNG: 30000 x 30000 grey 1 from 64 kB, more than deflate can hold", P, Png(Ihdr(30000, 30000, 1, 0), Bytes(65536, 0)), GenericError},
        {"PNG: 2^31 - 1 square, beyond the pixel bound", P, Png(Ihdr(0x7FFFFFFF, 0x7FFFFFFF, 8, 0), {}), ValueOverflow},
        {"PNG: one pixel whose IDAT inflates to 64 MB", P, Png(Ihdr(1, 1, 8, 0), zeros), GenericError},
        {"PNG: one pixel with a 64 MB compressed text, skipped unread", P, Png(Ihdr(1, 1, 8, 0), index0, {{"zTXt", text}}), Ok},
        {"GIF: the good file the others damage", G, gif, Ok},
        {"GIF: no colour table at all", G, noTable, GenericError},
        {"GIF: global table cut short", G, Bytes(gif.begin(), gif.begin() + 16), GenericError},
        {"GIF: the trailer before any frame", G, noFrame, GenericError},
        {"GIF: an unknown record", G, Patched(gif, f, {'x'}), GenericError},
        {"GIF: LZW minimum code size 12", G, Patched(gif, lzw, {12}), GenericError},
        {"GIF: LZW codes that refer to nothing", G, Patched(gif, lzw, {5, gif[lzw + 1], 0xFF, 0xFF}), GenericError},
        {"GIF: an empty frame on a 0 x 0 screen", G, Patched(Patched(gif, 6, {0, 0, 0, 0}), f + 5, {0, 0, 0, 0}), GenericError},
        {"GIF: a 65535 x 65535 screen, beyond the pixel bound", G, Patched(gif, 6, {0xFF, 0xFF, 0xFF, 0xFF}), ValueOverflow},
        {"GIF: a 30000 x 30000 screen round 12 pixels", G, Patched(gif, 6, {0x30, 0x75, 0x30, 0x75}), GenericError},
        {"GIF: a 65535 x 16000 frame of 12 pixels", G, Patched(gif, f + 5, {0xFF, 0xFF, 0x80, 0x3E}), GenericError},
        {"GIF: a 4096 x 4096 screen round 12 pixels, small enough", G, Patched(gif, 6, {0, 0x10, 0, 0x10}), Ok},
        {"JPEG: the good file the others damage", J, jpeg, Ok},
        {"JPEG: a run of one bits, which no Huffman code is", J, Patched(jpeg, d, {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}), InvalidParameter},
        {"JPEG: 12-bit samples", J, Patched(jpeg, s + 4, {12}), NotImplemented},
        {"JPEG: lossless process (SOF3)", J, Patched(jpeg, s + 1, {0xC3}), NotImplemented},
        // Within JPEG's limits and four times our pixel bound.
        {"JPEG: 65000 x 65000", J, Patched(jpeg, s + 5, {0xFD, 0xE8, 0xFD, 0xE8}), ValueOverflow},
        {"TIFF: the good picture the others damage", T, tiff, Ok},
        // Private tags are common in good files; libtiff only warns of them.
        {"TIFF: a private tag", T, Tiff().Set(kPrivate, 7).Build(), Ok},
        // libtiff reads an 8-bit palette picture without a map as grey, silently.
        {"TIFF: 8-bit palette without a colour map", T, Tiff().Set(kPhotometric, 3).Build(), Ok},
        {"TIFF: 4-bit palette without a colour map", T, Tiff().Set(kPhotometric, 3).Set(kBitsPerSample, 4).Build(), InvalidParameter},
        {"TIFF: colour map too short", T, Tiff().Set(kPhotometric, 3).Values(kColorMap, kShort, {0, 0, 0}).Build(), InvalidParameter},
        {"TIFF: directory beyond the end", T, Patched(tiff, 4, {200}), InvalidParameter},
        {"TIFF: zero width", T, Tiff().Set(kWidth, 0).Build(), InvalidParameter},
        {"TIFF: file ending inside the strip", T, Bytes(tiff.begin(), tiff.end() - 10), InvalidParameter},
        {"TIFF: fewer strips than rows need", T, Tiff().Set(kRowsPerStrip, 1).Build(), InvalidParameter},
        {"TIFF: garbage LZW data", T, Tiff().Set(kCompression, 5).Build(), InvalidParameter},
        {"TIFF: RGB of four samples without ExtraSamples", T, Tiff().Set(kWidth, 2).Set(kPhotometric, 2).Set(kSamplesPerPixel, 4).Values(kBitsPerSample, kShort, {8, 8, 8, 8}).Build(), InvalidParameter},
        {"TIFF: an unknown compression", T, Tiff().Set(kCompression, 12345).Build(), NotImplemented},
        {"TIFF: 3 bits per sample", T, Tiff().Set(kBitsPerSample, 3).Build(), NotImplemented},
        {"TIFF: floating-point samples", T, Tiff().Set(kBitsPerSample, 32).Set(kSampleFormat, 3).Set(kStripByteCounts, 128).Data(Bytes(128)).Build(), NotImplemented},
        {"TIFF: 100000 x 100000 in one LZW strip", T, Tiff(lzwTiff).Set(kWidth, 100000).Set(kLength, 100000).Set(kRowsPerStrip, 100000).Build(), ValueOverflow},
        {"TIFF: 100000 x 100000 in huge tiles", T, Tiff(tiled).Set(kWidth, 100000).Set(kLength, 100000).Set(kTileWidth, 1 << 17).Set(kTileLength, 100000).Build(), ValueOverflow},
        {"TIFF: 16 x 16 in a 65536 x 65536 tile", T, Tiff(tiled).Set(kWidth, 16).Set(kLength, 16).Set(kTileWidth, 1 << 16).Set(kTileLength, 1 << 16).Build(), ValueOverflow},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.defect);
        const long before = PeakResidentKilobytes();
        std::optional<AddressSpaceCap> cap;
        if (!c.reservesTheDeclaredRows)
            cap.emplace(size_t{256} << 20);
        ImageBuffer out;
        EXPECT_EQ(c.decode(c.file.data(), c.file.size(), out), c.status);
        EXPECT_EQ(out.Pixels() == nullptr, c.status != Ok);
        EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
    }
}
