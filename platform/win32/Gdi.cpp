#include "platform/win32/Gdi.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/win32/Diagnostics.h"
#include "platform/win32/LastError.h"
#include "platform/win32/PixelMemory.h"

namespace {

constexpr std::uint32_t kBitmapMagic = 0x424D4150;  // "BMAP"
constexpr std::uint32_t kDcMagic = 0x4D444443;      // "MDDC"

std::atomic<int> g_liveDeviceContexts{0};
std::atomic<int> g_liveSections{0};

// The rows offered to this thread's next section; a weak hold, so that the
// offer lapses with the bitmap that made it.
thread_local std::weak_ptr<SectionRows> t_offeredRows;

}  // namespace

// A DIB section: header as created, effective channel masks, a full colour
// table for indexed depths, and the pixel memory (lowest address first).
struct HBITMAP__ {
    std::uint32_t magic = kBitmapMagic;
    bool stock = false;
    BITMAPINFOHEADER header{};
    DWORD masks[3] = {0, 0, 0};  // as given for BI_BITFIELDS, else 0
    RGBQUAD colors[256]{};
    BYTE* bits = nullptr;
    size_t bytes = 0;  // of pixel memory; biSizeImage cannot hold every size
    // The block that holds the pixel memory: the section's own, or a decoded
    // picture's whose rows it took (see OfferRowsToNextSection). Others may
    // hold it too (see SectionBits); the last holder frees it.
    std::shared_ptr<BYTE> block;
    LONG rowBytes = 0;
    HDC selectedInto = nullptr;
};

// A memory device context with the one bitmap selected into it.
struct HDC__ {
    std::uint32_t magic = kDcMagic;
    HBITMAP selected = nullptr;
};

