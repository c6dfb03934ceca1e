// Pixel storage shared by the codecs and the library's bitmaps: top-down rows
// in one of the library's pixel formats, with a palette for indexed formats.
#pragma once

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/gdiplus/GdiplusTypes.h"

// Decoders refuse pictures beyond these bounds before allocating anything.
// A 30000 x 30000 picture is still accepted.
constexpr unsigned long long kMaxImagePixels = 1ull << 30;
constexpr unsigned long long kMaxImageBytes = 8ull << 30;

// Row stride of the library's bitmaps: bits rounded up to whole 32-bit words.
constexpr unsigned long long StrideFor(PixelFormat format, unsigned long long width) {
    return (GetPixelFormatSize(format) * width + 31) / 32 * 4;
}

// A read-only view of pixels that someone else owns. `scan0` is row 0, the top
// row; `stride` may be negative for rows that lie bottom-up in memory.
struct ImageView {
    PixelFormat format = PixelFormatUndefined;
    UINT width = 0;
    UINT height = 0;
    INT stride = 0;
    const BYTE* scan0 = nullptr;
    const ARGB* palette = nullptr;
    UINT paletteCount = 0;
    UINT paletteFlags = 0;

    const BYTE* Row(UINT y) const { return scan0 + static_cast<long long>(y) * stride; }
};

class ImageBuffer {
public:
    // Checks the size against the bounds above, then allocates zeroed rows.
    // Returns InvalidParameter for an empty or unsupported request, ValueOverflow
    // beyond the bounds, OutOfMemory when the heap refuses.
    Status Allocate(PixelFormat format, UINT width, UINT height);

    PixelFormat Format() const { return format_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    INT Stride() const { return stride_; }
    BYTE* Row(UINT y) { return pixels_.get() + static_cast<size_t>(y) * stride_; }
    const BYTE* Row(UINT y) const { return pixels_.get() + static_cast<size_t>(y) * stride_; }
    BYTE* Pixels() { return pixels_.get(); }
    size_t SizeInBytes() const { return static_cast<size_t>(stride_) * height_; }

    std::vector<ARGB>& Palette() { return palette_; }
    const std::vector<ARGB>& Palette() const { return palette_; }
    UINT PaletteFlags() const { return paletteFlags_; }
    void SetPaletteFlags(UINT flags) { paletteFlags_ = flags; }

    ImageView View() const;

private:
    struct FreeDeleter {
        void operator()(BYTE* p) const { std::free(p); }
    };
    PixelFormat format_ = PixelFormatUndefined;
    UINT width_ = 0;
    UINT height_ = 0;
    INT stride_ = 0;
    std::unique_ptr<BYTE, FreeDeleter> pixels_;
    std::vector<ARGB> palette_;
    UINT paletteFlags_ = 0;
};
