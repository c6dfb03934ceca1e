#include <gif_lib.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>

#include "platform/gdiplus/ColorReduction.h"
#include "platform/gdiplus/GifCodec.h"
#include "platform/gdiplus/PackedIndex.h"
#include "platform/gdiplus/PixelConversion.h"

namespace {

constexpr UINT kMaxSide = 65535;  // GIF's sizes are 16-bit
constexpr int kColorResolutionBits = 8;
constexpr ARGB kOpaqueBlack = 0xFF000000u;

using RowWriter = std::function<void(UINT y, BYTE* out)>;

struct GifSink {
    std::vector<BYTE>* bytes;
    bool outOfMemory;
};

// giflib takes a short count as a failed write.
int WriteToSink(GifFileType* gif, const GifByteType* data, int count) {
    auto* sink = static_cast<GifSink*>(gif->UserData);
    try {
        sink->bytes->insert(sink->bytes->end(), data, data + count);
    } catch (const std::bad_alloc&) {
        sink->outOfMemory = true;
        return 0;
    }
    return count;
}

struct GifWriterCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};

struct MapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// An indexed picture keeps its indices; its table must still cover every
// index used, as the library reads missing entries as opaque black.
std::vector<ARGB> TableOfIndexed(const ImageView& image) {
    UINT highest = 0;
    for (UINT y = 0; y < image.height; ++y) {
        highest = std::max(highest, LargestPackedIndex(image.Row(y), image.width,
                                                       GetPixelFormatSize(image.format)));
    }
    const UINT count =
        std::min(std::max(image.paletteCount, highest + 1), ColorReduction::kMaxColors);
    std::vector<ARGB> table(count, kOpaqueBlack);
    std::copy(image.palette, image.palette + std::min(image.paletteCount, count), table.begin());
    return table;
}

int FirstClearEntry(const std::vector<ARGB>& table) {
    for (size_t i = 0; i < table.size(); ++i) {
        if ((table[i] >> 24) == 0)
            return static_cast<int>(i);
    }
    return NO_TRANSPARENT_COLOR;
}

Status WriteGif(const ImageView& image, const std::vector<ARGB>& table, int transparentIndex,
                const RowWriter& writeRow, std::vector<BYTE>& out) {
    int tableSize = 2;
    while (tableSize < static_cast<int>(table.size()))
        tableSize *= 2;
    const std::unique_ptr<ColorMapObject, MapFreer> map(GifMakeMapObject(tableSize, nullptr));
    std::vector<BYTE> row;
    std::vector<BYTE> bytes;
    try {
        row.resize(image.width);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    if (map == nullptr)
        return OutOfMemory;
    for (int i = 0; i < tableSize; ++i) {
        const ARGB entry = i < static_cast<int>(table.size()) ? table[i] : kOpaqueBlack;
        map->Colors[i] = {static_cast<GifByteType>(entry >> 16),
                          static_cast<GifByteType>(entry >> 8), static_cast<GifByteType>(entry)};
    }

    GifSink sink{&bytes, false};
    int error = E_GIF_SUCCEEDED;
    std::unique_ptr<GifFileType, GifWriterCloser> gif(EGifOpen(&sink, WriteToSink, &error));
    if (gif == nullptr)
        return error == E_GIF_ERR_NOT_ENOUGH_MEM ? OutOfMemory : GenericError;
    // GIF87a has no transparency; write 89a only when it is needed.
    const bool transparent = transparentIndex != NO_TRANSPARENT_COLOR;
    EGifSetGifVersion(gif.get(), transparent);
    bool written =
        EGifPutScreenDesc(gif.get(), static_cast<int>(image.width), static_cast<int>(image.height),
                          kColorResolutionBits, 0, map.get()) == GIF_OK;
    if (written && transparent) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, transparentIndex};
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        written = EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length),
                                   extension) == GIF_OK;
    }
    written = written && EGifPutImageDesc(gif.get(), 0, 0, static_cast<int>(image.width),
                                          static_cast<int>(image.height), false, nullptr) == GIF_OK;
    for (UINT y = 0; written && y < image.height; ++y) {
        // A fresh row each time: giflib masks the pixels of the line in place.
        writeRow(y, row.data());
        written = EGifPutLine(gif.get(), row.data(), static_cast<int>(image.width)) == GIF_OK;
    }
    // Closing writes the trailer; it frees the file whatever happens.
    written = EGifCloseFile(gif.release(), &error) == GIF_OK && written;
    if (sink.outOfMemory)
        return OutOfMemory;
    if (!written)
        return GenericError;
    out.swap(bytes);
    return Ok;
}

}  // namespace

Status EncodeGif(const ImageView& image, std::vector<BYTE>& out) {
    if (image.width == 0 || image.height == 0 || image.scan0 == nullptr ||
        !IsReadableFormat(image.format)) {
        return InvalidParameter;
    }
    if (image.width > kMaxSide || image.height > kMaxSide)
        return ValueOverflow;

    const bool indexed = image.format == PixelFormat1bppIndexed ||
                         image.format == PixelFormat4bppIndexed ||
                         image.format == PixelFormat8bppIndexed;
    if (indexed) {
        std::vector<ARGB> table;
        try {
            table = TableOfIndexed(image);
        } catch (const std::bad_alloc&) {
            return OutOfMemory;
        }
        const RowWriter copyIndices = [&image](UINT y, BYTE* out) {
            const BYTE* row = image.Row(y);
            for (UINT x = 0; x < image.width; ++x)
                out[x] = static_cast<BYTE>(PackedIndex(row, x, GetPixelFormatSize(image.format)));
        };
        return WriteGif(image, table, FirstClearEntry(table), copyIndices, out);
    }

    ColorReduction reduction;
    std::vector<ARGB> scratch;
    try {
        scratch.resize(image.width);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    const Status status = reduction.Build(image);
    if (status != Ok)
        return status;
    const RowWriter mapColors = [&](UINT y, BYTE* out) {
        reduction.MapRow(image, y, scratch.data(), out);
    };
    return WriteGif(image, reduction.Table(), reduction.TransparentIndex(), mapColors, out);
}
