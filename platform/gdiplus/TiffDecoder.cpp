#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/gdiplus/PixelConversion.h"
#include "platform/gdiplus/TiffCodec.h"
#include "platform/gdiplus/TiffMemoryIo.h"
#include "platform/gdiplus/TiffPixelStore.h"

namespace {

// The first directory's fields that decide how the pixels are read.
struct TiffLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t samplesPerPixel = 1;
    uint16_t bitsPerSample = 1;
    uint16_t photometric = 0;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    bool tiled = false;
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    // The first extra sample that is alpha, or -1.
    int alphaSample = -1;
    bool associatedAlpha = false;

    UINT Planes() const { return planar == PLANARCONFIG_SEPARATE ? samplesPerPixel : 1; }
    UINT SamplesPerPlane() const { return planar == PLANARCONFIG_SEPARATE ? 1 : samplesPerPixel; }
};

// How the pixels reach the picture, and the colour table of indexed targets.
struct DecodePlan {
    TiffPixelStore store;
    std::vector<ARGB> palette;
    UINT paletteFlags = 0;
    // Decoded at 16 bits a channel, then reduced to 32bppARGB.
    bool reduceToArgb32 = false;
};

// Extra samples follow the photometric's own channels.
void FindAlpha(TIFF* tiff, UINT colourChannels, TiffLayout* layout) {
    uint16_t count = 0;
    uint16_t* kinds = nullptr;
    if (!TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) || kinds == nullptr) {
        return;
    }
    for (uint16_t i = 0; i < count && colourChannels + i < layout->samplesPerPixel; ++i) {
        if (kinds[i] == EXTRASAMPLE_ASSOCALPHA || kinds[i] == EXTRASAMPLE_UNASSALPHA) {
            layout->alphaSample = static_cast<int>(colourChannels + i);
            layout->associatedAlpha = kinds[i] == EXTRASAMPLE_ASSOCALPHA;
            return;
        }
    }
}

Status ReadLayout(TIFF* tiff, TiffLayout* layout) {
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &layout->width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &layout->height) ||
        !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout->photometric)) {
        return InvalidParameter;
    }
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout->samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout->bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &layout->planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &layout->compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    if (layout->width == 0 || layout->height == 0 || layout->samplesPerPixel == 0 ||
        layout->bitsPerSample == 0) {
        return InvalidParameter;
    }
    // Floating-point and signed samples have no place in the library's formats.
    if (sampleFormat != SAMPLEFORMAT_UINT && sampleFormat != SAMPLEFORMAT_VOID) {
        return NotImplemented;
    }
    if (!TIFFIsCODECConfigured(layout->compression))
        return NotImplemented;
    layout->tiled = TIFFIsTiled(tiff) != 0;
    if (layout->tiled && (!TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &layout->tileWidth) ||
                          !TIFFGetField(tiff, TIFFTAG_TILELENGTH, &layout->tileHeight) ||
                          layout->tileWidth == 0 || layout->tileHeight == 0)) {
        return InvalidParameter;
    }
    return Ok;
}

PixelFormat IndexedFormat(UINT bits) {
    switch (bits) {
        case 1:
            return PixelFormat1bppIndexed;
        case 2:
        case 4:
            return PixelFormat4bppIndexed;
        default:
            return PixelFormat8bppIndexed;
    }
}

