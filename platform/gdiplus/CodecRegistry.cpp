#include "platform/gdiplus/CodecRegistry.h"

#include "platform/gdiplus/BmpDecoder.h"
#include "platform/gdiplus/BmpEncoder.h"
#include "platform/gdiplus/GifCodec.h"
#include "platform/gdiplus/JpegCodec.h"
#include "platform/gdiplus/PngCodec.h"
#include "platform/gdiplus/TiffCodec.h"

namespace {

// The platform's class ids differ in the last byte of their first group,
// format ids in the last byte of theirs.
constexpr CLSID EncoderClsid(BYTE last) {
    return {0x557CF400u | last, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}
constexpr GUID FormatGuid(BYTE last) {
    return {0xB96B3C00u | last, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

constexpr BYTE kFullMask[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr BYTE kBmpSignature[2] = {'B', 'M'};
constexpr BYTE kJpegSignature[2] = {0xFF, 0xD8};
constexpr BYTE kGifSignature[4] = {'G', 'I', 'F', '8'};
constexpr BYTE kTiffSignature[4] = {'I', 'I', 0x2A, 0x00};
constexpr BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

const std::vector<CodecEntry>& BuiltInCodecs() {
    static const std::vector<CodecEntry> codecs = {
        {"BMP", SniffBmp, DecodeBmp, DecodeBmpFile, EncodeBmp, EncodeBmpFile, EncoderClsid(0x00),
         FormatGuid(0xAB), u"Built-in BMP Codec", u"BMP", u"*.BMP;*.DIB;*.RLE", u"image/bmp",
         kBmpSignature, kFullMask, sizeof(kBmpSignature)},
        {"JPEG", SniffJpeg, DecodeJpeg, nullptr, EncodeJpeg, nullptr, EncoderClsid(0x01),
         FormatGuid(0xAE), u"Built-in JPEG Codec", u"JPEG", u"*.JPG;*.JPEG;*.JPE;*.JFIF",
         u"image/jpeg", kJpegSignature, kFullMask, sizeof(kJpegSignature)},
        {"GIF", SniffGif, DecodeGif, nullptr, EncodeGif, nullptr, EncoderClsid(0x02),
         FormatGuid(0xB0), u"Built-in GIF Codec", u"GIF", u"*.GIF", u"image/gif", kGifSignature,
         kFullMask, sizeof(kGifSignature)},
        {"TIFF", SniffTiff, DecodeTiff, nullptr, EncodeTiff, nullptr, EncoderClsid(0x05),
         FormatGuid(0xB1), u"Built-in TIFF Codec", u"TIFF", u"*.TIF;*.TIFF", u"image/tiff",
         kTiffSignature, kFullMask, sizeof(kTiffSignature)},
        {"PNG", SniffPng, DecodePng, nullptr, EncodePng, nullptr, EncoderClsid(0x06),
         FormatGuid(0xAF), u"Built-in PNG Codec", u"PNG", u"*.PNG", u"image/png", kPngSignature,
         kFullMask, sizeof(kPngSignature)},
    };
    return codecs;
}

const CodecEntry* FindCodecForData(const BYTE* data, size_t size) {
    for (const CodecEntry& codec : Codecs()) {
        if (codec.sniff != nullptr && codec.sniff(data, size))
            return &codec;
    }
    return nullptr;
}
