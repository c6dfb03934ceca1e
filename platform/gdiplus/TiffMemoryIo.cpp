#include "platform/gdiplus/TiffMemoryIo.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>  // SEEK_SET and friends
#include <cstring>
#include <new>

namespace {

// Returning 1 tells libtiff the message was handled, so the library-wide
// handlers (which print to stderr) stay out of it.
int OnError(TIFF*, void* user, const char*, const char*, va_list) {
    static_cast<TiffDiagnostics*>(user)->error = true;
    return 1;
}

int OnWarning(TIFF*, void* user, const char*, const char* format, va_list) {
    // Private tags (GeoTIFF, scanner and camera makers) are common in good
    // files and carry nothing we read.
    static constexpr char kUnknownTag[] = "Unknown field with tag";
    if (std::strncmp(format, kUnknownTag, sizeof kUnknownTag - 1) == 0)
        return 1;
    static_cast<TiffDiagnostics*>(user)->warning = true;
    return 1;
}

toff_t Seek(size_t* position, size_t size, toff_t offset, int whence) {
    size_t base = 0;
    if (whence == SEEK_CUR)
        base = *position;
    if (whence == SEEK_END)
        base = size;
    if (offset > static_cast<toff_t>(SIZE_MAX - base))
        return static_cast<toff_t>(-1);
    *position = base + static_cast<size_t>(offset);
    return *position;
}

tmsize_t ReadSource(thandle_t handle, void* buffer, tmsize_t count) {
    auto* source = static_cast<TiffSource*>(handle);
    if (count <= 0 || source->position >= source->size)
        return 0;
    const size_t available = source->size - source->position;
    const size_t n =
        static_cast<size_t>(count) < available ? static_cast<size_t>(count) : available;
    std::memcpy(buffer, source->data + source->position, n);
    source->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t RefuseWrite(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t SeekSource(thandle_t handle, toff_t offset, int whence) {
    auto* source = static_cast<TiffSource*>(handle);
    return Seek(&source->position, source->size, offset, whence);
}

toff_t SourceSize(thandle_t handle) {
    return static_cast<TiffSource*>(handle)->size;
}

// Mapping lets libtiff decode compressed strips straight from the caller's
// bytes instead of copying each one. libtiff never writes through a map it
// opened for reading.
int MapSource(thandle_t handle, void** base, toff_t* size) {
    auto* source = static_cast<TiffSource*>(handle);
    *base = const_cast<BYTE*>(source->data);
    *size = source->size;
    return 1;
}

void UnmapSource(thandle_t, void*, toff_t) {}

int CloseNothing(thandle_t) {
    return 0;
}

tmsize_t RefuseRead(thandle_t, void*, tmsize_t) {
    return 0;
}

// A callback from C must not throw; a short count is how libtiff learns of
// the failure.
tmsize_t WriteSink(thandle_t handle, void* buffer, tmsize_t count) {
    auto* sink = static_cast<TiffSink*>(handle);
    if (count <= 0)
        return 0;
    const size_t n = static_cast<size_t>(count);
    if (sink->position > SIZE_MAX - n)
        return 0;
    try {
        if (sink->bytes->size() < sink->position + n)
            sink->bytes->resize(sink->position + n);
    } catch (const std::bad_alloc&) {
        sink->outOfMemory = true;
        return 0;
    }
    std::memcpy(sink->bytes->data() + sink->position, buffer, n);
    sink->position += n;
    return count;
}

toff_t SeekSink(thandle_t handle, toff_t offset, int whence) {
    auto* sink = static_cast<TiffSink*>(handle);
    return Seek(&sink->position, sink->bytes->size(), offset, whence);
}

toff_t SinkSize(thandle_t handle) {
    return static_cast<TiffSink*>(handle)->bytes->size();
}

int MapNothing(thandle_t, void**, toff_t*) {
    return 0;
}

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

std::unique_ptr<TIFFOpenOptions, OptionsDeleter> MakeOptions(TiffDiagnostics* diagnostics) {
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (options == nullptr)
        return options;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffLibraryAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, diagnostics);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, diagnostics);
    return options;
}

}  // namespace

TiffHandle OpenTiffReader(TiffSource* source, TiffDiagnostics* diagnostics) {
    auto options = MakeOptions(diagnostics);
    if (options == nullptr)
        return nullptr;
    return TiffHandle(TIFFClientOpenExt("memory", "r", source, ReadSource, RefuseWrite, SeekSource,
                                        CloseNothing, SourceSize, MapSource, UnmapSource,
                                        options.get()));
}

TiffHandle OpenTiffWriter(TiffSink* sink, TiffDiagnostics* diagnostics) {
    auto options = MakeOptions(diagnostics);
    if (options == nullptr)
        return nullptr;
    return TiffHandle(TIFFClientOpenExt("memory", "wl", sink, RefuseRead, WriteSink, SeekSink,
                                        CloseNothing, SinkSize, MapNothing, UnmapSource,
                                        options.get()));
}
