#include "tests/platform/gdiplus/TiffTestFiles.h"

#include <cstring>
#include <memory>

namespace jpegtiff_test {
namespace {

using Tiff = std::unique_ptr<TIFF, decltype(&TIFFClose)>;

// Samples [first, first + count) of pixels x0 .. x0 + pixels - 1 of row y,
// packed MSB first; 16-bit samples in host order, as libtiff takes them.
void Pack(const TiffRecipe& r, UINT x0, UINT pixels, UINT y, UINT first, UINT count, BYTE* out) {
    size_t bit = 0;
    for (UINT x = x0; x < x0 + pixels; ++x) {
        for (UINT s = first; s < first + count; ++s, bit += r.bits) {
            const UINT v = x < r.width && y < r.height ? r.sample(x, y, s) : 0;
            if (r.bits == 16) {
                const uint16_t word = static_cast<uint16_t>(v);
                std::memcpy(out + bit / 8, &word, 2);
            } else {
                out[bit / 8] |= static_cast<BYTE>(v << (8 - r.bits - bit % 8));
            }
        }
    }
}

bool WriteFields(TIFF* t, const TiffRecipe& r) {
    bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, r.width) &&
              TIFFSetField(t, TIFFTAG_IMAGELENGTH, r.height) &&
              TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, r.bits) &&
              TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, r.samples) &&
              TIFFSetField(t, TIFFTAG_PHOTOMETRIC, r.photometric) &&
              TIFFSetField(t, TIFFTAG_PLANARCONFIG, r.planar) &&
              TIFFSetField(t, TIFFTAG_COMPRESSION, r.compression) &&
              TIFFSetField(t, TIFFTAG_FILLORDER, r.fillOrder) &&
              TIFFSetField(t, TIFFTAG_ORIENTATION, r.orientation);
    if (ok && r.predictor != PREDICTOR_NONE)
        ok = TIFFSetField(t, TIFFTAG_PREDICTOR, r.predictor);
    if (ok && !r.extraSamples.empty()) {
        ok = TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(r.extraSamples.size()),
                          r.extraSamples.data());
    }
    if (ok && r.photometric == PHOTOMETRIC_SEPARATED)
        ok = TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
    if (ok && !r.colormap.empty()) {
        const uint16_t* map = r.colormap.data();
        const size_t n = r.colormap.size() / 3;
        ok = TIFFSetField(t, TIFFTAG_COLORMAP, map, map + n, map + 2 * n);
    }
    // libjpeg takes RGB rows and stores them as YCbCr itself.
    if (ok && r.compression == COMPRESSION_JPEG && r.photometric == PHOTOMETRIC_YCBCR) {
        ok = TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    if (ok && r.tileSize != 0) {
        return TIFFSetField(t, TIFFTAG_TILEWIDTH, r.tileSize) &&
               TIFFSetField(t, TIFFTAG_TILELENGTH, r.tileSize);
    }
    return ok && TIFFSetField(t, TIFFTAG_ROWSPERSTRIP,
                              r.rowsPerStrip ? r.rowsPerStrip : TIFFDefaultStripSize(t, 0));
}

// Plane by plane; in strips a row at a time, in tiles a tile at a time.
bool WritePixels(TIFF* t, const TiffRecipe& r) {
    const bool separate = r.planar == PLANARCONFIG_SEPARATE;
    const UINT perPlane = separate ? 1 : r.samples, across = r.tileSize ? r.tileSize : r.width;
    const size_t rowBytes = (size_t{across} * perPlane * r.bits + 7) / 8;
    Bytes block(rowBytes * (r.tileSize ? r.tileSize : 1));
    for (UINT plane = 0; plane < (separate ? r.samples : 1u); ++plane) {
        for (UINT top = 0; top < r.height; top += r.tileSize ? r.tileSize : 1) {
            for (UINT left = 0; left < r.width; left += across) {
                std::fill(block.begin(), block.end(), 0);
                for (size_t row = 0; row < block.size() / rowBytes; ++row) {
                    Pack(r, left, across, top + UINT(row), plane * perPlane, perPlane,
                         &block[row * rowBytes]);
                }
                const bool written =
                    r.tileSize ? TIFFWriteTile(t, block.data(), left, top, 0, uint16_t(plane)) >= 0
                               : TIFFWriteScanline(t, block.data(), top, uint16_t(plane)) >= 0;
                if (!written)
                    return false;
            }
        }
    }
    return true;
}

}  // namespace

Bytes WriteTiff(const TiffRecipe& recipe) {
    const ScratchFile file;
    {
        Tiff tiff(TIFFOpen(file.Path().c_str(), "w"), &TIFFClose);
        if (!tiff || !WriteFields(tiff.get(), recipe) || !WritePixels(tiff.get(), recipe))
            return {};
        TiffRecipe page{.width = 8, .height = 8, .sample = [](UINT x, UINT y, UINT s) {
                            return x * 30 + y + s;
                        }};
        if (recipe.secondPage &&
            !(TIFFWriteDirectory(tiff.get()) && WriteFields(tiff.get(), page) &&
              WritePixels(tiff.get(), page))) {
            return {};
        }
    }
    return file.Read();
}

TiffFields ReadTiffFields(const Bytes& bytes) {
    const ScratchFile file(bytes);
    TiffFields f;
    Tiff tiff(TIFFOpen(file.Path().c_str(), "r"), &TIFFClose);
    uint16_t count = 0, *extras = nullptr;
    if (tiff && TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &f.photometric) &&
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_EXTRASAMPLES, &count, &extras)) {
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_COMPRESSION, &f.compression);
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &f.bits);
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &f.samples);
        TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PREDICTOR, &f.predictor);
        f.extraSamples.assign(extras, extras + count);
    }
    return f;
}

}  // namespace jpegtiff_test
