// The calling thread's stack and the process's id.
#pragma once

#include "platform/win32/WinTypes.h"

using PULONG_PTR = ULONG_PTR*;

// The lowest and the highest address of the calling thread's stack; both 0
// when the system does not tell them.
void GetCurrentThreadStackLimits(PULONG_PTR lowLimit, PULONG_PTR highLimit);

DWORD GetCurrentProcessId();
