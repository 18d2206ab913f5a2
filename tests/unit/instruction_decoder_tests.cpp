#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <vector>

#include "crashguard/instruction_decoder.h"

namespace {

using namespace crashguard;

struct LengthCase {
  std::vector<uint8_t> bytes;
  int32_t length;  // 0: refused
};

// The instruction at the end of a readable page that an inaccessible one follows.
class PageEnd {
 public:
  PageEnd() : base_(static_cast<uint8_t*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE))) {
    DWORD old;
    VirtualProtect(base_ + 4096, 4096, PAGE_NOACCESS, &old);
  }
  ~PageEnd() { VirtualFree(base_, 0, MEM_RELEASE); }
  CodeAddress Place(const std::vector<uint8_t>& bytes) {
    uint8_t* at = base_ + 4096 - bytes.size();
    std::memcpy(at, bytes.data(), bytes.size());
    return reinterpret_cast<CodeAddress>(at);
  }

 private:
  uint8_t* base_;
};

int32_t LengthOf(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> code = bytes;
  code.resize(code.size() + 16, 0x90);  // the decoder must stop before these
  return GetInstructionLength(reinterpret_cast<CodeAddress>(code.data()));
}

const LengthCase kLengths[] = {
    // operand and address size, ModRM, SIB and displacements
    {{0x66, 0xB8, 0x34, 0x12}, 4}, {{0xB8, 0x78, 0x56, 0x34, 0x12}, 5}, {{0x8B, 0x44, 0x24, 0x08}, 4},
    {{0x8B, 0x80, 1, 2, 3, 4}, 6}, {{0x67, 0x8B, 0x46, 0x02}, 4}, {{0x8B, 0x04, 0x24}, 3},
    {{0x8B, 0x04, 0x25, 1, 2, 3, 4}, 7}, {{0x8B, 0x44, 0x25, 0x08}, 4}, {{0x8B, 0x05, 1, 2, 3, 4}, 6},
    {{0x67, 0x8B, 0x06, 0x11, 0x22}, 5}, {{0x67, 0x8B, 0x04}, 3}, {{0x67, 0x8B, 0x86, 1, 2}, 5},
    {{0x64, 0xA1, 0x18, 0, 0, 0}, 6}, {{0xA1, 1, 2, 3, 4}, 5}, {{0x67, 0xA1, 1, 2}, 4}, {{0x66, 0xA1, 1, 2, 3, 4}, 6},
    // immediates chosen by the group, far pointers, enter, returns, relatives
    {{0xF6, 0xC0, 0x01}, 3}, {{0xF6, 0xC8, 0x01}, 3}, {{0xF6, 0xD0}, 2}, {{0xF7, 0xC0, 1, 2, 3, 4}, 6},
    {{0x66, 0xF7, 0xC0, 1, 2}, 5}, {{0xF7, 0xD8}, 2}, {{0x9A, 1, 2, 3, 4, 5, 6}, 7}, {{0x66, 0xEA, 1, 2, 3, 4}, 6},
    {{0xC8, 0x10, 0x00, 0x00}, 4}, {{0x66, 0xC8, 0x10, 0x00, 0x00}, 5}, {{0xC2, 0x08, 0x00}, 3},
    {{0x66, 0x68, 1, 2}, 4}, {{0x69, 0xC0, 1, 2, 3, 4}, 6}, {{0x6B, 0xC0, 1}, 3}, {{0x66, 0xC7, 0x00, 1, 2}, 5},
    {{0xE8, 1, 2, 3, 4}, 5}, {{0x66, 0xE8, 1, 2}, 4}, {{0x0F, 0x84, 1, 2, 3, 4}, 6}, {{0xEB, 0xFE}, 2},
    {{0xC7, 0xF8, 1, 2, 3, 4}, 6}, {{0xC6, 0xF8, 1}, 3},
    // prefixes in any order
    {{0xF3, 0x2E, 0x66, 0xA5}, 4}, {{0x3E, 0x74, 0x00}, 3}, {{0x2E, 0x0F, 0x84, 1, 2, 3, 4}, 7},
    {{0xF0, 0x0F, 0xB1, 0x0A}, 4},
    // the 0F map: ModRM where the opcode maps give one, immediates where they give one
    {{0x0F, 0x1F, 0x40, 0x00}, 4}, {{0x0F, 0x1F, 0x44, 0x00, 0x00}, 5}, {{0x66, 0x0F, 0x1F, 0x84, 0, 0, 0, 0, 0}, 9},
    {{0x0F, 0x19, 0xC0}, 3}, {{0xF3, 0x0F, 0x1E, 0xFB}, 4}, {{0x0F, 0x18, 0x08}, 3}, {{0x0F, 0x0D, 0x08}, 3},
    {{0x0F, 0xBA, 0xE0, 0x03}, 4}, {{0x0F, 0xF6, 0xC1}, 3}, {{0x0F, 0x20, 0x00}, 3}, {{0x0F, 0x22, 0x85}, 3},
    {{0xF3, 0x0F, 0xB8, 0xC1}, 4}, {{0x0F, 0xB9, 0x00}, 3}, {{0x0F, 0xFF, 0x00}, 3},
    {{0x66, 0x0F, 0x78, 0xC0, 1, 2}, 6}, {{0x66, 0x0F, 0x79, 0xC1}, 4}, {{0x0F, 0x78, 0xC1}, 3},
    {{0x0F, 0x0B}, 2}, {{0x0F, 0xA2}, 2}, {{0x0F, 0xC8}, 2}, {{0x66, 0x0F, 0x71, 0xD0, 0x04}, 5},
    // 0F 38 and 0F 3A
    {{0x66, 0x0F, 0x3A, 0x16, 0xC0, 0x01}, 6}, {{0x66, 0x0F, 0x3A, 0x0F, 0x44, 0x24, 0x10, 0x08}, 8},
    {{0x66, 0x0F, 0x38, 0x00, 0xC1}, 5}, {{0xF2, 0x0F, 0x38, 0xF1, 0x04, 0x25, 1, 2, 3, 4}, 10},
    {{0x0F, 0x38, 0xF0, 0x01}, 4},
    {{0xC4, 0x00}, 2}, {{0xC5, 0x45, 0x08}, 3},  // les and lds: memory forms, not VEX
    // refused: invalid, beyond what the decoder takes, or longer than a processor reads
    {{0x0F, 0x0A}, 0}, {{0x0F, 0x04}, 0}, {{0x0F, 0x38, 0x50, 0xC0}, 0}, {{0x0F, 0x3A, 0x00, 0xC0, 0}, 0},
    {{0x0F, 0xB8, 0xC0}, 0}, {{0x8D, 0xC0}, 0}, {{0xFE, 0xD0}, 0}, {{0xFF, 0xF8}, 0}, {{0xFF, 0xE8}, 0},
    {{0x62, 0xC0, 0, 0, 0, 0}, 0}, {{0x8F, 0xC8, 0, 0}, 0}, {{0xC6, 0xC8, 0}, 0},
    // forms defined only under another mandatory prefix, or for other operands
    {{0xF2, 0x0F, 0x14, 0x00}, 0}, {{0x0F, 0x38, 0x10, 0xC0}, 0}, {{0x0F, 0x13, 0xC0}, 0}, {{0x0F, 0x50, 0x00}, 0},
    {{0x0F, 0xBA, 0xC0, 1}, 0}, {{0x0F, 0x71, 0xC0, 1}, 0}, {{0x67, 0x0F, 0x1A, 0x06, 1, 2}, 0},
    // not taken: VEX and EVEX, 3DNow!
    {{0xC5, 0xF8, 0x77}, 0}, {{0xC4, 0xE3, 0x79, 0x16, 0xC0, 0x01}, 0}, {{0x0F, 0x0F, 0xC1, 0xB4}, 0},
};

