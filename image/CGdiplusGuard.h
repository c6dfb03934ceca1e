// Starts the codec library on demand and stops it when the last live image is
// destroyed, and in any case at process exit.
#pragma once

#include "Win32Api.h"

class CGdiplusGuard {
public:
    CGdiplusGuard();
    CGdiplusGuard(const CGdiplusGuard&) = delete;
    CGdiplusGuard& operator=(const CGdiplusGuard&) = delete;
    // Stops the library if it still runs, then deletes the lock.
    ~CGdiplusGuard();

    // True when the library runs already or has just been started.
    bool Start();
    void Stop();
    void RegisterImage();
    // Stops the library when this was the last live image.
    void UnregisterImage();

    ULONG_PTR Token() const { return m_token; }
    LONG LiveImages() const { return m_liveImages; }

private:
    ULONG_PTR m_token;
    CRITICAL_SECTION m_lock;
    LONG m_liveImages;
};
