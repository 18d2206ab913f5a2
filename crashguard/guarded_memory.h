// Reads of memory that may not be there: every test asks VirtualQuery, so
// nothing here raises a fault that the crash guard would see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace crashguard {

// Every byte of [address, address + size) is committed and may be read now
// (no guard page).
bool IsReadableRange(uint32_t address, size_t size);
// How many bytes from address on, up to limit, may be read now.
size_t ReadableLength(uint32_t address, size_t limit);
// The same for running code there.
bool IsExecutableRange(uint32_t address, size_t size);

// Copies size bytes to out when all of them are readable; otherwise out is
// zero-filled and the result is false.
bool CopyGuarded(void* out, uint32_t address, size_t size);

// The value at address, 0 when any of its bytes is unreadable.
template <typename T>
T ReadGuarded(uint32_t address) {
  T value;
  CopyGuarded(&value, address, sizeof value);
  return value;
}

// The zero-ended text at address, cut at the first unreadable byte and at limit bytes.
std::string ReadGuardedText(uint32_t address, size_t limit);

}  // namespace crashguard