bool IsIndexDepth(UINT bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

void GreyRamp(UINT bits, bool minIsWhite, std::vector<ARGB>& palette) {
    const UINT count = 1u << bits;
    palette.resize(count);
    for (UINT i = 0; i < count; ++i) {
        UINT v = i * 255 / (count - 1);
        if (minIsWhite)
            v = 255 - v;
        palette[i] = 0xFF000000u | (v << 16) | (v << 8) | v;
    }
}

Status PlanGrey(const TiffLayout& layout, DecodePlan* plan) {
    TiffPixelStore* store = &plan->store;
    const UINT bits = layout.bitsPerSample;
    const bool minIsWhite = layout.photometric == PHOTOMETRIC_MINISWHITE;
    if (bits == 16 || (bits == 8 && layout.alphaSample >= 0)) {
        // As PNG's 16-bit grey and grey with alpha: 32bppARGB, 8 bits a channel.
        store->format = PixelFormat32bppARGB;
        store->lanes = 4;
        store->sampleForLane[kLaneBlue] = store->sampleForLane[kLaneGreen] =
            store->sampleForLane[kLaneRed] = 0;
        store->sampleForLane[kLaneAlpha] = layout.alphaSample;
        store->fillAlpha = layout.alphaSample < 0;
        store->unpremultiply = layout.associatedAlpha;
        store->invertGrey = minIsWhite;
        if (bits == 16 && layout.associatedAlpha) {
            // Dividing by the alpha's high byte alone would lose faint
            // pixels entirely; divide at full precision, then reduce.
            store->format = PixelFormat64bppARGB;
            store->bytesPerLane = 2;
            plan->reduceToArgb32 = true;
        }
        return Ok;
    }
    if (!IsIndexDepth(bits))
        return NotImplemented;
    store->format = IndexedFormat(bits);
    if (layout.samplesPerPixel == 1) {
        store->packed = true;
    } else if (bits == 8) {
        // Extra samples that are not alpha are left out.
        store->lanes = 1;
        store->sampleForLane[0] = 0;
    } else {
        return NotImplemented;
    }
    GreyRamp(bits, minIsWhite, plan->palette);
    plan->paletteFlags = PaletteFlagsGrayScale;
    return Ok;
}

Status PlanPalette(TIFF* tiff, const TiffLayout& layout, DecodePlan* plan) {
    const UINT bits = layout.bitsPerSample;
    if (layout.samplesPerPixel != 1 || !IsIndexDepth(bits))
        return NotImplemented;
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) || red == nullptr ||
        green == nullptr || blue == nullptr) {
        return InvalidParameter;
    }
    const UINT count = 1u << bits;
    // Some old writers stored 8-bit values in the 16-bit map. A real 16-bit
    // map with every entry below 256 would be all but black, so libtiff's
    // own tools take such a map as 8-bit, and so do we.
    bool eightBit = true;
    for (UINT i = 0; i < count; ++i) {
        if (red[i] > 255 || green[i] > 255 || blue[i] > 255)
            eightBit = false;
    }
    const UINT shift = eightBit ? 0 : 8;
    std::vector<ARGB>& palette = plan->palette;
    palette.resize(count);
    for (UINT i = 0; i < count; ++i) {
        palette[i] = 0xFF000000u | ((red[i] >> shift) << 16) | ((green[i] >> shift) << 8) |
                     (blue[i] >> shift);
    }
    plan->store.format = IndexedFormat(bits);
    plan->store.packed = true;
    return Ok;
}

Status PlanRgb(const TiffLayout& layout, TiffPixelStore* store) {
    const UINT bits = layout.bitsPerSample;
    if (layout.samplesPerPixel < 3 || (bits != 8 && bits != 16))
        return NotImplemented;
    const bool alpha = layout.alphaSample >= 0;
    if (bits == 8) {
        store->format = alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
    } else {
        store->format = alpha ? PixelFormat64bppARGB : PixelFormat48bppRGB;
        store->bytesPerLane = 2;
    }
    store->lanes = alpha ? 4 : 3;
    store->sampleForLane[kLaneRed] = 0;
    store->sampleForLane[kLaneGreen] = 1;
    store->sampleForLane[kLaneBlue] = 2;
    store->sampleForLane[kLaneAlpha] = layout.alphaSample;
    store->unpremultiply = layout.associatedAlpha;
    return Ok;
}

std::unique_ptr<BYTE[]> AllocateWork(uint64_t bytes) {
    // Uninitialised: libtiff overwrites what it returns, and a large buffer
    // that a damaged file never fills is never touched.
    return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[bytes]);
}

Status ReadStrips(TIFF* tiff, const TiffLayout& layout, const TiffPixelStore& store,
                  const TiffDiagnostics& diagnostics, ImageBuffer& picture) {
    const UINT samplesInRun = layout.SamplesPerPlane();
    const uint64_t lineBytes = TiffRowBytes(layout.width, samplesInRun, layout.bitsPerSample);
    // libtiff sizes subsampled YCbCr lines differently; those we do not read.
    if (TIFFScanlineSize64(tiff) != lineBytes)
        return NotImplemented;
    if (lineBytes > static_cast<uint64_t>(kMaxTiffLibraryAllocation))
        return RefuseSize("256 MiB for a TIFF row");
    std::unique_ptr<BYTE[]> line = AllocateWork(lineBytes);
    if (line == nullptr)
        return OutOfMemory;
    // Plane by plane: TIFFReadScanline decodes each strip from its start, so
    // hopping between the planes' strips row by row would decode them over
    // and over.
    for (UINT plane = 0; plane < layout.Planes(); ++plane) {
        const UINT firstSample = plane * samplesInRun;
        if (!store.NeedsSamples(firstSample, samplesInRun))
            continue;
        for (uint32_t y = 0; y < layout.height; ++y) {
            if (TIFFReadScanline(tiff, line.get(), y, static_cast<uint16_t>(plane)) < 0 ||
                diagnostics.Failed()) {
                return InvalidParameter;
            }
            store.StoreRun(picture.Row(y), 0, layout.width, line.get(), firstSample, samplesInRun);
        }
    }
    return Ok;
}

