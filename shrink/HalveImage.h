// The half-size filter: each destination pixel from the 3 x 3 window around
// source pixel (2x, 2y), with the key colour treated as transparent.
#pragma once

#include "Win32Api.h"

class CDibImage;

// Red 255, green 0, blue 128. Only this exact value counts as key.
constexpr COLORREF kKeyColour = 0x008000FF;

// Fills the destination, a row at a time.
void HalveImage(CDibImage& source, CDibImage& destination);

// The reference path: every read and write through the image's pixel calls.
void HalveImagePerPixel(CDibImage& source, CDibImage& destination);
