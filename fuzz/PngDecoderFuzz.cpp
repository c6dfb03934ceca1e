// Arbitrary bytes into the PNG decoder. Whatever decodes must also read
// pixel by pixel and survive a trip through the encoder unchanged, so a
// result whose size, stride or palette disagree with its rows is a finding
// too.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdiplus/PixelConversion.h"
#include "platform/gdiplus/PngCodec.h"

namespace {

// Larger results are decoded but not re-encoded, to keep runs fast.
constexpr unsigned long long kRoundTripPixels = 1 << 18;

std::vector<ARGB> Pixels(const ImageBuffer& image) {
    std::vector<ARGB> pixels(static_cast<size_t>(image.Width()) * image.Height());
    for (UINT y = 0; y < image.Height(); ++y) {
        ReadRowArgb(image.View(), y, pixels.data() + static_cast<size_t>(y) * image.Width());
    }
    return pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImageBuffer image;
    if (DecodePng(data, size, image) != Ok)
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
