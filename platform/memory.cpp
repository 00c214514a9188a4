// The program's allocations. The run time has no C++ exceptions: an allocation that fails is the
// run-time error "Out of memory", reported at once, never a std::bad_alloc to catch.
#include <windows.h>

#include <new>

#include "runtime_error.h"

namespace {

void* allocate(std::size_t size) {
    if (void* block = HeapAlloc(GetProcessHeap(), 0, size ? size : 1)) return block;
    platform::reportOutOfMemory();
}

void release(void* block) noexcept {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