namespace {

// Every new memory DC starts with this 1 x 1 monochrome bitmap selected, as on
// the platform; it is never deleted.
HBITMAP__* StockBitmap() {
    static BYTE stockBits[4] = {0, 0, 0, 0};
    static HBITMAP__ stock = [] {
        HBITMAP__ b;
        b.stock = true;
        b.header.biSize = sizeof(BITMAPINFOHEADER);
        b.header.biWidth = 1;
        b.header.biHeight = 1;
        b.header.biPlanes = 1;
        b.header.biBitCount = 1;
        b.colors[1] = {255, 255, 255, 0};
        b.bits = stockBits;
        b.rowBytes = 4;
        return b;
    }();
    return &stock;
}

HBITMAP__* AsBitmap(HGDIOBJ object) {
    auto* b = static_cast<HBITMAP__*>(object);
    if (b == nullptr || b->magic != kBitmapMagic)
        return nullptr;
    return b;
}

HDC__* AsDc(HDC dc) {
    if (dc == nullptr || dc->magic != kDcMagic)
        return nullptr;
    return dc;
}

int Width(const HBITMAP__& b) {
    return b.header.biWidth;
}
int Height(const HBITMAP__& b) {
    return b.header.biHeight < 0 ? -b.header.biHeight : b.header.biHeight;
}

// Address of the first byte of picture row y (0 is the top row).
BYTE* RowAddress(const HBITMAP__& b, int y) {
    const bool bottomUp = b.header.biHeight > 0;
    const long long memoryRow = bottomUp ? (Height(b) - 1 - y) : y;
    return b.bits + memoryRow * b.rowBytes;
}

void EffectiveMasks(const HBITMAP__& b, DWORD out[3]) {
    if (b.header.biCompression == BI_BITFIELDS) {
        std::memcpy(out, b.masks, sizeof(b.masks));
    } else if (b.header.biBitCount == 16) {
        out[0] = 0x7C00;
        out[1] = 0x03E0;
        out[2] = 0x001F;
    } else {
        out[0] = 0x00FF0000;
        out[1] = 0x0000FF00;
        out[2] = 0x000000FF;
    }
}

int LowestBit(DWORD mask) {
    return mask == 0 ? 0 : __builtin_ctz(mask);
}
int BitCount(DWORD mask) {
    return __builtin_popcount(mask);
}

// Widens a channel of n bits to 8 bits by repeating its bits (31 of 5 bits
// becomes 255); wider channels keep their top 8 bits.
BYTE WidenChannel(DWORD value, int bits) {
    if (bits <= 0)
        return 0;
    if (bits >= 8)
        return static_cast<BYTE>(value >> (bits - 8));
    DWORD result = 0;
    int filled = 0;
    while (filled < 8) {
        result = (result << bits) | value;
        filled += bits;
    }
    return static_cast<BYTE>(result >> (filled - 8));
}

// Narrows an 8-bit channel to n bits by dropping its low bits.
DWORD NarrowChannel(BYTE value, int bits) {
    if (bits <= 0)
        return 0;
    if (bits <= 8)
        return static_cast<DWORD>(value) >> (8 - bits);
    DWORD wide = value;
    for (int filled = 8; filled < bits; filled += 8)
        wide = (wide << 8) | value;
    return wide >> ((bits + 7) / 8 * 8 - bits);
}

COLORREF ReadMasked(DWORD pixel, const DWORD masks[3]) {
    BYTE channel[3];
    for (int i = 0; i < 3; ++i) {
        channel[i] = WidenChannel((pixel & masks[i]) >> LowestBit(masks[i]), BitCount(masks[i]));
    }
    return RGB(channel[0], channel[1], channel[2]);
}

DWORD WriteMasked(COLORREF color, const DWORD masks[3]) {
    const BYTE channel[3] = {GetRValue(color), GetGValue(color), GetBValue(color)};
    DWORD pixel = 0;
    for (int i = 0; i < 3; ++i) {
        pixel |= (NarrowChannel(channel[i], BitCount(masks[i])) << LowestBit(masks[i])) & masks[i];
    }
    return pixel;
}

int TableSize(const HBITMAP__& b) {
    return b.header.biBitCount <= 8 ? (1 << b.header.biBitCount) : 0;
}

// Nearest colour-table entry: smallest squared RGB distance, lowest index on a tie.
int NearestIndex(const HBITMAP__& b, COLORREF color) {
    const int r = GetRValue(color), g = GetGValue(color), bl = GetBValue(color);
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < TableSize(b); ++i) {
        const RGBQUAD& e = b.colors[i];
        const long dr = e.rgbRed - r, dg = e.rgbGreen - g, db = e.rgbBlue - bl;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

bool ValidHeader(const BITMAPINFOHEADER& h) {
    if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == INT32_MIN || h.biPlanes != 1) {
        return false;
    }
    switch (h.biBitCount) {
        case 1:
        case 4:
        case 8:
            // Indexed sections have no masks; bit fields there are read as a palette.
            return h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS;
        case 16:
        case 32:
            return h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS;
        case 24:
            return h.biCompression == BI_RGB;
        default:
            return false;
    }
}

// The offered rows when a section of this header, rowBytes apart, can take
// them: same width, same depth, the same height bottom-up, not yet taken.
std::shared_ptr<SectionRows> MatchingRows(const std::shared_ptr<SectionRows>& offered,
                                          const BITMAPINFOHEADER& h, size_t rowBytes) {
    if (offered == nullptr || offered->takenAt != nullptr || offered->width != h.biWidth ||
        offered->height != h.biHeight || offered->bitCount != h.biBitCount ||
        offered->rowBytes != rowBytes) {
        return nullptr;
    }
    return offered;
}

// Makes the section's row padding zero, as in a new section: the section's
// rows after the copy that fills them are the decoded rows' memory moved up
// by one row, so every decoded row's padding and the whole row above the top
// one become the section's padding. Neither is part of the decoded picture.
void ClearPaddingOfTakenRows(const SectionRows& rows) {
    const size_t pixelBytes = (static_cast<size_t>(rows.width) * rows.bitCount + 7) / 8;
    if (pixelBytes < rows.rowBytes) {
        for (LONG r = 0; r < rows.height; ++r) {
            std::memset(rows.lowestRow + r * rows.rowBytes + pixelBytes, 0,
                        rows.rowBytes - pixelBytes);
        }
    }
    std::memset(rows.lowestRow + rows.height * rows.rowBytes, 0, rows.rowBytes);
}

}  // namespace

