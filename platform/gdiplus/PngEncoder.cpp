#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "platform/gdiplus/PackedIndex.h"
#include "platform/gdiplus/ParallelDeflate.h"
#include "platform/gdiplus/PixelConversion.h"
#include "platform/gdiplus/PngCodec.h"
#include "platform/gdiplus/PngErrorHandling.h"
#include "platform/gdiplus/PngRowFilter.h"

namespace {

// zlib's fastest level with libpng's default filters (none for palette and
// sub-byte rows, adaptive otherwise). On a 12-megapixel photo-like picture it
// writes about 20 percent more bytes than level 6 in a third of the time;
// the adaptive filters keep files far below those of tools that write
// unfiltered rows. On flat graphics every level is quick.
constexpr int kCompressionLevel = 1;
// Filtered rows (colour and grey of 8 bits and more) are compressed as runs
// only: the filters leave mostly runs of small differences, which
// run-length matching finds about as well as a search for repeats, and
// sooner. On the benchmark picture (4000 x 3000 after halving) the encoder
// took 15 percent less time and wrote 9.0 MB instead of 11.9 MB; on two
// photographs it wrote 7 and 14 percent less in half the time; only on a
// screenshot, full of repeated patterns, did it write a third more. Palette
// and sub-byte rows, unfiltered, keep the search.
constexpr int kFilteredRowStrategy = Z_RLE;

// IDAT chunks carry at most this much of the compressed stream each.
constexpr size_t kIdatBytes = 65536;

constexpr ARGB kOpaqueBlack = 0xFF000000u;

// How the picture's rows become the file's rows.
enum class RowKind {
    kCopy,          // indexed: the packing of PNG and of the library agree
    kBgrToRgb,      // 24bppRGB
    kBgrxToRgb,     // 32bppRGB
    kBgraToRgba,    // 32bppARGB
    kBgr16ToRgb16,  // 48bppRGB: also little- to big-endian
    kBgra16ToRgba16,
    kArgbToRgb,   // 16 bpp RGB, read as ARGB
    kArgbToRgba,  // every other format, read as ARGB
};

// Everything the guarded write needs, as plain data.
struct PngLayout {
    RowKind rowKind;
    int colorType;
    int bitDepth;
    size_t rowBytes;
    int paletteCount;
    png_color palette[PNG_MAX_PALETTE_LENGTH];
    int alphaCount;
    png_byte alpha[PNG_MAX_PALETTE_LENGTH];
    bool hasTransparentGrey;
    png_color_16 transparentGrey;
};

UINT Red(ARGB c) {
    return (c >> 16) & 0xFF;
}
UINT Green(ARGB c) {
    return (c >> 8) & 0xFF;
}
UINT Blue(ARGB c) {
    return c & 0xFF;
}
UINT Alpha(ARGB c) {
    return c >> 24;
}

UINT HighestIndexUsed(const ImageView& image) {
    UINT highest = 0;
    for (UINT y = 0; y < image.height; ++y) {
        const UINT largest =
            LargestPackedIndex(image.Row(y), image.width, GetPixelFormatSize(image.format));
        highest = largest > highest ? largest : highest;
    }
    return highest;
}

ARGB EntryOf(const ImageView& image, UINT index) {
    return index < image.paletteCount ? image.palette[index] : kOpaqueBlack;
}

// True when the table is the grey ramp of the depth, opaque but for at most
// one entry with alpha 0, which a grey PNG's tRNS can express.
bool IsGreyRamp(const ImageView& image, UINT depth, int* transparentLevel) {
    const UINT levels = 1u << depth;
    if (image.paletteCount != levels)
        return false;
    *transparentLevel = -1;
    for (UINT i = 0; i < levels; ++i) {
        const ARGB entry = image.palette[i];
        const UINT grey = i * 255 / (levels - 1);
        if (Red(entry) != grey || Green(entry) != grey || Blue(entry) != grey)
            return false;
        if (Alpha(entry) == 255)
            continue;
        if (Alpha(entry) != 0 || *transparentLevel >= 0)
            return false;
        *transparentLevel = static_cast<int>(i);
    }
    return true;
}

void ChooseIndexedLayout(const ImageView& image, PngLayout& layout) {
    const UINT depth = GetPixelFormatSize(image.format);
    layout.rowKind = RowKind::kCopy;
    layout.bitDepth = static_cast<int>(depth);
    int transparentLevel = -1;
    if (IsGreyRamp(image, depth, &transparentLevel)) {
        layout.colorType = PNG_COLOR_TYPE_GRAY;
        if (transparentLevel >= 0) {
            layout.hasTransparentGrey = true;
            layout.transparentGrey.gray = static_cast<png_uint_16>(transparentLevel);
        }
        return;
    }
    layout.colorType = PNG_COLOR_TYPE_PALETTE;
    // PLTE may not outgrow the depth, but must cover every index used: the
    // library reads indices beyond its table as opaque black, and so will
    // every reader of the file.
    UINT count = image.paletteCount > 0 ? image.paletteCount : 1;
    const UINT needed = HighestIndexUsed(image) + 1;
    if (count < needed)
        count = needed;
    if (count > (1u << depth))
        count = 1u << depth;
    layout.paletteCount = static_cast<int>(count);
    for (UINT i = 0; i < count; ++i) {
        const ARGB entry = EntryOf(image, i);
        layout.palette[i] = {static_cast<png_byte>(Red(entry)), static_cast<png_byte>(Green(entry)),
                             static_cast<png_byte>(Blue(entry))};
        layout.alpha[i] = static_cast<png_byte>(Alpha(entry));
        if (Alpha(entry) != 255)
            layout.alphaCount = static_cast<int>(i) + 1;
    }
}

void SetDirectLayout(PngLayout& layout, RowKind kind, int colorType, int bitDepth) {
    layout.rowKind = kind;
    layout.colorType = colorType;
    layout.bitDepth = bitDepth;
}

void ChooseLayout(const ImageView& image, PngLayout& layout) {
    switch (image.format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
            ChooseIndexedLayout(image, layout);
            break;
        case PixelFormat24bppRGB:
            SetDirectLayout(layout, RowKind::kBgrToRgb, PNG_COLOR_TYPE_RGB, 8);
            break;
        case PixelFormat32bppRGB:
            SetDirectLayout(layout, RowKind::kBgrxToRgb, PNG_COLOR_TYPE_RGB, 8);
            break;
        case PixelFormat32bppARGB:
            SetDirectLayout(layout, RowKind::kBgraToRgba, PNG_COLOR_TYPE_RGB_ALPHA, 8);
            break;
        case PixelFormat48bppRGB:
            SetDirectLayout(layout, RowKind::kBgr16ToRgb16, PNG_COLOR_TYPE_RGB, 16);
            break;
        case PixelFormat64bppARGB:
            SetDirectLayout(layout, RowKind::kBgra16ToRgba16, PNG_COLOR_TYPE_RGB_ALPHA, 16);
            break;
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
            SetDirectLayout(layout, RowKind::kArgbToRgb, PNG_COLOR_TYPE_RGB, 8);
            break;
        default:
            SetDirectLayout(layout, RowKind::kArgbToRgba, PNG_COLOR_TYPE_RGB_ALPHA, 8);
            break;
    }
    const int channels = layout.colorType == PNG_COLOR_TYPE_RGB         ? 3
                         : layout.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                                                                        : 1;
    layout.rowBytes = (static_cast<size_t>(image.width) * channels * layout.bitDepth + 7) / 8;
}

struct RowSource {
    const ImageView* image;
    const PngLayout* layout;
};

// `scratch` holds one row of ARGB for the formats read through ReadRowArgb.
void FillRow(const RowSource* source, UINT y, BYTE* out, ARGB* scratch) {
    const ImageView& image = *source->image;
    const BYTE* in = image.Row(y);
    const UINT width = image.width;
    switch (source->layout->rowKind) {
        case RowKind::kCopy:
            std::memcpy(out, in, source->layout->rowBytes);
            break;
        case RowKind::kBgrToRgb:
        case RowKind::kBgrxToRgb: {
            const UINT step = source->layout->rowKind == RowKind::kBgrToRgb ? 3 : 4;
            for (UINT x = 0; x < width; ++x, in += step, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
            break;
        }
        case RowKind::kBgraToRgba:
            for (UINT x = 0; x < width; ++x, in += 4, out += 4) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = in[3];
            }
            break;
        case RowKind::kBgr16ToRgb16:
        case RowKind::kBgra16ToRgba16: {
            const UINT channels = source->layout->rowKind == RowKind::kBgr16ToRgb16 ? 3 : 4;
            // The library's channel order is B, G, R, A; the file's R, G, B, A.
            static constexpr UINT kFromChannel[] = {2, 1, 0, 3};
            for (UINT x = 0; x < width; ++x, in += 2 * channels, out += 2 * channels) {
                for (UINT c = 0; c < channels; ++c) {
                    const BYTE* word = in + 2 * kFromChannel[c];
                    out[2 * c] = word[1];
                    out[2 * c + 1] = word[0];
                }
            }
            break;
        }
        case RowKind::kArgbToRgb:
        case RowKind::kArgbToRgba: {
            const bool alpha = source->layout->rowKind == RowKind::kArgbToRgba;
            ReadRowArgb(image, y, scratch);
            for (UINT x = 0; x < width; ++x) {
                const ARGB c = scratch[x];
                *out++ = static_cast<BYTE>(Red(c));
                *out++ = static_cast<BYTE>(Green(c));
                *out++ = static_cast<BYTE>(Blue(c));
                if (alpha)
                    *out++ = static_cast<BYTE>(Alpha(c));
            }
            break;
        }
    }
}

// As libpng does: rows of 8 bits a channel and more are filtered, each with
// the filter FilterRow chooses; palette and sub-byte rows are not.
bool IsFiltered(const PngLayout& layout) {
    return layout.colorType != PNG_COLOR_TYPE_PALETTE && layout.bitDepth >= 8;
}

// The file's rows [first, first + count), each with its filter type in front.
// Reads the row above the first itself, so that any range can be made on
// any thread. False when memory runs out.
bool FilterRows(const RowSource& source, size_t first, size_t count, BYTE* out) {
    const PngLayout& layout = *source.layout;
    const size_t size = layout.rowBytes;
    const bool filtered = IsFiltered(layout);
    std::vector<BYTE> rows;
    std::vector<BYTE> tries;
    std::vector<ARGB> scratch;
    try {
        rows.resize(2 * size);
        tries.resize(filtered ? 4 * size : 0);
        if (layout.rowKind == RowKind::kArgbToRgb || layout.rowKind == RowKind::kArgbToRgba)
            scratch.resize(source.image->width);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int channels = layout.colorType == PNG_COLOR_TYPE_RGB         ? 3
                         : layout.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                                                                        : 1;
    const size_t bpp = static_cast<size_t>(channels * layout.bitDepth / 8);
    BYTE* previous = rows.data();
    BYTE* current = previous + size;
    if (filtered && first > 0)
        FillRow(&source, static_cast<UINT>(first - 1), previous, scratch.data());
    for (size_t y = first; y < first + count; ++y, out += size + 1) {
        if (!filtered) {
            out[0] = 0;
            FillRow(&source, static_cast<UINT>(y), out + 1, scratch.data());
            continue;
        }
        FillRow(&source, static_cast<UINT>(y), current, scratch.data());
        FilterRow(current, previous, size, bpp, tries.data(), out);
        std::swap(previous, current);
    }
    return true;
}

struct PngSink {
    std::vector<BYTE>* bytes;
    bool outOfMemory;
};

void WriteToSink(png_structp png, png_bytep data, size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    try {
        sink->bytes->insert(sink->bytes->end(), data, data + length);
        return;
    } catch (const std::bad_alloc&) {
        sink->outOfMemory = true;
    }
    // Outside the handler, so that no exception object is alive when the
    // error handler jumps back over this frame.
    png_error(png, "out of memory");
}

void FlushSink(png_structp /*png*/) {}

// Writes the signature and the chunks before the pixels: IHDR, PLTE, tRNS.
// Holds one setjmp and only plain data, so that the error handler's longjmp
// never skips a destructor. Returns false when libpng reported an error.
bool GuardedWriteInfo(png_structp png, png_infop info, const PngLayout* layout, PngSink* sink,
                      png_uint_32 width, png_uint_32 height) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, sink, WriteToSink, FlushSink);
    png_set_IHDR(png, info, width, height, layout->bitDepth, layout->colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (layout->colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, layout->palette, layout->paletteCount);
        if (layout->alphaCount > 0) {
            png_set_tRNS(png, info, layout->alpha, layout->alphaCount, nullptr);
        }
    } else if (layout->hasTransparentGrey) {
        png_set_tRNS(png, info, nullptr, 0, &layout->transparentGrey);
    }
    png_write_info(png, info);
    return true;
}

