#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

#include "platform/gdiplus/PackedIndex.h"
#include "platform/gdiplus/PngCodec.h"
#include "platform/gdiplus/PngErrorHandling.h"
#include "platform/gdiplus/PngIdatPipeline.h"

namespace {

constexpr BYTE kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kSignatureBytes = sizeof kSignature;
constexpr size_t kChunkHeaderBytes = 8;  // length, type
constexpr png_uint_32 kIhdrDataBytes = 13;
constexpr size_t kIhdrEnd = kSignatureBytes + kChunkHeaderBytes + kIhdrDataBytes;

// Deflate cannot expand data by more than 1032:1 (a 258-byte match coded in
// two bits), so a file of n bytes holds at most 1032 n bytes of pixels. A file
// that declares more is damaged or hostile, and is refused before anything is
// allocated for it.
constexpr unsigned long long kDeflateMaxRatio = 1032;

// The decoder keeps only PLTE and tRNS; every other chunk is skipped unread,
// so these bounds only guard against chunks libpng might still buffer.
constexpr png_alloc_size_t kChunkMallocMax = 1u << 20;
constexpr png_uint_32 kChunkCacheMax = 128;

png_uint_32 BigEndian32(const BYTE* p) {
    return (static_cast<png_uint_32>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

int ChannelsOf(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return 4;
        default:
            return 1;
    }
}

bool IsAllowedDepth(int colorType, int depth) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case PNG_COLOR_TYPE_PALETTE:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case PNG_COLOR_TYPE_RGB:
        case PNG_COLOR_TYPE_GRAY_ALPHA:
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

// Reads IHDR straight from the bytes, so that a file with a wrong header, a
// picture beyond the bounds or more pixels than its data can hold costs
// nothing: libpng is not even started for it.
Status CheckHeader(const BYTE* data, size_t size) {
    if (!SniffPng(data, size))
        return UnknownImageFormat;
    if (size < kIhdrEnd)
        return GenericError;
    const BYTE* chunk = data + kSignatureBytes;
    if (BigEndian32(chunk) != kIhdrDataBytes || std::memcmp(chunk + 4, "IHDR", 4) != 0) {
        return GenericError;
    }
    const BYTE* fields = chunk + kChunkHeaderBytes;
    const png_uint_32 width = BigEndian32(fields);
    const png_uint_32 height = BigEndian32(fields + 4);
    const int bitDepth = fields[8];
    const int colorType = fields[9];
    const int compression = fields[10];
    const int filter = fields[11];
    const int interlace = fields[12];
    if (width == 0 || height == 0 || width > PNG_UINT_31_MAX || height > PNG_UINT_31_MAX) {
        return GenericError;
    }
    if (!IsAllowedDepth(colorType, bitDepth) || compression != 0 || filter != 0 || interlace > 1) {
        return GenericError;
    }
    const unsigned long long pixels = static_cast<unsigned long long>(width) * height;
    if (pixels > kMaxImagePixels)
        return RefusePictureSize(width, height);
    // Interlacing only adds filter bytes, so this is a lower bound either way.
    const unsigned long long imageBytes = pixels * ChannelsOf(colorType) * bitDepth / 8;
    if (imageBytes / kDeflateMaxRatio > size)
        return GenericError;
    return Ok;
}

// What libpng found before the first IDAT, copied into plain data.
struct PngFileInfo {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colorType;
    int interlace;
    int paletteCount;
    png_color palette[PNG_MAX_PALETTE_LENGTH];
    int alphaCount;  // tRNS entries of a palette file
    png_byte alpha[PNG_MAX_PALETTE_LENGTH];
    bool hasTransparentColor;  // tRNS of a grey or RGB file
    png_uint_16 transparentGrey;
};

enum Transform : unsigned {
    kTransparentColorToAlpha = 1u << 0,
    kStrip16 = 1u << 1,  // keeps the high byte, as the library's 16-to-8 reads do
    kGreyToRgb = 1u << 2,
    kOpaqueAlpha = 1u << 3,
    kBgr = 1u << 4,
    kLittleEndian16 = 1u << 5,
};

struct DecodePlan {
    PixelFormat format;
    unsigned transforms;
    // libpng delivers 2-bit rows; they are widened to 4 bits afterwards.
    bool twoBitIndices;
};

DecodePlan PlanFor(const PngFileInfo& file) {
    const bool wide = file.bitDepth == 16;
    const bool keyed = file.hasTransparentColor;
    switch (file.colorType) {
        case PNG_COLOR_TYPE_PALETTE:
        case PNG_COLOR_TYPE_GRAY:
            if (!wide) {
                // Indices (or grey levels, which index the grey ramp) stay as
                // they are; a transparent grey becomes the alpha of its entry.
                const PixelFormat format = file.bitDepth == 1   ? PixelFormat1bppIndexed
                                           : file.bitDepth == 8 ? PixelFormat8bppIndexed
                                                                : PixelFormat4bppIndexed;
                return {format, 0, file.bitDepth == 2};
            }
            return {
                PixelFormat32bppARGB,
                (keyed ? kTransparentColorToAlpha : kOpaqueAlpha) | kStrip16 | kGreyToRgb | kBgr,
                false};
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return {PixelFormat32bppARGB, (wide ? kStrip16 : 0u) | kGreyToRgb | kBgr, false};
        case PNG_COLOR_TYPE_RGB:
            if (wide) {
                // A transparent colour needs an alpha channel; 64 bpp keeps
                // both it and the file's depth.
                return {keyed ? PixelFormat64bppARGB : PixelFormat48bppRGB,
                        (keyed ? kTransparentColorToAlpha : 0u) | kBgr | kLittleEndian16, false};
            }
            return {keyed ? PixelFormat32bppARGB : PixelFormat24bppRGB,
                    (keyed ? kTransparentColorToAlpha : 0u) | kBgr, false};
        default:  // RGBA
            return {wide ? PixelFormat64bppARGB : PixelFormat32bppARGB,
                    kBgr | (wide ? kLittleEndian16 : 0u), false};
    }
}

struct MemorySource {
    const BYTE* data;
    size_t size;
    size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->size - source->offset)
        png_error(png, "unexpected end of data");
    std::memcpy(out, source->data + source->offset, count);
    source->offset += count;
}

// The guarded calls. Each holds one setjmp and only plain data, so that the
// error handler's longjmp never skips a destructor; each returns false when
// libpng reported an error.

bool GuardedReadInfo(png_structp png, png_infop info, MemorySource* source, PngFileInfo* file) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, source, ReadFromMemory);
    // Benign errors are still damage; the caller also refuses a file that
    // drew a warning.
    png_set_benign_errors(png, 0);
    // CheckHeader has bounded the size already, more tightly than these do.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_chunk_malloc_max(png, kChunkMallocMax);
    png_set_chunk_cache_max(png, kChunkCacheMax);
    // Skip every chunk but IHDR, PLTE, tRNS, IDAT and IEND: gamma and colour
    // are not applied, and compressed text cannot be made to inflate.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, info);

    file->width = png_get_image_width(png, info);
    file->height = png_get_image_height(png, info);
    file->bitDepth = png_get_bit_depth(png, info);
    file->colorType = png_get_color_type(png, info);
    file->interlace = png_get_interlace_type(png, info);
    png_colorp palette = nullptr;
    int paletteCount = 0;
    if (png_get_PLTE(png, info, &palette, &paletteCount) != 0) {
        file->paletteCount = paletteCount;
        std::memcpy(file->palette, palette, sizeof(png_color) * paletteCount);
    }
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    png_color_16p color = nullptr;
    if (png_get_tRNS(png, info, &alpha, &alphaCount, &color) != 0) {
        if (file->colorType == PNG_COLOR_TYPE_PALETTE) {
            file->alphaCount = alphaCount;
            std::memcpy(file->alpha, alpha, alphaCount);
        } else {
            file->hasTransparentColor = true;
            file->transparentGrey = color->gray;
        }
    }
    return true;
}

