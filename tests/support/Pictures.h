// Pictures that tests build, and ways to compare what comes back.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdiplus/ImageBuffer.h"

// Every pixel as ARGB, row after row, through ReadRowArgb.
std::vector<ARGB> ArgbPixels(const ImageView& image);

// Pixels from a fixed pseudo-random sequence, so that every bit of every
// pixel gets exercised; padding bits stay zero and 5-5-5 words keep their
// unused top bit clear. Indexed formats get `colours` random opaque entries
// (none: all the depth holds), their indices covering the whole depth, so
// that indices past a short table occur. 24 and 32-bit formats given
// `colours` take their pixels from that many random colours, a quarter of
// them transparent.
ImageBuffer NoisePicture(PixelFormat format, UINT width, UINT height, uint32_t seed,
                         UINT colours = 0);

// Slowly varying colours (long sine waves), the content JPEG is made for, in
// 24bppRGB, 32bppRGB, 32bppARGB or 8bppIndexed over a grey ramp.
ImageBuffer SmoothPicture(PixelFormat format, UINT width, UINT height);

// Over R, G and B, in decibels; infinite for equal pictures, 0 for pictures
// of different sizes.
double Psnr(const std::vector<ARGB>& a, const std::vector<ARGB>& b);
// The largest difference of any channel, alpha included; 256 for pictures of
// different sizes.
int MaxChannelDifference(const std::vector<ARGB>& a, const std::vector<ARGB>& b);
