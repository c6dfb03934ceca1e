// Arbitrary bytes into the GIF decoder. Whatever decodes must also read
// pixel by pixel and, where GIF can hold its size, survive a trip through
// the encoder with the same indices and colours.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdiplus/GifCodec.h"
#include "platform/gdiplus/PixelConversion.h"

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

bool SameIndices(const ImageBuffer& a, const ImageBuffer& b) {
    for (UINT y = 0; y < a.Height(); ++y) {
        for (UINT x = 0; x < a.Width(); ++x) {
            if (a.Row(y)[x] != b.Row(y)[x])
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImageBuffer image;
    if (DecodeGif(data, size, image) != Ok)
        return 0;
    if (static_cast<unsigned long long>(image.Width()) * image.Height() > kRoundTripPixels) {
        // The first and last rows are enough to catch a size that disagrees
        // with the buffer, and keep large pictures from slowing the run.
        std::vector<ARGB> row(image.Width());
        ReadRowArgb(image.View(), 0, row.data());
        ReadRowArgb(image.View(), image.Height() - 1, row.data());
        return 0;
    }
    const std::vector<ARGB> pixels = Pixels(image);
    std::vector<BYTE> file;
    const Status encoded = EncodeGif(image.View(), file);
    if (encoded == ValueOverflow)
        return 0;  // a frame beyond the screen made it too wide
    if (encoded != Ok)
        __builtin_trap();
    ImageBuffer again;
    if (DecodeGif(file.data(), file.size(), again) != Ok)
        __builtin_trap();
    if (again.Width() != image.Width() || again.Height() != image.Height() ||
        !SameIndices(again, image) || Pixels(again) != pixels) {
        __builtin_trap();
    }
    return 0;
}