void AppendChunk(std::vector<BYTE>& out, const char* type, const BYTE* data, size_t size) {
    const size_t start = out.size();
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<BYTE>(size >> shift));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    const uLong crc = crc32_z(0, out.data() + start + 4, size + 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<BYTE>(crc >> shift));
}

class PngWriteStructs {
public:
    explicit PngWriteStructs(PngErrorRecord* errors)
        : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, errors, PngErrorHandler,
                                       PngWarningHandler)) {
        if (png_ != nullptr)
            info_ = png_create_info_struct(png_);
    }
    ~PngWriteStructs() { png_destroy_write_struct(&png_, &info_); }
    PngWriteStructs(const PngWriteStructs&) = delete;
    PngWriteStructs& operator=(const PngWriteStructs&) = delete;

    bool Created() const { return png_ != nullptr && info_ != nullptr; }
    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

}  // namespace

Status EncodePng(const ImageView& image, std::vector<BYTE>& out) {
    if (image.width == 0 || image.height == 0 || image.scan0 == nullptr ||
        image.width > PNG_UINT_31_MAX || image.height > PNG_UINT_31_MAX ||
        !IsReadableFormat(image.format)) {
        return InvalidParameter;
    }
    PngLayout layout{};
    ChooseLayout(image, layout);

    std::vector<BYTE> bytes;
    PngErrorRecord errors;
    PngWriteStructs structs(&errors);
    if (!structs.Created())
        return OutOfMemory;
    PngSink sink{&bytes, false};
    const bool written =
        GuardedWriteInfo(structs.Png(), structs.Info(), &layout, &sink, image.width, image.height);
    if (sink.outOfMemory)
        return OutOfMemory;
    if (!written || errors.warned)
        return GenericError;

    // The rows are filtered and deflated here rather than by libpng, in parts
    // at once when the picture is large.
    const RowSource source{&image, &layout};
    const size_t recordBytes = layout.rowBytes + 1;
    std::vector<BYTE> stream;
    const Status status = DeflateInParts(
        image.height, recordBytes, kCompressionLevel,
        IsFiltered(layout) ? kFilteredRowStrategy : Z_DEFAULT_STRATEGY,
        [&source](size_t first, size_t count, BYTE* rows) {
            return FilterRows(source, first, count, rows);
        },
        DeflatePartsFor(image.height * recordBytes), stream);
    if (status != Ok)
        return status;
    try {
        bytes.reserve(bytes.size() + stream.size() + (stream.size() / kIdatBytes + 2) * 12);
        for (size_t at = 0; at < stream.size(); at += kIdatBytes)
            AppendChunk(bytes, "IDAT", stream.data() + at,
                        std::min(kIdatBytes, stream.size() - at));
        AppendChunk(bytes, "IEND", nullptr, 0);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    out.swap(bytes);
    return Ok;
}
