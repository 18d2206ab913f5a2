// A map that another module of the process published first is the one used;
// a process without a free TLS slot still keeps one map per thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "crashguard/call_stack.h"
#include "crashguard/fault_report.h"
#include "crashguard/process_map.h"

namespace {

using namespace crashguard;

TEST(PublishedProcessMap, AMapPublishedBeforeTheFirstCallIsUsedAndNoneIsMade) {
  StringMapHolder* published = NewStringMap();
  published->map->SetMapValue("_SEH.AppGlobalOption", 1234);
  SetEnvironmentVariableA(ProcessMapVariableName().c_str(),
                          std::to_string(reinterpret_cast<int32_t>(published)).c_str());
  EXPECT_EQ(GetProcessStringMap(), published);
  EXPECT_EQ(LookupProcessStringMap("_SEH.AppGlobalOption"), 1234);
}

TEST(PublishedProcessMap, AVariableHoldingZeroCountsAsAbsent) {
  SetEnvironmentVariableA(ProcessMapVariableName().c_str(), "0");
  StringMapHolder* map = GetProcessStringMap();
  ASSERT_NE(map, nullptr);
  char buffer[64] = {};
  GetEnvironmentVariableA(ProcessMapVariableName().c_str(), buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer), std::to_string(reinterpret_cast<int32_t>(map)));
}

TEST(ThreadStorageWithoutTls, EachThreadKeepsItsOwnRecordsAndItsReportReachesTheBox) {
  std::vector<DWORD> taken;
  for (DWORD slot = TlsAlloc(); slot != TLS_OUT_OF_INDEXES; slot = TlsAlloc()) taken.push_back(slot);
  StringMapHolder* map = GetThreadStringMap();
  CallStackList* calls = GetThreadCallStackSlot();
  for (DWORD slot : taken) TlsFree(slot);  // the guard keeps to its choice

  EXPECT_EQ(GetThreadStringMap(), map);
  StoreThreadReport("M\r\n", "");
  EXPECT_EQ(GetThreadReportText(), "M\r\n");
  EXPECT_EQ(GetThreadCallStackSlot(), calls);
  calls->entries.push_back(new CallStackEntry{0x1234, 0, "f"});
  EXPECT_EQ(PopCallStackRecord(), 0x1234u);

  StringMapHolder* other = nullptr;
  std::thread([&] {
    other = GetThreadStringMap();
    StoreThreadReport("N\r\n", "");
    EXPECT_EQ(GetThreadStringMap(), other);
    EXPECT_EQ(GetThreadReportText(), "N\r\n");
  }).join();
  EXPECT_NE(other, map);
  EXPECT_EQ(GetThreadReportText(), "M\r\n");

  ForgetThreadStringMap();
  EXPECT_NE(GetThreadStringMap(), map);
}

}  // namespace
