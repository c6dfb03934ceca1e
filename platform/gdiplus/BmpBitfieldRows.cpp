#include "platform/gdiplus/BmpBitfieldRows.h"

#include <bit>

namespace {

constexpr UINT kOutputPixelBytes = 4;  // 32bppRGB or 32bppARGB

class Channel {
public:
    explicit Channel(DWORD mask)
        : mask_(mask),
          shift_(mask == 0 ? 0 : std::countr_zero(mask)),
          largest_(mask == 0 ? 0 : mask >> shift_) {}

    // The nearest 8-bit value, so that a full channel of any width is 255. Only
    // alpha may lack a mask, and a picture without alpha is opaque.
    BYTE Scale(DWORD pixel) const {
        if (mask_ == 0)
            return 0xFF;
        const unsigned long long value = (pixel & mask_) >> shift_;
        return static_cast<BYTE>((value * 255 + largest_ / 2) / largest_);
    }

private:
    DWORD mask_;
    int shift_;
    unsigned long long largest_;
};

}  // namespace

void ReadBmpBitfieldRows(const BYTE* data, const BmpHeader& header, ImageBuffer& image) {
    const Channel red(header.masks.red);
    const Channel green(header.masks.green);
    const Channel blue(header.masks.blue);
    const Channel alpha(header.masks.alpha);
    const UINT bytesPerPixel = header.bitCount / 8;

    for (UINT y = 0; y < header.height; ++y) {
        const BYTE* in = data + BmpStoredRowOffset(header, y);
        BYTE* out = image.Row(y);
        for (UINT x = 0; x < header.width; ++x, in += bytesPerPixel, out += kOutputPixelBytes) {
            DWORD pixel = in[0] | (in[1] << 8);
            if (bytesPerPixel == 4)
                pixel |= (in[2] << 16) | (static_cast<DWORD>(in[3]) << 24);
            out[0] = blue.Scale(pixel);
            out[1] = green.Scale(pixel);
            out[2] = red.Scale(pixel);
            out[3] = alpha.Scale(pixel);
        }
    }
}
