// Machine code made at run time (stubs, thunks, trampolines): small slots cut
// out of executable pages, so each piece costs a slot rather than a page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "crashguard/hook_status.h"

namespace crashguard {

// Every slot has this size; a larger request fails.
constexpr size_t kCodeSlotSize = 64;

// Sets slot to size bytes of executable, writable memory that start with a
// copy of the first templateSize bytes of codeTemplate; the rest of the slot
// is int3. CodeTooLarge when size exceeds a slot (or templateSize exceeds
// size), NoMemory when no page can be had.
HookStatus TakeCodeSlot(size_t size, const void* codeTemplate, size_t templateSize, uint32_t& slot);
// The same slot, or 0 on either failure.
uint32_t AllocateCode(size_t size, const void* codeTemplate = nullptr, size_t templateSize = 0);
// A slot holding exactly a copy of code.
uint32_t AllocateCode(const std::vector<uint8_t>& code);
// Wipes the slot and gives it back for the next allocation; 0 is ignored. The page stays.
void FreeCode(uint32_t slot);

}  // namespace crashguard
