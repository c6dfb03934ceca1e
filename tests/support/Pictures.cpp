#include "tests/support/Pictures.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "platform/gdiplus/PixelConversion.h"

namespace {

UINT Wave(double phase) {
    return static_cast<UINT>(std::lround(128 + 90 * std::sin(phase)));
}

}  // namespace

std::vector<ARGB> ArgbPixels(const ImageView& image) {
    std::vector<ARGB> pixels(static_cast<size_t>(image.width) * image.height);
    for (UINT y = 0; y < image.height; ++y)
        ReadRowArgb(image, y, &pixels[size_t{y} * image.width]);
    return pixels;
}

ImageBuffer NoisePicture(PixelFormat format, UINT width, UINT height, uint32_t seed, UINT colours) {
    std::mt19937 random(seed);
    auto next = [&random](UINT limit) { return static_cast<UINT>(random() % limit); };
    ImageBuffer picture;
    picture.Allocate(format, width, height);
    const UINT bits = GetPixelFormatSize(format);
    if (IsIndexedPixelFormat(format)) {
        for (UINT i = 0; i < (colours != 0 ? colours : 1u << bits); ++i)
            picture.Palette().push_back(0xFF000000u | next(1u << 24));
    } else if (colours != 0) {
        std::vector<ARGB> table, row(width);
        for (UINT i = 0; i < colours; ++i)
            table.push_back((next(4) == 0 ? 0 : 0xFF000000u) | next(1u << 24));
        for (UINT y = 0; y < height; ++y) {
            for (ARGB& pixel : row)
                pixel = table[next(colours)];
            WriteRowArgb(row.data(), width, format, picture.Row(y));
        }
        return picture;
    }
    const size_t rowBits = size_t{bits} * width;
    for (UINT y = 0; y < height; ++y) {
        BYTE* out = picture.Row(y);
        for (size_t i = 0; i < rowBits / 8; ++i)
            out[i] = static_cast<BYTE>(next(256));
        if (rowBits % 8 != 0)
            out[rowBits / 8] = static_cast<BYTE>(next(256) & (0xFF00 >> rowBits % 8));
        for (UINT x = 0; format == PixelFormat16bppRGB555 && x < width; ++x)
            out[2 * x + 1] &= 0x7F;
    }
    return picture;
}

ImageBuffer SmoothPicture(PixelFormat format, UINT width, UINT height) {
    ImageBuffer picture;
    picture.Allocate(format, width, height);
    for (UINT v = 0; format == PixelFormat8bppIndexed && v < 256; ++v)
        picture.Palette().push_back(0xFF000000u | v * 0x010101u);
    std::vector<ARGB> row(width);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            row[x] = 0xFF000000u | Wave(x / 9.0 + y / 23.0) << 16 | Wave(y / 11.0 - x / 31.0) << 8 |
                     Wave((x + y) / 17.0);
            if (format == PixelFormat8bppIndexed)
                picture.Row(y)[x] = static_cast<BYTE>(row[x] >> 8);
        }
        WriteRowArgb(row.data(), width, format, picture.Row(y));
    }
    return picture;
}

double Psnr(const std::vector<ARGB>& a, const std::vector<ARGB>& b) {
    if (a.size() != b.size() || a.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift <= 16; shift += 8) {
            const double d = double((a[i] >> shift) & 0xFF) - double((b[i] >> shift) & 0xFF);
            sum += d * d;
        }
    }
    return sum == 0 ? std::numeric_limits<double>::infinity()
                    : 10 * std::log10(255.0 * 255.0 * 3.0 * double(a.size()) / sum);
}

int MaxChannelDifference(const std::vector<ARGB>& a, const std::vector<ARGB>& b) {
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift <= 24; shift += 8)
            worst = std::max(worst,
                             std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)));
    }
    return worst;
}
