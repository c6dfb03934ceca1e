#include "tests/platform/gdiplus/TiffTestFiles.h"

#include <cstring>
#include <memory>

namespace jpegtiff_test {
namespace {

struct Closer {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// Packs samples [firstSample, firstSample + count) of pixels x0 .. x0 + pixels
// of row y, MSB first (16-bit samples in host order, as libtiff takes them).
void PackRun(const TiffRecipe& recipe, UINT x0, UINT pixels, UINT y, UINT firstSample, UINT count,
             BYTE* out) {
    size_t bit = 0;
    for (UINT x = x0; x < x0 + pixels; ++x) {
        for (UINT s = firstSample; s < firstSample + count; ++s) {
            const UINT inside = x < recipe.width && y < recipe.height;
            const UINT v = inside ? recipe.sample(x, y, s) : 0;
            if (recipe.bits == 16) {
                const uint16_t word = static_cast<uint16_t>(v);
                std::memcpy(out + bit / 8, &word, 2);
            } else if (recipe.bits == 8) {
                out[bit / 8] = static_cast<BYTE>(v);
            } else {
                out[bit / 8] |= static_cast<BYTE>(v << (8 - recipe.bits - bit % 8));
            }
            bit += recipe.bits;
        }
    }
}

bool WriteFields(TIFF* tiff, const TiffRecipe& recipe) {
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, recipe.width) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, recipe.height) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, recipe.bits) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, recipe.samples) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, recipe.photometric) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, recipe.planar) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, recipe.compression) &&
              TIFFSetField(tiff, TIFFTAG_FILLORDER, recipe.fillOrder);
    if (ok && recipe.predictor != PREDICTOR_NONE) {
        ok = TIFFSetField(tiff, TIFFTAG_PREDICTOR, recipe.predictor);
    }
    if (ok && !recipe.extraSamples.empty()) {
        ok = TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES,
                          static_cast<uint16_t>(recipe.extraSamples.size()),
                          recipe.extraSamples.data());
    }
    if (ok && recipe.orientation != 0)
        ok = TIFFSetField(tiff, TIFFTAG_ORIENTATION, recipe.orientation);
    if (ok && recipe.inkSet != 0)
        ok = TIFFSetField(tiff, TIFFTAG_INKSET, recipe.inkSet);
    if (ok && !recipe.colormap.empty()) {
        const size_t n = recipe.colormap.size() / 3;
        ok = TIFFSetField(tiff, TIFFTAG_COLORMAP, recipe.colormap.data(),
                          recipe.colormap.data() + n, recipe.colormap.data() + 2 * n);
    }
    if (ok && recipe.compression == COMPRESSION_JPEG) {
        ok = TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 90);
        // libjpeg takes RGB rows and stores them as YCbCr itself.
        if (ok && recipe.photometric == PHOTOMETRIC_YCBCR) {
            ok = TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
    }
    if (ok && recipe.tileWidth != 0) {
        ok = TIFFSetField(tiff, TIFFTAG_TILEWIDTH, recipe.tileWidth) &&
             TIFFSetField(tiff, TIFFTAG_TILELENGTH, recipe.tileHeight);
    } else if (ok) {
        const UINT rows =
            recipe.rowsPerStrip != 0 ? recipe.rowsPerStrip : TIFFDefaultStripSize(tiff, 0);
        ok = TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows);
    }
    return ok;
}

bool WriteStrips(TIFF* tiff, const TiffRecipe& recipe) {
    const bool separate = recipe.planar == PLANARCONFIG_SEPARATE;
    const UINT planes = separate ? recipe.samples : 1;
    const UINT perPlane = separate ? 1 : recipe.samples;
    std::vector<BYTE> line(static_cast<size_t>(TIFFScanlineSize64(tiff)) + 8);
    for (UINT plane = 0; plane < planes; ++plane) {
        for (UINT y = 0; y < recipe.height; ++y) {
            std::fill(line.begin(), line.end(), 0);
            PackRun(recipe, 0, recipe.width, y, plane * perPlane, perPlane, line.data());
            if (TIFFWriteScanline(tiff, line.data(), y, static_cast<uint16_t>(plane)) < 0)
                return false;
        }
    }
    return true;
}

