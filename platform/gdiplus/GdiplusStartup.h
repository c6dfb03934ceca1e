// Start-up and shutdown of the codec library.
#pragma once

#include "platform/gdiplus/GdiplusTypes.h"

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

// True while a start-up has not been matched by its shutdown. The library's
// calls answer GdiplusNotInitialized while it is not running.
bool GdiplusIsRunning();

// Seams for tests: how often the library was started and shut down, and
// start-ups made to fail.
namespace gdiplus_testing {
struct StartupCounts {
    int startups;
    int shutdowns;
};
StartupCounts GetStartupCounts();
// The next `count` calls of GdiplusStartup fail with GenericError.
void FailNextStartups(int count);
}  // namespace gdiplus_testing
