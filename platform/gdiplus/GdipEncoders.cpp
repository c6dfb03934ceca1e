// The encoder list: one ImageCodecInfo record per format, all records first,
// then the texts and signature bytes they point to, in one caller buffer.
#include <cstring>

#include "platform/gdiplus/CodecRegistry.h"
#include "platform/gdiplus/GdiplusFlat.h"

namespace {

size_t TextBytes(const char16_t* text) {
    return text == nullptr ? 0 : (std::char_traits<char16_t>::length(text) + 1) * sizeof(WCHAR);
}

size_t ExtraBytes(const CodecEntry& codec) {
    return TextBytes(codec.codecName) + TextBytes(u"") + TextBytes(codec.formatDescription) +
           TextBytes(codec.filenameExtension) + TextBytes(codec.mimeType) +
           2 * static_cast<size_t>(codec.signatureSize);
}

void ListSize(UINT& count, UINT& size) {
    size_t total = 0;
    count = 0;
    for (const CodecEntry& codec : Codecs()) {
        total += sizeof(ImageCodecInfo) + ExtraBytes(codec);
        ++count;
    }
    size = static_cast<UINT>(total);
}

// Copies a text into the buffer's tail and returns where it went.
const WCHAR* Place(const char16_t* text, BYTE*& tail) {
    if (text == nullptr)
        return nullptr;
    const size_t bytes = TextBytes(text);
    std::memcpy(tail, text, bytes);
    const auto* placed = reinterpret_cast<const WCHAR*>(tail);
    tail += bytes;
    return placed;
}

}  // namespace

Status GdipGetImageEncodersSize(UINT* numEncoders, UINT* size) {
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    if (numEncoders == nullptr || size == nullptr)
        return InvalidParameter;
    ListSize(*numEncoders, *size);
    return Ok;
}

Status GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders) {
    if (!GdiplusIsRunning())
        return GdiplusNotInitialized;
    UINT count = 0, needed = 0;
    ListSize(count, needed);
    if (encoders == nullptr || numEncoders != count || size != needed)
        return GenericError;
    // Texts are 2-byte units placed after the records, which keep them aligned.
    BYTE* tail = reinterpret_cast<BYTE*>(encoders + count);
    ImageCodecInfo* record = encoders;
    for (const CodecEntry& codec : Codecs()) {
        ImageCodecInfo& info = *record++;
        info.Clsid = codec.clsid;
        info.FormatID = codec.formatId;
        info.CodecName = Place(codec.codecName, tail);
        info.DllName = nullptr;
        info.FormatDescription = Place(codec.formatDescription, tail);
        info.FilenameExtension = Place(codec.filenameExtension, tail);
        info.MimeType = Place(codec.mimeType, tail);
        info.Flags = ImageCodecFlagsEncoder | ImageCodecFlagsSupportBitmap |
                     ImageCodecFlagsBuiltin |
                     (codec.decode != nullptr ? DWORD{ImageCodecFlagsDecoder} : DWORD{0});
        info.Version = 1;
        info.SigCount = codec.signatureSize > 0 ? 1 : 0;
        info.SigSize = codec.signatureSize;
        info.SigPattern = tail;
        std::memcpy(tail, codec.signaturePattern, codec.signatureSize);
        tail += codec.signatureSize;
        info.SigMask = tail;
        std::memcpy(tail, codec.signatureMask, codec.signatureSize);
        tail += codec.signatureSize;
    }
    return Ok;
}
