// libtiff over memory: a read-only view of a file's bytes and a growing
// output buffer, each opened with handlers of its own so that libtiff's
// messages reach the one decode or encode they belong to and never stderr.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include <tiffio.h>

#include "platform/gdiplus/GdiplusTypes.h"

// What libtiff said while a file was open.
struct TiffDiagnostics {
    bool error = false;
    // A warning other than an unknown tag: libtiff is working around damage
    // or guessing at a missing field.
    bool warning = false;

    bool Failed() const { return error || warning; }
};

struct TiffSource {
    const BYTE* data;
    size_t size;
    size_t position;
};

struct TiffSink {
    std::vector<BYTE>* bytes;
    size_t position;
    bool outOfMemory;
};

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// No single allocation inside libtiff may exceed this; decoders read strips,
// scanlines and tiles into buffers of their own.
constexpr long long kMaxTiffLibraryAllocation = 256ll << 20;

// Opens the first directory of the file in `source` for reading. Both
// arguments must outlive the handle. Null when libtiff refuses the file.
TiffHandle OpenTiffReader(TiffSource* source, TiffDiagnostics* diagnostics);

// Opens a little-endian TIFF writer that appends to *sink->bytes.
TiffHandle OpenTiffWriter(TiffSink* sink, TiffDiagnostics* diagnostics);
