// Helpers shared by the JPEG and TIFF codec tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

namespace jpegtiff_test {

using Bytes = std::vector<BYTE>;

// A picture of slowly varying colours (sums of long sine waves), the kind
// of content JPEG is made for. Indexed formats get a grey ramp of their depth
// as colour table; 16bppGrayScale holds a grey gradient.
ImageBuffer SmoothPicture(PixelFormat format, UINT width, UINT height);

// A picture whose pixel bytes come from a fixed pseudo-random sequence, so
// every bit of every pixel gets exercised. Indexed formats get `paletteCount`
// random opaque colours (all the depth allows when 0). Row padding stays zero.
ImageBuffer NoisePicture(PixelFormat format, UINT width, UINT height, uint32_t seed,
                         UINT paletteCount = 0);

// Every pixel as ARGB, row after row, through ReadRowArgb.
std::vector<ARGB> ArgbPixels(const ImageView& image);

// Peak signal-to-noise ratio over the R, G and B channels, in decibels;
// infinity for identical pictures.
double Psnr(const std::vector<ARGB>& a, const std::vector<ARGB>& b);

// The largest difference of any channel (alpha included) between the two.
int MaxChannelDifference(const std::vector<ARGB>& a, const std::vector<ARGB>& b);

// The bytes of row y that hold pixels (row padding left out).
Bytes PixelBytesOfRow(const ImageView& image, UINT y);

// A folder of this test's own, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);

// True when /usr/bin/python3 can import PIL.
bool PillowAvailable();

struct PillowPicture {
    std::string mode;  // PIL's mode of the file as opened: "RGB", "P", "L", ...
    UINT width = 0;
    UINT height = 0;
    // The pixels converted to RGBA, as ARGB; for 16-bit grey ("I;16") modes
    // `grey16` holds the raw levels instead.
    std::vector<ARGB> pixels;
    std::vector<uint16_t> grey16;
};

// Decodes the file with PIL. False, with `error` filled, when PIL fails.
bool DecodeWithPillow(const Bytes& file, PillowPicture& picture, std::string& error);

// Runs a short PIL script that receives an output path as sys.argv[1] and
// writes a file there; returns the file, or nothing when the script fails.
Bytes EncodeWithPillow(const std::string& script);

// When DORVALUNE_FUZZ_SEEDS names a folder, keeps `bytes` there as
// <folder>/<format>/<name>, to seed the decoder fuzzers.
void KeepAsFuzzSeed(const std::string& format, const std::string& name, const Bytes& bytes);

}  // namespace jpegtiff_test
