#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/owned.h"
#include "crashguard/api_hook.h"
#include "crashguard/code_buffer.h"
#include "crashguard/hook_blocks.h"
#include "crashguard/original_call.h"
#include "support/test_support.h"

// Functions of known bytes to hook.
extern "C" {
int HotPatchAdd(int a, int b);          // 8B FF 55 8B EC ...: cdecl a + b
int FrameMultiply(int a, int b);        // 55 8B EC 83 EC 10 ...: cdecl a * b
int FrameSubtract(int a, int b);        // 55 8B EC 83 EC 10 ...: cdecl a - b
int CallsSevenPlus(int a);              // E8 rel32 first: cdecl 7 + a
int __stdcall StdcallSubtract(int a, int b);
int EcxPlusArgument(int a);             // ECX + a, removes its argument (ret 4)
int ShortJumpEntry();                   // EB ...
int ConditionalJumpEntry();             // 74 ...
int NearConditionalJumpEntry();         // 0F 84 ...
int Seven();
int RetBeforeAnExport();                // push 7, pop eax, ret, then int3 padding an export starts in
}

asm(R"(
  .text
  .globl _HotPatchAdd, _FrameMultiply, _FrameSubtract, _CallsSevenPlus, _StdcallSubtract@8
  .globl _EcxPlusArgument, _ShortJumpEntry, _ConditionalJumpEntry, _NearConditionalJumpEntry
  .globl _Seven
  .p2align 4
_HotPatchAdd:
  .byte 0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C, 0x5D, 0xC3
  .p2align 4
_FrameMultiply:
  .byte 0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0x8B, 0x45, 0x08, 0x0F, 0xAF, 0x45, 0x0C, 0x8B, 0xE5, 0x5D, 0xC3
  .p2align 4
_FrameSubtract:
  .byte 0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0x8B, 0x45, 0x08, 0x2B, 0x45, 0x0C, 0x8B, 0xE5, 0x5D, 0xC3
  .p2align 4
_CallsSevenPlus:
  call _Seven
  .byte 0x03, 0x44, 0x24, 0x04, 0xC3
  .p2align 4
_StdcallSubtract@8:
  .byte 0x8B, 0x44, 0x24, 0x04, 0x2B, 0x44, 0x24, 0x08, 0xC2, 0x08, 0x00
  .p2align 4
_EcxPlusArgument:
  .byte 0x8B, 0xC1, 0x03, 0x44, 0x24, 0x04, 0xC2, 0x04, 0x00
  .p2align 4
_ShortJumpEntry:
  .byte 0xEB, 0x00, 0x31, 0xC0, 0x90, 0x90, 0x90, 0xC3
  .p2align 4
_ConditionalJumpEntry:
  .byte 0x31, 0xC0, 0x74, 0x00, 0x90, 0x90, 0xC3
  .p2align 4
_NearConditionalJumpEntry:
  .byte 0x0F, 0x84, 0x00, 0x00, 0x00, 0x00, 0x31, 0xC0, 0xC3
  .p2align 4
_Seven:
  .byte 0xB8, 0x07, 0x00, 0x00, 0x00, 0xC3
  .globl _RetBeforeAnExport, _ExportInPadding
  .p2align 4
_RetBeforeAnExport:
  .byte 0x6A, 0x07, 0x58, 0xC3, 0xCC, 0xCC, 0xCC, 0xCC
_ExportInPadding:
  .byte 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC
  .section .drectve
  .ascii " -export:ExportInPadding"
  .text
)");

namespace {

using namespace crashguard;

template <typename F>
CodeAddress Address(F* function) {
  return reinterpret_cast<CodeAddress>(function);
}

std::vector<uint8_t> EntryBytes(CodeAddress at, size_t count) {
  const auto* p = reinterpret_cast<const uint8_t*>(at);
  return std::vector<uint8_t>(p, p + count);
}

// The hook the replacements call through, and how often they ran.
ApiHook* currentHook = nullptr;
int replacementCalls = 0;

int AddReplacement(int a, int b) {
  ++replacementCalls;
  return currentHook->CallOriginal(a, b) + 1000;
}

int SevenPlusReplacement(int a) {
  ++replacementCalls;
  return currentHook->CallOriginal(a) * 10;
}

int ReturnMinusOne() {
  ++replacementCalls;
  return -1;
}

// Reached through the adapter: ECX arrives as the first stack argument.
int __stdcall EcxAdapterReplacement(int object, int a) {
  ++replacementCalls;
  return currentHook->CallOriginalWithArgs(object, a) * 2;
}

class ApiHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hook = AllocateApiHook();
    hook->ConstructApiHook();
    currentHook = hook;
    replacementCalls = 0;
  }
  // Still-hooked objects leave by the pass-through path, as at program exit.
  void TearDown() override {
    ReleaseApiHook(hook);
    currentHook = nullptr;
  }

  ApiHook* hook = nullptr;
};

