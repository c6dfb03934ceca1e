// Start-up and shutdown of the codec library.
#pragma once

#include "platform/gdiplus/GdiplusTypes.h"

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

// True while a start-up has not been matched by its shutdown. The library's
// calls answer GdiplusNotInitialized while it is not running.
bool GdiplusIsRunning();

namespace host {
// Asked at every start-up that the arguments allow, before it takes effect: a
// status other than Ok fails the start-up with it. Told of every shutdown of
// a running library. The program's answer is always Ok (platform/host); a
// test build counts start-ups and shutdowns and fails start-ups.
Status GdiplusStarting();
void GdiplusShutDown();
}  // namespace host