// n operand-size prefixes and a nop.
std::vector<uint8_t> PrefixedNop(size_t n) {
  std::vector<uint8_t> bytes(n, 0x66);
  bytes.push_back(0x90);
  return bytes;
}

TEST(GetInstructionLength, MeasuresEveryFormOrRefusesIt) {
  for (const LengthCase& c : kLengths) EXPECT_EQ(LengthOf(c.bytes), c.length) << ::testing::PrintToString(c.bytes);
  EXPECT_EQ(LengthOf(PrefixedNop(14)), 15);
  EXPECT_EQ(LengthOf(PrefixedNop(15)), 0) << "no processor reads 16 bytes";
  EXPECT_EQ(GetInstructionLength(0), 0);
}

// Each instruction cut short by the page's end, at every byte, is refused and
// never read past the page; whole, it is measured there too.
TEST(GetInstructionLength, NeverReadsPastWhatMayBeRead) {
  PageEnd page;
  for (const LengthCase& c : kLengths) {
    if (c.length == 0) continue;
    for (size_t cut = 1; cut < c.bytes.size(); ++cut) {
      const std::vector<uint8_t> part(c.bytes.begin(), c.bytes.begin() + cut);
      const InstructionShape shape = DecodeInstruction(page.Place(part));
      EXPECT_EQ(shape.length, 0) << ::testing::PrintToString(part);
      EXPECT_TRUE(shape.cutShort) << ::testing::PrintToString(part);
    }
    EXPECT_EQ(GetInstructionLength(page.Place(c.bytes)), c.length) << ::testing::PrintToString(c.bytes);
  }
  const InstructionShape invalid = DecodeInstruction(page.Place({0x0F, 0x0A}));
  EXPECT_FALSE(invalid.cutShort) << "an invalid opcode is not a read that failed";
}

