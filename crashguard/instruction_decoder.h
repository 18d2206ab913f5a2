// The hook engine's x86 instruction-length decoder and code-patching helpers.
// Addresses are 32-bit values of the running process.
#pragma once

#include <cstdint>

#include "crashguard/instruction_length_table.h"

namespace crashguard {

using CodeAddress = uint32_t;
static_assert(sizeof(void*) == sizeof(CodeAddress), "32-bit code only");

// Byte or dword at an address, 0 when the address is <= 0 (as int32) or unreadable.
uint8_t ReadCodeByte(CodeAddress address);
uint32_t ReadCodeDword(CodeAddress address);

// The instruction at address, read only where memory may be read now.
InstructionShape DecodeInstruction(CodeAddress address);
// Its length (prefixes included); 0 for address 0, an unknown or invalid
// instruction, or one whose bytes cannot all be read.
int32_t GetInstructionLength(CodeAddress address);

// Whether a trampoline can carry the instruction: known, and no relative branch but of 32 bits.
bool IsCarriable(const InstructionShape& shape);
// 0 for a branch the trampoline cannot carry: a relative one of 8 or 16 bits
// (short and conditional jumps, LOOP/JECXZ, any branch under 66), whatever
// prefixes it carries; also for address 0 and what the decoder does not take.
int32_t IsCopyableInstruction(CodeAddress address);

// Execution never falls through to the next instruction: every near and far
// return, iret, a jump through a register or memory, a far or relative jump,
// int3, hlt, ud0, ud1 and ud2.
bool EndsTheFlow(const InstructionShape& shape);

// Destination of the E9 jump at address, 0 when the byte there is not E9.
CodeAddress FollowJump(CodeAddress address);
// Writes E9 rel32 at `at`; memory protection is the caller's concern.
void WriteJump(CodeAddress at, CodeAddress destination);
// Re-aims the 32-bit relative displacement of a call, jump or conditional jump
// (behind any prefixes) moved from oldBase + x to newBase + x; 1 when it was one.
int32_t RetargetRelativeBranch(CodeAddress at, CodeAddress oldBase, CodeAddress newBase);

// A valid code address: nonzero and in executable memory.
bool IsValidCodeAddress(CodeAddress address);

}  // namespace crashguard
