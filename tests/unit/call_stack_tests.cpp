// Stack texts of the crash guard, walked over frame chains made in the test,
// and the return-hook thunk run for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "crashguard/call_stack.h"
#include "crashguard/guard_options.h"
#include "crashguard/hex_text.h"
#include "crashguard/module_list.h"

// Sets every general register, "returns" into the thunk given as argument and
// lands on ThunkProbeBack, which gives 1 when all registers arrived unchanged.
asm(R"(
  .text
  .globl _ThunkProbe
_ThunkProbe:
  push %ebx
  push %esi
  push %edi
  push %ebp
  mov 20(%esp), %eax
  mov $0x11111111, %ebx
  mov $0x22222222, %ecx
  mov $0x33333333, %edx
  mov $0x44444444, %esi
  mov $0x55555555, %edi
  mov $0x66666666, %ebp
  push %eax
  mov $0x77777777, %eax
  ret
  .globl _ThunkProbeBack
_ThunkProbeBack:
  cmp $0x11111111, %ebx
  jne 1f
  cmp $0x22222222, %ecx
  jne 1f
  cmp $0x33333333, %edx
  jne 1f
  cmp $0x44444444, %esi
  jne 1f
  cmp $0x55555555, %edi
  jne 1f
  cmp $0x66666666, %ebp
  jne 1f
  cmp $0x77777777, %eax
  jne 1f
  mov $1, %eax
  jmp 2f
1:
  xor %eax, %eax
2:
  pop %ebp
  pop %edi
  pop %esi
  pop %ebx
  ret
)");
extern "C" int ThunkProbe(uint32_t thunk);
extern "C" void ThunkProbeBack();

namespace {

using namespace crashguard;

uint32_t OwnCode() { return reinterpret_cast<uint32_t>(&ThunkProbeBack); }

uint32_t Kernel32Code() { return reinterpret_cast<uint32_t>(GetModuleHandleA("kernel32.dll")) + 0x1000; }

// Three frames at rising addresses, as a real stack has them.
struct FakeChain {
  uint32_t words[6] = {};
  uint32_t Frame(int i) { return reinterpret_cast<uint32_t>(&words[2 * i]); }
  // Frame i links to frame i + 1 and returns into the given code.
  void Link(int i, uint32_t returnCode) {
    words[2 * i] = i < 2 ? Frame(i + 1) : 0;
    words[2 * i + 1] = returnCode;
  }
};

void SetOptions(int32_t skipSystem, int32_t outermostFirst) {
  GetCrashGuardOptions();
  CrashGuardOptions given = ProcessCrashGuardOptions();
  given.skipSystemFrames = skipSystem;
  given.outermostFirst = outermostFirst;
  StoreCrashGuardOptions(given);
}

std::vector<std::string> Lines(uint32_t frame, uint32_t code) {
  std::vector<StackLine> lines;
  WalkCallStack(frame, code, lines);
  std::vector<std::string> texts;
  for (const StackLine& line : lines) texts.push_back(line.text);
  return texts;
}

TEST(HexText, WidthsAndSizes) {
  EXPECT_EQ(FormatHex(0xA, 2), "0A");
  EXPECT_EQ(FormatHex(0xA, 4), "000A");
  EXPECT_EQ(FormatHex8(0xBEEF), "0000BEEF");
  EXPECT_EQ(FormatHex(0xABC, 3), "ABC");
  EXPECT_EQ(FormatHexBySize(255), "FF");
  EXPECT_EQ(FormatHexBySize(256), "0100");
  EXPECT_EQ(FormatHexBySize(65535), "FFFF");
  EXPECT_EQ(FormatHexBySize(65536), "00010000");
}

TEST(ModuleListTest, ModulesHoldTheirAddressesAndExportsAreNamed) {
  ModuleList modules;
  const uint32_t sleep = reinterpret_cast<uint32_t>(GetProcAddress(GetModuleHandleA("kernelbase.dll"), "Sleep"));
  ASSERT_NE(sleep, 0u);
  const uint32_t base = FindModuleBase(sleep + 0x10, modules);
  ASSERT_FALSE(modules.empty());
  EXPECT_EQ(base, reinterpret_cast<uint32_t>(GetModuleHandleA("kernelbase.dll")));
  EXPECT_EQ(lstrcmpiA(FindModuleName(sleep, modules).c_str(), "kernelbase.dll"), 0);
  std::string name;
  const uint32_t offset = AddressToText(sleep + 0x10, base, name);
  ASSERT_FALSE(name.empty());
  // Whatever export lies nearest below, it is found again by its name.
  EXPECT_EQ(reinterpret_cast<uint32_t>(GetProcAddress(reinterpret_cast<HMODULE>(base), name.c_str())),
            sleep + 0x10 - offset);
  EXPECT_LE(offset, 0x10u);
  EXPECT_EQ(AddressToText(sleep, 0, name), 0u);
  EXPECT_EQ(name, "");
}

TEST(CallStackTest, AnUnreadableFirstFrameGivesNoLines) {
  EXPECT_TRUE(Lines(0, OwnCode()).empty());
  EXPECT_EQ(FormatCallStack(8, OwnCode()), "");
}

TEST(CallStackTest, ABadCodeAddressAddsNoLineButTheWalkGoesOn) {
  SetOptions(0, 0);
  FakeChain chain;
  chain.Link(0, 0);  // the frame above returns into nothing
  chain.Link(1, OwnCode());
  chain.Link(2, 0);
  EXPECT_EQ(Lines(chain.Frame(0), OwnCode()).size(), 2u);
}

TEST(CallStackTest, AnAddressOutsideEveryModuleIsShownBare) {
  SetOptions(0, 0);
  void* block = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_EXECUTE_READWRITE);
  FakeChain chain;
  chain.Link(0, 0);
  const uint32_t code = reinterpret_cast<uint32_t>(block) + 0x20;
  EXPECT_EQ(Lines(chain.Frame(0), code), std::vector<std::string>{"0x" + FormatHex8(code)});
  VirtualFree(block, 0, MEM_RELEASE);
}