TEST(CodeReads, GiveZeroForUnreadableAddresses) {
  const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78};
  const auto at = reinterpret_cast<CodeAddress>(bytes);
  EXPECT_EQ(ReadCodeByte(at + 1), 0x34);
  EXPECT_EQ(ReadCodeDword(at), 0x78563412u);
  EXPECT_EQ(ReadCodeByte(0), 0);
  EXPECT_EQ(ReadCodeDword(0), 0u);
  PageEnd page;
  const CodeAddress last = page.Place({0xAB});
  EXPECT_EQ(ReadCodeByte(last), 0xAB);
  EXPECT_EQ(ReadCodeDword(last), 0u) << "three of the four bytes lie past the block";
}

struct BranchCase {
  std::vector<uint8_t> bytes;
  int32_t copyable;
  int32_t relativeOffset;  // where RetargetRelativeBranch re-aims; 0: it does not
  bool endsTheFlow;
};

const BranchCase kBranches[] = {
    {{0x70, 0}, 0, 0, false}, {{0x7F, 0}, 0, 0, false}, {{0xE0, 0}, 0, 0, false}, {{0xE3, 0}, 0, 0, false},
    {{0xEB, 0}, 0, 0, true}, {{0x3E, 0x74, 0}, 0, 0, false}, {{0x2E, 0xF3, 0xEB, 0}, 0, 0, true},
    {{0x66, 0xE9, 0, 0}, 0, 0, true}, {{0x66, 0xE8, 0, 0}, 0, 0, false}, {{0x66, 0x0F, 0x85, 0, 0}, 0, 0, false},
    {{0xE8, 0, 0, 0, 0}, 1, 1, false}, {{0xE9, 0, 0, 0, 0}, 1, 1, true}, {{0x0F, 0x8F, 0, 0, 0, 0}, 1, 2, false},
    {{0xF2, 0xE8, 0, 0, 0, 0}, 1, 2, false}, {{0x2E, 0x0F, 0x84, 0, 0, 0, 0}, 1, 3, false},
    {{0x3E, 0xF2, 0xE9, 0, 0, 0, 0}, 1, 3, true}, {{0xC7, 0xF8, 0, 0, 0, 0}, 1, 2, false},
    {{0xC3}, 1, 0, true}, {{0xF3, 0xC3}, 1, 0, true}, {{0xC2, 4, 0}, 1, 0, true}, {{0xCB}, 1, 0, true},
    {{0x64, 0xCA, 8, 0}, 1, 0, true}, {{0xCF}, 1, 0, true}, {{0xFF, 0xE1}, 1, 0, true},
    {{0xFF, 0x25, 0, 0, 0, 0}, 1, 0, true}, {{0xFF, 0x2D, 0, 0, 0, 0}, 1, 0, true}, {{0xEA, 1, 2, 3, 4, 5, 6}, 1, 0, true},
    {{0xCC}, 1, 0, true}, {{0xF4}, 1, 0, true}, {{0x0F, 0x0B}, 1, 0, true}, {{0x0F, 0xB9, 0xC0}, 1, 0, true},
    {{0xFF, 0xD0}, 1, 0, false}, {{0xFF, 0x15, 0, 0, 0, 0}, 1, 0, false}, {{0xCD, 0x2E}, 1, 0, false},
    {{0x55}, 1, 0, false}, {{0x0F, 0x90, 0xC0}, 1, 0, false}, {{0x0F, 0x0A}, 0, 0, false},
};

