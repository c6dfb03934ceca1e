// The process-wide pool of four memory device contexts that images borrow for
// every pixel access. Lock-free: every slot change is one atomic exchange.
#pragma once

#include "Win32Api.h"

class CMemoryDCPool {
public:
    static constexpr int kSlots = 4;

    CMemoryDCPool();
    CMemoryDCPool(const CMemoryDCPool&) = delete;
    CMemoryDCPool& operator=(const CMemoryDCPool&) = delete;
    // Deletes every pooled device context.
    ~CMemoryDCPool();

    // The most recently given context, or a new one when the pool is empty.
    HDC Take();
    // Puts hdc in slot 0, moving the others up; the one pushed out of the last
    // slot is deleted.
    void Give(HDC hdc);

private:
    PVOID volatile m_slots[kSlots];
};
