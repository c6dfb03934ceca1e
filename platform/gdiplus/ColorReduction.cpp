#include "platform/gdiplus/ColorReduction.h"

#include <algorithm>
#include <new>

#include "platform/gdiplus/PixelConversion.h"

namespace {

constexpr ARGB kClear = 0;
constexpr size_t kCells = 1 << 15;  // 5 bits per channel

// Alpha 0 is one transparent colour whatever its RGB; any other alpha is
// dropped, as an 8-bit table entry is either transparent or opaque.
ARGB Normalise(ARGB color) {
    return (color >> 24) == 0 ? kClear : (0xFF000000u | color);
}

UINT CellOf(ARGB color) {
    return ((color >> 9) & 0x7C00) | ((color >> 6) & 0x3E0) | ((color >> 3) & 0x1F);
}

size_t SlotFor(ARGB color, size_t slots) {
    return static_cast<size_t>((color * 2654435761u) >> 16) % slots;
}

struct CellStats {
    uint64_t count = 0;
    uint64_t sum[3] = {};  // red, green, blue
};

struct CutEntry {
    int mean[3];
    uint64_t count;
    const CellStats* cell;
};

struct Box {
    size_t begin;
    size_t end;
    uint64_t count;
    int axis;   // the channel with the widest spread
    int range;  // that spread
};

Box Describe(const std::vector<CutEntry>& entries, size_t begin, size_t end) {
    Box box{begin, end, 0, 0, 0};
    int low[3] = {255, 255, 255};
    int high[3] = {0, 0, 0};
    for (size_t i = begin; i < end; ++i) {
        box.count += entries[i].count;
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], entries[i].mean[c]);
            high[c] = std::max(high[c], entries[i].mean[c]);
        }
    }
    for (int c = 0; c < 3; ++c) {
        if (high[c] - low[c] > box.range) {
            box.range = high[c] - low[c];
            box.axis = c;
        }
    }
    return box;
}

ARGB MeanColor(const CellStats& stats) {
    const uint64_t n = stats.count;
    return 0xFF000000u | static_cast<ARGB>((stats.sum[0] + n / 2) / n << 16) |
           static_cast<ARGB>((stats.sum[1] + n / 2) / n << 8) |
           static_cast<ARGB>((stats.sum[2] + n / 2) / n);
}

// Heckbert's median cut: split the box that weighs most (pixels times
// spread) at the pixel median of its widest channel, until there are
// `maxColors` boxes or none can be split; each box gives its pixels' mean.
std::vector<ARGB> MedianCut(const std::vector<CellStats>& cells, UINT maxColors) {
    std::vector<CutEntry> entries;
    for (const CellStats& cell : cells) {
        if (cell.count == 0)
            continue;
        const ARGB mean = MeanColor(cell);
        entries.push_back({{static_cast<int>((mean >> 16) & 0xFF),
                            static_cast<int>((mean >> 8) & 0xFF), static_cast<int>(mean & 0xFF)},
                           cell.count,
                           &cell});
    }
    std::vector<Box> boxes;
    if (!entries.empty())
        boxes.push_back(Describe(entries, 0, entries.size()));
    while (boxes.size() < maxColors) {
        size_t best = boxes.size();
        uint64_t bestWeight = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            const uint64_t weight = boxes[i].count * static_cast<uint64_t>(boxes[i].range);
            if (boxes[i].end - boxes[i].begin >= 2 && weight > bestWeight) {
                best = i;
                bestWeight = weight;
            }
        }
        if (best == boxes.size())
            break;
        const Box box = boxes[best];
        const int axis = box.axis;
        std::sort(
            entries.begin() + box.begin, entries.begin() + box.end,
            [axis](const CutEntry& a, const CutEntry& b) { return a.mean[axis] < b.mean[axis]; });
        size_t split = box.begin;
        uint64_t below = 0;
        while (split < box.end - 1 && below + entries[split].count <= box.count / 2) {
            below += entries[split++].count;
        }
        if (split == box.begin)
            split = box.begin + 1;
        boxes[best] = Describe(entries, box.begin, split);
        boxes.push_back(Describe(entries, split, box.end));
    }
    std::vector<ARGB> colors;
    for (const Box& box : boxes) {
        CellStats total;
        for (size_t i = box.begin; i < box.end; ++i) {
            total.count += entries[i].cell->count;
            for (int c = 0; c < 3; ++c)
                total.sum[c] += entries[i].cell->sum[c];
        }
        colors.push_back(MeanColor(total));
    }
    return colors;
}

int SquaredDistance(ARGB a, ARGB b) {
    int total = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        total += d * d;
    }
    return total;
}

}  // namespace