TEST_F(ApiHookTest, NewObjectIsUnhookedAndUnhooksOnDestroy) {
  EXPECT_EQ(hook->operations, &ApiHookTable());
  EXPECT_EQ(hook->unhookOnDestroy, 1);
  EXPECT_EQ(hook->targetAddress, 0u);
  EXPECT_EQ(hook->GetTrampoline(), 0u);
  EXPECT_EQ(hook->RemoveHook(kRestoreEntry), 0);
  EXPECT_EQ(hook->CallOriginal(1, 2), 0) << "no trampoline: nothing is called";
  hook->SetHookUserValue(-42);
  EXPECT_EQ(hook->GetHookUserValue(), -42);
  EXPECT_EQ(hook->GetCodeTemplate().size(), 0u);
  EXPECT_EQ(hook->GetCodeTemplate(1), (std::vector<uint8_t>{0xFF, 0x34, 0x24, 0x89, 0x4C, 0x24, 0x04}));
}

TEST_F(ApiHookTest, HotPatchEntryReachesReplacementAndOriginal) {
  const CodeAddress target = Address(HotPatchAdd);
  const std::vector<uint8_t> before = EntryBytes(target, 13);
  ASSERT_EQ(hook->HookByAddress(target, Address(AddReplacement)), 1);
  EXPECT_EQ(hook->copiedLength, 5);
  EXPECT_EQ(hook->targetAddress, target);
  EXPECT_EQ(hook->replacementAddress, Address(AddReplacement));
  EXPECT_EQ(FollowJump(target), hook->patchStub);
  EXPECT_EQ(FollowJump(hook->patchStub), Address(AddReplacement)) << "no adapter: the stub is one jump";
  EXPECT_EQ(FollowJump(hook->trampoline + 5), target + 5);
  EXPECT_EQ(EntryBytes(target + 5, 8), std::vector<uint8_t>(before.begin() + 5, before.end()));

  EXPECT_EQ(HotPatchAdd(2, 3), 1005);
  EXPECT_EQ(replacementCalls, 1);
  EXPECT_EQ(hook->CallOriginal(20, 22), 42);

  ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
  EXPECT_EQ(EntryBytes(target, 13), before);
  EXPECT_EQ(HotPatchAdd(2, 3), 5);
  EXPECT_EQ(hook->GetTrampoline(), 0u);
  EXPECT_EQ(hook->RemoveHook(kRestoreEntry), 0) << "already unhooked";
}

TEST_F(ApiHookTest, FrameEntryMovesSixBytes) {
  const CodeAddress target = Address(FrameMultiply);
  const std::vector<uint8_t> before = EntryBytes(target, 17);
  ASSERT_EQ(hook->HookByAddress(target, Address(AddReplacement)), 1);
  EXPECT_EQ(hook->copiedLength, 6);
  EXPECT_EQ(EntryBytes(hook->trampoline, 6), std::vector<uint8_t>(before.begin(), before.begin() + 6));
  EXPECT_EQ(FrameMultiply(6, 7), 1042);
  ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
  EXPECT_EQ(EntryBytes(target, 17), before);
}

TEST_F(ApiHookTest, RelativeCallInTheEntryKeepsItsDestination) {
  const CodeAddress target = Address(CallsSevenPlus);
  const std::vector<uint8_t> before = EntryBytes(target, 10);
  ASSERT_EQ(before[0], 0xE8);
  ASSERT_EQ(hook->HookByAddress(target, Address(SevenPlusReplacement)), 1);
  EXPECT_EQ(hook->copiedLength, 5);
  EXPECT_EQ(FollowJump(target), hook->patchStub);
  EXPECT_EQ(CallsSevenPlus(1), 80) << "the moved call still reaches Seven";

  ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
  EXPECT_EQ(EntryBytes(target, 10), before) << "the call is aimed back from the entry";
  EXPECT_EQ(CallsSevenPlus(1), 8);
}

TEST_F(ApiHookTest, EntriesStartingWithShortBranchesAreRefused) {
  for (CodeAddress target : {Address(ShortJumpEntry), Address(ConditionalJumpEntry)}) {
    const std::vector<uint8_t> before = EntryBytes(target, 8);
    EXPECT_EQ(hook->HookByAddress(target, Address(ReturnMinusOne)), 0);
    EXPECT_EQ(EntryBytes(target, 8), before);
    EXPECT_EQ(hook->trampoline, 0u);
    EXPECT_EQ(hook->patchStub, 0u);
  }
  EXPECT_EQ(ShortJumpEntry(), 0);
  EXPECT_EQ(ConditionalJumpEntry(), 0);
  EXPECT_EQ(replacementCalls, 0);
}

