// The controls of the fake host for the codec library: faults in writing
// image files, the library's start-ups, and formats of a test's own.
#pragma once

#include <cstddef>

#include "platform/gdiplus/CodecRegistry.h"

namespace gdiplus_testing {

// Makes writes of image files fail with errno `error` once `afterBytes` bytes
// of the file have been written (0 disables).
void InjectWriteError(int error, size_t afterBytes);

// Makes reads of image files fail with errno `error` once `afterBytes` bytes
// into the file (0 disables).
void InjectReadError(int error, size_t afterBytes);

// The later steps of writing an image file, each of which can fail.
enum class WriteStep { Sync, Close, Rename };
// Makes one step fail with errno `error` (0 disables); a file whose close is
// made to fail is still closed.
void InjectStepError(WriteStep step, int error);

// How often the library was started (failed start-ups included) and shut down.
struct StartupCounts {
    int startups;
    int shutdowns;
};
StartupCounts GetStartupCounts();
// The next `count` start-ups fail with GenericError.
void FailNextStartups(int count);

// Appends a format after the library's own. Not while other threads read the
// table.
void AddCodec(const CodecEntry& entry);

}  // namespace gdiplus_testing
