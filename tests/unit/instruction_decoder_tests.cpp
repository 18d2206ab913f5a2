#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "crashguard/instruction_decoder.h"
#include "crashguard/instruction_length_table.h"

namespace {

using namespace crashguard;

struct FlagRanges {
  uint8_t flags;
  const char* opcodes;  // "06-07, 0E, ..."
};

// The full maps of 32-bit code, written out range by range.
const FlagRanges kOneByteMap[] = {
    {0x00, "06-07, 0E, 16-17, 1E-1F, 27, 2F, 37, 3F-61, 6C-6F, 90-99, 9B-9F, A4-A7, AA-AF, C3, C9, CB-CC, CE-CF,"
           " D6-D7, EC-EF, F1, F4-F5, F8-FD"},
    {0x01, "00-03, 08-0B, 10-13, 18-1B, 20-23, 28-2B, 30-33, 38-3B, 62-63, 84-8F, C4-C5, D0-D3, D8-DF, F6-F7, FE-FF"},
    {0x02, "04, 0C, 14, 1C, 24, 2C, 34, 3C, 6A, A8, B0-B7, CD, D4-D5, E4-E7"},
    {0x03, "6B, 80, 82-83, C0-C1, C6"},
    {0x04, "C2, CA"},
    {0x06, "C8"},
    {0x10, "05, 0D, 15, 1D, 25, 2D, 35, 3D, 68, A0-A3, A9, B8-BF"},
    {0x11, "69, 81, C7"},
    {0x14, "9A, EA"},
    {0x20, "70-7F, E0-E3, EB"},
    {0x50, "E8-E9"},
};
const FlagRanges kTwoByteMap[] = {
    {0x00, "04-0C, 0E, 19-1F, 25, 27, 30-3F, 77-7B, A0-A2, A6-AA, B8-B9, C8-CF, FF"},
    {0x01, "00-03, 0D, 10-18, 20-24, 26, 28-2F, 40-6F, 74-76, 7C-7F, 90-9F, A3, A5, AB, AD-B7, BB-C1, C3, C7, D0-FE"},
    {0x03, "0F, 70-73, A4, AC, BA, C2, C4-C6"},
    {0x50, "80-8F"},
};
const char kNeverLookedUp[] = "0F, 26, 2E, 36, 3E, 64-67, F0, F2-F3";

// Every opcode of the ranges text, in order.
std::vector<int> Opcodes(const char* ranges) {
  std::vector<int> out;
  for (const char* p = ranges; *p;) {
    char* end;
    const int first = static_cast<int>(std::strtol(p, &end, 16));
    int last = first;
    if (*end == '-') last = static_cast<int>(std::strtol(end + 1, &end, 16));
    for (int op = first; op <= last; ++op) out.push_back(op);
    p = end;
    while (*p == ',' || *p == ' ') ++p;
  }
  return out;
}

template <size_t N>
std::vector<int> ExpectedMap(const FlagRanges (&map)[N]) {
  std::vector<int> flags(256, -1);
  for (const FlagRanges& row : map) {
    for (int op : Opcodes(row.opcodes)) {
      EXPECT_EQ(flags[op], -1) << "opcode listed twice: " << std::hex << op;
      flags[op] = row.flags;
    }
  }
  return flags;
}

TEST(InstructionLengthTable, GivesTheFlagsOfEveryOneByteOpcode) {
  std::vector<int> expected = ExpectedMap(kOneByteMap);
  for (int op : Opcodes(kNeverLookedUp)) {
    ASSERT_EQ(expected[op], -1);
    expected[op] = -2;
  }
  for (int op = 0; op < 256; ++op) {
    ASSERT_NE(expected[op], -1) << "opcode missing from the map: " << std::hex << op;
    if (expected[op] == -2) continue;
    EXPECT_EQ(OneByteOpcodeFlags(static_cast<uint8_t>(op)), expected[op]) << "opcode " << std::hex << op;
  }
}

TEST(InstructionLengthTable, GivesTheFlagsOfEveryTwoByteOpcode) {
  const std::vector<int> expected = ExpectedMap(kTwoByteMap);
  for (int op = 0; op < 256; ++op) {
    ASSERT_NE(expected[op], -1) << "opcode missing from the map: 0F " << std::hex << op;
    EXPECT_EQ(TwoByteOpcodeFlags(static_cast<uint8_t>(op)), expected[op]) << "opcode 0F " << std::hex << op;
  }
}

TEST(InstructionLengthTable, IndexesPointIntoTheRunsOfTheTable) {
  for (int group = 0; group < 64; ++group) {
    EXPECT_GE(kInstructionLengthTable[group], 128);
    EXPECT_LE(kInstructionLengthTable[group] + 3, kInstructionLengthTableSize - 1);
    EXPECT_GE(64 + kInstructionLengthTable[64 + group], 128);
    EXPECT_LE(64 + kInstructionLengthTable[64 + group] + 3, kInstructionLengthTableSize - 1);
  }
}

int LengthOf(std::initializer_list<int> bytes) {
  std::vector<uint8_t> code(bytes.begin(), bytes.end());
  code.resize(code.size() + 16, 0x90);  // the decoder must stop before these
  return GetInstructionLength(reinterpret_cast<CodeAddress>(code.data()));
}

TEST(GetInstructionLength, MeasuresImmediatesDisplacementsAndPrefixes) {
  EXPECT_EQ(LengthOf({0x66, 0xB8, 0x34, 0x12}), 4);
  EXPECT_EQ(LengthOf({0xB8, 0x78, 0x56, 0x34, 0x12}), 5);
  EXPECT_EQ(LengthOf({0x8B, 0x44, 0x24, 0x08}), 4);
  EXPECT_EQ(LengthOf({0x8B, 0x80, 0x11, 0x22, 0x33, 0x44}), 6);
  EXPECT_EQ(LengthOf({0x67, 0x8B, 0x46, 0x02}), 4);
  EXPECT_EQ(LengthOf({0xE8, 0x11, 0x22, 0x33, 0x44}), 5);
  EXPECT_EQ(LengthOf({0x66, 0xE8, 0x11, 0x22}), 4);
  EXPECT_EQ(LengthOf({0xF6, 0xC0, 0x01}), 3);
  EXPECT_EQ(LengthOf({0xF6, 0xD0}), 2);
  EXPECT_EQ(LengthOf({0x0F, 0x84, 0x11, 0x22, 0x33, 0x44}), 6);
  EXPECT_EQ(LengthOf({0xA1, 0x11, 0x22, 0x33, 0x44}), 5);
  EXPECT_EQ(LengthOf({0x67, 0xA1, 0x11, 0x22}), 4);
}

TEST(GetInstructionLength, MeasuresSibFormsOperandSizedTestsAndFarOperands) {
  EXPECT_EQ(LengthOf({0x8B, 0x04, 0x24}), 3);                                // mov eax,[esp]
  EXPECT_EQ(LengthOf({0x8B, 0x04, 0x25, 0x11, 0x22, 0x33, 0x44}), 7);        // SIB base 5, mod 0
  EXPECT_EQ(LengthOf({0x8B, 0x44, 0x25, 0x08}), 4);                          // SIB base 5, mod 1
  EXPECT_EQ(LengthOf({0x67, 0x8B, 0x06, 0x11, 0x22}), 5);                    // 16-bit direct address
  EXPECT_EQ(LengthOf({0x67, 0x8B, 0x04}), 3);                                // no SIB in 16-bit forms
  EXPECT_EQ(LengthOf({0xF7, 0xC0, 0x11, 0x22, 0x33, 0x44}), 6);              // test eax, imm32
  EXPECT_EQ(LengthOf({0x66, 0xF7, 0xC0, 0x11, 0x22}), 5);                    // test ax, imm16
  EXPECT_EQ(LengthOf({0xF7, 0xD8}), 2);                                      // neg eax
  EXPECT_EQ(LengthOf({0x0F, 0xF6, 0xC1}), 3);                                // the two-byte F6 takes no immediate
  EXPECT_EQ(LengthOf({0x9A, 1, 2, 3, 4, 5, 6}), 7);                          // far call ptr16:32
  EXPECT_EQ(LengthOf({0xC8, 0x10, 0x00, 0x00}), 4);                          // enter
  EXPECT_EQ(LengthOf({0xC2, 0x08, 0x00}), 3);                                // ret 8
  EXPECT_EQ(LengthOf({0xEB, 0xFE}), 2);
  EXPECT_EQ(LengthOf({0x0F, 0xBA, 0xE0, 0x03}), 4);                          // bt eax, 3
  EXPECT_EQ(LengthOf({0xF3, 0x2E, 0x66, 0xA5}), 4);                          // prefixes in any order
  EXPECT_EQ(LengthOf({0x64, 0xA1, 0x18, 0x00, 0x00, 0x00}), 6);              // mov eax, fs:[18]
}

TEST(GetInstructionLength, StaysWithinAnInstructionsLengthOnEndlessPrefixes) {
  std::vector<uint8_t> prefixes(64, 0x66);
  EXPECT_LE(GetInstructionLength(reinterpret_cast<CodeAddress>(prefixes.data())), 16);
  EXPECT_EQ(GetInstructionLength(0), 0);
}

TEST(CodeReads, GiveZeroForUnreadableAddresses) {
  const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78};
  const auto at = reinterpret_cast<CodeAddress>(bytes);
  EXPECT_EQ(ReadCodeByte(at + 1), 0x34);
  EXPECT_EQ(ReadCodeDword(at), 0x78563412u);
  EXPECT_EQ(ReadCodeByte(0), 0);
  EXPECT_EQ(ReadCodeDword(0), 0u);
  void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(page, nullptr);
  static_cast<uint8_t*>(page)[4095] = 0xAB;
  const auto last = reinterpret_cast<CodeAddress>(page) + 4095;
  EXPECT_EQ(ReadCodeByte(last), 0xAB);
  EXPECT_EQ(ReadCodeDword(last), 0u) << "three of the four bytes lie past the block";
  VirtualFree(page, 0, MEM_RELEASE);
  EXPECT_EQ(ReadCodeByte(last), 0);
}

