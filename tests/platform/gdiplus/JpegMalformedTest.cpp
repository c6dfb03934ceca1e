// JPEG decoding of damaged, hostile and unsupported files: each fails with
// its own status, in bounded time and memory, and leaves the output alone.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdiplus/JpegCodec.h"
#include "tests/platform/gdiplus/JpegTestFiles.h"
#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

namespace jpegtiff_test {
namespace {

constexpr BYTE kSof0 = 0xC0;
constexpr BYTE kDqt = 0xDB;
constexpr BYTE kSos = 0xDA;

// A small baseline colour file from our own encoder.
Bytes GoodFile() {
    Bytes file;
    EXPECT_EQ(EncodeJpeg(SmoothPicture(PixelFormat24bppRGB, 48, 40).View(), file), Ok);
    return file;
}

// Offset of the first marker segment of `kind` (at its 0xFF byte) before
// the entropy-coded data, or 0 when there is none.
size_t FindSegment(const Bytes& file, BYTE kind) {
    size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        if (file[at + 1] == kind)
            return at;
        if (file[at + 1] == kSos)
            return 0;
        at += 2 + (file[at + 2] << 8 | file[at + 3]);
    }
    return 0;
}

// Where the entropy-coded data of the first scan starts.
size_t ScanDataStart(const Bytes& file) {
    const size_t sos = FindSegment(file, kSos);
    return sos == 0 ? 0 : sos + 2 + (file[sos + 2] << 8 | file[sos + 3]);
}

void Put16(Bytes& file, size_t at, UINT value) {
    file[at] = static_cast<BYTE>(value >> 8);
    file[at + 1] = static_cast<BYTE>(value);
}

Status Decode(const Bytes& file, ImageBuffer& out) {
    return DecodeJpeg(file.data(), file.size(), out);
}

long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(JpegDecoder, RefusesDataWithoutTheJpegSignature) {
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"nothing", {}},
        {"SOI alone", {0xFF, 0xD8}},
        {"SOI followed by a data byte", {0xFF, 0xD8, 0x00, 0xFF}},
        {"a PNG signature", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}},
        {"a TIFF header", {'I', 'I', 42, 0, 8, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(SniffJpeg(c.data.data(), c.data.size()));
        ImageBuffer out;
        EXPECT_EQ(Decode(c.data, out), UnknownImageFormat);
    }
    ImageBuffer out;
    EXPECT_EQ(DecodeJpeg(nullptr, 10, out), UnknownImageFormat);
}

