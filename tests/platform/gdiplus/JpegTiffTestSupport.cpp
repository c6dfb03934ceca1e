#include "tests/platform/gdiplus/JpegTiffTestSupport.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "platform/gdiplus/PixelConversion.h"

namespace jpegtiff_test {
namespace {

ARGB Pack(UINT a, UINT r, UINT g, UINT b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

void SetIndex(BYTE* row, UINT bits, UINT x, UINT index) {
    row[x * bits / 8] |= static_cast<BYTE>(index << (8 - bits - x * bits % 8));
}

UINT Wave(double phase) {
    return static_cast<UINT>(std::lround(128 + 90 * std::sin(phase)));
}

}  // namespace

ImageBuffer SmoothPicture(PixelFormat format, UINT width, UINT height) {
    ImageBuffer picture;
    picture.Allocate(format, width, height);
    for (UINT v = 0; format == PixelFormat8bppIndexed && v < 256; ++v) {
        picture.Palette().push_back(Pack(255, v, v, v));
    }
    std::vector<ARGB> row(width);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            row[x] = Pack(255, Wave(x / 9.0 + y / 23.0), Wave(y / 11.0 - x / 31.0),
                          Wave((x + y) / 17.0));
            if (format == PixelFormat8bppIndexed)
                picture.Row(y)[x] = static_cast<BYTE>(row[x] >> 8);
        }
        WriteRowArgb(row.data(), width, format, picture.Row(y));
    }
    return picture;
}

ImageBuffer NoisePicture(PixelFormat format, UINT width, UINT height, uint32_t seed,
                         UINT paletteCount) {
    ImageBuffer picture;
    picture.Allocate(format, width, height);
    std::mt19937 random(seed);
    auto next = [&random](UINT limit) { return static_cast<UINT>(random() % limit); };
    const UINT bits = GetPixelFormatSize(format);
    const UINT colours = paletteCount != 0 || bits > 8 ? paletteCount : 1u << bits;
    for (UINT i = 0; IsIndexedPixelFormat(format) && i < colours; ++i) {
        picture.Palette().push_back(Pack(255, next(256), next(256), next(256)));
    }
    for (UINT y = 0; y < height; ++y) {
        BYTE* out = picture.Row(y);
        for (UINT x = 0; x < width; ++x) {
            if (IsIndexedPixelFormat(format)) {
                SetIndex(out, bits, x, next(colours));
            } else if (format == PixelFormat32bppPARGB || format == PixelFormat64bppPARGB) {
                // Colour channels no larger than alpha, 8 or 16 bits each.
                const UINT lane = bits / 32, full = (1u << (8 * lane)) - 1, a = next(full + 1);
                BYTE* p = out + x * 4 * lane;
                for (UINT c = 0; c < 4; ++c) {
                    const UINT v = c == 3 ? a : next(a + 1);
                    for (UINT b = 0; b < lane; ++b)
                        p[c * lane + b] = static_cast<BYTE>(v >> (8 * b));
                }
            } else {
                for (UINT b = 0; b < bits / 8; ++b)
                    out[x * bits / 8 + b] = static_cast<BYTE>(next(256));
            }
        }
    }
    return picture;
}

std::vector<ARGB> ArgbPixels(const ImageView& image) {
    std::vector<ARGB> pixels(static_cast<size_t>(image.width) * image.height);
    for (UINT y = 0; y < image.height; ++y)
        ReadRowArgb(image, y, &pixels[size_t{y} * image.width]);
    return pixels;
}

double Psnr(const std::vector<ARGB>& a, const std::vector<ARGB>& b) {
    if (a.size() != b.size() || a.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift <= 16; shift += 8) {
            const double d = double((a[i] >> shift) & 0xFF) - double((b[i] >> shift) & 0xFF);
            sum += d * d;
        }
    }
    if (sum == 0)
        return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 * 3.0 * double(a.size()) / sum);
}

int MaxChannelDifference(const std::vector<ARGB>& a, const std::vector<ARGB>& b) {
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift <= 24; shift += 8) {
            worst = std::max(worst,
                             std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)));
        }
    }
    return worst;
}

ScratchFile::ScratchFile(const Bytes& contents) {
    std::string pattern = (std::filesystem::temp_directory_path() / "dorvalune-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return;
    folder_ = pattern;
    path_ = folder_ + "/file";
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(contents.data()), std::streamsize(contents.size()));
}

ScratchFile::~ScratchFile() {
    std::error_code ignored;
    if (!folder_.empty())
        std::filesystem::remove_all(folder_, ignored);
}

Bytes ScratchFile::Read() const {
    std::ifstream in(path_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void ExpectMalformedFixtures(const std::string& format, Status (*decode)(const Bytes&),
                             const std::vector<std::pair<std::string, Status>>& expected) {
    const auto folder =
        std::filesystem::path(DORVALUNE_SOURCE_DIR) / "tests/data" / format / "malformed";
    for (const auto& [name, status] : expected) {
        std::ifstream in(folder / name, std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_FALSE(file.empty()) << name;
        EXPECT_EQ(decode(file), status) << name;
    }
    const auto files = std::distance(std::filesystem::directory_iterator(folder), {});
    EXPECT_EQ(size_t(files), expected.size()) << "every fixture needs a status";
}

bool PillowAvailable() {
    static const bool available = std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") == 0;
    return available;
}

bool DecodeWithPillow(const Bytes& file, std::string& mode, std::vector<ARGB>& pixels) {
    const ScratchFile input(file), output;
    const std::string command =
        "/usr/bin/python3 -c \"import sys; from PIL import Image; i = Image.open(sys.argv[1]); "
        "open(sys.argv[2], 'wb').write(i.mode.encode() + b' ' + i.convert('RGBA').tobytes())\" " +
        input.Path() + " " + output.Path() + " 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return false;
    const Bytes result = output.Read();
    const auto space = std::find(result.begin(), result.end(), ' ');
    if (space == result.end() || (result.end() - space - 1) % 4 != 0)
        return false;
    mode.assign(result.begin(), space);
    pixels.clear();
    for (auto p = space + 1; p != result.end(); p += 4)
        pixels.push_back(Pack(p[3], p[0], p[1], p[2]));
    return true;
}

void KeepAsFuzzSeed(const std::string& format, const std::string& name, const Bytes& bytes) {
    const char* folder = std::getenv("DORVALUNE_FUZZ_SEEDS");
    if (folder == nullptr || *folder == '\0')
        return;
    const auto path = std::filesystem::path(folder) / format;
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    std::ofstream(path / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace jpegtiff_test
