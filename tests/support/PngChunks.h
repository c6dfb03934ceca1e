// PNG files put together chunk by chunk, for tests that damage them on purpose.
#pragma once

#include <zlib.h>

#include <string>

#include "tests/support/TestFiles.h"

inline void PutBigEndian(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<BYTE>(value >> shift));
}

// Appends the chunk: its length, type, data and the CRC of type and data.
inline void PutChunk(Bytes& file, const std::string& type, const Bytes& data) {
    PutBigEndian(file, static_cast<uint32_t>(data.size()));
    const size_t start = file.size();
    file.insert(file.end(), type.begin(), type.end());
    file.insert(file.end(), data.begin(), data.end());
    PutBigEndian(file, static_cast<uint32_t>(crc32(0, &file[start], uInt(file.size() - start))));
}

inline Bytes PngSignature() {
    return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
}

inline Bytes Ihdr(uint32_t width, uint32_t height, BYTE depth, BYTE colorType, BYTE interlace = 0) {
    Bytes data;
    PutBigEndian(data, width);
    PutBigEndian(data, height);
    data.insert(data.end(), {depth, colorType, 0 /*deflate*/, 0 /*filter*/, interlace});
    return data;
}

inline Bytes Zlib(const Bytes& raw, int level = 9) {
    uLongf size = compressBound(raw.size());
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), raw.size(), level);
    out.resize(size);
    return out;
}