TEST(Branches, AreFoundBehindPrefixesAndReaimedWhereTheirDisplacementLies) {
  for (const BranchCase& c : kBranches) {
    std::vector<uint8_t> code = c.bytes;
    code.resize(16, 0x90);
    const auto at = reinterpret_cast<CodeAddress>(code.data());
    const std::string name = ::testing::PrintToString(c.bytes);
    EXPECT_EQ(IsCopyableInstruction(at), c.copyable) << name;
    EXPECT_EQ(EndsTheFlow(DecodeInstruction(at)), c.endsTheFlow) << name;
    const std::vector<uint8_t> before = code;
    EXPECT_EQ(RetargetRelativeBranch(at, at, at - 0x100), c.relativeOffset != 0) << name;
    if (c.relativeOffset != 0) {
      uint32_t displacement;
      std::memcpy(&displacement, code.data() + c.relativeOffset, 4);
      EXPECT_EQ(displacement, 0x100u) << name;
      std::memcpy(code.data() + c.relativeOffset, before.data() + c.relativeOffset, 4);
    }
    EXPECT_EQ(code, before) << name << ": nothing else is written";
  }
  EXPECT_EQ(IsCopyableInstruction(0), 0);
}

TEST(Jumps, AreWrittenFollowedAndRetargetedWithWrappingArithmetic) {
  uint8_t code[16] = {};
  const auto at = reinterpret_cast<CodeAddress>(code);
  WriteJump(at, at - 0x1000);
  EXPECT_EQ(code[0], 0xE9);
  EXPECT_EQ(ReadCodeDword(at + 1), static_cast<uint32_t>(-0x1005));
  EXPECT_EQ(FollowJump(at), at - 0x1000);

  // Moved from at to at + 8, the jump still reaches its destination.
  std::memcpy(code + 8, code, 5);
  EXPECT_EQ(RetargetRelativeBranch(at + 8, at, at + 8), 1);
  EXPECT_EQ(FollowJump(at + 8), at - 0x1000);

  code[8] = 0xE8;  // a call is re-aimed the same way
  EXPECT_EQ(RetargetRelativeBranch(at + 8, at + 8, at), 1);
  EXPECT_EQ(ReadCodeDword(at + 9), ReadCodeDword(at + 1));
  code[8] = 0xEB;
  EXPECT_EQ(FollowJump(at + 8), 0u);
}

}  // namespace
