#include "crashguard/instruction_decoder.h"

#include <windows.h>

#include <cstring>

#include "crashguard/guarded_memory.h"

namespace crashguard {

namespace {

constexpr uint8_t kJumpRel32 = 0xE9;

}  // namespace

uint8_t ReadCodeByte(CodeAddress address) {
  return static_cast<int32_t>(address) > 0 ? ReadGuarded<uint8_t>(address) : 0;
}

uint32_t ReadCodeDword(CodeAddress address) {
  return static_cast<int32_t>(address) > 0 ? ReadGuarded<uint32_t>(address) : 0;
}

InstructionShape DecodeInstruction(CodeAddress address) {
  uint8_t bytes[kLongestInstruction];
  const auto readable =
      static_cast<int32_t>(address == 0 ? 0 : ReadableLength(address, kLongestInstruction));
  if (readable > 0) std::memcpy(bytes, reinterpret_cast<const void*>(address), readable);
  return MeasureInstruction(bytes, readable);
}

int32_t GetInstructionLength(CodeAddress address) { return DecodeInstruction(address).length; }

bool IsCarriable(const InstructionShape& shape) {
  return shape.length > 0 && (shape.relativeSize == 0 || shape.relativeSize == 4);
}

int32_t IsCopyableInstruction(CodeAddress address) { return IsCarriable(DecodeInstruction(address)); }

bool EndsTheFlow(const InstructionShape& shape) {
  if (shape.map == OpcodeMap::Escape0F) return shape.opcode == 0x0B || shape.opcode == 0xB9 || shape.opcode == 0xFF;
  if (shape.map != OpcodeMap::OneByte) return false;
  switch (shape.opcode) {
    case 0xC3: case 0xC2: case 0xCB: case 0xCA: case 0xCF:  // near and far returns, iret
    case 0xE9: case 0xEB: case 0xEA:                        // relative and far jumps
    case 0xCC: case 0xF4:                                   // int3, hlt
      return true;
    case 0xFF:
      return shape.reg == 4 || shape.reg == 5;  // jump near or far through a register or memory
    default:
      return false;
  }
}

CodeAddress FollowJump(CodeAddress address) {
  if (ReadCodeByte(address) != kJumpRel32) return 0;
  return address + 5 + ReadCodeDword(address + 1);
}

void WriteJump(CodeAddress at, CodeAddress destination) {
  auto* bytes = reinterpret_cast<uint8_t*>(at);
  const uint32_t displacement = destination - (at + 5);
  bytes[0] = kJumpRel32;
  std::memcpy(bytes + 1, &displacement, sizeof displacement);
}

int32_t RetargetRelativeBranch(CodeAddress at, CodeAddress oldBase, CodeAddress newBase) {
  const InstructionShape shape = DecodeInstruction(at);
  if (shape.length == 0 || shape.relativeSize != 4) return 0;
  const CodeAddress field = at + shape.relativeOffset;
  const uint32_t displacement = ReadCodeDword(field) + oldBase - newBase;
  std::memcpy(reinterpret_cast<void*>(field), &displacement, sizeof displacement);
  return 1;
}

bool IsValidCodeAddress(CodeAddress address) { return address != 0 && IsExecutableRange(address, 1); }

}  // namespace crashguard
