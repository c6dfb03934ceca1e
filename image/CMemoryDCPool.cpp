#include "image/CMemoryDCPool.h"

#include "Win32Api.h"

CMemoryDCPool::CMemoryDCPool() {
    for (auto& slot : m_slots)
        slot = nullptr;
}

CMemoryDCPool::~CMemoryDCPool() {
    for (auto& slot : m_slots) {
        if (slot != nullptr)
            DeleteDC(static_cast<HDC>(slot));
    }
}

HDC CMemoryDCPool::Take() {
    for (auto& slot : m_slots) {
        PVOID old = InterlockedExchangePointer(&slot, nullptr);
        if (old != nullptr)
            return static_cast<HDC>(old);
    }
    return CreateCompatibleDC(nullptr);
}

void CMemoryDCPool::Give(HDC hdc) {
    PVOID carry = hdc;
    for (auto& slot : m_slots) {
        carry = InterlockedExchangePointer(&slot, carry);
        if (carry == nullptr)
            return;
    }
    DeleteDC(static_cast<HDC>(carry));
}
