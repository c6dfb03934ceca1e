#include "image/CScratchBuffers.h"

#include <cstdint>
#include <cstdlib>

#include "Win32Api.h"

namespace {

// Lowest usable address of the calling thread's stack, read once per thread.
std::uintptr_t StackLimit() {
    thread_local std::uintptr_t limit = [] {
        ULONG_PTR low = 0, high = 0;
        GetCurrentThreadStackLimits(&low, &high);
        return static_cast<std::uintptr_t>(low);
    }();
    return limit;
}

}  // namespace

bool CScratchBuffers::StackCanSpare(size_t bytes) {
    // The stack grows down: what is left lies between here and its limit.
    // Measuring instead of probing means no fault can happen during the test.
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    const std::uintptr_t limit = StackLimit();
    return limit != 0 && here > limit && here - limit >= bytes;
}

void* CScratchBuffers::Allocate(size_t size) {
    const size_t rounded = (size + 3) & ~size_t{3};
    if (size <= kMaxStackBytes && m_arenaUsed + rounded <= sizeof(m_arena) &&
        StackCanSpare(rounded + kStackHeadroom)) {
        void* p = m_arena + m_arenaUsed;
        // Keep later frame buffers 8-byte aligned like heap ones.
        m_arenaUsed += (rounded + 7) & ~size_t{7};
        return p;
    }
    if (size > SIZE_MAX - kHeapHeaderBytes)
        return nullptr;
    auto* block = static_cast<BYTE*>(std::malloc(size + kHeapHeaderBytes));
    if (block == nullptr)
        return nullptr;
    *reinterpret_cast<void**>(block) = m_heapChain;
    m_heapChain = block;
    return block + kHeapHeaderBytes;
}

void CScratchBuffers::Release() {
    while (m_heapChain != nullptr) {
        void* next = *static_cast<void**>(m_heapChain);
        std::free(m_heapChain);
        m_heapChain = next;
    }
}

bool CScratchBuffers::IsFrameBuffer(const void* p) const {
    const auto* b = static_cast<const BYTE*>(p);
    return b >= m_arena && b < m_arena + sizeof(m_arena);
}