TEST_F(ApiHookTest, NearConditionalJumpIsReaimedBothWays) {
  const CodeAddress target = Address(NearConditionalJumpEntry);
  const std::vector<uint8_t> before = EntryBytes(target, 9);
  ASSERT_EQ(hook->HookByAddress(target, Address(ReturnMinusOne)), 1);
  EXPECT_EQ(hook->copiedLength, 6);
  EXPECT_EQ(NearConditionalJumpEntry(), -1);
  EXPECT_EQ(hook->CallOriginal(), 0) << "the moved jump still lands behind the entry";
  ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
  EXPECT_EQ(EntryBytes(target, 9), before);
}

TEST_F(ApiHookTest, PaddingThatAnExportStartsInIsNotFree) {
  const CodeAddress target = Address(RetBeforeAnExport);
  const std::vector<uint8_t> before = EntryBytes(target, 16);
  EXPECT_EQ(hook->Install(target, Address(ReturnMinusOne)), HookStatus::EntryTooShort);
  EXPECT_EQ(EntryBytes(target, 16), before);
  EXPECT_EQ(RetBeforeAnExport(), 7);
}

// Entries that cannot be read as they would be copied: execute-only memory,
// and instructions that run on into an execute-only page.
TEST_F(ApiHookTest, UnreadableEntriesAreRefused) {
  for (const uint32_t fromPageEnd : {100u, 3u}) {
    auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(base, nullptr);
    uint8_t* at = base + 4096 - fromPageEnd;
    const std::vector<uint8_t> code = EntryBytes(Address(FrameSubtract), 16);
    std::memcpy(at, code.data(), code.size());
    DWORD old;
    VirtualProtect(base, 8192, PAGE_EXECUTE, &old);
    if (fromPageEnd == 3) VirtualProtect(base, 4096, PAGE_EXECUTE_READ, &old);
    if (fromPageEnd == 100) {
      // Some systems let the processor read such pages all the same; the engine goes by the protection.
      std::printf("execute-only memory is %sreadable here\n", IsBadReadPtr(at, 1) ? "not " : "");
    }
    EXPECT_EQ(hook->Install(Address(at), Address(ReturnMinusOne)), HookStatus::UnreadableEntry) << fromPageEnd;
    VirtualProtect(base, 8192, PAGE_EXECUTE_READWRITE, &old);
    EXPECT_EQ(EntryBytes(Address(at), code.size()), code);
    EXPECT_EQ(hook->trampoline, 0u);
    VirtualFree(base, 0, MEM_RELEASE);
  }
}

TEST_F(ApiHookTest, InvalidTargetsAndUnknownExportsFail) {
  EXPECT_EQ(hook->HookByAddress(0, Address(ReturnMinusOne)), 0);
  EXPECT_EQ(hook->HookByAddress(Address(FrameSubtract), 0), 0);
  EXPECT_EQ(hook->HookByName("kernelbase", "NoSuchExportAnywhere", Address(ReturnMinusOne)), 0);
  EXPECT_EQ(hook->HookByName("no_such_module.dll", "CreateThread", Address(ReturnMinusOne)), 0);
  EXPECT_EQ(hook->GetTrampoline(), 0u);
}

TEST_F(ApiHookTest, SecondHookFailsAndModeZeroChangesNothing) {
  const CodeAddress target = Address(HotPatchAdd);
  ASSERT_EQ(hook->HookByAddress(target, Address(AddReplacement)), 1);
  const CodeAddress stub = hook->patchStub;
  EXPECT_EQ(hook->HookByAddress(Address(FrameSubtract), Address(ReturnMinusOne)), 0);
  EXPECT_EQ(hook->RemoveHook(0), 0);
  EXPECT_EQ(hook->RemoveHook(3), 0);
  EXPECT_EQ(hook->patchStub, stub);
  EXPECT_EQ(FollowJump(target), stub);
  EXPECT_EQ(FrameSubtract(9, 2), 7);
  EXPECT_EQ(HotPatchAdd(1, 1), 1002);
  ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
}

TEST_F(ApiHookTest, PassThroughLeadsTheStubToTheTrampoline) {
  const CodeAddress target = Address(FrameSubtract);
  ASSERT_EQ(hook->HookByAddress(target, Address(ReturnMinusOne)), 1);
  EXPECT_EQ(FrameSubtract(9, 2), -1);
  const CodeAddress stub = hook->patchStub;
  const CodeAddress trampoline = hook->trampoline;

  ASSERT_EQ(hook->RemoveHook(kPassThrough), 1);
  EXPECT_EQ(FollowJump(target), stub);
  EXPECT_EQ(FollowJump(stub), trampoline);
  EXPECT_EQ(FrameSubtract(9, 2), 7);
  EXPECT_EQ(replacementCalls, 1);
  EXPECT_EQ(hook->targetAddress, 0u);
  EXPECT_EQ(hook->GetTrampoline(), 0u);
  EXPECT_EQ(hook->copiedLength, 6);
  EXPECT_EQ(hook->CallOriginal(9, 2), 0);
}

