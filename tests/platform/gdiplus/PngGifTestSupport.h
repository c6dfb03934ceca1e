// Helpers shared by the PNG and GIF codec tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

using Bytes = std::vector<BYTE>;

// The whole file, or an empty vector when it cannot be read.
Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);

// A path in a folder of this test run's own.
std::string ScratchPath(const std::string& name);

// Every pixel of the picture as ARGB, row after row, through ReadRowArgb.
std::vector<ARGB> ArgbPixels(const ImageView& image);

// A picture of the given format whose bytes come from a fixed pseudo-random
// sequence, so that every bit of every pixel gets exercised. Indexed formats
// get a palette of `paletteCount` random opaque colours; padding bits at the
// end of rows stay zero.
ImageBuffer NoisePicture(PixelFormat format, UINT width, UINT height, uint32_t seed,
                         UINT paletteCount = 0);

// Reads the file with an independent decoder (PIL, under /usr/bin/python3) as
// 8-bit RGBA. Returns false when the decoder fails; `error` then says why.
bool ReadWithPil(const std::string& path, UINT& width, UINT& height, std::vector<ARGB>& pixels,
                 std::string& error);
