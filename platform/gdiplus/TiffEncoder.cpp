#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "platform/gdiplus/PixelConversion.h"
#include "platform/gdiplus/TiffCodec.h"
#include "platform/gdiplus/TiffMemoryIo.h"
#include "platform/gdiplus/TiffPixelStore.h"

namespace {

// GDI+'s resolution for bitmaps that were never given one.
constexpr float kDotsPerInch = 96.0f;

using RowFiller = void (*)(const ImageView& image, UINT y, BYTE* out, ARGB* scratch);

struct EncodePlan {
    uint16_t photometric = PHOTOMETRIC_RGB;
    uint16_t samples = 3;
    uint16_t bits = 8;
    // EXTRASAMPLE_ASSOCALPHA or EXTRASAMPLE_UNASSALPHA for a fourth sample.
    uint16_t alpha = EXTRASAMPLE_UNSPECIFIED;
    RowFiller fill = nullptr;
};

// Indices and 16-bit grey are stored as TIFF stores them (host order is
// little-endian, as the file).
void CopyRow(const ImageView& image, UINT y, BYTE* out, ARGB*) {
    std::memcpy(out, image.Row(y), TiffRowBytes(image.width, 1, GetPixelFormatSize(image.format)));
}

// B, G, R(, X or A) pixels of `lanes` channels of `width` bytes each, written
// R, G, B(, A) with `keep` channels kept.
template <UINT lanes, UINT width, UINT keep>
void SwapToRgb(const ImageView& image, UINT y, BYTE* out, ARGB*) {
    const BYTE* in = image.Row(y);
    for (UINT x = 0; x < image.width; ++x, in += lanes * width, out += keep * width) {
        std::memcpy(out, in + 2 * width, width);
        std::memcpy(out + width, in + width, width);
        std::memcpy(out + 2 * width, in, width);
        if (keep == 4)
            std::memcpy(out + 3 * width, in + 3 * width, width);
    }
}

template <bool withAlpha>
void ConvertedRow(const ImageView& image, UINT y, BYTE* out, ARGB* scratch) {
    ReadRowArgb(image, y, scratch);
    for (UINT x = 0; x < image.width; ++x) {
        const ARGB c = scratch[x];
        *out++ = static_cast<BYTE>(c >> 16);
        *out++ = static_cast<BYTE>(c >> 8);
        *out++ = static_cast<BYTE>(c);
        if (withAlpha)
            *out++ = static_cast<BYTE>(c >> 24);
    }
}

bool PlanEncode(PixelFormat format, EncodePlan* plan) {
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
            *plan = {PHOTOMETRIC_PALETTE, 1, static_cast<uint16_t>(GetPixelFormatSize(format)),
                     EXTRASAMPLE_UNSPECIFIED, CopyRow};
            return true;
        case PixelFormat16bppGrayScale:
            *plan = {PHOTOMETRIC_MINISBLACK, 1, 16, EXTRASAMPLE_UNSPECIFIED, CopyRow};
            return true;
        case PixelFormat24bppRGB:
            *plan = {PHOTOMETRIC_RGB, 3, 8, EXTRASAMPLE_UNSPECIFIED, SwapToRgb<3, 1, 3>};
            return true;
        case PixelFormat32bppRGB:
            *plan = {PHOTOMETRIC_RGB, 3, 8, EXTRASAMPLE_UNSPECIFIED, SwapToRgb<4, 1, 3>};
            return true;
        case PixelFormat32bppARGB:
            *plan = {PHOTOMETRIC_RGB, 4, 8, EXTRASAMPLE_UNASSALPHA, SwapToRgb<4, 1, 4>};
            return true;
        // TIFF holds premultiplied samples as they are.
        case PixelFormat32bppPARGB:
            *plan = {PHOTOMETRIC_RGB, 4, 8, EXTRASAMPLE_ASSOCALPHA, SwapToRgb<4, 1, 4>};
            return true;
        case PixelFormat48bppRGB:
            *plan = {PHOTOMETRIC_RGB, 3, 16, EXTRASAMPLE_UNSPECIFIED, SwapToRgb<3, 2, 3>};
            return true;
        case PixelFormat64bppARGB:
            *plan = {PHOTOMETRIC_RGB, 4, 16, EXTRASAMPLE_UNASSALPHA, SwapToRgb<4, 2, 4>};
            return true;
        case PixelFormat64bppPARGB:
            *plan = {PHOTOMETRIC_RGB, 4, 16, EXTRASAMPLE_ASSOCALPHA, SwapToRgb<4, 2, 4>};
            return true;
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
            *plan = {PHOTOMETRIC_RGB, 3, 8, EXTRASAMPLE_UNSPECIFIED, ConvertedRow<false>};
            return true;
        case PixelFormat16bppARGB1555:
            *plan = {PHOTOMETRIC_RGB, 4, 8, EXTRASAMPLE_UNASSALPHA, ConvertedRow<true>};
            return true;
        default:
            return false;
    }
}