TEST_F(ApiHookTest, DestroyTakesThePassThroughPathAndCopiesShareBlocks) {
  const CodeAddress target = Address(FrameMultiply);
  ASSERT_EQ(hook->HookByAddress(target, Address(ReturnMinusOne)), 1);
  hook->SetHookUserValue(5);
  ApiHook* copy = hook->CopyApiHook();
  EXPECT_EQ(std::memcmp(copy, hook, sizeof(ApiHook)), 0);
  EXPECT_EQ(copy->CallOriginal(3, 4), 12);
  copy->SetUnhookOnDestroy(0);
  ReleaseApiHook(copy);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(FrameMultiply(3, 4), -1) << "a copy that does not unhook leaves the hook alone";

  const CodeAddress stub = hook->patchStub;
  ReleaseApiHook(hook);
  EXPECT_EQ(FollowJump(target), stub);
  EXPECT_EQ(FrameMultiply(3, 4), 12);
}

TEST_F(ApiHookTest, CallOriginalSuitsStdcallCallees) {
  ASSERT_EQ(hook->HookByAddress(Address(StdcallSubtract), Address(ReturnMinusOne)), 1);
  EXPECT_EQ(hook->copiedLength, 8);
  // The stdcall callee removes two words; the stack is put back all the same.
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(hook->CallOriginal(i, 1), i - 1);
  EXPECT_EQ(hook->CallOriginalWithArgs(0, 50, 8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), 42);
  ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
}

TEST_F(ApiHookTest, AdapterPassesEcxAsTheFirstArgument) {
  const CodeAddress target = Address(EcxPlusArgument);
  ASSERT_EQ(hook->HookByAddress(target, Address(EcxAdapterReplacement), 1), 1);
  EXPECT_EQ(EntryBytes(hook->patchStub, 7), hook->GetCodeTemplate(1));
  EXPECT_EQ(FollowJump(hook->patchStub + 7), Address(EcxAdapterReplacement));
  const int32_t args[12] = {5};
  EXPECT_EQ(CallWithStackArgs(target, 100, args), 210) << "(ECX 100 + 5) * 2";
  EXPECT_EQ(replacementCalls, 1);
  EXPECT_EQ(hook->CallOriginalWithArgs(30, 12), 42);
  ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
  EXPECT_EQ(CallWithStackArgs(target, 100, args), 105);
}

TEST_F(ApiHookTest, EachFailureNamesItsOwnStatus) {
  static const uint8_t kData[8] = {0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0xC3};
  const auto data = reinterpret_cast<CodeAddress>(kData);
  const CodeAddress replacement = Address(ReturnMinusOne);
  EXPECT_EQ(hook->Install(data, replacement), HookStatus::NotExecutable);
  EXPECT_EQ(hook->Install(Address(FrameSubtract), data), HookStatus::NotExecutable);
  EXPECT_EQ(hook->Install(Address(ShortJumpEntry), replacement), HookStatus::UnsupportedEntry);
  EXPECT_EQ(hook->Install(Address(ConditionalJumpEntry), replacement), HookStatus::UnsupportedEntry);
  EXPECT_EQ(hook->InstallByName("no_such_module.dll", "CreateThread", replacement), HookStatus::ModuleNotLoaded);
  EXPECT_EQ(hook->InstallByName("kernelbase", "NoSuchExportAnywhere", replacement), HookStatus::ExportNotFound);
  CodeAddress block = 0;
  int32_t length = 0;
  EXPECT_EQ(MakeTrampoline(Address(FrameSubtract), kJumpLength, kCodeSlotSize, block, length),
            HookStatus::CodeTooLarge);
  EXPECT_EQ(hook->Remove(kRestoreEntry), HookStatus::NotHooked);

  ASSERT_EQ(hook->Install(Address(HotPatchAdd), Address(AddReplacement)), HookStatus::Ok);
  EXPECT_EQ(hook->Install(Address(FrameSubtract), replacement), HookStatus::StillHooked);
  EXPECT_EQ(hook->Remove(3), HookStatus::UnknownMode);
  EXPECT_EQ(hook->Remove(kRestoreEntry), HookStatus::Ok);
}

// Code written fromPageEnd bytes before the end of a fresh page, which the
// next page follows, read-execute or only reserved (then only what fits is written).
struct PlacedCode {
  PlacedCode(const std::vector<uint8_t>& code, DWORD protection, bool nextCommitted, uint32_t fromPageEnd)
      : base(static_cast<uint8_t*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))),
        at(Address(base) + 4096 - fromPageEnd),
        length(nextCommitted ? code.size() : std::min<size_t>(code.size(), fromPageEnd)) {
    std::memcpy(base + 4096 - fromPageEnd, code.data(), length);
    DWORD old;
    VirtualProtect(base, 8192, PAGE_EXECUTE_READ, &old);
    VirtualProtect(base, 4096, protection, &old);
    if (!nextCommitted) VirtualFree(base + 4096, 4096, MEM_DECOMMIT);
  }
  ~PlacedCode() { VirtualFree(base, 0, MEM_RELEASE); }
  uint8_t* base;
  CodeAddress at;
  size_t length;
};

