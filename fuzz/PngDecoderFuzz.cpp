// Arbitrary bytes into the PNG decoder. Whatever decodes must also read
// pixel by pixel and survive a trip through the encoder unchanged, so a
// result whose size, stride or palette disagree with its rows is a finding
// too. Chunk CRCs are made right before decoding: libpng is not
// instrumented, so the fuzzer could never learn them, and nearly every
// mutation would stop at the first CRC. (The tests cover CRC failures.)
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdiplus/PixelConversion.h"
#include "platform/gdiplus/PngCodec.h"

namespace {

// Larger results are decoded but not re-encoded, to keep runs fast.
constexpr unsigned long long kRoundTripPixels = 1 << 18;

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// Rewrites the CRC of every whole chunk after the signature.
void FixChunkCrcs(std::vector<uint8_t>& file) {
    size_t at = 8;
    while (at + 12 <= file.size()) {
        const size_t length = (static_cast<size_t>(file[at]) << 24) | (file[at + 1] << 16) |
                              (file[at + 2] << 8) | file[at + 3];
        if (length > file.size() - at - 12)
            break;
        const uint32_t crc = Crc32(&file[at + 4], 4 + length);
        for (int i = 0; i < 4; ++i)
            file[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
}

std::vector<ARGB> Pixels(const ImageBuffer& image) {
    std::vector<ARGB> pixels(static_cast<size_t>(image.Width()) * image.Height());
    for (UINT y = 0; y < image.Height(); ++y) {
        ReadRowArgb(image.View(), y, pixels.data() + static_cast<size_t>(y) * image.Width());
    }
    return pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> input(data, data + size);
    FixChunkCrcs(input);
    ImageBuffer image;
    if (DecodePng(input.data(), input.size(), image) != Ok)
        return 0;
    if (static_cast<unsigned long long>(image.Width()) * image.Height() > kRoundTripPixels) {
        std::vector<ARGB> row(image.Width());
        for (UINT y = 0; y < image.Height(); ++y)
            ReadRowArgb(image.View(), y, row.data());
        return 0;
    }
    std::vector<BYTE> file;
    if (EncodePng(image.View(), file) != Ok)
        __builtin_trap();
    ImageBuffer again;
    if (DecodePng(file.data(), file.size(), again) != Ok)
        __builtin_trap();
    if (again.Format() != image.Format() || Pixels(again) != Pixels(image))
        __builtin_trap();
    return 0;
}