bool WriteTiles(TIFF* tiff, const TiffRecipe& recipe) {
    const bool separate = recipe.planar == PLANARCONFIG_SEPARATE;
    const UINT planes = separate ? recipe.samples : 1;
    const UINT perPlane = separate ? 1 : recipe.samples;
    const size_t rowBytes = (size_t{recipe.tileWidth} * perPlane * recipe.bits + 7) / 8;
    std::vector<BYTE> tile(rowBytes * recipe.tileHeight);
    for (UINT plane = 0; plane < planes; ++plane) {
        for (UINT top = 0; top < recipe.height; top += recipe.tileHeight) {
            for (UINT left = 0; left < recipe.width; left += recipe.tileWidth) {
                std::fill(tile.begin(), tile.end(), 0);
                for (UINT r = 0; r < recipe.tileHeight; ++r) {
                    PackRun(recipe, left, recipe.tileWidth, top + r, plane * perPlane, perPlane,
                            tile.data() + r * rowBytes);
                }
                if (TIFFWriteTile(tiff, tile.data(), left, top, 0, static_cast<uint16_t>(plane)) <
                    0) {
                    return false;
                }
            }
        }
    }
    return true;
}

// Subsampled YCbCr as TIFF stores it: for every 2 x 2 block, four Y samples
// row by row, then Cb and Cr. The whole picture is one strip.
bool WriteSubsampledYCbCr(TIFF* tiff, const TiffRecipe& recipe) {
    std::vector<BYTE> strip;
    for (UINT y = 0; y < recipe.height; y += 2) {
        for (UINT x = 0; x < recipe.width; x += 2) {
            for (UINT dy = 0; dy < 2; ++dy) {
                for (UINT dx = 0; dx < 2; ++dx)
                    strip.push_back(static_cast<BYTE>(recipe.sample(x + dx, y + dy, 0)));
            }
            strip.push_back(static_cast<BYTE>(recipe.sample(x, y, 1)));
            strip.push_back(static_cast<BYTE>(recipe.sample(x, y, 2)));
        }
    }
    return TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, 2, 2) &&
           TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, recipe.height) &&
           TIFFWriteEncodedStrip(tiff, 0, strip.data(), static_cast<tmsize_t>(strip.size())) >= 0;
}

bool WriteSecondPage(TIFF* tiff) {
    TiffRecipe page;
    page.width = page.height = 8;
    page.sample = [](UINT x, UINT y, UINT s) { return (x * 30 + y * 7 + s * 50) & 0xFF; };
    return TIFFWriteDirectory(tiff) && WriteFields(tiff, page) && WriteStrips(tiff, page);
}

}  // namespace

Bytes WriteTiff(const TiffRecipe& recipe) {
    ScratchFolder folder;
    const std::string path = folder.Path("recipe.tif");
    {
        std::unique_ptr<TIFF, Closer> tiff(TIFFOpen(path.c_str(), "w"));
        if (tiff == nullptr || !WriteFields(tiff.get(), recipe))
            return {};
        const bool rawYCbCr =
            recipe.photometric == PHOTOMETRIC_YCBCR && recipe.compression != COMPRESSION_JPEG;
        const bool written = rawYCbCr                ? WriteSubsampledYCbCr(tiff.get(), recipe)
                             : recipe.tileWidth != 0 ? WriteTiles(tiff.get(), recipe)
                                                     : WriteStrips(tiff.get(), recipe);
        if (!written || (recipe.secondPage && !WriteSecondPage(tiff.get())))
            return {};
    }
    return ReadFileBytes(path);
}

TiffFields ReadTiffFields(const Bytes& file) {
    ScratchFolder folder;
    const std::string path = folder.Path("fields.tif");
    TiffFields fields;
    if (!WriteFileBytes(path, file))
        return fields;
    std::unique_ptr<TIFF, Closer> tiff(TIFFOpen(path.c_str(), "r"));
    if (tiff == nullptr)
        return fields;
    TIFF* t = tiff.get();
    uint16_t count = 0;
    uint16_t* extras = nullptr;
    fields.read = TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &fields.compression) &&
                  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &fields.photometric) &&
                  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &fields.bits) &&
                  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &fields.samples) &&
                  TIFFGetFieldDefaulted(t, TIFFTAG_PREDICTOR, &fields.predictor) &&
                  TIFFGetFieldDefaulted(t, TIFFTAG_EXTRASAMPLES, &count, &extras);
    if (extras != nullptr)
        fields.extraSamples.assign(extras, extras + count);
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (fields.photometric == PHOTOMETRIC_PALETTE &&
        TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue)) {
        const size_t n = size_t{1} << fields.bits;
        fields.colormap.assign(red, red + n);
        fields.colormap.insert(fields.colormap.end(), green, green + n);
        fields.colormap.insert(fields.colormap.end(), blue, blue + n);
    }
    return fields;
}

}  // namespace jpegtiff_test
