// Re-entrant critical sections: the thread that holds one may enter it again.
#pragma once

#include <mutex>

struct CRITICAL_SECTION {
    std::recursive_mutex* mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