TEST_F(ApiHookTest, EntryThatCannotBeMadeWritableIsRefused) {
  // The entry's last three bytes lie on the next page: patched when it is committed, refused when only reserved.
  for (const bool nextCommitted : {true, false}) {
    PlacedCode code({0x90, 0x90, 0x90, 0x90, 0xC3}, PAGE_EXECUTE_READ, nextCommitted, 2);
    CodeAddress stub = 0;
    EXPECT_EQ(MakePatchStub(code.at, Address(ReturnMinusOne), {}, stub),
              nextCommitted ? HookStatus::Ok : HookStatus::ProtectionRefused);
    EXPECT_EQ(FollowJump(code.at), stub) << nextCommitted;
    FreeCode(stub);
  }
}

// A function in the process's own pages, with Seven's bytes after it.
struct PlacedEntry {
  const char* name;
  std::vector<uint8_t> entry;
  DWORD protection;
  bool nextCommitted;
  uint32_t fromPageEnd;
  HookStatus expected;
};

PlacedEntry ReturnsEarly(const char* name, std::vector<uint8_t> entry) {
  return {name, std::move(entry), PAGE_EXECUTE_READ, true, 100, HookStatus::EntryTooShort};
}

class HookRemovalAndRefusal : public ApiHookTest, public ::testing::WithParamInterface<PlacedEntry> {};

// Hooked: restored once, never again through a copy, also once another hook
// took the freed blocks. Refused: nothing written. Either way Seven still runs.
TEST_P(HookRemovalAndRefusal, LeavesEveryFunctionWhole) {
  const PlacedEntry& row = GetParam();
  std::vector<uint8_t> code = row.entry;
  code.insert(code.end(), {0xB8, 0x07, 0x00, 0x00, 0x00, 0xC3});
  const PlacedCode placed(code, row.protection, row.nextCommitted, row.fromPageEnd);
  const std::vector<uint8_t> before = EntryBytes(placed.at, placed.length);
  const auto subtract = reinterpret_cast<int (*)(int, int)>(placed.at);
  ASSERT_EQ(hook->Install(placed.at, Address(ReturnMinusOne)), row.expected);
  if (row.expected == HookStatus::Ok) {
    EXPECT_EQ(subtract(9, 2), -1);
    ApiHook* copy = hook->CopyApiHook();
    const CodeAddress trampoline = hook->trampoline;
    ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
    EXPECT_EQ(copy->RemoveHook(kRestoreEntry), 0);
    ApiHook* other = AllocateApiHook();
    ASSERT_EQ(other->HookByAddress(Address(FrameMultiply), Address(ReturnMinusOne)), 1);
    ASSERT_EQ(other->trampoline, trampoline);
    EXPECT_EQ(copy->RemoveHook(kRestoreEntry), 0);
    EXPECT_EQ(copy->RemoveHook(kPassThrough), 0);
    EXPECT_EQ(FrameMultiply(3, 4), -1);
    ASSERT_EQ(other->RemoveHook(kRestoreEntry), 1);
    ReleaseApiHook(other);
    ReleaseApiHook(copy);
    EXPECT_EQ(subtract(9, 2), 7);
  }
  EXPECT_EQ(EntryBytes(placed.at, placed.length), before);
  if (row.nextCommitted) {
    EXPECT_EQ(reinterpret_cast<int (*)()>(placed.at + row.entry.size())(), 7);
  }
}

const std::vector<uint8_t> kFrameSubtract = EntryBytes(Address(FrameSubtract), 16);

