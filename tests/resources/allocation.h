// Allocation failures on purpose, for the resources' behaviour tests: this
// executable replaces operator new so that, from FailAllocationsOf(n) until
// AllowAllocations(), every allocation of exactly n bytes fails (the
// throwing forms throw std::bad_alloc, the nothrow forms return NULL).
#pragma once

#include <cstddef>

namespace allocation {

void FailAllocationsOf(size_t bytes);
void AllowAllocations();

} // namespace allocation
