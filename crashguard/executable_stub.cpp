#include "crashguard/executable_stub.h"

#include <windows.h>

#include <cstring>

namespace crashguard {

void* MakeExecutableStub(const std::vector<uint8_t>& bytes) {
  void* block = VirtualAlloc(nullptr, bytes.size(), MEM_COMMIT, PAGE_EXECUTE_READWRITE);
  if (!block) return nullptr;
  std::memcpy(block, bytes.data(), bytes.size());
  FlushInstructionCache(GetCurrentProcess(), block, bytes.size());
  return block;
}

}  // namespace crashguard