Status ReadTiles(TIFF* tiff, const TiffLayout& layout, const TiffPixelStore& store,
                 const TiffDiagnostics& diagnostics, ImageBuffer& picture) {
    const UINT samplesInRun = layout.SamplesPerPlane();
    const uint64_t tileRowBytes =
        TiffRowBytes(layout.tileWidth, samplesInRun, layout.bitsPerSample);
    if (store.packed && (uint64_t{layout.tileWidth} * layout.bitsPerSample) % 8 != 0) {
        return NotImplemented;
    }
    if (tileRowBytes > static_cast<uint64_t>(kMaxTiffLibraryAllocation))
        return RefuseSize("256 MiB for a TIFF tile", layout.tileWidth, layout.tileHeight);
    const uint64_t tileBytes = tileRowBytes * layout.tileHeight;
    if (tileBytes > static_cast<uint64_t>(kMaxTiffLibraryAllocation))
        return RefuseSize("256 MiB for a TIFF tile", layout.tileWidth, layout.tileHeight);
    if (TIFFTileSize64(tiff) != tileBytes)
        return NotImplemented;
    std::unique_ptr<BYTE[]> tile = AllocateWork(tileBytes);
    if (tile == nullptr)
        return OutOfMemory;
    for (UINT plane = 0; plane < layout.Planes(); ++plane) {
        const UINT firstSample = plane * samplesInRun;
        if (!store.NeedsSamples(firstSample, samplesInRun))
            continue;
        // 64-bit positions: a tile may reach past 2^32 when the picture nearly does.
        for (uint64_t top = 0; top < layout.height; top += layout.tileHeight) {
            const auto rows =
                static_cast<uint32_t>(std::min<uint64_t>(layout.tileHeight, layout.height - top));
            for (uint64_t left = 0; left < layout.width; left += layout.tileWidth) {
                const auto columns = static_cast<uint32_t>(
                    std::min<uint64_t>(layout.tileWidth, layout.width - left));
                const uint32_t index =
                    TIFFComputeTile(tiff, static_cast<uint32_t>(left), static_cast<uint32_t>(top),
                                    0, static_cast<uint16_t>(plane));
                if (TIFFReadEncodedTile(tiff, index, tile.get(),
                                        static_cast<tmsize_t>(tileBytes)) !=
                        static_cast<tmsize_t>(tileBytes) ||
                    diagnostics.Failed()) {
                    return InvalidParameter;
                }
                for (uint32_t r = 0; r < rows; ++r) {
                    store.StoreRun(picture.Row(static_cast<UINT>(top + r)), static_cast<UINT>(left),
                                   columns, tile.get() + r * tileRowBytes, firstSample,
                                   samplesInRun);
                }
            }
        }
    }
    return Ok;
}

struct RgbaImageGuard {
    TIFFRGBAImage* image;
    ~RgbaImageGuard() { TIFFRGBAImageEnd(image); }
};

// Colour spaces we do not map ourselves, through libtiff's RGBA reader. It
// hands back R, G, B, A bytes with alpha premultiplied.
Status ReadThroughRgba(TIFF* tiff, const TiffDiagnostics& diagnostics, ImageBuffer& out) {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tiff, message))
        return NotImplemented;
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tiff, 1, message)) {
        return diagnostics.Failed() ? InvalidParameter : NotImplemented;
    }
    RgbaImageGuard guard{&image};
    // Keep the storage order, as for every other layout.
    image.req_orientation = image.orientation;
    const bool alpha = image.alpha != 0;
    ImageBuffer picture;
    if (Status status = picture.Allocate(alpha ? PixelFormat32bppARGB : PixelFormat32bppRGB,
                                         image.width, image.height);
        status != Ok) {
        return status;
    }
    // A 32bpp picture's rows are exactly width * 4 bytes: the raster's layout.
    auto* raster = reinterpret_cast<uint32_t*>(picture.Pixels());
    if (!TIFFRGBAImageGet(&image, raster, image.width, image.height) || diagnostics.Failed()) {
        return InvalidParameter;
    }
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    BYTE* p = picture.Pixels();
    for (size_t i = 0; i < pixels; ++i, p += 4) {
        const uint32_t v = raster[i];
        const UINT r = TIFFGetR(v), g = TIFFGetG(v), b = TIFFGetB(v), a = TIFFGetA(v);
        auto straight = [a, alpha](UINT c) {
            if (!alpha)
                return c;
            if (a == 0)
                return 0u;
            const UINT s = (c * 255 + a / 2) / a;
            return s > 255 ? 255u : s;
        };
        p[0] = static_cast<BYTE>(straight(b));
        p[1] = static_cast<BYTE>(straight(g));
        p[2] = static_cast<BYTE>(straight(r));
        p[3] = static_cast<BYTE>(alpha ? a : 255);
    }
    out = std::move(picture);
    return Ok;
}