TEST(JpegDecoder, FailsCleanlyOnTruncatedFiles) {
    const Bytes good = GoodFile();
    const size_t scan = ScanDataStart(good);
    ASSERT_GT(scan, 0u);
    struct Case {
        const char* name;
        size_t length;
    } cases[] = {
        {"after the first marker's code", 4},
        {"inside the quantisation table", FindSegment(good, kDqt) + 10},
        {"after the frame header", FindSegment(good, kSof0) + 19},
        {"at the start of the scan data", scan},
        {"in the middle of the scan data", (scan + good.size()) / 2},
        {"just before the end marker", good.size() - 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes cut(good.begin(), good.begin() + static_cast<long>(c.length));
        ImageBuffer out;
        EXPECT_EQ(Decode(cut, out), InvalidParameter);
        EXPECT_EQ(out.Width(), 0u);
        EXPECT_EQ(out.Pixels(), nullptr);
    }
    ImageBuffer whole;
    EXPECT_EQ(Decode(good, whole), Ok);
}

TEST(JpegDecoder, FailsOnDamagedOrUnsupportedHeaders) {
    const Bytes good = GoodFile();
    const size_t sof = FindSegment(good, kSof0);
    ASSERT_GT(sof, 0u);
    // Frame header: FF C0, length(2), precision(1), height(2), width(2),
    // component count(1), then id, sampling, table for each component.
    struct Case {
        const char* name;
        void (*damage)(Bytes& file, size_t sof, size_t scan);
        Status status;
    } cases[] = {
        {"zero width", [](Bytes& f, size_t s, size_t) { Put16(f, s + 7, 0); }, InvalidParameter},
        {"zero height", [](Bytes& f, size_t s, size_t) { Put16(f, s + 5, 0); }, InvalidParameter},
        {"12-bit samples", [](Bytes& f, size_t s, size_t) { f[s + 4] = 12; }, NotImplemented},
        {"lossless process (SOF3)", [](Bytes& f, size_t s, size_t) { f[s + 1] = 0xC3; },
         NotImplemented},
        {"undefined quantisation table", [](Bytes& f, size_t s, size_t) { f[s + 12] = 3; },
         InvalidParameter},
        {"sampling factor zero", [](Bytes& f, size_t s, size_t) { f[s + 11] = 0x00; },
         InvalidParameter},
        {"restart marker inside the scan data",
         [](Bytes& f, size_t, size_t scan) {
             f[(scan + f.size()) / 2] = 0xFF;
             f[(scan + f.size()) / 2 + 1] = 0xD3;
         },
         InvalidParameter},
        // Stuffed FF 00 pairs read as runs of one bits, which no Huffman code is.
        {"scan data overwritten with one bits",
         [](Bytes& f, size_t, size_t scan) {
             for (size_t i = scan + 8; i < scan + 48; i += 2) {
                 f[i] = 0xFF;
                 f[i + 1] = 0x00;
             }
         },
         InvalidParameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file = good;
        c.damage(file, sof, ScanDataStart(good));
        ImageBuffer out;
        EXPECT_EQ(Decode(file, out), c.status);
        EXPECT_EQ(out.Width(), 0u);
    }
}

TEST(JpegDecoder, RefusesTwoComponentFilesAsUnsupported) {
    const Bytes file = WriteJpeg({.input = JCS_UNKNOWN, .components = 2, .stored = JCS_UNKNOWN});
    ASSERT_FALSE(file.empty());
    ImageBuffer out;
    EXPECT_EQ(Decode(file, out), NotImplemented);
}

TEST(JpegDecoder, RefusesPicturesBeyondThePixelBoundWithoutAllocatingThem) {
    // 65000 x 65000 is within JPEG's limits but four times our pixel bound;
    // the decoder must stop before asking for the 12 GB it would take.
    Bytes file = GoodFile();
    const size_t sof = FindSegment(file, kSof0);
    Put16(file, sof + 5, 65000);
    Put16(file, sof + 7, 65000);
    const long before = PeakResidentKilobytes();
    const auto start = std::chrono::steady_clock::now();
    ImageBuffer out;
    EXPECT_EQ(Decode(file, out), ValueOverflow);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
    EXPECT_EQ(out.Pixels(), nullptr);
}

TEST(JpegDecoder, StopsProgressionsWithMoreThanAHundredScans) {
    auto smooth = [](UINT x, UINT y, int) { return static_cast<BYTE>((x * 2 + y) & 0xFF); };
    struct Case {
        int scans;
        Status status;
    } cases[] = {
        {10, Ok},
        {100, Ok},
        {101, ValueOverflow},
        {704, ValueOverflow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.scans) + " scans");
        const Bytes file = WriteJpeg({.width = 256,
                                      .height = 256,
                                      .input = JCS_GRAYSCALE,
                                      .components = 1,
                                      .stored = JCS_GRAYSCALE,
                                      .scans = c.scans,
                                      .sample = smooth});
        ASSERT_FALSE(file.empty());
        if (c.status == Ok)
            KeepAsFuzzSeed("jpeg", "scans-" + std::to_string(c.scans) + ".jpg", file);
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer out;
        EXPECT_EQ(Decode(file, out), c.status);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

// Files kept from fuzzing and from damage seen in the wild, each with the
// status it must give.
TEST(JpegDecoder, GivesEachMalformedFixtureItsStatus) {
    const std::filesystem::path folder =
        std::filesystem::path(DORVALUNE_SOURCE_DIR) / "tests/data/jpeg/malformed";
    struct Case {
        const char* file;
        Status status;
    } cases[] = {
        {"quantisation_table_missing.jpg", InvalidParameter},
        {"scan_before_frame.jpg", InvalidParameter},
    };
    size_t listed = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Bytes file = ReadFileBytes((folder / c.file).string());
        ASSERT_FALSE(file.empty());
        ImageBuffer out;
        EXPECT_EQ(Decode(file, out), c.status);
        ++listed;
    }
    // Every fixture in the folder needs a row above.
    size_t present = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        present += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(present, listed);
}

}  // namespace
}  // namespace jpegtiff_test
