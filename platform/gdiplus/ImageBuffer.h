// Pixel storage shared by the codecs and the library's bitmaps: rows in one of
// the library's pixel formats, top-down or as a DIB section holds them, with a
// palette for indexed formats.
#pragma once

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/gdiplus/GdiplusTypes.h"
#include "platform/win32/PixelMemory.h"

// Decoders refuse pictures beyond these bounds before allocating anything.
// A 30000 x 30000 picture is still accepted.
constexpr unsigned long long kMaxImagePixels = 1ull << 30;
constexpr unsigned long long kMaxImageBytes = 8ull << 30;

// What the last refusal for size on this thread was: the limit in words
// ("2^30 pixels") and, where the picture declared them, its sides (else 0).
struct SizeRefusal {
    const char* limit = nullptr;
    unsigned long long width = 0;
    unsigned long long height = 0;
};
// Records the refusal and returns ValueOverflow.
Status RefuseSize(const char* limit, unsigned long long width = 0, unsigned long long height = 0);
SizeRefusal LastSizeRefusal();
void ClearSizeRefusal();
// The limit a picture of these sides and bytes of pixels is over: the pixel
// count first, then the bytes.
Status RefusePictureSize(unsigned long long width, unsigned long long height);

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
    // Pages::OnDemand leaves the pages to appear as rows are written, for a
    // decoder that learns only while writing rows that the data is damaged.
    enum class Pages { Present, OnDemand };
    // Rows::BottomUp lays the rows out as a DIB section of the same size and
    // depth holds them, the bottom row lowest in memory, with one row more
    // of room above the top row, so that such a section can take the memory
    // over (see OfferRowsToNextSection in platform/win32/Gdi.h). Writers
    // address the rows through Row() and Stride(), which is then negative.
    enum class Rows { TopDown, BottomUp };
    Status Allocate(PixelFormat format, UINT width, UINT height, Pages pages = Pages::Present,
                    Rows rows = Rows::TopDown);

    // Takes a block of bytes that already holds the rows, such as a file
    // read whole, without copying: row 0 starts firstRowOffset bytes into
    // it and each row lies stride bytes (negative for rows stored bottom-up)
    // after the one above. InvalidParameter unless every row's pixel bytes
    // lie inside the block.
    Status AdoptRows(PixelBlock block, size_t blockSize, PixelFormat format, UINT width,
                     UINT height, size_t firstRowOffset, INT stride);
    // The same for a block that others hold as well.
    Status AdoptRows(std::shared_ptr<BYTE> block, size_t blockSize, PixelFormat format, UINT width,
                     UINT height, size_t firstRowOffset, INT stride);

    PixelFormat Format() const { return format_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    INT Stride() const { return stride_; }
    BYTE* Row(UINT y) { return first_ + static_cast<ptrdiff_t>(y) * stride_; }
    const BYTE* Row(UINT y) const { return first_ + static_cast<ptrdiff_t>(y) * stride_; }
    // Row 0; the rows of a buffer allocated top-down follow it.
    BYTE* Pixels() { return first_; }
    size_t SizeInBytes() const {
        return static_cast<size_t>(stride_ < 0 ? -static_cast<ptrdiff_t>(stride_) : stride_) *
               height_;
    }

    std::vector<ARGB>& Palette() { return palette_; }
    const std::vector<ARGB>& Palette() const { return palette_; }
    UINT PaletteFlags() const { return paletteFlags_; }
    void SetPaletteFlags(UINT flags) { paletteFlags_ = flags; }

    ImageView View() const;

    // The block that holds the rows, shared with whoever takes them over.
    const std::shared_ptr<BYTE>& Memory() const { return pixels_; }
    // True when the rows lie bottom-up on 4-byte boundaries with a row's
    // room above the top row inside the block, as Rows::BottomUp leaves it.
    bool HasRoomAboveTopRow() const;

    ImageBuffer() = default;
    ImageBuffer(ImageBuffer&&) = default;
    ImageBuffer& operator=(ImageBuffer&&) = default;
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

private:
    PixelFormat format_ = PixelFormatUndefined;
    UINT width_ = 0;
    UINT height_ = 0;
    INT stride_ = 0;
    std::shared_ptr<BYTE> pixels_;
    size_t blockSize_ = 0;
    BYTE* first_ = nullptr;
    std::vector<ARGB> palette_;
    UINT paletteFlags_ = 0;
};