bool GuardedPrepareRows(png_structp png, png_infop info, unsigned transforms, size_t* rowBytes,
                        int* passes) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    if (transforms & kTransparentColorToAlpha)
        png_set_tRNS_to_alpha(png);
    if (transforms & kStrip16)
        png_set_strip_16(png);
    if (transforms & kGreyToRgb)
        png_set_gray_to_rgb(png);
    if (transforms & kOpaqueAlpha)
        png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
    if (transforms & kBgr)
        png_set_bgr(png);
    if (transforms & kLittleEndian16)
        png_set_swap(png);
    *passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *rowBytes = png_get_rowbytes(png, info);
    return true;
}

// 8-bit RGB and RGBA files without a transparent colour, not interlaced, need
// nothing but red and blue swapped; their image data is read by
// DecodePngIdat, faster, and everything else by libpng's row reader.
bool IsPipelined(const PngFileInfo& file) {
    return file.bitDepth == 8 && file.interlace == PNG_INTERLACE_NONE &&
           (file.colorType == PNG_COLOR_TYPE_RGB_ALPHA ||
            (file.colorType == PNG_COLOR_TYPE_RGB && !file.hasTransparentColor));
}

// Every pass visits every row; libpng writes into a row only the pixels of
// the pass, so after the last pass each pixel has been written once.
bool GuardedReadRows(png_structp png, int passes, BYTE* firstRow, ptrdiff_t stride,
                     png_uint_32 height) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, firstRow + static_cast<ptrdiff_t>(y) * stride, nullptr);
    }
    // Reads on to IEND, so a file cut short after its pixels is still refused.
    png_read_end(png, nullptr);
    return true;
}

class PngReadStructs {
public:
    explicit PngReadStructs(PngErrorRecord* errors)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, errors, PngErrorHandler,
                                      PngWarningHandler)) {
        if (png_ != nullptr)
            info_ = png_create_info_struct(png_);
    }
    ~PngReadStructs() { png_destroy_read_struct(&png_, &info_, nullptr); }
    PngReadStructs(const PngReadStructs&) = delete;
    PngReadStructs& operator=(const PngReadStructs&) = delete;

    bool Created() const { return png_ != nullptr && info_ != nullptr; }
    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// Widens 2-bit indices to 4 bits in place. Working from the right end, output
