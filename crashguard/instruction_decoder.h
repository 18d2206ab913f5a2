// The hook engine's x86 instruction-length decoder and code-patching helpers.
// Addresses are 32-bit values of the running process.
#pragma once

#include <cstdint>

namespace crashguard {

using CodeAddress = uint32_t;
static_assert(sizeof(void*) == sizeof(CodeAddress), "32-bit code only");

// Byte or dword at an address, 0 when the address is <= 0 (as int32) or unreadable.
uint8_t ReadCodeByte(CodeAddress address);
uint32_t ReadCodeDword(CodeAddress address);

// Length of the instruction at address (prefixes included); 0 for address 0.
int32_t DecodeInstruction(CodeAddress address);
int32_t GetInstructionLength(CodeAddress address);

// 0 for a short or conditional jump, LOOP/JECXZ, a 0F 8x jump, or address 0.
int32_t IsCopyableInstruction(CodeAddress address);

// A near or far return (C3, C2 iw, CB, CA iw), whatever prefixes it carries.
bool IsReturnInstruction(CodeAddress address);

// Destination of the E9 jump at address, 0 when the byte there is not E9.
CodeAddress FollowJump(CodeAddress address);
// Writes E9 rel32 at `at`; memory protection is the caller's concern.
void WriteJump(CodeAddress at, CodeAddress destination);
// Re-aims an E8/E9 rel32 moved from oldBase + x to newBase + x; 1 when it was one.
int32_t RetargetRelativeBranch(CodeAddress at, CodeAddress oldBase, CodeAddress newBase);

// A valid code address: nonzero and in executable memory.
bool IsValidCodeAddress(CodeAddress address);

}  // namespace crashguard
