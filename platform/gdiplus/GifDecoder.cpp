#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/gdiplus/GifCodec.h"

namespace {

constexpr size_t kSignatureBytes = 6;

// A screen may be far larger than its first frame, the rest taking the
// background, so a few bytes can declare a huge picture. Up to this many
// pixels that is accepted whatever the data; beyond it the data must be able
// to fill the picture: no LZW code (at least 3 bits) yields more than 4096
// pixels, so a file of n bytes fills at most 10923 n. Larger claims are
// hostile or damaged, and refused before anything is allocated.
constexpr unsigned long long kPixelsWithoutData = 1ull << 24;
constexpr unsigned long long kLzwMaxExpansion = 4096 * 8 / 3 + 1;

struct MemorySource {
    const BYTE* data;
    size_t size;
    size_t offset;
};

// giflib takes a short count as the end of the data and reports it.
int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<MemorySource*>(gif->UserData);
    if (count <= 0)
        return 0;
    const size_t available = std::min(static_cast<size_t>(count), source->size - source->offset);
    std::memcpy(out, source->data + source->offset, available);
    source->offset += available;
    return static_cast<int>(available);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

Status StatusFor(int gifError) {
    return gifError == D_GIF_ERR_NOT_ENOUGH_MEM ? OutOfMemory : GenericError;
}

// Reads one extension with all its sub-blocks. A graphic control extension
// names the transparent index of the frame that follows; a malformed one is
// passed over, as it says nothing about the pixels.
Status ReadExtension(GifFileType* gif, int* transparentIndex) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        return StatusFor(gif->Error);
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
        GraphicsControlBlock control;
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
            *transparentIndex = control.TransparentColor;
        }
    }
    while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return StatusFor(gif->Error);
    }
    return Ok;
}

Status ReadFrameRows(GifFileType* gif, const GifImageDesc& frame, ImageBuffer& image) {
    // An interlaced frame stores every 8th row from row 0, then every 8th
    // from 4, every 4th from 2 and every 2nd from 1.
    static constexpr int kFirstRow[] = {0, 4, 2, 1};
    static constexpr int kRowStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int first = frame.Interlace ? kFirstRow[pass] : 0;
        const int step = frame.Interlace ? kRowStep[pass] : 1;
        for (int y = first; y < frame.Height; y += step) {
            BYTE* row = image.Row(static_cast<UINT>(frame.Top + y)) + frame.Left;
            if (DGifGetLine(gif, row, frame.Width) == GIF_ERROR)
                return StatusFor(gif->Error);
        }
    }
    return Ok;
}

Status SetPalette(const ColorMapObject& colors, int transparentIndex, ImageBuffer& image) {
    std::vector<ARGB> palette;
    try {
        palette.resize(static_cast<size_t>(colors.ColorCount));
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    for (int i = 0; i < colors.ColorCount; ++i) {
        const GifColorType& c = colors.Colors[i];
        palette[i] = 0xFF000000u | (c.Red << 16) | (c.Green << 8) | c.Blue;
    }
    UINT flags = 0;
    if (transparentIndex >= 0 && transparentIndex < colors.ColorCount) {
        palette[transparentIndex] &= 0x00FFFFFFu;
        flags |= PaletteFlagsHasAlpha;
    }
    image.Palette() = std::move(palette);
    image.SetPaletteFlags(flags);
    return Ok;
}

Status DecodeFirstFrame(GifFileType* gif, size_t size, int transparentIndex, ImageBuffer& out) {
    if (DGifGetImageDesc(gif) == GIF_ERROR)
        return StatusFor(gif->Error);
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* colors = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (colors == nullptr)
        return GenericError;

    // Some writers leave the screen smaller than the frame, even 0 x 0; the
    // picture grows to hold the whole frame rather than cut off pixels the
    // file plainly holds. An empty frame holds none, wherever it is placed.
    const bool empty = frame.Width == 0 || frame.Height == 0;
    const UINT width =
        static_cast<UINT>(empty ? gif->SWidth : std::max(gif->SWidth, frame.Left + frame.Width));
    const UINT height =
        static_cast<UINT>(empty ? gif->SHeight : std::max(gif->SHeight, frame.Top + frame.Height));
    const unsigned long long pixels = static_cast<unsigned long long>(width) * height;
    if (pixels > kMaxImagePixels)
        return RefusePictureSize(width, height);
    if (pixels > kPixelsWithoutData && pixels / kLzwMaxExpansion > size)
        return GenericError;
    ImageBuffer image;
    Status status = image.Allocate(PixelFormat8bppIndexed, width, height);
    if (status == InvalidParameter)
        return GenericError;  // no screen and an empty frame
    if (status != Ok)
        return status;

    const int fill = transparentIndex >= 0 ? transparentIndex : gif->SBackGroundColor;
    if (fill != 0) {
        for (UINT y = 0; y < height; ++y)
            std::memset(image.Row(y), fill, width);
    }
    if (!empty) {
        status = ReadFrameRows(gif, frame, image);
        if (status != Ok)
            return status;
    }
    status = SetPalette(*colors, transparentIndex, image);
    if (status != Ok)
        return status;
    out = std::move(image);
    return Ok;
}

}  // namespace

bool SniffGif(const BYTE* data, size_t size) {
    return data != nullptr && size >= kSignatureBytes &&
           (std::memcmp(data, GIF87_STAMP, kSignatureBytes) == 0 ||
            std::memcmp(data, GIF89_STAMP, kSignatureBytes) == 0);
}

Status DecodeGif(const BYTE* data, size_t size, ImageBuffer& out) {
    if (!SniffGif(data, size))
        return UnknownImageFormat;
    MemorySource source{data, size, 0};
    int error = D_GIF_SUCCEEDED;
    const std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadFromMemory, &error));
    if (gif == nullptr)
        return StatusFor(error);

    // Only extensions may come before the first frame; each one read
    // consumes input, so the loop ends with the data at the latest.
    int transparentIndex = NO_TRANSPARENT_COLOR;
    while (true) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
            return StatusFor(gif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DecodeFirstFrame(gif.get(), size, transparentIndex, out);
        if (type != EXTENSION_RECORD_TYPE)
            return GenericError;  // the trailer: no frame at all
        const Status status = ReadExtension(gif.get(), &transparentIndex);
        if (status != Ok)
            return status;
    }
}
