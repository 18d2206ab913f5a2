// Both guards with real second processes under the platform.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

using testing_support::ChildProcess;
using testing_support::ScratchDir;
using testing_support::TestProgramDirectory;

const char kMutex[] = "kavrel_guard_probe_mutex";

std::string Probe() { return TestProgramDirectory() + "guard_probe.exe"; }

bool WaitForOutput(ChildProcess& child, const std::string& text) {
  return testing_support::WaitUntil([&] { return child.Output().find(text) != std::string::npos; }, testing_support::kHangBoundMs);
}

TEST(SingleInstanceGuards, ASecondProcessOfTheSameNameEndsWithCodeZeroAtTheFirstGuard) {
  ChildProcess first;
  ASSERT_TRUE(first.Start(Probe(), std::string(kMutex) + " wait"));
  ASSERT_TRUE(WaitForOutput(first, "mutex guard passed"));
  ChildProcess second;
  ASSERT_TRUE(second.Start(Probe(), std::string(kMutex) + " wait"));
  EXPECT_EQ(second.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_EQ(second.Output().find("process guard passed"), std::string::npos);
}

TEST(SingleInstanceGuards, ACopyUnderAnotherNameIsStoppedByTheMutex) {
  ScratchDir dir;
  const std::string copy = dir / "probe_copy.exe";
  ASSERT_TRUE(testing_support::CopyFileTo(Probe(), copy));
  ChildProcess first;
  ASSERT_TRUE(first.Start(Probe(), std::string(kMutex) + " wait"));
  ASSERT_TRUE(WaitForOutput(first, "mutex guard passed"));
  ChildProcess renamed;
  ASSERT_TRUE(renamed.Start(copy, std::string(kMutex) + " wait"));
  EXPECT_EQ(renamed.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_NE(renamed.Output().find("process guard passed"), std::string::npos);
  EXPECT_EQ(renamed.Output().find("mutex guard passed"), std::string::npos);
  first.Kill();
}

TEST(SingleInstanceGuards, NamesThatDifferOnlyInLetterCaseCountAsOne) {
  ScratchDir dir;
  const std::string upper = dir / "GUARD_PROBE.EXE";
  ASSERT_TRUE(testing_support::CopyFileTo(Probe(), upper));
  ChildProcess first;
  ASSERT_TRUE(first.Start(Probe(), "kavrel_case_mutex_a wait"));
  ASSERT_TRUE(WaitForOutput(first, "mutex guard passed"));
  ChildProcess shouting;
  ASSERT_TRUE(shouting.Start(upper, "kavrel_case_mutex_b wait"));
  EXPECT_EQ(shouting.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_EQ(shouting.Output().find("process guard passed"), std::string::npos);
}

TEST(SingleInstanceGuards, AFirstInstancePassesBoth) {
  ChildProcess only;
  ASSERT_TRUE(only.Start(Probe(), "kavrel_lonely_mutex"));
  EXPECT_EQ(only.WaitForExit(testing_support::kHangBoundMs), 3);
  EXPECT_NE(only.Output().find("mutex guard passed"), std::string::npos);
}

}  // namespace
