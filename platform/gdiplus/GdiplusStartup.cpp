#include "platform/gdiplus/GdiplusStartup.h"

#include <atomic>

namespace {

// Plain atomics without destructors, so the library can still be shut down by
// objects torn down at process exit.
constinit std::atomic<int> g_running{0};
constinit std::atomic<ULONG_PTR> g_nextToken{0x1000};

}  // namespace

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output) {
    if (token == nullptr || input == nullptr)
        return InvalidParameter;
    if (input->GdiplusVersion != 1)
        return UnsupportedGdiplusVersion;
    // Background-thread suppression asks the caller to drive the hooks it returns.
    if (input->SuppressBackgroundThread && output == nullptr)
        return InvalidParameter;
    const Status allowed = host::GdiplusStarting();
    if (allowed != Ok)
        return allowed;
    *token = g_nextToken.fetch_add(1);
    if (output != nullptr) {
        output->NotificationHook = nullptr;
        output->NotificationUnhook = nullptr;
    }
    g_running.fetch_add(1);
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    if (token == 0)
        return;
    g_running.fetch_sub(1);
    host::GdiplusShutDown();
}

bool GdiplusIsRunning() {
    return g_running.load() > 0;
}