INSTANTIATE_TEST_SUITE_P(
    PlacedEntries, HookRemovalAndRefusal,
    ::testing::Values(
        PlacedEntry{"ReadWriteExecute", kFrameSubtract, PAGE_EXECUTE_READWRITE, true, 100, HookStatus::Ok},
        PlacedEntry{"ReadExecute", kFrameSubtract, PAGE_EXECUTE_READ, true, 100, HookStatus::Ok},
        PlacedEntry{"MovedBytesCrossAPage", kFrameSubtract, PAGE_EXECUTE_READ, true, 5, HookStatus::Ok},
        PlacedEntry{"RunsIntoAReservedPage", kFrameSubtract, PAGE_EXECUTE_READ, false, 3, HookStatus::UnreadableEntry},
        ReturnsEarly("Ret", {0x31, 0xC0, 0xC3}), ReturnsEarly("RepRet", {0x31, 0xC0, 0xF3, 0xC3}),
        ReturnsEarly("RetPop", {0xF2, 0xC2, 0x04, 0x00}), ReturnsEarly("FarRet", {0x31, 0xC0, 0x2E, 0xCB}),
        ReturnsEarly("FarRetPop", {0x64, 0xCA, 0x08, 0x00}), ReturnsEarly("Iret", {0x31, 0xC0, 0xCF}),
        ReturnsEarly("JumpThroughRegister", {0xFF, 0xE1}), ReturnsEarly("JumpThroughMemory", {0xFF, 0x65, 0x08}),
        ReturnsEarly("Int3", {0xCC}), ReturnsEarly("Ud2", {0x0F, 0x0B}), ReturnsEarly("Hlt", {0x90, 0xF4}),
        // Padding that another function's hot-patch bytes or entry may lie in.
        PlacedEntry{"PaddingShortOfTheBoundary", {0x6A, 0x07, 0x58, 0xC3, 0xCC, 0xCC, 0xCC, 0xCC}, PAGE_EXECUTE_READ,
                    true, 96, HookStatus::EntryTooShort},
        PlacedEntry{"PaddingOtherThanInt3OrNop", {0x6A, 0x07, 0x58, 0xC3, 0xCC, 0x00, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC,
                    0xCC, 0xCC, 0xCC, 0xCC, 0xCC}, PAGE_EXECUTE_READ, true, 96, HookStatus::EntryTooShort},
        // push 7, pop eax, ret, then int3 and nop to the 16-byte boundary: the return moves with the padding.
        PlacedEntry{"RetBeforePadding", {0x6A, 0x07, 0x58, 0xC3, 0xCC, 0x90, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC,
                    0xCC, 0xCC, 0xCC, 0xCC}, PAGE_EXECUTE_READ, true, 96, HookStatus::Ok},
        // A return behind prefixes that ends past the five bytes moves whole.
        PlacedEntry{"PrefixedRetPastFiveBytes", {0x6A, 0x07, 0x58, 0x90, 0x3E, 0xF3, 0xC3}, PAGE_EXECUTE_READ, true,
                    100, HookStatus::Ok},
        // Branches behind prefixes: 8 and 16 bits are refused, 32 bits re-aimed (here at the next instruction).
        PlacedEntry{"PrefixedShortBranch", {0x3E, 0x74, 0x00, 0x90, 0x90}, PAGE_EXECUTE_READ, true, 100,
                    HookStatus::UnsupportedEntry},
        PlacedEntry{"SixteenBitJump", {0x66, 0xE9, 0x00, 0x00, 0x90}, PAGE_EXECUTE_READ, true, 100,
                    HookStatus::UnsupportedEntry},
        PlacedEntry{"PrefixedNearConditionalJump", {0x2E, 0x0F, 0x84, 0x00, 0x00, 0x00, 0x00}, PAGE_EXECUTE_READ,
                    true, 100, HookStatus::Ok},
        PlacedEntry{"PrefixedCall", {0xF2, 0xE8, 0x00, 0x00, 0x00, 0x00}, PAGE_EXECUTE_READ, true, 100,
                    HookStatus::Ok},
        PlacedEntry{"BranchIntoMovedBytes", {0x31, 0xC0, 0x0F, 0x85, 0xF8, 0xFF, 0xFF, 0xFF}, PAGE_EXECUTE_READ, true,
                    100, HookStatus::UnsupportedEntry},
        // Lengths the decoder once got wrong, and an instruction it does not take.
        PlacedEntry{"FourByteNop", {0x0F, 0x1F, 0x40, 0x00, 0x90}, PAGE_EXECUTE_READ, true, 100, HookStatus::Ok},
        PlacedEntry{"SixByteNop", {0x66, 0x0F, 0x1F, 0x44, 0x00, 0x00}, PAGE_EXECUTE_READ, true, 100, HookStatus::Ok},
        PlacedEntry{"InvalidOpcode", {0x0F, 0x0A, 0x90, 0x90, 0x90}, PAGE_EXECUTE_READ, true, 100,
                    HookStatus::UnknownInstruction}),
    [](const ::testing::TestParamInfo<PlacedEntry>& info) { return std::string(info.param.name); });

// Hooks of one placed FrameSubtract by up to two objects (and a copy of one):
// the replacement of slot k adds 1000 * (k + 1) to what its own object's
// CallOriginal gives, so a plain call tells which hooks the entry runs.
enum class Op { Hook, Copy, Restore, PassThrough, CallOriginal, Plain, Protect, Decommit, Overwrite };
struct Step {
  Op op;
  int slot = 0;  // Copy: the slot copied into slot 2; Protect: the protection
  int32_t expected = 0;
};
struct OperationOrder {
  const char* name;
  std::vector<Step> steps;
};

ApiHook* slots[3] = {};

template <int k>
int SlotReplacement(int a, int b) {
  return slots[k]->CallOriginal(a, b) + 1000 * (k + 1);
}
const CodeAddress kSlotReplacements[2] = {Address(SlotReplacement<0>), Address(SlotReplacement<1>)};

