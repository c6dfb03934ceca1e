#include "platform/gdiplus/PixelConversion.h"

#include <new>
#include <vector>

#include "platform/gdiplus/PackedIndex.h"

namespace {

constexpr ARGB kOpaque = 0xFF000000u;

ARGB Pack(UINT a, UINT r, UINT g, UINT b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Widens a channel of `bits` bits to 8 by repeating its bits (31 -> 255).
UINT Widen(UINT value, int bits) {
    UINT result = 0;
    int filled = 0;
    while (filled < 8) {
        result = (result << bits) | value;
        filled += bits;
    }
    return (result >> (filled - 8)) & 0xFF;
}

UINT Word(const BYTE* p) {
    return p[0] | (p[1] << 8);
}

// (c * 255 + a / 2) / a, capped at 255: the nearest straight value.
UINT Unpremultiply(UINT c, UINT a) {
    if (a == 0)
        return 0;
    const UINT v = (c * 255 + a / 2) / a;
    return v > 255 ? 255 : v;
}

ARGB PaletteEntry(const ImageView& image, UINT index) {
    return index < image.paletteCount ? image.palette[index] : kOpaque;
}

}  // namespace

bool IsReadableFormat(PixelFormat format) {
    switch (format) {
        case PixelFormat1bppIndexed:
        case PixelFormat4bppIndexed:
        case PixelFormat8bppIndexed:
        case PixelFormat16bppGrayScale:
        case PixelFormat16bppRGB555:
        case PixelFormat16bppRGB565:
        case PixelFormat16bppARGB1555:
        case PixelFormat24bppRGB:
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB:
        case PixelFormat32bppPARGB:
        case PixelFormat48bppRGB:
        case PixelFormat64bppARGB:
        case PixelFormat64bppPARGB:
            return true;
        default:
            return false;
    }
}

void ReadRowArgb(const ImageView& image, UINT y, ARGB* out) {
    const BYTE* row = image.Row(y);
    const UINT width = image.width;
    switch (image.format) {
        case PixelFormat1bppIndexed:
            for (UINT x = 0; x < width; ++x) {
                out[x] = PaletteEntry(image, PackedIndex(row, x, 1));
            }
            break;
        case PixelFormat4bppIndexed:
            for (UINT x = 0; x < width; ++x) {
                out[x] = PaletteEntry(image, PackedIndex(row, x, 4));
            }
            break;
        case PixelFormat8bppIndexed:
            for (UINT x = 0; x < width; ++x)
                out[x] = PaletteEntry(image, row[x]);
            break;
        case PixelFormat16bppGrayScale:
            for (UINT x = 0; x < width; ++x) {
                const UINT v = row[2 * x + 1];
                out[x] = Pack(255, v, v, v);
            }
            break;
        case PixelFormat16bppRGB555:
            for (UINT x = 0; x < width; ++x) {
                const UINT w = Word(row + 2 * x);
                out[x] =
                    Pack(255, Widen((w >> 10) & 31, 5), Widen((w >> 5) & 31, 5), Widen(w & 31, 5));
            }
            break;
        case PixelFormat16bppRGB565:
            for (UINT x = 0; x < width; ++x) {
                const UINT w = Word(row + 2 * x);
                out[x] =
                    Pack(255, Widen((w >> 11) & 31, 5), Widen((w >> 5) & 63, 6), Widen(w & 31, 5));
            }
            break;
        case PixelFormat16bppARGB1555:
            for (UINT x = 0; x < width; ++x) {
                const UINT w = Word(row + 2 * x);
                out[x] = Pack((w & 0x8000) ? 255 : 0, Widen((w >> 10) & 31, 5),
                              Widen((w >> 5) & 31, 5), Widen(w & 31, 5));
            }
            break;
        case PixelFormat24bppRGB:
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = row + 3 * x;
                out[x] = Pack(255, p[2], p[1], p[0]);
            }
            break;
        case PixelFormat32bppRGB:
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = row + 4 * x;
                out[x] = Pack(255, p[2], p[1], p[0]);
            }
            break;
        case PixelFormat32bppARGB:
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = row + 4 * x;
                out[x] = Pack(p[3], p[2], p[1], p[0]);
            }
            break;
        case PixelFormat32bppPARGB:
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = row + 4 * x;
                const UINT a = p[3];
                out[x] =
                    Pack(a, Unpremultiply(p[2], a), Unpremultiply(p[1], a), Unpremultiply(p[0], a));
            }
            break;
        case PixelFormat48bppRGB:
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = row + 6 * x;
                out[x] = Pack(255, p[5], p[3], p[1]);
            }
            break;
        case PixelFormat64bppARGB:
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = row + 8 * x;
                out[x] = Pack(p[7], p[5], p[3], p[1]);
            }
            break;
        case PixelFormat64bppPARGB:
            for (UINT x = 0; x < width; ++x) {
                const BYTE* p = row + 8 * x;
                // Un-premultiply at full precision before dropping to 8 bits.
                const UINT a = Word(p + 6);
                auto channel = [a](UINT c) {
                    if (a == 0)
                        return 0u;
                    const unsigned long long v =
                        (static_cast<unsigned long long>(c) * 65535 + a / 2) / a;
                    return static_cast<UINT>((v > 65535 ? 65535 : v) >> 8);
                };
                out[x] = Pack(a >> 8, channel(Word(p + 4)), channel(Word(p + 2)), channel(Word(p)));
            }
            break;
        default:
            for (UINT x = 0; x < width; ++x)
                out[x] = kOpaque;
            break;
    }
}

bool IsWritableFormat(PixelFormat format) {
    return format == PixelFormat24bppRGB || format == PixelFormat32bppRGB ||
           format == PixelFormat32bppARGB;
}

bool WriteRowArgb(const ARGB* in, UINT count, PixelFormat format, BYTE* out) {
    switch (format) {
        case PixelFormat24bppRGB:
            for (UINT x = 0; x < count; ++x) {
                out[3 * x] = static_cast<BYTE>(in[x]);
                out[3 * x + 1] = static_cast<BYTE>(in[x] >> 8);
                out[3 * x + 2] = static_cast<BYTE>(in[x] >> 16);
            }
            return true;
        case PixelFormat32bppRGB:
        case PixelFormat32bppARGB: {
            const bool alpha = format == PixelFormat32bppARGB;
            for (UINT x = 0; x < count; ++x) {
                out[4 * x] = static_cast<BYTE>(in[x]);
                out[4 * x + 1] = static_cast<BYTE>(in[x] >> 8);
                out[4 * x + 2] = static_cast<BYTE>(in[x] >> 16);
                out[4 * x + 3] = alpha ? static_cast<BYTE>(in[x] >> 24) : 0xFF;
            }
            return true;
        }
        default:
            return false;
    }
}

Status ConvertImage(const ImageView& source, PixelFormat targetFormat, BYTE* targetScan0,
                    INT targetStride) {
    if (!IsReadableFormat(source.format) || !IsWritableFormat(targetFormat)) {
        return InvalidParameter;
    }
    std::vector<ARGB> row;
    try {
        row.resize(source.width);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    for (UINT y = 0; y < source.height; ++y) {
        ReadRowArgb(source, y, row.data());
        WriteRowArgb(row.data(), source.width, targetFormat,
                     targetScan0 + static_cast<long long>(y) * targetStride);
    }
    return Ok;
}
