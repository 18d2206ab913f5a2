// The opcode maps of 32-bit x86 code and the measuring of one instruction
// from a copy of its bytes; nothing here reads memory of its own.
#pragma once

#include <cstdint>

namespace crashguard {

// What follows an opcode (flag bits of the maps).
enum OpcodeFlag : uint16_t {
  kHasModRM = 0x001,
  kImmediate8 = 0x002,
  kImmediate16 = 0x004,
  kOperandSized = 0x008,   // an immediate of operand size: 2 bytes under 66, else 4
  kRelative8 = 0x010,
  kRelativeSized = 0x020,  // a relative displacement of operand size
  kAddressSized = 0x040,   // an offset of address size: 2 bytes under 67, else 4
  kByGroup = 0x080,        // the ModRM reg field picks the form (see the decoder)
  kUnknown = 0x100,        // invalid, a prefix or an escape, or a form the decoder does not take
};

enum class OpcodeMap : uint8_t { OneByte, Escape0F, Escape0F38, Escape0F3A };

uint16_t OpcodeFlags(OpcodeMap map, uint8_t opcode);

// The processor refuses longer instructions.
constexpr int32_t kLongestInstruction = 15;

// One instruction as the decoder sees it.
struct InstructionShape {
  int32_t length = 0;       // 0: unknown, invalid, or cut short
  bool cutShort = false;    // the bytes ended before the instruction did
  int32_t opcodeOffset = 0; // past the prefixes
  OpcodeMap map = OpcodeMap::OneByte;
  uint8_t opcode = 0;
  uint8_t reg = 0;          // ModRM reg field; 0 without ModRM
  bool operandSize16 = false;
  int32_t relativeOffset = 0;  // where a relative displacement lies
  int32_t relativeSize = 0;    // its bytes: 0 (none), 1, 2 or 4
};

// Measures the instruction in bytes[0, available).
InstructionShape MeasureInstruction(const uint8_t* bytes, int32_t available);

}  // namespace crashguard