class HookOperationOrders : public ApiHookTest, public ::testing::WithParamInterface<OperationOrder> {};

// No order of operations through any object crashes, writes over bytes that
// are not the hook's own, or runs code that is not its hook's.
TEST_P(HookOperationOrders, CheckTheHookIsStillTheOneInstalled) {
  const PlacedCode placed(kFrameSubtract, PAGE_EXECUTE_READ, true, 100);
  const auto subtract = reinterpret_cast<int (*)(int, int)>(placed.at);
  for (const Step& step : GetParam().steps) {
    ApiHook*& hook = slots[step.slot % 3];
    DWORD old;
    switch (step.op) {
      case Op::Hook:
        ReleaseApiHook(hook);  // a new object each time
        hook = AllocateApiHook();
        ASSERT_EQ(hook->HookByAddress(placed.at, kSlotReplacements[step.slot]), step.expected);
        break;
      case Op::Copy: ReleaseApiHook(slots[2]); slots[2] = slots[step.slot]->CopyApiHook(); break;
      case Op::Restore: EXPECT_EQ(hook->RemoveHook(kRestoreEntry), step.expected) << step.slot; break;
      case Op::PassThrough: EXPECT_EQ(hook->RemoveHook(kPassThrough), step.expected) << step.slot; break;
      case Op::CallOriginal: EXPECT_EQ(hook->CallOriginal(9, 2), step.expected) << step.slot; break;
      case Op::Plain: EXPECT_EQ(subtract(9, 2), step.expected); break;
      case Op::Protect: VirtualProtect(placed.base, 4096, step.slot, &old); break;
      case Op::Decommit: VirtualFree(placed.base, 4096, MEM_DECOMMIT); break;
      case Op::Overwrite:  // other code loaded where the function was
        VirtualProtect(placed.base, 4096, PAGE_EXECUTE_READWRITE, &old);
        std::memcpy(reinterpret_cast<void*>(placed.at), reinterpret_cast<void*>(HotPatchAdd), 13);
        break;
    }
  }
  for (ApiHook*& hook : slots) ReleaseApiHook(hook);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, HookOperationOrders,
    ::testing::Values(
        OperationOrder{"StaleCopyMeetsANewHookWithTheSameBlocks",
                       {{Op::Hook, 0, 1}, {Op::Copy, 0}, {Op::Restore, 0, 1}, {Op::Hook, 0, 1}, {Op::Restore, 2, 0},
                        {Op::PassThrough, 2, 0}, {Op::CallOriginal, 2, 0}, {Op::Plain, 0, 1007},
                        {Op::CallOriginal, 0, 7}, {Op::Restore, 0, 1}, {Op::Plain, 0, 7}}},
        OperationOrder{"RemovedHookCallsNothing",
                       {{Op::Hook, 0, 1}, {Op::Copy, 0}, {Op::Restore, 0, 1}, {Op::CallOriginal, 2, 0},
                        {Op::Hook, 1, 1}, {Op::CallOriginal, 2, 0}, {Op::Plain, 0, 2007}, {Op::Restore, 1, 1}}},
        OperationOrder{"PassedThroughIsNoLongerInstalled",
                       {{Op::Hook, 0, 1}, {Op::Copy, 0}, {Op::PassThrough, 0, 1}, {Op::Restore, 2, 0},
                        {Op::CallOriginal, 2, 0}, {Op::Plain, 0, 7}}},
        OperationOrder{"NewerRemovedFirstHandsTheEntryBack",
                       {{Op::Hook, 0, 1}, {Op::Hook, 1, 1}, {Op::Plain, 0, 3007}, {Op::Restore, 1, 1},
                        {Op::Plain, 0, 1007}, {Op::Restore, 0, 1}, {Op::Plain, 0, 7}}},
        OperationOrder{"OlderIsNotRestoredUnderTheNewer",
                       {{Op::Hook, 0, 1}, {Op::Hook, 1, 1}, {Op::Restore, 0, 0}, {Op::Plain, 0, 3007},
                        {Op::PassThrough, 0, 1}, {Op::Plain, 0, 2007}, {Op::Restore, 1, 1}, {Op::Plain, 0, 7},
                        {Op::Restore, 0, 0}}},
        OperationOrder{"CodeGone",
                       {{Op::Hook, 0, 1}, {Op::Decommit}, {Op::Restore, 0, 0}, {Op::PassThrough, 0, 1}}},
        OperationOrder{"OtherCodeInItsPlace",
                       {{Op::Hook, 0, 1}, {Op::Overwrite}, {Op::Restore, 0, 0}, {Op::Plain, 0, 11}}},
        OperationOrder{"EntryProtectedAgain",
                       {{Op::Hook, 0, 1}, {Op::Protect, PAGE_EXECUTE}, {Op::Restore, 0, 0},
                        {Op::Protect, PAGE_EXECUTE_READ}, {Op::Restore, 0, 1}, {Op::Plain, 0, 7}}}),
    [](const ::testing::TestParamInfo<OperationOrder>& info) { return std::string(info.param.name); });

