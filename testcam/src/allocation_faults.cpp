// Allocation failures on demand, for the tests of the camera's own
// out-of-memory paths: the camera's operator new fails the n-th allocation
// that the arming thread makes. Nothing else in the camera depends on it.
#include "vidlox_testcam.h"

#include <cstdlib>
#include <new>

namespace {
thread_local int32_t t_allocations_left = 0;  // 0: disarmed
}  // namespace

void* operator new(size_t size) {
    if (t_allocations_left > 0 && --t_allocations_left == 0) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void* operator new[](size_t size) { return ::operator new(size); }

extern "C" void __cdecl vlxcam_FailAllocation(int32_t nth) { t_allocations_left = nth > 0 ? nth : 0; }
