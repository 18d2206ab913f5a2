// The installation's pieces that run without a fault: the filter table, the
// entry point and own-module lookups, frame tracking and the snapshot blocks.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "crashguard/call_stack.h"
#include "crashguard/guard_installation.h"
#include "crashguard/process_map.h"

namespace {

using namespace crashguard;

TEST(GuardInstallation, MapFilterResultTurnsTheFilterIntoADisposition) {
  EXPECT_EQ(MapFilterResult(0), 1);
  EXPECT_EQ(MapFilterResult(1), -1);
  EXPECT_EQ(MapFilterResult(-1), 0);
  EXPECT_EQ(MapFilterResult(5), 5);
}

TEST(GuardInstallation, TheEntryPointComesFromAValidHeaderOnly) {
  const auto base = reinterpret_cast<uint32_t>(GetModuleHandleA(nullptr));
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  EXPECT_EQ(GetMainModuleEntryPoint(base), base + nt->OptionalHeader.AddressOfEntryPoint);
  std::vector<uint8_t> header(4096, 0);
  std::memcpy(header.data(), reinterpret_cast<void*>(base), header.size());
  const auto copy = reinterpret_cast<uint32_t>(header.data());
  EXPECT_EQ(GetMainModuleEntryPoint(copy), copy + nt->OptionalHeader.AddressOfEntryPoint);
  header[0] = 'X';
  EXPECT_EQ(GetMainModuleEntryPoint(copy), 0u);
  EXPECT_EQ(GetMainModuleEntryPoint(0), 0u);
  void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
  EXPECT_EQ(GetMainModuleEntryPoint(reinterpret_cast<uint32_t>(reserved)), 0u);
  VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST(GuardInstallation, TheOwnModuleIsTheProgramThatCarriesTheGuard) {
  EXPECT_EQ(FindOwnModuleBase(), reinterpret_cast<uint32_t>(GetModuleHandleA(nullptr)));
}

TEST(GuardInstallation, AFrameChainThatEndsEarlyPushesNothing) {
  const size_t before = GetThreadCallStackSlot()->entries.size();
  PushCallStackEntry("x", 100000);
  EXPECT_EQ(GetThreadCallStackSlot()->entries.size(), before);
}

TEST(GuardInstallation, SnapshotsOfOneThreadReuseTheirTwoBlocks) {
  EXCEPTION_RECORD record{};
  CONTEXT context{};
  record.ExceptionCode = 1;
  SaveExceptionSnapshot(&record, &context);
  const ExceptionSnapshotPair first = *GetThreadTryList()->snapshots;
  record.ExceptionCode = 2;
  context.Eip = 0x1234;
  SaveExceptionSnapshot(&record, &context);
  const ExceptionSnapshotPair& second = *GetThreadTryList()->snapshots;
  EXPECT_EQ(second.exceptionRecordCopy, first.exceptionRecordCopy);
  EXPECT_EQ(second.contextCopy, first.contextCopy);
  EXPECT_EQ(static_cast<EXCEPTION_RECORD*>(second.exceptionRecordCopy)->ExceptionCode, 2u);
  EXPECT_EQ(static_cast<CONTEXT*>(second.contextCopy)->Eip, 0x1234u);
}

TEST(GuardInstallation, InstallingASecondTimeInTheSameModulePlantsNoRecord) {
  StoreProcessStringMap(("_SEH.EntryCatchInstall_" + std::to_string(FindOwnModuleBase())).c_str(), 1);
  SehRegistration* head = ExceptionListHead();
  EXPECT_EQ(InstallCrashGuard(), 0);
  EXPECT_EQ(ExceptionListHead(), head);
}

}  // namespace
