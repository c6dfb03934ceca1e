#include "platform/gdiplus/GdiplusStartup.h"

#include <atomic>

namespace {

// Plain atomics without destructors, so the library can still be shut down by
// objects torn down at process exit.
constinit std::atomic<int> g_running{0};
constinit std::atomic<ULONG_PTR> g_nextToken{0x1000};
constinit std::atomic<int> g_startups{0};
constinit std::atomic<int> g_shutdowns{0};
constinit std::atomic<int> g_failuresToInject{0};

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
    g_startups.fetch_add(1);
    int pending = g_failuresToInject.load();
    while (pending > 0 && !g_failuresToInject.compare_exchange_weak(pending, pending - 1)) {
    }
    if (pending > 0)
        return GenericError;
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
    g_shutdowns.fetch_add(1);
    g_running.fetch_sub(1);
}

bool GdiplusIsRunning() {
    return g_running.load() > 0;
}

namespace gdiplus_testing {

StartupCounts GetStartupCounts() {
    return {g_startups.load(), g_shutdowns.load()};
}

void FailNextStartups(int count) {
    g_failuresToInject.store(count);
}

}  // namespace gdiplus_testing