Status DecodeOpened(TIFF* tiff, const TiffDiagnostics& diagnostics, ImageBuffer& out) {
    TiffLayout layout;
    if (Status status = ReadLayout(tiff, &layout); status != Ok)
        return status;

    DecodePlan plan;
    plan.store.bitsPerSample = layout.bitsPerSample;
    Status planned = Ok;
    try {
        switch (layout.photometric) {
            case PHOTOMETRIC_MINISWHITE:
            case PHOTOMETRIC_MINISBLACK:
                FindAlpha(tiff, 1, &layout);
                planned = PlanGrey(layout, &plan);
                break;
            case PHOTOMETRIC_PALETTE:
                planned = PlanPalette(tiff, layout, &plan);
                break;
            case PHOTOMETRIC_YCBCR:
                if (layout.compression != COMPRESSION_JPEG) {
                    return ReadThroughRgba(tiff, diagnostics, out);
                }
                // libjpeg turns JPEG-compressed YCbCr into RGB itself.
                if (!TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB)) {
                    return InvalidParameter;
                }
                [[fallthrough]];
            case PHOTOMETRIC_RGB:
                FindAlpha(tiff, 3, &layout);
                planned = PlanRgb(layout, &plan.store);
                break;
            default:
                return ReadThroughRgba(tiff, diagnostics, out);
        }
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    if (planned != Ok)
        return planned;

    ImageBuffer picture;
    const TiffPixelStore& store = plan.store;
    if (Status status = picture.Allocate(store.format, layout.width, layout.height); status != Ok) {
        return status;
    }
    picture.Palette() = std::move(plan.palette);
    picture.SetPaletteFlags(plan.paletteFlags);

    const Status read = layout.tiled ? ReadTiles(tiff, layout, store, diagnostics, picture)
                                     : ReadStrips(tiff, layout, store, diagnostics, picture);
    if (read != Ok)
        return read;
    store.Finish(picture);
    if (plan.reduceToArgb32) {
        ImageBuffer reduced;
        if (Status status = reduced.Allocate(PixelFormat32bppARGB, layout.width, layout.height);
            status != Ok) {
            return status;
        }
        if (Status status = ConvertImage(picture.View(), PixelFormat32bppARGB, reduced.Pixels(),
                                         reduced.Stride());
            status != Ok) {
            return status;
        }
        picture = std::move(reduced);
    }
    out = std::move(picture);
    return Ok;
}

}  // namespace

bool SniffTiff(const BYTE* data, size_t size) {
    if (size < 4)
        return false;
    // Classic TIFF has 42 after the byte-order mark, BigTIFF 43.
    const bool little =
        data[0] == 'I' && data[1] == 'I' && data[3] == 0 && (data[2] == 42 || data[2] == 43);
    const bool big =
        data[0] == 'M' && data[1] == 'M' && data[2] == 0 && (data[3] == 42 || data[3] == 43);
    return little || big;
}

Status DecodeTiff(const BYTE* data, size_t size, ImageBuffer& out) {
    if (data == nullptr || !SniffTiff(data, size))
        return UnknownImageFormat;
    TiffDiagnostics diagnostics;
    TiffSource source{data, size, 0};
    TiffHandle tiff = OpenTiffReader(&source, &diagnostics);
    if (tiff == nullptr || diagnostics.Failed())
        return InvalidParameter;
    ImageBuffer picture;
    const Status status = DecodeOpened(tiff.get(), diagnostics, picture);
    if (status != Ok)
        return status;
    // Warnings raised after the last check, e.g. while libtiff finished a strip.
    if (diagnostics.Failed())
        return InvalidParameter;
    out = std::move(picture);
    return Ok;
}
