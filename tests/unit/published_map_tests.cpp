// A map that another module of the process published first is the one used.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

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

}  // namespace
