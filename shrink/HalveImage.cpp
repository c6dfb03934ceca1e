#include "shrink/HalveImage.h"

#include <cstdint>

#include "image/CDibImage.h"
#include "shrink/HalveRows.h"

void HalveImage(CDibImage& source, CDibImage& destination) {
    if (CanHalveRows(source, destination)) {
        HalveRows(source, destination, DefaultBandCount(destination));
    } else {
        HalveImagePerPixel(source, destination);
    }
}

void HalveImagePerPixel(CDibImage& source, CDibImage& destination) {
    const int sourceWidth = source.width();
    const int sourceHeight = source.height();
    for (int x = 0; x < destination.width(); ++x) {
        for (int y = 0; y < destination.height(); ++y) {
            // Nine sums of at most 255 each fit 16 signed bits.
            std::int16_t red = 0, green = 0, blue = 0, colourCount = 0, keyCount = 0;
            for (int column = 2 * x - 1; column <= 2 * x + 1; ++column) {
                if (column < 0 || column >= sourceWidth)
                    continue;
                for (int row = 2 * y - 1; row <= 2 * y + 1; ++row) {
                    if (row < 0 || row >= sourceHeight)
                        continue;
                    const COLORREF colour = source.GetPixel(column, row);
                    if (colour == kKeyColour) {
                        ++keyCount;
                    } else {
                        red = static_cast<std::int16_t>(red + GetRValue(colour));
                        green = static_cast<std::int16_t>(green + GetGValue(colour));
                        blue = static_cast<std::int16_t>(blue + GetBValue(colour));
                        ++colourCount;
                    }
                }
            }
            if (colourCount > keyCount) {
                destination.SetPixel(x, y,
                                     RGB(static_cast<BYTE>(red / colourCount),
                                         static_cast<BYTE>(green / colourCount),
                                         static_cast<BYTE>(blue / colourCount)));
            } else {
                // Key pixels at least as many as the others, a tie included.
                destination.SetPixel(x, y, kKeyColour);
            }
        }
    }
}