struct Caller {
  int (*function)(int, int);
  volatile LONG stop;
  volatile LONG calls;
  volatile LONG wrong;
};

DWORD WINAPI CallOnAndOn(LPVOID parameter) {
  auto& caller = *static_cast<Caller*>(parameter);
  for (int i = 0; !caller.stop; ++i) {
    if (caller.function(i, 3) != i - 3) InterlockedIncrement(&caller.wrong);
    InterlockedIncrement(&caller.calls);
  }
  return 0;
}

int SubtractItself(int a, int b) { return a - b; }

TEST_F(ApiHookTest, ThreadRunningTheEntryWhileItChangesGetsItsResults) {
  const PlacedCode placed(kFrameSubtract, PAGE_EXECUTE_READ, true, 100);
  Caller caller{reinterpret_cast<int (*)(int, int)>(placed.at), 0, 0, 0};
  const shell::OwnedHandle thread(CreateThread(nullptr, 0, CallOnAndOn, &caller, 0, nullptr));
  ASSERT_TRUE(thread);
  while (caller.calls == 0) Sleep(1);
  for (int round = 0; round < 200; ++round) {
    ASSERT_EQ(hook->Install(placed.at, Address(SubtractItself)), HookStatus::Ok);
    ASSERT_EQ(hook->Remove(kRestoreEntry), HookStatus::Ok);
  }
  caller.stop = 1;
  ASSERT_EQ(WaitForSingleObject(thread.Get(), testing_support::kHangBoundMs), WAIT_OBJECT_0);
  EXPECT_EQ(caller.wrong, 0);
}

TEST_F(ApiHookTest, FullAddressSpaceLeavesNoMemoryForCode) {
  std::vector<void*> reserved;
  std::vector<uint32_t> slots;
  reserved.reserve(1 << 16);  // nothing may grow while the address space is full
  slots.reserve(1 << 16);
  for (size_t size = 1u << 30; size >= 1u << 16; size /= 2) {
    while (reserved.size() < reserved.capacity())
      if (void* p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) reserved.push_back(p); else break;
  }
  uint32_t slot = 0;
  while (slots.size() < slots.capacity() && TakeCodeSlot(1, nullptr, 0, slot) == HookStatus::Ok) slots.push_back(slot);
  const HookStatus status = hook->Install(Address(FrameSubtract), Address(ReturnMinusOne));
  for (void* p : reserved) VirtualFree(p, 0, MEM_RELEASE);
  for (uint32_t s : slots) FreeCode(s);
  EXPECT_EQ(status, HookStatus::NoMemory);
  EXPECT_EQ(FrameSubtract(9, 2), 7);
}

// The thread-creation entry of the system, as the crash guard hooks it.
int threadsSeen = 0;

HANDLE WINAPI CreateRemoteThreadExReplacement(HANDLE process, LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                              LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                              LPPROC_THREAD_ATTRIBUTE_LIST attributes, LPDWORD threadId) {
  ++threadsSeen;
  return reinterpret_cast<HANDLE>(currentHook->CallOriginal(
      reinterpret_cast<int32_t>(process), reinterpret_cast<int32_t>(security), static_cast<int32_t>(stackSize),
      reinterpret_cast<int32_t>(start), reinterpret_cast<int32_t>(parameter), static_cast<int32_t>(flags),
      reinterpret_cast<int32_t>(attributes), reinterpret_cast<int32_t>(threadId)));
}

DWORD WINAPI StoreParameter(LPVOID parameter) {
  *static_cast<LONG*>(parameter) = 4107;
  return 17;
}

TEST_F(ApiHookTest, ThreadCreationGoesThroughTheReplacement) {
  ASSERT_EQ(hook->HookByNameDefault("kernelBase", "CreateRemoteThreadEx",
                                    Address(CreateRemoteThreadExReplacement)), 1);
  const CodeAddress target = hook->targetAddress;
  EXPECT_EQ(FollowJump(target), hook->patchStub);

  LONG ran = 0;
  HANDLE thread = CreateThread(nullptr, 0, StoreParameter, &ran, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, testing_support::kHangBoundMs), WAIT_OBJECT_0);
  DWORD exitCode = 0;
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);
  EXPECT_EQ(threadsSeen, 1);
  EXPECT_EQ(ran, 4107);
  EXPECT_EQ(exitCode, 17u);

  ASSERT_EQ(hook->RemoveHook(kRestoreEntry), 1);
  EXPECT_EQ(FollowJump(target), 0u);
  thread = CreateThread(nullptr, 0, StoreParameter, &ran, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, testing_support::kHangBoundMs);
  CloseHandle(thread);
  EXPECT_EQ(threadsSeen, 1);
}

}  // namespace
