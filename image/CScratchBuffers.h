// Temporary buffers of one operation: small ones from an arena that lives in
// the operation's own stack frame, the rest from the heap, all released when
// the operation's CScratchBuffers goes out of scope.
#pragma once

#include <cstddef>

#include "Win32Api.h"

class CScratchBuffers {
public:
    // Buffers up to this size come from the frame when the stack has room.
    static constexpr size_t kMaxStackBytes = 1024;
    // Stack that must stay free beyond a frame buffer.
    static constexpr size_t kStackHeadroom = 8192;
    // Heap blocks carry a link to the block taken before them in this header.
    static constexpr size_t kHeapHeaderBytes = 8;

    CScratchBuffers() = default;
    CScratchBuffers(const CScratchBuffers&) = delete;
    CScratchBuffers& operator=(const CScratchBuffers&) = delete;
    ~CScratchBuffers() { Release(); }

    // size writable bytes, or null when the heap refuses.
    void* Allocate(size_t size);
    // Frees every heap block; frame buffers need no release.
    void Release();

    // For tests: whether a pointer from Allocate lies in the frame arena.
    bool IsFrameBuffer(const void* p) const;

private:
    static bool StackCanSpare(size_t bytes);

    void* m_heapChain = nullptr;
    size_t m_arenaUsed = 0;
    // Room for two of the largest frame buffers: an operation takes at most two.
    alignas(8) BYTE m_arena[2 * kMaxStackBytes];
};
