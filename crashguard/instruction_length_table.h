// Opcode flags for the instruction-length decoder of the hook engine.
#pragma once

#include <cstdint>

namespace crashguard {

// What follows an opcode (flag bits of the length table).
enum OpcodeFlag : uint8_t {
  kHasModRM = 0x01,
  kImmediate8 = 0x02,
  kImmediate16 = 0x04,
  kImmediate32 = 0x08,
  kOperandSized = 0x10,  // immediate of operand size; with kRelative32 a relative of operand size
  kRelative8 = 0x20,
  kRelative32 = 0x40,
};

// 64 index bytes for the one-byte map, 64 for the two-byte map (0F xx),
// then the runs of four flag bytes that the indexes point into.
constexpr int kInstructionLengthTableSize = 208;
extern const uint8_t kInstructionLengthTable[kInstructionLengthTableSize];

// Flags of a one-byte opcode (prefixes and 0F are never looked up here).
uint8_t OneByteOpcodeFlags(uint8_t opcode);
// Flags of the opcode byte that follows 0F.
uint8_t TwoByteOpcodeFlags(uint8_t opcode);

}  // namespace crashguard
