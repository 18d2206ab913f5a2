// Machine code made at run time, placed in executable memory that is never freed.
#pragma once

#include <cstdint>
#include <vector>

namespace crashguard {

// The copy's address, or null when no executable memory can be had.
void* MakeExecutableStub(const std::vector<uint8_t>& bytes);

}  // namespace crashguard
