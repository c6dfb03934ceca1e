// Reducing a picture to a colour table of at most 256 entries, for formats
// that hold 8-bit indices.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

// The colour the program uses to mark transparent pixels (red 255, green 0,
// blue 128). A reduction that moved it by one step would make those pixels
// visible, so it always keeps an exact entry of its own.
constexpr ARGB kKeyColor = 0xFFFF0080u;

class ColorReduction {
public:
    static constexpr UINT kMaxColors = 256;

    // Chooses the table. A picture of at most 256 colours (pixels with alpha 0
    // counting as one transparent colour, other alpha ignored) gets exactly its
    // own colours, in the order they first appear. Otherwise the key colour
    // and the transparent colour keep exact entries and the remaining colours
    // are reduced by median cut over a 5-5-5 histogram, without dithering, so
    // flat areas stay flat. Returns OutOfMemory when buffers cannot be had,
    // InvalidParameter for a format ReadRowArgb cannot read.
    Status Build(const ImageView& image);

    // ARGB entries; the transparent entry is 0 (black, alpha 0).
    const std::vector<ARGB>& Table() const { return table_; }
    // The transparent entry's index, or -1 when no pixel has alpha 0.
    int TransparentIndex() const { return transparentIndex_; }

    // Row y of the picture (the one given to Build) as indices into Table().
    // `scratch` holds one row of ARGB values.
    void MapRow(const ImageView& image, UINT y, ARGB* scratch, BYTE* out) const;

private:
    static constexpr size_t kExactSlots = 1024;          // open addressing, at most 1/4 full
    static constexpr uint32_t kEmptySlot = 0x01000000u;  // no normalised colour has alpha 1

    int FindExact(ARGB color) const;
    bool TryExact(const ImageView& image, ARGB* scratch);
    void Quantize(const ImageView& image, ARGB* scratch);

    std::vector<ARGB> table_;
    int transparentIndex_ = -1;
    bool exact_ = false;
    // Exact tables: colour -> index by open addressing.
    std::vector<uint32_t> slotColors_;
    std::vector<BYTE> slotIndices_;
    // Reduced tables: 5-5-5 cell -> index, and the key colour's index.
    std::vector<BYTE> cellIndices_;
    int keyIndex_ = -1;
};
