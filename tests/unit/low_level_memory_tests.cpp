// The crash guard's guarded reads and its executable code slots.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <set>
#include <vector>

#include "crashguard/code_buffer.h"
#include "crashguard/guarded_memory.h"

namespace {

using namespace crashguard;

// Two pages: the first readable, the second set as asked.
struct TwoPages {
  explicit TwoPages(DWORD secondProtection) {
    base = static_cast<uint8_t*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::memset(base, 'a', 8192);
    base[4095] = 0;
    DWORD old;
    VirtualProtect(base + 4096, 4096, secondProtection, &old);
  }
  ~TwoPages() { VirtualFree(base, 0, MEM_RELEASE); }
  uint32_t At(size_t offset) const { return reinterpret_cast<uint32_t>(base) + offset; }
  uint8_t* base;
};

TEST(GuardedMemoryTest, ARangeIsReadableUpToAnUnreadablePageAndNotAcrossIt) {
  for (DWORD second : {DWORD{PAGE_NOACCESS}, DWORD{PAGE_READWRITE | PAGE_GUARD}}) {
    TwoPages pages(second);
    EXPECT_TRUE(IsReadableRange(pages.At(4092), 4));
    EXPECT_FALSE(IsReadableRange(pages.At(4094), 4)) << second;
    EXPECT_FALSE(IsReadableRange(pages.At(4096), 1)) << second;
    EXPECT_EQ(ReadGuarded<uint32_t>(pages.At(4092)), 0x00616161u);
    EXPECT_EQ(ReadGuarded<uint32_t>(pages.At(4094)), 0u);
    uint8_t copy[8];
    std::memset(copy, 0x55, sizeof copy);
    EXPECT_FALSE(CopyGuarded(copy, pages.At(4090), sizeof copy));
    EXPECT_EQ(copy[0], 0) << "a failed copy is zero-filled";
    EXPECT_TRUE(CopyGuarded(copy, pages.At(4088), sizeof copy));
    EXPECT_EQ(copy[0], 'a');
  }
  EXPECT_FALSE(IsReadableRange(0, 1));
}

TEST(GuardedMemoryTest, ARangeAcrossTwoReadableRegionsIsReadable) {
  TwoPages pages(PAGE_READONLY);  // two regions of their own protection
  EXPECT_TRUE(IsReadableRange(pages.At(4000), 200));
  EXPECT_FALSE(IsExecutableRange(pages.At(4000), 1));
  DWORD old;
  VirtualProtect(pages.base, 4096, PAGE_EXECUTE_READ, &old);
  EXPECT_TRUE(IsExecutableRange(pages.At(4000), 96));
  EXPECT_FALSE(IsExecutableRange(pages.At(4000), 97));
  EXPECT_TRUE(IsExecutableRange(reinterpret_cast<uint32_t>(&IsReadableRange), 16));
}

TEST(GuardedMemoryTest, TextStopsAtItsEndAnUnreadableByteOrTheLimit) {
  TwoPages pages(PAGE_NOACCESS);
  EXPECT_EQ(ReadGuardedText(pages.At(4090), 100), "aaaaa");
  pages.base[4095] = 'b';
  EXPECT_EQ(ReadGuardedText(pages.At(4090), 100), "aaaaab") << "cut at the unreadable page";
  EXPECT_EQ(ReadGuardedText(pages.At(4090), 3), "aaa");
  EXPECT_EQ(ReadGuardedText(0, 100), "");
}

int CallSlot(uint32_t slot) { return reinterpret_cast<int (*)()>(slot)(); }

// mov eax, value; ret
std::vector<uint8_t> ReturnCode(int value) {
  std::vector<uint8_t> code = {0xB8, 0, 0, 0, 0, 0xC3};
  std::memcpy(&code[1], &value, 4);
  return code;
}

TEST(CodeBufferTest, ASlotRunsItsCopyAndIsReusedAfterItIsFreed) {
  const uint32_t slot = AllocateCode(ReturnCode(41));
  ASSERT_NE(slot, 0u);
  EXPECT_EQ(CallSlot(slot), 41);
  EXPECT_TRUE(IsExecutableRange(slot, kCodeSlotSize));
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(slot)[6], 0xCC) << "the rest of the slot is int3";
  FreeCode(slot);
  const std::vector<uint8_t> longer = ReturnCode(7);
  const uint32_t again = AllocateCode(12, longer.data(), longer.size());
  EXPECT_EQ(again, slot);
  EXPECT_EQ(CallSlot(again), 7);
  EXPECT_EQ(AllocateCode(kCodeSlotSize + 1), 0u);
  EXPECT_EQ(AllocateCode(4, longer.data(), longer.size()), 0u) << "a template longer than the request";
  FreeCode(again);
  FreeCode(0);
}

TEST(CodeBufferTest, ManySlotsSpreadOverPagesWithoutOverlapping) {
  std::vector<uint32_t> slots;
  std::set<uint32_t> pages;
  for (int i = 0; i < 300; ++i) {
    slots.push_back(AllocateCode(ReturnCode(i)));
    ASSERT_NE(slots.back(), 0u);
    pages.insert(slots.back() & ~0xFFFu);
  }
  EXPECT_GE(pages.size(), 300 * kCodeSlotSize / 4096);
  std::set<uint32_t> sorted(slots.begin(), slots.end());
  ASSERT_EQ(sorted.size(), slots.size());
  for (auto it = sorted.begin(); std::next(it) != sorted.end(); ++it) EXPECT_GE(*std::next(it) - *it, kCodeSlotSize);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(CallSlot(slots[i]), i);
  for (uint32_t slot : slots) FreeCode(slot);
}

}  // namespace
