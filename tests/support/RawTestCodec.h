// A format for tests only: a header, then a bitmap's palette and rows exactly
// as the library holds them. Decoding gives back any pixel format the test
// wrote; encoding records exactly what the encoder was handed.
#pragma once

#include <string>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"
#include "tests/support/TestFiles.h"

// Adds the format (extension ".rawtest") to the codec library once.
void RegisterRawTestCodec();

// The file bytes for a picture in any pixel format.
std::vector<BYTE> MakeRawTestFile(PixelFormat format, UINT width, UINT height,
                                  const std::vector<ARGB>& palette,
                                  const std::vector<std::vector<BYTE>>& rows);

// Reads a file written by the raw encoder; GenericError when it is not one.
Status ReadRawTestFile(const std::string& path, ImageBuffer& picture);
