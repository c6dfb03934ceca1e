#include "platform/win32/CriticalSection.h"

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    section->mutex = new std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    section->mutex->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    section->mutex->unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    delete section->mutex;
    section->mutex = nullptr;
}
