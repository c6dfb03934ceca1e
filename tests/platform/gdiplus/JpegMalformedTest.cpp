// JPEG decoding of damaged, hostile and unsupported files: each fails with
// its own status, in bounded time and memory, and leaves the output alone.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/gdiplus/JpegCodec.h"
#include "tests/platform/gdiplus/JpegTestFiles.h"

namespace jpegtiff_test {
namespace {

// A 48 x 40 baseline file from our encoder; `sof` and `scan` locate its
// frame header and the start of its entropy-coded data.
struct GoodFile {
    Bytes bytes;
    size_t sof = 0;
    size_t scan = 0;
    GoodFile() {
        EXPECT_EQ(EncodeJpeg(SmoothPicture(PixelFormat24bppRGB, 48, 40).View(), bytes), Ok);
        for (size_t at = 2; scan == 0 && at + 4 <= bytes.size();
             at += 2 + (bytes[at + 2] << 8 | bytes[at + 3])) {
            if (bytes[at + 1] == 0xC0)
                sof = at;
            if (bytes[at + 1] == 0xDA)
                scan = at + 2 + (bytes[at + 2] << 8 | bytes[at + 3]);
        }
    }
};

Status Decode(const Bytes& file) {
    ImageBuffer out;
    const Status status = DecodeJpeg(file.data(), file.size(), out);
    EXPECT_EQ(out.Pixels() == nullptr, status != Ok);
    return status;
}

Bytes Patched(Bytes file, size_t at, std::initializer_list<BYTE> bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + long(at));
    return file;
}

TEST(JpegDecoder, RefusesDataWithoutTheJpegSignature) {
    const Bytes cases[] = {
        {}, {0xFF, 0xD8}, {0xFF, 0xD8, 0x00, 0xFF}, {0x89, 'P', 'N', 'G'}, {'I', 'I', 42, 0}};
    for (const Bytes& data : cases) {
        EXPECT_FALSE(SniffJpeg(data.data(), data.size()));
        EXPECT_EQ(Decode(data), UnknownImageFormat);
    }
}

TEST(JpegDecoder, FailsCleanlyOnTruncatedFiles) {
    const GoodFile good;
    ASSERT_GT(good.scan, 0u);
    for (const size_t length : {size_t{4}, good.sof, good.sof + 12, good.scan,
                                (good.scan + good.bytes.size()) / 2, good.bytes.size() - 2}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(Decode(Bytes(good.bytes.begin(), good.bytes.begin() + long(length))),
                  InvalidParameter);
    }
}

TEST(JpegDecoder, GivesEachDamagedOrUnsupportedFileItsStatus) {
    // Frame header: FF C0, length(2), precision, height(2), width(2), component
    // count, then id, sampling factors and quantisation table of each component.
    const GoodFile good;
    const size_t s = good.sof, d = good.scan + 8;
    const Bytes onesInScan =
        Patched(good.bytes, d, {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00});
    struct Case {
        const char* name;
        Bytes file;
        Status status;
    } cases[] = {
        {"the good file the others damage", good.bytes, Ok},
        {"zero width", Patched(good.bytes, s + 7, {0, 0}), InvalidParameter},
        {"zero height", Patched(good.bytes, s + 5, {0, 0}), InvalidParameter},
        {"undefined quantisation table", Patched(good.bytes, s + 12, {3}), InvalidParameter},
        {"sampling factor zero", Patched(good.bytes, s + 11, {0}), InvalidParameter},
        {"restart marker inside the scan data", Patched(good.bytes, d, {0xFF, 0xD3}),
         InvalidParameter},
        {"a run of one bits, which no Huffman code is", onesInScan, InvalidParameter},
        {"12-bit samples", Patched(good.bytes, s + 4, {12}), NotImplemented},
        {"lossless process (SOF3)", Patched(good.bytes, s + 1, {0xC3}), NotImplemented},
        {"two components",
         WriteJpeg({.input = JCS_UNKNOWN, .components = 2, .stored = JCS_UNKNOWN}), NotImplemented},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Decode(c.file), c.status);
    }
}

TEST(JpegDecoder, RefusesPicturesBeyondThePixelBoundWithoutAllocatingThem) {
    // 65000 x 65000 is within JPEG's limits and four times our pixel bound.
    const GoodFile good;
    const Bytes file = Patched(good.bytes, good.sof + 5, {0xFD, 0xE8, 0xFD, 0xE8});
    const long before = PeakResidentKilobytes();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Decode(file), ValueOverflow);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
}

TEST(JpegDecoder, StopsProgressionsWithMoreThanAHundredScans) {
    for (const int scans : {10, 100, 101, 704}) {
        SCOPED_TRACE(scans);
        const Bytes file =
            WriteJpeg({.width = 256,
                       .height = 256,
                       .input = JCS_GRAYSCALE,
                       .components = 1,
                       .stored = JCS_GRAYSCALE,
                       .scans = scans,
                       .sample = [](UINT x, UINT y, int) { return static_cast<BYTE>(x * 2 + y); }});
        ASSERT_FALSE(file.empty());
        KeepAsFuzzSeed("jpeg", "scans-" + std::to_string(scans), file);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Decode(file), scans <= 100 ? Ok : ValueOverflow);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

// Files kept from fuzzing and hand-made damage, each with its status.
TEST(JpegDecoder, GivesEachMalformedFixtureItsStatus) {
    ExpectMalformedFixtures("jpeg", Decode,
                            {{"quantisation_table_missing.jpg", InvalidParameter},
                             {"huge_frame_in_a_few_bytes.jpg", InvalidParameter},
                             {"huge_arithmetic_frame_in_a_few_bytes.jpg", InvalidParameter},
                             {"scan_before_frame.jpg", InvalidParameter}});
}

}  // namespace
}  // namespace jpegtiff_test
