#include "platform/win32/Threads.h"

#include <pthread.h>
#include <unistd.h>

void GetCurrentThreadStackLimits(PULONG_PTR lowLimit, PULONG_PTR highLimit) {
    pthread_attr_t attr;
    void* base = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstack(&attr, &base, &size);
        pthread_attr_destroy(&attr);
    }
    *lowLimit = reinterpret_cast<ULONG_PTR>(base);
    *highLimit = base == nullptr ? 0 : reinterpret_cast<ULONG_PTR>(base) + size;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}