TEST(IsCopyableInstruction, RefusesShortConditionalAndLoopBranches) {
  for (int op : {0x70, 0x74, 0x7F, 0xE0, 0xE1, 0xE2, 0xE3, 0xEB}) {
    const uint8_t code[] = {static_cast<uint8_t>(op), 0x00};
    EXPECT_EQ(IsCopyableInstruction(reinterpret_cast<CodeAddress>(code)), 0) << std::hex << op;
  }
  for (int op : {0x80, 0x85, 0x8F}) {
    const uint8_t code[] = {0x0F, static_cast<uint8_t>(op), 0, 0, 0, 0};
    EXPECT_EQ(IsCopyableInstruction(reinterpret_cast<CodeAddress>(code)), 0) << std::hex << op;
  }
  for (int op : {0xE8, 0xE9, 0x55, 0x8B, 0x6F, 0x80}) {
    const uint8_t code[] = {static_cast<uint8_t>(op), 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(IsCopyableInstruction(reinterpret_cast<CodeAddress>(code)), 1) << std::hex << op;
  }
  const uint8_t twoByte[] = {0x0F, 0x90, 0xC0};  // seto al
  EXPECT_EQ(IsCopyableInstruction(reinterpret_cast<CodeAddress>(twoByte)), 1);
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
  EXPECT_EQ(RetargetRelativeBranch(at + 8, at, at + 8), 0);
  EXPECT_EQ(ReadCodeDword(at + 9), ReadCodeDword(at + 1));
  EXPECT_EQ(FollowJump(at + 8), 0u);
}

}  // namespace
