// The image subsystem's process-wide objects.
#pragma once

#include "image/CGdiplusGuard.h"
#include "image/CMemoryDCPool.h"

extern CGdiplusGuard theGdiplusGuard;
extern CMemoryDCPool theMemoryDCPool;