TEST(CallStackTest, AModuleWithoutExportsGivesItsNameAndOffset) {
  SetOptions(0, 0);
  ModuleList modules;
  const uint32_t base = FindModuleBase(OwnCode(), modules);
  const std::string exe = FindModuleName(OwnCode(), modules);
  FakeChain chain;
  chain.Link(0, 0);
  const uint32_t code = base + 0x1234;
  EXPECT_EQ(Lines(chain.Frame(0), code),
            std::vector<std::string>{"[" + exe + "]+0x1234=" + FormatHex8(code)});
}

TEST(CallStackTest, OutermostSystemFramesAreLeftOutUnlessALineCameBefore) {
  FakeChain chain;
  chain.Link(0, Kernel32Code());  // outermost: kernel32
  chain.Link(1, 0);
  SetOptions(1, 0);
  EXPECT_EQ(Lines(chain.Frame(0), OwnCode()).size(), 1u);
  SetOptions(0, 0);
  const std::vector<std::string> all = Lines(chain.Frame(0), OwnCode());
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1].rfind("[kernel32.dll]", 0), 0u) << all[1];

  FakeChain inner;  // kernel32 innermost, own code outside it
  inner.Link(0, OwnCode());
  inner.Link(1, 0);
  SetOptions(1, 0);
  const std::vector<std::string> kept = Lines(inner.Frame(0), Kernel32Code());
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].rfind("[kernel32.dll]", 0), 0u) << kept[0];
}

