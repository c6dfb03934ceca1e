#include "platform/gdiplus/TiffPixelStore.h"

#include <cstring>

#include "platform/gdiplus/PackedIndex.h"

namespace {

UINT Sample16(const BYTE* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void Put16(BYTE* p, UINT v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

// The nearest straight value of a premultiplied channel, capped at full.
UINT Unpremultiply(UINT c, UINT a, UINT full) {
    if (a == 0)
        return 0;
    const unsigned long long v = (static_cast<unsigned long long>(c) * full + a / 2) / a;
    return v > full ? full : static_cast<UINT>(v);
}

void StorePacked(BYTE* row, UINT x0, UINT count, const BYTE* source, UINT bits) {
    if (bits != 2) {
        // Tiles start at multiples of 16 pixels, so x0 falls on a byte.
        std::memcpy(row + x0 * bits / 8, source, TiffRowBytes(count, 1, bits));
        return;
    }
    // The library has no 2-bit format: each index takes a nibble.
    for (UINT x = 0; x < count; ++x)
        SetPackedIndex(row, x0 + x, 4, PackedIndex(source, x, 2));
}

}  // namespace

bool TiffPixelStore::NeedsSamples(UINT firstSample, UINT count) const {
    if (packed)
        return true;
    for (UINT lane = 0; lane < lanes; ++lane) {
        const int sample = sampleForLane[lane];
        if (sample >= static_cast<int>(firstSample) &&
            sample < static_cast<int>(firstSample + count)) {
            return true;
        }
    }
    return false;
}

void TiffPixelStore::StoreRun(BYTE* row, UINT x0, UINT count, const BYTE* source, UINT firstSample,
                              UINT samplesInRun) const {
    if (packed) {
        StorePacked(row, x0, count, source, bitsPerSample);
        return;
    }
    const UINT pixelBytes = lanes * bytesPerLane;
    for (UINT lane = 0; lane < lanes; ++lane) {
        const int sample = sampleForLane[lane];
        if (sample < static_cast<int>(firstSample) ||
            sample >= static_cast<int>(firstSample + samplesInRun)) {
            continue;
        }
        const UINT offset = static_cast<UINT>(sample) - firstSample;
        BYTE* out = row + static_cast<size_t>(x0) * pixelBytes + lane * bytesPerLane;
        if (bitsPerSample == 8) {
            for (UINT x = 0; x < count; ++x) {
                out[static_cast<size_t>(x) * pixelBytes] =
                    source[static_cast<size_t>(x) * samplesInRun + offset];
            }
        } else {
            for (UINT x = 0; x < count; ++x) {
                const UINT v =
                    Sample16(source + 2 * (static_cast<size_t>(x) * samplesInRun + offset));
                BYTE* p = out + static_cast<size_t>(x) * pixelBytes;
                // 16-bit grey has no 16-bit target; like PNG's it keeps the high byte.
                if (bytesPerLane == 2) {
                    Put16(p, v);
                } else {
                    *p = static_cast<BYTE>(v >> 8);
                }
            }
        }
    }
}

void TiffPixelStore::Finish(ImageBuffer& picture) const {
    // Every fix-up belongs to a four-lane target: grey or colour with alpha.
    if (lanes != 4 || (!fillAlpha && !unpremultiply && !invertGrey))
        return;
    const UINT full = bytesPerLane == 2 ? 65535 : 255;
    const UINT pixelBytes = lanes * bytesPerLane;
    for (UINT y = 0; y < picture.Height(); ++y) {
        BYTE* p = picture.Row(y);
        for (UINT x = 0; x < picture.Width(); ++x, p += pixelBytes) {
            UINT v[4];
            for (UINT lane = 0; lane < 4; ++lane) {
                v[lane] = bytesPerLane == 2 ? Sample16(p + 2 * lane) : p[lane];
            }
            if (fillAlpha)
                v[kLaneAlpha] = full;
            if (unpremultiply) {
                for (UINT lane = kLaneBlue; lane <= kLaneRed; ++lane) {
                    v[lane] = Unpremultiply(v[lane], v[kLaneAlpha], full);
                }
            }
            if (invertGrey) {
                for (UINT lane = kLaneBlue; lane <= kLaneRed; ++lane)
                    v[lane] = full - v[lane];
            }
            for (UINT lane = 0; lane < 4; ++lane) {
                if (bytesPerLane == 2) {
                    Put16(p + 2 * lane, v[lane]);
                } else {
                    p[lane] = static_cast<BYTE>(v[lane]);
                }
            }
        }
    }
}
