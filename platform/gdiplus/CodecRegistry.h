// The one table of image formats the library knows: how to recognise a file
// by its first bytes, how to decode it, and the encoder that writes it.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/gdiplus/EncodedFile.h"
#include "platform/gdiplus/FileIo.h"
#include "platform/gdiplus/ImageBuffer.h"

struct CodecEntry {
    const char* name;
    // True when the file's first bytes carry this format's signature.
    bool (*sniff)(const BYTE* data, size_t size);
    // Checks the whole header, then allocates and decodes into `out`.
    Status (*decode)(const BYTE* data, size_t size, ImageBuffer& out);
    // Optional: decodes a whole file it may take over, keeping the rows where
    // they lie when they already are the reported format's pixels.
    Status (*decodeFile)(FileBytes& file, ImageBuffer& out);
    // Writes `image` in this format; null while the format has no encoder.
    Status (*encode)(const ImageView& image, std::vector<BYTE>& out);
    // Optional: the same file, leaving rows that the file stores as they lie
    // in memory where they are, for the writer to take from there.
    Status (*encodeFile)(const ImageView& image, EncodedFile& out);
    // The encoder's record as the encoder list shows it.
    CLSID clsid;
    GUID formatId;
    const char16_t* codecName;
    const char16_t* formatDescription;
    const char16_t* filenameExtension;
    const char16_t* mimeType;
    // Signature bytes and their mask, both `signatureSize` bytes long.
    const BYTE* signaturePattern;
    const BYTE* signatureMask;
    DWORD signatureSize;
};

// The library's own formats in the encoder list's order: BMP, JPEG, GIF,
// TIFF, PNG.
const std::vector<CodecEntry>& BuiltInCodecs();

// The formats the library knows. Defined apart (platform/host), as exactly
// the built-in ones; a test build links its own, which may add a format after
// them.
const std::vector<CodecEntry>& Codecs();

// The entry whose signature the data carries, or null.
const CodecEntry* FindCodecForData(const BYTE* data, size_t size);