TEST(CallStackTest, LinesRunInnermostFirstUnlessAskedAndAreIndentedOneDeeperEach) {
  SetOptions(0, 0);
  void* block = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_EXECUTE_READWRITE);
  const uint32_t a = reinterpret_cast<uint32_t>(block) + 1, b = a + 1, c = a + 2;
  FakeChain chain;
  chain.Link(0, b);
  chain.Link(1, c);
  chain.Link(2, 0);
  EXPECT_EQ(FormatCallStack(chain.Frame(0), a),
            " 0x" + FormatHex8(a) + "\r\n  0x" + FormatHex8(b) + "\r\n   0x" + FormatHex8(c) + "\r\n");
  SetOptions(0, 1);
  EXPECT_EQ(Lines(chain.Frame(0), a).front(), "0x" + FormatHex8(c));
  SetOptions(0, 0);
  VirtualFree(block, 0, MEM_RELEASE);
}

TEST(CallStackTest, ALoopingChainEnds) {
  FakeChain chain;
  chain.words[0] = chain.Frame(1);
  chain.words[1] = OwnCode();
  chain.words[2] = chain.Frame(0);  // back down: a loop
  chain.words[3] = OwnCode();
  EXPECT_EQ(Lines(chain.Frame(0), OwnCode()).size(), 2u);
}

#define KEEPS_FRAME __attribute__((noinline, optimize("no-omit-frame-pointer")))

struct FrameProbe {
  uint32_t outerFrame, middleFrame, aboveZero, aboveOne, returnAddress, expectedReturn;
};

KEEPS_FRAME void Inner(FrameProbe& probe) {
  probe.aboveZero = GetFrameAbove(0);
  probe.aboveOne = GetFrameAbove(1);
  probe.returnAddress = GetOwnReturnAddress();
  probe.expectedReturn = reinterpret_cast<uint32_t>(__builtin_return_address(0));
  asm volatile("" ::: "memory");
}

KEEPS_FRAME void Middle(FrameProbe& probe) {
  probe.middleFrame = reinterpret_cast<uint32_t>(__builtin_frame_address(0));
  Inner(probe);
  asm volatile("" ::: "memory");
}

KEEPS_FRAME void Outer(FrameProbe& probe) {
  probe.outerFrame = reinterpret_cast<uint32_t>(__builtin_frame_address(0));
  Middle(probe);
  asm volatile("" ::: "memory");
}

TEST(FrameLinks, FramesAboveTheCallerAndItsReturnAddress) {
  FrameProbe probe{};
  Outer(probe);
  EXPECT_EQ(probe.aboveZero, probe.middleFrame);
  EXPECT_EQ(probe.aboveOne, probe.outerFrame);
  EXPECT_EQ(probe.returnAddress, probe.expectedReturn);
}

TEST(ReturnHookThunk, PopsTheNewestEntryAndReturnsWithEveryRegisterIntact) {
  CallStackList* list = GetThreadCallStackSlot();
  list->entries.push_back(new CallStackEntry{0x1234, 0, "older"});
  list->entries.push_back(new CallStackEntry{reinterpret_cast<uint32_t>(&ThunkProbeBack), 0, "newest"});
  EXPECT_EQ(ThunkProbe(GetPopReturnCallback()), 1);
  ASSERT_EQ(list->entries.size(), 1u);
  EXPECT_EQ(list->entries[0]->name, "older");
  EXPECT_EQ(PopCallStackRecord(), 0x1234u);
  EXPECT_EQ(PopCallStackRecord(), 0u);
}

TEST(ReturnHookThunk, ATrackedFrameShowsItsRealReturnAddressAndName) {
  SetOptions(0, 0);
  const uint32_t thunk = GetPopReturnCallback();
  FakeChain chain;
  chain.Link(0, thunk);  // the frame's return slot leads through the thunk
  chain.Link(1, 0);
  CallStackList* list = GetThreadCallStackSlot();
  list->entries.push_back(new CallStackEntry{OwnCode(), chain.Frame(1), "._启动子程序"});
  const std::vector<std::string> lines = Lines(chain.Frame(0), OwnCode());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "[" + FormatHex8(OwnCode()) + "]._启动子程序");
  PopCallStackRecord();

  // An untracked thunk frame drops everything outside it.
  EXPECT_EQ(Lines(chain.Frame(0), OwnCode()).size(), 1u);
}

}  // namespace
