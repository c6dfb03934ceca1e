// Whole rows of an image as blue, green, red bytes, read and written with
// exactly the colours that the platform's single-pixel calls read and write.
#pragma once

#include <vector>

#include "Win32Api.h"

class CDibImage;

// How an image's pixels relate to plain blue, green, red bytes.
enum class PixelLayout {
    PlainBytes,  // 24 or 32 bpp, 8-8-8: the rows are used as they are
    Indexed,     // 1, 4 or 8 bpp: colour-table entries
    Other,       // 16 bpp and unusual masks: through the platform's pixel calls
};

PixelLayout LayoutOf(const CDibImage& image);

// Source rows for the filter. Indexed rows are looked up in the colour table,
// read once on construction; other rows are read through the platform, one
// borrow of the image's device context for all of them. Objects for plain and
// indexed rows hold no borrow, so several may work on one image at once, each
// on its own thread, once made.
class SourceRows {
public:
    explicit SourceRows(CDibImage& image);
    ~SourceRows();
    SourceRows(const SourceRows&) = delete;
    SourceRows& operator=(const SourceRows&) = delete;

    // Row y's first `columns` pixels; bytesPerPixel is 3 or 4.
    const BYTE* Row(int y, int columns, int& bytesPerPixel);

    // Asks the cache for row y's first `columns` pixels, where the rows are
    // used as they are, so that memory fetches them while the filter works on
    // other rows; a row outside the image is left alone.
    void Prefetch(int y, int columns) const;

private:
    CDibImage& m_image;
    PixelLayout m_layout;
    HDC m_dc = nullptr;
    RGBQUAD m_table[256]{};
    std::vector<BYTE> m_row;
};

// Destination rows from the filter. Plain rows are written in place; indexed
// pixels take the nearest colour-table entry (smallest squared distance,
// lowest index on a tie), as the platform's pixel write does; other pixels
// are written through the platform, under one borrow as for the source.
class DestinationRows {
public:
    explicit DestinationRows(CDibImage& image);
    ~DestinationRows();
    DestinationRows(const DestinationRows&) = delete;
    DestinationRows& operator=(const DestinationRows&) = delete;

    // Where the filter puts row y: blue, green, red bytes, 3 or 4 a pixel.
    BYTE* Begin(int y, int& bytesPerPixel);
    // Stores the row that Begin handed out.
    void Commit(int y);

private:
    BYTE NearestIndex(COLORREF colour);

    CDibImage& m_image;
    PixelLayout m_layout;
    HDC m_dc = nullptr;
    int m_tableSize = 0;
    // The table's channels apart, all 256 entries, for a search the compiler
    // can vectorise; entries past the table hold kOutOfReach.
    static constexpr int kOutOfReach = 4096;
    int m_red[256]{}, m_green[256]{}, m_blue[256]{};
    std::vector<BYTE> m_row;
    // Averages repeat a lot: a direct-mapped cache of recent answers keeps
    // most colours from being searched for again.
    struct CachedAnswer {
        COLORREF colour = CLR_INVALID;
        BYTE index = 0;
    };
    static constexpr size_t kCacheSize = 1 << 16;
    std::vector<CachedAnswer> m_nearest;
};
