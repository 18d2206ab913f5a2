// A map that another module of the process published first is the one used,
// a value the process never published gives way to a fresh map, and a process
// without a free TLS slot still keeps one map per thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "crashguard/call_stack.h"
#include "crashguard/fault_report.h"
#include "crashguard/guard_options.h"
#include "crashguard/process_map.h"

namespace {

using namespace crashguard;

TEST(PublishedProcessMap, AMapPublishedBeforeTheFirstCallIsUsedAndNoneIsMade) {
  StringMapHolder* published = NewProcessStringMap();
  published->map->SetMapValue("_SEH.AppGlobalOption", 1234);
  SetEnvironmentVariableA(ProcessMapVariableName().c_str(),
                          std::to_string(reinterpret_cast<int32_t>(published)).c_str());
  EXPECT_EQ(GetProcessStringMap(), published);
  EXPECT_EQ(LookupProcessStringMap("_SEH.AppGlobalOption"), 1234);
}

// What the variable can hold without this process having written it.
struct ForeignValue {
  const char* name;
  std::string (*make)();
};

const ForeignValue kForeignValues[] = {
    {"Zero", [] { return std::string("0"); }},
    {"AddressNotThere", [] { return std::string("305419896"); }},
    {"MapWithoutTheMark", [] { return std::to_string(reinterpret_cast<int32_t>(NewStringMap())); }},
    {"MapOfAnotherProcess",
     [] {
       auto* other = new PublishedProcessMap{kPublishedMapMark, GetCurrentProcessId() + 4, *NewStringMap()};
       return std::to_string(reinterpret_cast<int32_t>(&other->holder));
     }},
};

// Its name, for the case's name.
void PrintTo(const ForeignValue& value, std::ostream* out) { *out << value.name; }

class ForeignProcessMapValue : public ::testing::TestWithParam<ForeignValue> {};

TEST_P(ForeignProcessMapValue, GivesWayToAFreshPublishedMap) {
  const std::string foreign = GetParam().make();
  SetEnvironmentVariableA(ProcessMapVariableName().c_str(), foreign.c_str());
  GetCrashGuardOptions();
  const std::string map = std::to_string(reinterpret_cast<int32_t>(GetProcessStringMap()));
  EXPECT_NE(map, foreign);
  char buffer[64] = {};
  GetEnvironmentVariableA(ProcessMapVariableName().c_str(), buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer), map);
  EXPECT_NE(LookupProcessStringMap("_SEH.AppGlobalOption"), 0);
}

INSTANTIATE_TEST_SUITE_P(Values, ForeignProcessMapValue, ::testing::ValuesIn(kForeignValues),
                         [](const ::testing::TestParamInfo<ForeignValue>& info) { return info.param.name; });

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
