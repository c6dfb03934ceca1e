// Helpers shared by the JPEG and TIFF codec tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

namespace jpegtiff_test {

using Bytes = std::vector<BYTE>;

// Slowly varying colours (long sine waves), the content JPEG is made for, in
// 24bppRGB, 32bppRGB, 32bppARGB or 8bppIndexed over a grey ramp.
ImageBuffer SmoothPicture(PixelFormat format, UINT width, UINT height);

// Pixel bytes from a fixed pseudo-random sequence, so every bit is
// exercised; indexed formats get `paletteCount` random colours (all the depth
// holds when 0), premultiplied formats valid premultiplied values.
ImageBuffer NoisePicture(PixelFormat format, UINT width, UINT height, uint32_t seed,
                         UINT paletteCount = 0);

// Every pixel as ARGB, row after row, through ReadRowArgb.
std::vector<ARGB> ArgbPixels(const ImageView& image);
// Over R, G and B, in decibels; infinite for equal pictures.
double Psnr(const std::vector<ARGB>& a, const std::vector<ARGB>& b);
// The largest difference of any channel, alpha included.
int MaxChannelDifference(const std::vector<ARGB>& a, const std::vector<ARGB>& b);

// A file in a fresh folder of its own, removed with the object.
class ScratchFile {
public:
    explicit ScratchFile(const Bytes& contents = {});
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& Path() const { return path_; }
    Bytes Read() const;

private:
    std::string folder_;
    std::string path_;
};

// The process's peak resident memory so far, in kilobytes.
long PeakResidentKilobytes();

// Decodes every file of tests/data/<format>/malformed with `decode`, expects
// the status listed for it, and expects every file there to be listed.
void ExpectMalformedFixtures(const std::string& format, Status (*decode)(const Bytes&),
                             const std::vector<std::pair<std::string, Status>>& expected);

bool PillowAvailable();
// PIL's mode for the file and its pixels converted to RGBA; false when PIL
// cannot read it.
bool DecodeWithPillow(const Bytes& file, std::string& mode, std::vector<ARGB>& pixels);

// With DORVALUNE_FUZZ_SEEDS set, keeps `bytes` as <that folder>/<format>/<name>
// to seed the decoder fuzzers.
void KeepAsFuzzSeed(const std::string& format, const std::string& name, const Bytes& bytes);

}  // namespace jpegtiff_test
