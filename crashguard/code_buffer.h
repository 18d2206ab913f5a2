// Machine code made at run time (stubs, thunks, trampolines): small slots cut
// out of executable pages, so each piece costs a slot rather than a page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace crashguard {

// Every slot has this size; a larger request fails.
constexpr size_t kCodeSlotSize = 64;

// A slot holding size bytes of executable, writable memory that start with
// a copy of the first templateSize bytes of codeTemplate; the rest of the
// slot is int3. 0 when size exceeds a slot or no page can be had.
uint32_t AllocateCode(size_t size, const void* codeTemplate = nullptr, size_t templateSize = 0);
// A slot holding exactly a copy of code.
uint32_t AllocateCode(const std::vector<uint8_t>& code);
// Gives the slot back for the next allocation; 0 is ignored. The page stays.
void FreeCode(uint32_t slot);

}  // namespace crashguard
