// JPEG decoding of damaged, hostile and unsupported files, made by patching
// a file of our encoder: each gives its own status quickly, without
// allocating what it declares.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/gdiplus/JpegCodec.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestFiles.h"

namespace {

Bytes Patched(Bytes file, size_t at, std::initializer_list<BYTE> bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + long(at));
    return file;
}

}  // namespace

TEST(JpegDecoder, GivesEachDamagedHugeOrUnsupportedFileItsStatusQuickly) {
    Bytes good;
    ASSERT_EQ(EncodeJpeg(SmoothPicture(PixelFormat24bppRGB, 48, 40).View(), good), Ok);
    // Frame header: FF C0, length(2), precision, height(2), width(2), component
    // count, then id, sampling factors and quantisation table of each component.
    size_t s = 0, d = 0;  // the frame header; 8 bytes into the scan's coded data
    for (size_t at = 2; d == 0 && at + 4 <= good.size();
         at += 2 + (good[at + 2] << 8 | good[at + 3])) {
        s = good[at + 1] == 0xC0 ? at : s;
        d = good[at + 1] == 0xDA ? at + 2 + (good[at + 2] << 8 | good[at + 3]) + 8 : 0;
    }
    ASSERT_GT(d, 0u);
    const struct {
        const char* name;
        Bytes file;
        Status status;
    } cases[] = {
        // clang-format off
        {"the good file the others damage", good, Ok},
        {"zero width", Patched(good, s + 7, {0, 0}), InvalidParameter},
        {"zero height", Patched(good, s + 5, {0, 0}), InvalidParameter},
        {"undefined quantisation table", Patched(good, s + 12, {3}), InvalidParameter},
        {"sampling factor zero", Patched(good, s + 11, {0}), InvalidParameter},
        {"restart marker inside the scan data", Patched(good, d, {0xFF, 0xD3}), InvalidParameter},
        {"a run of one bits, which no Huffman code is",
            Patched(good, d, {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}), InvalidParameter},
        {"12-bit samples", Patched(good, s + 4, {12}), NotImplemented},
        {"lossless process (SOF3)", Patched(good, s + 1, {0xC3}), NotImplemented},
        // 65000 x 65000 is within JPEG's limits and four times our pixel bound.
        {"65000 x 65000", Patched(good, s + 5, {0xFD, 0xE8, 0xFD, 0xE8}), ValueOverflow},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const long before = PeakResidentKilobytes();
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer out;
        EXPECT_EQ(DecodeJpeg(c.file.data(), c.file.size(), out), c.status);
        EXPECT_EQ(out.Pixels() == nullptr, c.status != Ok);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_LT(PeakResidentKilobytes() - before, 64 * 1024);
    }
}