// A palette picture's map has an entry for every index its depth can hold;
// entries the colour table lacks read as black, as they do in ReadRowArgb.
bool WriteColorMap(TIFF* tiff, const ImageView& image, UINT bits) {
    const UINT count = 1u << bits;
    std::vector<uint16_t> red(count), green(count), blue(count);
    for (UINT i = 0; i < count && i < image.paletteCount; ++i) {
        const ARGB c = image.palette[i];
        red[i] = static_cast<uint16_t>(((c >> 16) & 0xFF) * 257);
        green[i] = static_cast<uint16_t>(((c >> 8) & 0xFF) * 257);
        blue[i] = static_cast<uint16_t>((c & 0xFF) * 257);
    }
    return TIFFSetField(tiff, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data()) != 0;
}

bool WriteFields(TIFF* tiff, const ImageView& image, const EncodePlan& plan) {
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, image.width) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, image.height) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, plan.samples) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, plan.bits) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, plan.photometric) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
              TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(tiff, TIFFTAG_XRESOLUTION, kDotsPerInch) &&
              TIFFSetField(tiff, TIFFTAG_YRESOLUTION, kDotsPerInch) &&
              TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    if (ok && plan.samples == 4) {
        const uint16_t alpha[] = {plan.alpha};
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, alpha);
    }
    if (ok && plan.photometric == PHOTOMETRIC_PALETTE) {
        ok = WriteColorMap(tiff, image, plan.bits);
    } else if (ok) {
        // Differences between neighbours compress far better than levels.
        ok = TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    }
    return ok;
}

}  // namespace

Status EncodeTiff(const ImageView& image, std::vector<BYTE>& out) {
    if (image.scan0 == nullptr || image.width == 0 || image.height == 0)
        return InvalidParameter;
    EncodePlan plan;
    if (!PlanEncode(image.format, &plan))
        return InvalidParameter;

    std::vector<BYTE> row;
    std::vector<ARGB> scratch;
    std::vector<BYTE> bytes;
    TiffSink sink{&bytes, 0, false};
    TiffDiagnostics diagnostics;
    try {
        row.resize(TiffRowBytes(image.width, plan.samples, plan.bits));
        scratch.resize(image.width);
        {
            TiffHandle tiff = OpenTiffWriter(&sink, &diagnostics);
            if (tiff == nullptr || !WriteFields(tiff.get(), image, plan))
                return GenericError;
            for (UINT y = 0; y < image.height; ++y) {
                plan.fill(image, y, row.data(), scratch.data());
                if (TIFFWriteScanline(tiff.get(), row.data(), y, 0) < 0) {
                    return sink.outOfMemory ? OutOfMemory : GenericError;
                }
            }
            if (!TIFFWriteDirectory(tiff.get())) {
                return sink.outOfMemory ? OutOfMemory : GenericError;
            }
        }
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    if (diagnostics.Failed())
        return sink.outOfMemory ? OutOfMemory : GenericError;
    out = std::move(bytes);
    return Ok;
}
