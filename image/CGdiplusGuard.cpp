#include "image/CGdiplusGuard.h"

#include "GdiplusApi.h"

CGdiplusGuard::CGdiplusGuard() : m_token(0), m_liveImages(0) {
    // Should the lock fail to initialise here, during static construction, the
    // exception ends the process before anything could use the guard.
    InitializeCriticalSection(&m_lock);
}

CGdiplusGuard::~CGdiplusGuard() {
    Stop();
    DeleteCriticalSection(&m_lock);
}

bool CGdiplusGuard::Start() {
    EnterCriticalSection(&m_lock);
    bool started = true;
    if (m_token == 0) {
        GdiplusStartupInput input;
        GdiplusStartupOutput output;
        // A failed start-up leaves the token 0, so the next Start tries again.
        started = GdiplusStartup(&m_token, &input, &output) == Ok;
    }
    LeaveCriticalSection(&m_lock);
    return started;
}

void CGdiplusGuard::Stop() {
    EnterCriticalSection(&m_lock);
    if (m_token != 0)
        GdiplusShutdown(m_token);
    m_token = 0;
    LeaveCriticalSection(&m_lock);
}

void CGdiplusGuard::RegisterImage() {
    EnterCriticalSection(&m_lock);
    ++m_liveImages;
    LeaveCriticalSection(&m_lock);
}

void CGdiplusGuard::UnregisterImage() {
    EnterCriticalSection(&m_lock);
    --m_liveImages;
    if (m_liveImages == 0)
        Stop();  // enters the lock again
    LeaveCriticalSection(&m_lock);
}
