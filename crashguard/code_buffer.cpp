#include "crashguard/code_buffer.h"

#include <windows.h>

#include <cstring>

namespace crashguard {

namespace {

constexpr size_t kPageSize = 4096;
constexpr uint8_t kBreakpoint = 0xCC;

// A free slot's first word links to the next free slot, so keeping the list
// needs no memory of its own; only a new page can fail.
SRWLOCK g_lock = SRWLOCK_INIT;
uint32_t g_freeSlots = 0;

uint32_t& NextFree(uint32_t slot) { return *reinterpret_cast<uint32_t*>(slot); }

bool AddPage() {
  void* page = VirtualAlloc(nullptr, kPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  if (!page) return false;
  const auto base = reinterpret_cast<uint32_t>(page);
  for (size_t offset = kPageSize; offset > 0; offset -= kCodeSlotSize) {
    const uint32_t slot = base + static_cast<uint32_t>(offset - kCodeSlotSize);
    NextFree(slot) = g_freeSlots;
    g_freeSlots = slot;
  }
  return true;
}

uint32_t PopFreeSlot() {
  AcquireSRWLockExclusive(&g_lock);
  uint32_t slot = 0;
  if (g_freeSlots || AddPage()) {
    slot = g_freeSlots;
    g_freeSlots = NextFree(slot);
  }
  ReleaseSRWLockExclusive(&g_lock);
  return slot;
}

}  // namespace

HookStatus TakeCodeSlot(size_t size, const void* codeTemplate, size_t templateSize, uint32_t& slot) {
  if (size > kCodeSlotSize || templateSize > size) return HookStatus::CodeTooLarge;
  slot = PopFreeSlot();
  if (!slot) return HookStatus::NoMemory;
  auto* bytes = reinterpret_cast<uint8_t*>(slot);
  std::memset(bytes, kBreakpoint, kCodeSlotSize);
  if (templateSize) std::memcpy(bytes, codeTemplate, templateSize);
  FlushInstructionCache(GetCurrentProcess(), bytes, kCodeSlotSize);
  return HookStatus::Ok;
}

uint32_t AllocateCode(size_t size, const void* codeTemplate, size_t templateSize) {
  uint32_t slot = 0;
  return TakeCodeSlot(size, codeTemplate, templateSize, slot) == HookStatus::Ok ? slot : 0;
}

uint32_t AllocateCode(const std::vector<uint8_t>& code) { return AllocateCode(code.size(), code.data(), code.size()); }

void FreeCode(uint32_t slot) {
  if (!slot) return;
  // Nothing of the freed code is left for a stale address to run or recognise.
  std::memset(reinterpret_cast<void*>(slot), kBreakpoint, kCodeSlotSize);
  AcquireSRWLockExclusive(&g_lock);
  NextFree(slot) = g_freeSlots;
  g_freeSlots = slot;
  ReleaseSRWLockExclusive(&g_lock);
}

}  // namespace crashguard
