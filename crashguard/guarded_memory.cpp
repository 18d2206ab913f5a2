#include "crashguard/guarded_memory.h"

#include <windows.h>

#include <cstring>

namespace crashguard {

namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kExecutable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// How many bytes from address on, up to limit, lie in committed regions
// whose protection has one of the wanted bits.
size_t AccessibleLength(uint32_t address, size_t limit, DWORD wanted) {
  size_t length = 0;
  while (length < limit) {
    const uint32_t at = address + static_cast<uint32_t>(length);
    MEMORY_BASIC_INFORMATION region;
    if (!VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region)) break;
    if (region.State != MEM_COMMIT || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(region.Protect & wanted))
      break;
    // The region's end wraps to 0 at the top of the address space; the difference still holds.
    const uint32_t end = reinterpret_cast<uint32_t>(region.BaseAddress) + static_cast<uint32_t>(region.RegionSize);
    const size_t available = end - at;
    length += available < limit - length ? available : limit - length;
  }
  return length;
}

}  // namespace

size_t ReadableLength(uint32_t address, size_t limit) { return AccessibleLength(address, limit, kReadable); }

bool IsReadableRange(uint32_t address, size_t size) { return ReadableLength(address, size) == size; }

bool IsExecutableRange(uint32_t address, size_t size) {
  return AccessibleLength(address, size, kExecutable) == size;
}

bool CopyGuarded(void* out, uint32_t address, size_t size) {
  if (!IsReadableRange(address, size)) {
    std::memset(out, 0, size);
    return false;
  }
  std::memcpy(out, reinterpret_cast<const void*>(address), size);
  return true;
}

std::string ReadGuardedText(uint32_t address, size_t limit) {
  const size_t readable = AccessibleLength(address, limit, kReadable);
  if (readable == 0) return "";
  const char* text = reinterpret_cast<const char*>(address);
  return std::string(text, strnlen(text, readable));
}

}  // namespace crashguard
