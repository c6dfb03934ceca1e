#include "tests/support/RawTestCodec.h"

#include <cstring>

#include "tests/fakes/GdiplusFakes.h"

namespace {

constexpr char kMagic[8] = {'R', 'A', 'W', 'T', 'E', 'S', 'T', '1'};
constexpr size_t kHeaderBytes = 8 + 4 * 4;

void Put32(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
DWORD Get32(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (DWORD(p[3]) << 24);
}

size_t RowBytes(PixelFormat format, UINT width) {
    return (static_cast<size_t>(width) * GetPixelFormatSize(format) + 7) / 8;
}

bool Sniff(const BYTE* data, size_t size) {
    return size >= 8 && std::memcmp(data, kMagic, 8) == 0;
}

Status Decode(const BYTE* data, size_t size, ImageBuffer& out) {
    if (size < kHeaderBytes)
        return GenericError;
    const PixelFormat format = static_cast<PixelFormat>(Get32(data + 8));
    const UINT width = Get32(data + 12), height = Get32(data + 16), count = Get32(data + 20);
    const size_t rowBytes = RowBytes(format, width);
    if (count > 256 || size != kHeaderBytes + 4 * count + rowBytes * height)
        return GenericError;
    const Status status = out.Allocate(format, width, height);
    if (status != Ok)
        return status;
    const BYTE* p = data + kHeaderBytes;
    for (UINT i = 0; i < count; ++i, p += 4)
        out.Palette().push_back(Get32(p));
    for (UINT y = 0; y < height; ++y, p += rowBytes)
        std::memcpy(out.Row(y), p, rowBytes);
    return Ok;
}

Status Encode(const ImageView& image, std::vector<BYTE>& out) {
    std::vector<std::vector<BYTE>> rows;
    for (UINT y = 0; y < image.height; ++y)
        rows.emplace_back(image.Row(y), image.Row(y) + RowBytes(image.format, image.width));
    out =
        MakeRawTestFile(image.format, image.width, image.height,
                        std::vector<ARGB>(image.palette, image.palette + image.paletteCount), rows);
    return Ok;
}

const BYTE kMask[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

void RegisterRawTestCodec() {
    // clang-format off
    static const bool registered = (gdiplus_testing::AddCodec(
        {"raw test", Sniff, Decode, nullptr, Encode, nullptr, {0x7E570001, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}},
         {0x7E570002, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}}, u"Raw test codec", u"RAWTEST", u"*.RAWTEST",
         u"image/x-raw-test", reinterpret_cast<const BYTE*>(kMagic), kMask, 8}), true);
    // clang-format on
    (void)registered;
}

std::vector<BYTE> MakeRawTestFile(PixelFormat format, UINT width, UINT height,
                                  const std::vector<ARGB>& palette,
                                  const std::vector<std::vector<BYTE>>& rows) {
    std::vector<BYTE> out(kMagic, kMagic + 8);
    Put32(out, static_cast<DWORD>(format));
    Put32(out, width);
    Put32(out, height);
    Put32(out, static_cast<DWORD>(palette.size()));
    for (ARGB entry : palette)
        Put32(out, entry);
    for (const auto& row : rows)
        out.insert(out.end(), row.begin(), row.end());
    return out;
}

Status ReadRawTestFile(const std::string& path, ImageBuffer& picture) {
    const Bytes data = ReadFileBytes(path);
    return Sniff(data.data(), data.size()) ? Decode(data.data(), data.size(), picture)
                                           : GenericError;
}
