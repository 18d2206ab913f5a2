#include "crashguard/instruction_decoder.h"

#include <windows.h>

#include <cstring>

#include "crashguard/guarded_memory.h"
#include "crashguard/instruction_length_table.h"

namespace crashguard {

namespace {

constexpr uint8_t kJumpRel32 = 0xE9;
constexpr uint8_t kCallRel32 = 0xE8;
constexpr uint8_t kTwoByteEscape = 0x0F;
// The processor refuses longer instructions, so a run of prefixes stops there.
constexpr int32_t kLongestInstruction = 15;

bool IsPrefix(uint8_t byte) {
  switch (byte) {
    case 0xF2: case 0xF3: case 0xF0:
    case 0x2E: case 0x36: case 0x3E: case 0x26: case 0x64: case 0x65:
    case 0x66: case 0x67:
      return true;
    default:
      return false;
  }
}

// The instruction's first byte after its prefixes.
CodeAddress OpcodeAddress(CodeAddress address) {
  CodeAddress p = address;
  while (IsPrefix(ReadCodeByte(p)) && p - address < kLongestInstruction - 1) ++p;
  return p;
}

// Bytes of the ModRM byte, an optional SIB byte and the displacement.
int32_t ModRMLength(CodeAddress modrmAddress, uint8_t modrm, bool addressSize16) {
  const int mod = modrm >> 6;
  const int rm = modrm & 7;
  int32_t length = 1;
  if (addressSize16) {
    if (mod == 0 && rm == 6) length += 2;
    else if (mod == 1) length += 1;
    else if (mod == 2) length += 2;
    return length;
  }
  if (mod == 0 && rm == 5) length += 4;
  else if (mod == 1) length += 1;
  else if (mod == 2) length += 4;
  // The SIB byte is read only when the ModRM byte says one is there.
  if (mod != 3 && rm == 4) {
    length += 1;
    const uint8_t sib = ReadCodeByte(modrmAddress + 1);
    if ((sib & 7) == 5 && mod == 0) length += 4;
  }
  return length;
}

}  // namespace

uint8_t ReadCodeByte(CodeAddress address) {
  return static_cast<int32_t>(address) > 0 ? ReadGuarded<uint8_t>(address) : 0;
}

uint32_t ReadCodeDword(CodeAddress address) {
  return static_cast<int32_t>(address) > 0 ? ReadGuarded<uint32_t>(address) : 0;
}

int32_t DecodeInstruction(CodeAddress address) {
  CodeAddress p = OpcodeAddress(address);
  bool operandSize16 = false;
  bool addressSize16 = false;
  for (CodeAddress prefix = address; prefix != p; ++prefix) {
    const uint8_t byte = ReadCodeByte(prefix);
    if (byte == 0x66) operandSize16 = true;
    if (byte == 0x67) addressSize16 = true;
  }

  const uint8_t opcode = ReadCodeByte(p++);
  const bool twoByte = opcode == kTwoByteEscape;
  uint8_t flags;
  if (twoByte) {
    flags = TwoByteOpcodeFlags(ReadCodeByte(p++));
  } else {
    flags = OneByteOpcodeFlags(opcode);
    if (opcode >= 0xA0 && opcode <= 0xA3) operandSize16 = addressSize16;  // the offset has address size
  }

  if (flags & kHasModRM) {
    const uint8_t modrm = ReadCodeByte(p);
    const int reg = (modrm >> 3) & 7;
    if (!twoByte && reg <= 1) {
      if (opcode == 0xF6) flags |= kImmediate8;   // TEST r/m8, imm8
      if (opcode == 0xF7) flags |= kOperandSized; // TEST r/m, imm
    }
    p += ModRMLength(p, modrm, addressSize16);
  }

  const int32_t operandBytes = operandSize16 ? 2 : 4;
  if (flags & kOperandSized) {
    p += operandBytes;
    if (flags & kRelative32) return static_cast<int32_t>(p - address);
  }
  if (flags & kImmediate32) p += 4;
  if (flags & kImmediate16) p += 2;
  if (flags & kImmediate8) p += 1;
  if ((flags & kRelative32) && !(flags & kOperandSized)) p += 4;
  if (flags & kRelative8) p += 1;
  return static_cast<int32_t>(p - address);
}

int32_t GetInstructionLength(CodeAddress address) { return address == 0 ? 0 : DecodeInstruction(address); }

int32_t IsCopyableInstruction(CodeAddress address) {
  if (address == 0) return 0;
  const uint8_t first = ReadCodeByte(address);
  if ((first >= 0x70 && first <= 0x7F) || (first >= 0xE0 && first <= 0xE3) || first == 0xEB) return 0;
  if (first == kTwoByteEscape) {
    const uint8_t second = ReadCodeByte(address + 1);
    if (second >= 0x80 && second <= 0x8F) return 0;
  }
  return 1;
}

bool IsReturnInstruction(CodeAddress address) {
  switch (ReadCodeByte(OpcodeAddress(address))) {
    case 0xC3: case 0xC2:  // near return, bare and with a count of bytes to pop
    case 0xCB: case 0xCA:  // far return, the same two
      return true;
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
  const uint8_t first = ReadCodeByte(at);
  if (first != kCallRel32 && first != kJumpRel32) return 0;
  const uint32_t displacement = ReadCodeDword(at + 1) + oldBase - newBase;
  std::memcpy(reinterpret_cast<void*>(at + 1), &displacement, sizeof displacement);
  return 1;
}

bool IsValidCodeAddress(CodeAddress address) { return address != 0 && IsExecutableRange(address, 1); }

}  // namespace crashguard
