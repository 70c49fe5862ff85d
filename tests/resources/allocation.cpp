#include "allocation.h"

#include <cstdlib>
#include <new>

namespace allocation {
namespace {

size_t failing = 0; // 0: nothing fails

} // namespace

void FailAllocationsOf(size_t bytes) { failing = bytes; }

void AllowAllocations() { failing = 0; }

} // namespace allocation

// The nothrow and array forms of the runtime call these.
void *operator new(size_t bytes) {
    void *memory = bytes != allocation::failing ? std::malloc(bytes == 0 ? 1 : bytes) : nullptr;
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void operator delete(void *memory) noexcept { std::free(memory); }

void operator delete(void *memory, size_t) noexcept { std::free(memory); }
