#include "shrink/PixelRows.h"

#include <algorithm>
#include <climits>

#include "Win32Api.h"
#include "image/CDibImage.h"

PixelLayout LayoutOf(const CDibImage& image) {
    if (image.bitsPerPixel() <= 8)
        return PixelLayout::Indexed;
    if (image.bitsPerPixel() != 24 && image.bitsPerPixel() != 32)
        return PixelLayout::Other;
    DIBSECTION ds;
    if (GetObjectA(image.section(), sizeof(ds), &ds) != sizeof(ds))
        return PixelLayout::Other;
    if (ds.dsBmih.biCompression == BI_RGB ||
        (ds.dsBitfields[0] == 0x00FF0000 && ds.dsBitfields[1] == 0x0000FF00 &&
         ds.dsBitfields[2] == 0x000000FF)) {
        return PixelLayout::PlainBytes;
    }
    return PixelLayout::Other;
}

namespace {

int IndexAt(const BYTE* row, int x, int bpp) {
    const int bit = x * bpp;
    return (row[bit >> 3] >> (8 - bpp - (bit & 7))) & ((1 << bpp) - 1);
}

}  // namespace

SourceRows::SourceRows(CDibImage& image) : m_image(image), m_layout(LayoutOf(image)) {
    if (m_layout == PixelLayout::PlainBytes)
        return;
    if (m_layout == PixelLayout::Indexed) {
        // Indexed rows are read as bytes; the context is only needed for the table.
        GetDIBColorTable(m_image.BorrowDC(), 0, 256, m_table);
        m_image.ReturnDC();
    } else {
        // One borrow for the whole run; the filter's single-pixel calls nest inside it.
        m_dc = m_image.BorrowDC();
    }
    // Room for one more pixel than needed: the filter reads four bytes at a time.
    m_row.assign((static_cast<size_t>(image.width()) + 2) * 3, 0);
}

SourceRows::~SourceRows() {
    if (m_dc != nullptr)
        m_image.ReturnDC();
}

const BYTE* SourceRows::Row(int y, int columns, int& bytesPerPixel) {
    if (m_layout == PixelLayout::PlainBytes) {
        bytesPerPixel = m_image.bitsPerPixel() / 8;
        return m_image.firstRow() + static_cast<ptrdiff_t>(y) * m_image.pitch();
    }
    bytesPerPixel = 3;
    BYTE* out = m_row.data();
    if (m_layout == PixelLayout::Indexed) {
        const BYTE* row = m_image.firstRow() + static_cast<ptrdiff_t>(y) * m_image.pitch();
        const int bpp = m_image.bitsPerPixel();
        for (int x = 0; x < columns; ++x, out += 3) {
            const RGBQUAD& e = m_table[IndexAt(row, x, bpp)];
            out[0] = e.rgbBlue;
            out[1] = e.rgbGreen;
            out[2] = e.rgbRed;
        }
    } else {
        for (int x = 0; x < columns; ++x, out += 3) {
            const COLORREF c = ::GetPixel(m_dc, x, y);
            out[0] = GetBValue(c);
            out[1] = GetGValue(c);
            out[2] = GetRValue(c);
        }
    }
    return m_row.data();
}

void SourceRows::Prefetch(int y, int columns) const {
    if (m_layout != PixelLayout::PlainBytes || y < 0 || y >= m_image.height())
        return;
    const BYTE* row = m_image.firstRow() + static_cast<ptrdiff_t>(y) * m_image.pitch();
    const size_t bytes = static_cast<size_t>(columns) * (m_image.bitsPerPixel() / 8);
    constexpr size_t kCacheLine = 64;
    for (size_t i = 0; i < bytes; i += kCacheLine)
        __builtin_prefetch(row + i);
}

DestinationRows::DestinationRows(CDibImage& image) : m_image(image), m_layout(LayoutOf(image)) {
    if (m_layout == PixelLayout::PlainBytes)
        return;
    if (m_layout == PixelLayout::Indexed) {
        // Indexed rows are written as bytes; the context is only needed for the table.
        RGBQUAD table[256];
        m_tableSize = static_cast<int>(GetDIBColorTable(m_image.BorrowDC(), 0, 256, table));
        m_image.ReturnDC();
        for (int i = 0; i < 256; ++i) {
            // Entries past the table lie too far away for any colour to pick.
            m_red[i] = i < m_tableSize ? table[i].rgbRed : kOutOfReach;
            m_green[i] = i < m_tableSize ? table[i].rgbGreen : kOutOfReach;
            m_blue[i] = i < m_tableSize ? table[i].rgbBlue : kOutOfReach;
        }
        m_nearest.resize(kCacheSize);
    } else {
        m_dc = m_image.BorrowDC();
    }
    m_row.assign(static_cast<size_t>(image.width()) * 3, 0);
}

DestinationRows::~DestinationRows() {
    if (m_dc != nullptr)
        m_image.ReturnDC();
}

BYTE* DestinationRows::Begin(int y, int& bytesPerPixel) {
    if (m_layout == PixelLayout::PlainBytes) {
        bytesPerPixel = m_image.bitsPerPixel() / 8;
        return m_image.firstRow() + static_cast<ptrdiff_t>(y) * m_image.pitch();
    }
    bytesPerPixel = 3;
    return m_row.data();
}

void DestinationRows::Commit(int y) {
    if (m_layout == PixelLayout::PlainBytes)
        return;
    const BYTE* in = m_row.data();
    if (m_layout == PixelLayout::Other) {
        for (int x = 0; x < m_image.width(); ++x, in += 3) {
            ::SetPixel(m_dc, x, y, RGB(in[2], in[1], in[0]));
        }
        return;
    }
    BYTE* row = m_image.firstRow() + static_cast<ptrdiff_t>(y) * m_image.pitch();
    const int bpp = m_image.bitsPerPixel();
    for (int x = 0; x < m_image.width(); ++x, in += 3) {
        const int index = NearestIndex(RGB(in[2], in[1], in[0]));
        const int bit = x * bpp;
        const int shift = 8 - bpp - (bit & 7);
        const int mask = ((1 << bpp) - 1) << shift;
        BYTE& cell = row[bit >> 3];
        cell = static_cast<BYTE>((cell & ~mask) | (index << shift));
    }
}

BYTE DestinationRows::NearestIndex(COLORREF colour) {
    // Colours are 24 bits, so CLR_INVALID never matches a real one.
    CachedAnswer& cached = m_nearest[((colour * 0x9E3779B1u) >> 16) & (kCacheSize - 1)];
    if (cached.colour == colour)
        return cached.index;
    if (m_tableSize == 0)
        return 0;
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    // Every distance first, then the first entry at the least of them: the
    // lowest index wins a tie.
    int distances[256];
    int least = INT_MAX;
    for (int i = 0; i < 256; ++i) {
        const int dr = m_red[i] - r, dg = m_green[i] - g, db = m_blue[i] - b;
        distances[i] = dr * dr + dg * dg + db * db;
        least = std::min(least, distances[i]);
    }
    int best = 0;
    while (distances[best] != least)
        ++best;
    cached = {colour, static_cast<BYTE>(best)};
    return static_cast<BYTE>(best);
}