Status ColorReduction::Build(const ImageView& image) {
    if (!IsReadableFormat(image.format))
        return InvalidParameter;
    try {
        std::vector<ARGB> scratch(image.width);
        table_.reserve(kMaxColors);
        exact_ = TryExact(image, scratch.data());
        if (!exact_)
            Quantize(image, scratch.data());
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
    return Ok;
}

int ColorReduction::FindExact(ARGB color) const {
    for (size_t slot = SlotFor(color, kExactSlots);; slot = (slot + 1) % kExactSlots) {
        if (slotColors_[slot] == color)
            return slotIndices_[slot];
        if (slotColors_[slot] == kEmptySlot)
            return -1;
    }
}

bool ColorReduction::TryExact(const ImageView& image, ARGB* scratch) {
    slotColors_.assign(kExactSlots, kEmptySlot);
    slotIndices_.assign(kExactSlots, 0);
    table_.clear();
    transparentIndex_ = -1;
    for (UINT y = 0; y < image.height; ++y) {
        ReadRowArgb(image, y, scratch);
        ARGB previous = kEmptySlot;
        for (UINT x = 0; x < image.width; ++x) {
            const ARGB color = Normalise(scratch[x]);
            if (color == previous)
                continue;  // runs are common; skip the lookup
            previous = color;
            size_t slot = SlotFor(color, kExactSlots);
            while (slotColors_[slot] != kEmptySlot && slotColors_[slot] != color) {
                slot = (slot + 1) % kExactSlots;
            }
            if (slotColors_[slot] == color)
                continue;
            if (table_.size() == kMaxColors)
                return false;
            slotColors_[slot] = color;
            slotIndices_[slot] = static_cast<BYTE>(table_.size());
            if (color == kClear)
                transparentIndex_ = static_cast<int>(table_.size());
            table_.push_back(color);
        }
    }
    return true;
}

void ColorReduction::Quantize(const ImageView& image, ARGB* scratch) {
    std::vector<CellStats> cells(kCells);
    bool hasKey = false;
    bool hasClear = false;
    for (UINT y = 0; y < image.height; ++y) {
        ReadRowArgb(image, y, scratch);
        for (UINT x = 0; x < image.width; ++x) {
            const ARGB color = Normalise(scratch[x]);
            if (color == kClear) {
                hasClear = true;
            } else if (color == kKeyColor) {
                hasKey = true;
            } else {
                CellStats& cell = cells[CellOf(color)];
                ++cell.count;
                cell.sum[0] += (color >> 16) & 0xFF;
                cell.sum[1] += (color >> 8) & 0xFF;
                cell.sum[2] += color & 0xFF;
            }
        }
    }
    const UINT reserved = (hasKey ? 1 : 0) + (hasClear ? 1 : 0);
    table_ = MedianCut(cells, kMaxColors - reserved);
    // A mean that lands on the key colour would mark its pixels as
    // transparent; one step of blue keeps them apart.
    for (ARGB& entry : table_) {
        if (entry == kKeyColor)
            entry = kKeyColor - 1;
    }

    // Every cell maps to the reduced colour nearest its own mean. The key and
    // transparent entries are left out: no other pixel may become them.
    cellIndices_.assign(kCells, 0);
    for (size_t cell = 0; cell < kCells; ++cell) {
        if (cells[cell].count == 0)
            continue;
        const ARGB mean = MeanColor(cells[cell]);
        int best = 0;
        int bestDistance = SquaredDistance(mean, table_[0]);
        for (size_t i = 1; i < table_.size() && bestDistance > 0; ++i) {
            const int distance = SquaredDistance(mean, table_[i]);
            if (distance < bestDistance) {
                best = static_cast<int>(i);
                bestDistance = distance;
            }
        }
        cellIndices_[cell] = static_cast<BYTE>(best);
    }
    transparentIndex_ = -1;
    keyIndex_ = -1;
    if (hasKey) {
        keyIndex_ = static_cast<int>(table_.size());
        table_.push_back(kKeyColor);
    }
    if (hasClear) {
        transparentIndex_ = static_cast<int>(table_.size());
        table_.push_back(kClear);
    }
}

void ColorReduction::MapRow(const ImageView& image, UINT y, ARGB* scratch, BYTE* out) const {
    ReadRowArgb(image, y, scratch);
    for (UINT x = 0; x < image.width; ++x) {
        const ARGB color = Normalise(scratch[x]);
        int index;
        if (exact_) {
            index = FindExact(color);
        } else if (color == kClear) {
            index = transparentIndex_;
        } else if (color == kKeyColor) {
            index = keyIndex_;
        } else {
            index = cellIndices_[CellOf(color)];
        }
        out[x] = static_cast<BYTE>(index);
    }
}
