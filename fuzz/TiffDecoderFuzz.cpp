// Any bytes at all through the TIFF decoder: it must return a status without
// crashing, leaking or reading outside the input, and a picture it accepts
// must be whole and in a format the library reads.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdiplus/PixelConversion.h"
#include "platform/gdiplus/TiffCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImageBuffer picture;
    if (DecodeTiff(data, size, picture) == Ok) {
        // Every row of an accepted picture must be readable in full.
        if (!IsReadableFormat(picture.Format()))
            __builtin_trap();
        std::vector<ARGB> row(picture.Width());
        for (UINT y = 0; y < picture.Height(); ++y)
            ReadRowArgb(picture.View(), y, row.data());
    }
    return 0;
}