void OfferRowsToNextSection(const std::shared_ptr<SectionRows>& rows) {
    t_offeredRows = rows;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    const std::shared_ptr<SectionRows> offered = t_offeredRows.lock();
    t_offeredRows.reset();
    if (bits != nullptr)
        *bits = nullptr;
    if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr || offset != 0 ||
        !ValidHeader(info->bmiHeader)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const unsigned long long rowBytes =
        (static_cast<unsigned long long>(h.biBitCount) * static_cast<unsigned>(h.biWidth) + 31) /
        32 * 4;
    const unsigned long long rows =
        h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : static_cast<long long>(h.biHeight);
    const unsigned long long total = rowBytes * rows;
    if (rowBytes > 0x7FFFFFFFull || total > kMaxSectionBytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const std::shared_ptr<SectionRows> taken = MatchingRows(offered, h, rowBytes);
    BYTE* memory = nullptr;
    if (taken != nullptr) {
        ClearPaddingOfTakenRows(*taken);
        memory = taken->lowestRow + rowBytes;
    } else {
        memory = AllocateZeroedPixels(total);
    }
    if (memory == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* bitmap = new (std::nothrow) HBITMAP__;
    if (bitmap == nullptr) {
        if (taken == nullptr)
            FreePixels(memory, total);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    try {
        bitmap->block = taken != nullptr ? taken->memory
                                         : std::shared_ptr<BYTE>(memory, PixelMemoryDeleter{total});
    } catch (const std::bad_alloc&) {
        delete bitmap;  // the memory went back with the exception
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    ++g_liveSections;
    if (taken != nullptr)
        taken->takenAt = memory;
    bitmap->header = h;
    bitmap->header.biSizeImage = total > 0xFFFFFFFFull ? 0 : static_cast<DWORD>(total);
    bitmap->bytes = total;
    bitmap->bits = memory;
    bitmap->rowBytes = static_cast<LONG>(rowBytes);
    const auto* following = reinterpret_cast<const BYTE*>(info) + sizeof(BITMAPINFOHEADER);
    if (h.biBitCount <= 8) {
        bitmap->header.biCompression = BI_RGB;
        const DWORD full = 1u << h.biBitCount;
        const DWORD used = (h.biClrUsed == 0 || h.biClrUsed > full) ? full : h.biClrUsed;
        std::memcpy(bitmap->colors, following, used * sizeof(RGBQUAD));
    } else if (h.biCompression == BI_BITFIELDS) {
        std::memcpy(bitmap->masks, following, sizeof(bitmap->masks));
    }
    if (bits != nullptr)
        *bits = memory;
    return bitmap;
}

std::shared_ptr<BYTE> SectionBits(HBITMAP bitmap) {
    HBITMAP__* b = AsBitmap(bitmap);
    if (b == nullptr || b->block == nullptr)
        return nullptr;
    return std::shared_ptr<BYTE>(b->block, b->bits);
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    HBITMAP__* b = AsBitmap(object);
    if (b == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (buffer == nullptr)
        return static_cast<int>(b->stock ? sizeof(BITMAP) : sizeof(DIBSECTION));
    BITMAP bm{};
    bm.bmWidth = Width(*b);
    bm.bmHeight = Height(*b);
    bm.bmWidthBytes = b->rowBytes;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = b->header.biBitCount;
    bm.bmBits = b->stock ? nullptr : b->bits;
    if (!b->stock && size >= static_cast<int>(sizeof(DIBSECTION))) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih = b->header;
        std::memcpy(ds.dsBitfields, b->masks, sizeof(ds.dsBitfields));
        std::memcpy(buffer, &ds, sizeof(ds));
        return sizeof(DIBSECTION);
    }
    if (size >= static_cast<int>(sizeof(BITMAP))) {
        std::memcpy(buffer, &bm, sizeof(bm));
        return sizeof(BITMAP);
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
    HDC__* d = AsDc(dc);
    if (d == nullptr || colors == nullptr || d->selected->stock)
        return 0;
    HBITMAP__& b = *d->selected;
    const UINT size = static_cast<UINT>(TableSize(b));
    if (start >= size)
        return 0;
    if (count > size - start)
        count = size - start;
    std::memcpy(b.colors + start, colors, count * sizeof(RGBQUAD));
    return count;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
    HDC__* d = AsDc(dc);
    if (d == nullptr || colors == nullptr || d->selected->stock)
        return 0;
    const HBITMAP__& b = *d->selected;
    const UINT size = static_cast<UINT>(TableSize(b));
    if (start >= size)
        return 0;
    if (count > size - start)
        count = size - start;
    std::memcpy(colors, b.colors + start, count * sizeof(RGBQUAD));
    return count;
}

HDC CreateCompatibleDC(HDC) {
    auto* dc = new (std::nothrow) HDC__;
    if (dc == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    dc->selected = StockBitmap();
    ++g_liveDeviceContexts;
    return dc;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    HDC__* d = AsDc(dc);
    HBITMAP__* b = AsBitmap(object);
    if (d == nullptr || b == nullptr)
        return nullptr;
    // A bitmap can be selected into one device context at a time.
    if (!b->stock && b->selectedInto != nullptr && b->selectedInto != dc)
        return nullptr;
    HBITMAP previous = d->selected;
    if (!previous->stock)
        previous->selectedInto = nullptr;
    d->selected = b;
    if (!b->stock)
        b->selectedInto = dc;
    return previous;
}

BOOL DeleteDC(HDC dc) {
    HDC__* d = AsDc(dc);
    if (d == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!d->selected->stock)
        d->selected->selectedInto = nullptr;
    d->magic = 0;
    delete d;
    --g_liveDeviceContexts;
    return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
    HBITMAP__* b = AsBitmap(object);
    if (b == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (b->stock)
        return TRUE;
    // The platform refuses to delete a bitmap that is still selected into a DC.
    if (b->selectedInto != nullptr)
        return FALSE;
    b->magic = 0;
    delete b;
    --g_liveSections;
    return TRUE;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    HDC__* d = AsDc(dc);
    if (d == nullptr)
        return CLR_INVALID;
    const HBITMAP__& b = *d->selected;
    if (x < 0 || y < 0 || x >= Width(b) || y >= Height(b))
        return CLR_INVALID;
    const BYTE* row = RowAddress(b, y);
    switch (b.header.biBitCount) {
        case 1:
        case 4:
        case 8: {
            const int bpp = b.header.biBitCount;
            const int bitOffset = x * bpp;
            const int shift = 8 - bpp - (bitOffset & 7);
            const int index = (row[bitOffset >> 3] >> shift) & ((1 << bpp) - 1);
            const RGBQUAD& e = b.colors[index];
            return RGB(e.rgbRed, e.rgbGreen, e.rgbBlue);
        }
        case 16: {
            DWORD masks[3];
            EffectiveMasks(b, masks);
            const DWORD pixel = row[2 * x] | (row[2 * x + 1] << 8);
            return ReadMasked(pixel, masks);
        }
        case 24:
            return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        case 32: {
            const BYTE* p = row + 4 * x;
            if (b.header.biCompression == BI_RGB)
                return RGB(p[2], p[1], p[0]);
            DWORD masks[3];
            EffectiveMasks(b, masks);
            return ReadMasked(p[0] | (p[1] << 8) | (p[2] << 16) | (DWORD(p[3]) << 24), masks);
        }
        default:
            return CLR_INVALID;
    }
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    HDC__* d = AsDc(dc);
    if (d == nullptr)
        return CLR_INVALID;
    HBITMAP__& b = *d->selected;
    if (b.stock || x < 0 || y < 0 || x >= Width(b) || y >= Height(b))
        return CLR_INVALID;
    BYTE* row = RowAddress(b, y);
    switch (b.header.biBitCount) {
        case 1:
        case 4:
        case 8: {
            const int bpp = b.header.biBitCount;
            const int index = NearestIndex(b, color);
            const int bitOffset = x * bpp;
            const int shift = 8 - bpp - (bitOffset & 7);
            const int mask = ((1 << bpp) - 1) << shift;
            BYTE& cell = row[bitOffset >> 3];
            cell = static_cast<BYTE>((cell & ~mask) | (index << shift));
            const RGBQUAD& e = b.colors[index];
            return RGB(e.rgbRed, e.rgbGreen, e.rgbBlue);
        }
        case 16: {
            DWORD masks[3];
            EffectiveMasks(b, masks);
            const DWORD pixel = WriteMasked(color, masks);
            row[2 * x] = static_cast<BYTE>(pixel);
            row[2 * x + 1] = static_cast<BYTE>(pixel >> 8);
            return ReadMasked(pixel, masks);
        }
        case 24:
            row[3 * x] = GetBValue(color);
            row[3 * x + 1] = GetGValue(color);
            row[3 * x + 2] = GetRValue(color);
            return color & 0x00FFFFFF;
        case 32: {
            BYTE* p = row + 4 * x;
            if (b.header.biCompression == BI_RGB) {
                p[0] = GetBValue(color);
                p[1] = GetGValue(color);
                p[2] = GetRValue(color);
                p[3] = 0;
                return color & 0x00FFFFFF;
            }
            DWORD masks[3];
            EffectiveMasks(b, masks);
            const DWORD pixel = WriteMasked(color, masks);
            for (int i = 0; i < 4; ++i)
                p[i] = static_cast<BYTE>(pixel >> (8 * i));
            return ReadMasked(pixel, masks);
        }
        default:
            return CLR_INVALID;
    }
}

namespace win32_diagnostics {
int LiveDeviceContexts() {
    return g_liveDeviceContexts.load();
}
int LiveSections() {
    return g_liveSections.load();
}
}  // namespace win32_diagnostics
