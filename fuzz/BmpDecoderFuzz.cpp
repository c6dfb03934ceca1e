// Feeds arbitrary bytes to the BMP decoder. A decoded picture is read back
// through its palette so that a wrong stride or colour table shows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/BmpHeader.h"
#include "platform/gdiplus/PixelConversion.h"

namespace {

// A tiny RLE file may announce a picture of a gigapixel; decoding it proves
// nothing the smaller ones do not, and it would only run into the time limit.
constexpr unsigned long long kMaxFuzzPixels = 1ull << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BmpHeader header;
    if (ReadBmpHeader(data, size, header) == Ok &&
        static_cast<unsigned long long>(header.width) * header.height > kMaxFuzzPixels) {
        return 0;
    }
    ImageBuffer image;
    if (DecodeBmp(data, size, image) != Ok)
        return 0;
    const ImageView view = image.View();
    std::vector<ARGB> row(view.width);
    for (UINT y = 0; y < view.height; ++y)
        ReadRowArgb(view, y, row.data());
    return 0;
}
