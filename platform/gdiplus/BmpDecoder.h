// The BMP decoder: every header from OS/2 1.x to V5, uncompressed, bit-field
// and RLE pixels, kept at the file's own depth where the library can hold it.
#pragma once

#include <cstddef>

#include "platform/gdiplus/FileIo.h"
#include "platform/gdiplus/ImageBuffer.h"

// True when the data starts with the "BM" signature.
bool SniffBmp(const BYTE* data, size_t size);

// Checks the whole header, then allocates and decodes the picture into `out`.
// Returns GenericError for malformed or truncated data, NotImplemented for a
// valid file we do not decode (embedded JPEG or PNG, OS/2 Huffman and RLE24,
// 2 and 64 bpp), ValueOverflow beyond the library's caps and OutOfMemory when
// the heap refuses. `out` is left empty on every failure.
Status DecodeBmp(const BYTE* data, size_t size, ImageBuffer& out);

// The same for a whole file read into memory, the rows laid out bottom-up as
// a DIB section holds them (ImageBuffer::Rows::BottomUp). Uncompressed 24
// and 32-bit rows already are the reported format's pixels, so the picture
// keeps them where they lie and takes the file's block over instead of
// copying it.
Status DecodeBmpFile(FileBytes& file, ImageBuffer& out);

// Where such a file's bytes should be read to (see ReadWholeFile): its
// stored rows on a 64-byte boundary and, where they lie bottom-up, a row's
// room after them (two rows, as the last row's padding may be missing), so
// that a DIB section can take the rows over where they lie. The default
// placement for anything else; the header is checked only when decoding.
FilePlacement PlaceBmpFile(const BYTE* head, size_t headBytes, size_t fileBytes);