// byte k reads only input byte k / 2, which no earlier step has overwritten.
void WidenTwoBitRows(ImageBuffer& image) {
    const UINT width = image.Width();
    for (UINT y = 0; y < image.Height(); ++y) {
        BYTE* row = image.Row(y);
        for (UINT k = (width + 1) / 2; k-- > 0;) {
            const UINT first = PackedIndex(row, 2 * k, 2);
            const UINT second = 2 * k + 1 < width ? PackedIndex(row, 2 * k + 1, 2) : 0;
            SetPackedIndex(row, 2 * k, 4, first);
            SetPackedIndex(row, 2 * k + 1, 4, second);
        }
    }
}

ARGB Argb(UINT alpha, UINT red, UINT green, UINT blue) {
    return (alpha << 24) | (red << 16) | (green << 8) | blue;
}

// The colour table of an indexed result: the file's palette with tRNS as
// alpha, or for a grey file the ramp of its depth, whose entry for the
// transparent grey level (if any) has alpha 0.
Status SetPalette(const PngFileInfo& file, ImageBuffer& image) {
    std::vector<ARGB> palette;
    UINT flags = 0;
    try {
        if (file.colorType == PNG_COLOR_TYPE_PALETTE) {
            for (int i = 0; i < file.paletteCount; ++i) {
                const png_color& c = file.palette[i];
                const UINT alpha = i < file.alphaCount ? file.alpha[i] : 255;
                palette.push_back(Argb(alpha, c.red, c.green, c.blue));
            }
        } else {
            const UINT levels = 1u << file.bitDepth;
            for (UINT i = 0; i < levels; ++i) {
                const UINT grey = i * 255 / (levels - 1);
                const bool clear = file.hasTransparentColor && file.transparentGrey == i;
                palette.push_back(Argb(clear ? 0 : 255, grey, grey, grey));
            }
            flags |= PaletteFlagsGrayScale;
        }
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    for (ARGB entry : palette) {
        if ((entry >> 24) != 255)
            flags |= PaletteFlagsHasAlpha;
    }
    image.Palette() = std::move(palette);
    image.SetPaletteFlags(flags);
    return Ok;
}

}  // namespace

bool SniffPng(const BYTE* data, size_t size) {
    return data != nullptr && size >= kSignatureBytes &&
           std::memcmp(data, kSignature, kSignatureBytes) == 0;
}

namespace {

enum class RowReader { Fastest, Libpng };

Status Decode(const BYTE* data, size_t size, ImageBuffer& out, RowReader reader) {
    Status status = CheckHeader(data, size);
    if (status != Ok)
        return status;

    PngErrorRecord errors;
    PngReadStructs structs(&errors);
    if (!structs.Created())
        return OutOfMemory;
    MemorySource source{data, size, 0};
    PngFileInfo file{};
    if (!GuardedReadInfo(structs.Png(), structs.Info(), &source, &file) || errors.warned) {
        return GenericError;
    }

    const DecodePlan plan = PlanFor(file);
    size_t rowBytes = 0;
    int passes = 0;
    if (!GuardedPrepareRows(structs.Png(), structs.Info(), plan.transforms, &rowBytes, &passes)) {
        return GenericError;
    }
    ImageBuffer image;
    status = image.Allocate(plan.format, file.width, file.height, ImageBuffer::Pages::Present,
                            ImageBuffer::Rows::BottomUp);
    if (status != Ok)
        return status;
    // The transforms were chosen to give exactly the target's layout; a
    // longer row would mean they did not, and must not run past the row.
    if (rowBytes > StrideFor(plan.format, file.width))
        return GenericError;
    if (reader == RowReader::Fastest && IsPipelined(file)) {
        const PngIdatLayout layout{file.width, file.height, ChannelsOf(file.colorType),
                                   static_cast<uint32_t>(kChunkMallocMax), source.offset};
        status = DecodePngIdat(data, size, layout, image.Row(0), image.Stride());
        if (status != Ok)
            return status;
    } else if (!GuardedReadRows(structs.Png(), passes, image.Row(0), image.Stride(), file.height) ||
               errors.warned) {
        return GenericError;
    }

    if (plan.twoBitIndices)
        WidenTwoBitRows(image);
    if (IsIndexedPixelFormat(plan.format)) {
        status = SetPalette(file, image);
        if (status != Ok)
            return status;
    }
    out = std::move(image);
    return Ok;
}

}  // namespace

Status DecodePng(const BYTE* data, size_t size, ImageBuffer& out) {
    return Decode(data, size, out, RowReader::Fastest);
}

Status DecodePngByLibpng(const BYTE* data, size_t size, ImageBuffer& out) {
    return Decode(data, size, out, RowReader::Libpng);
}
