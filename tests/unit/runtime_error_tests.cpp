// A failed allocation goes to the registered handler and ends the program with -1.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/test_support.h"

namespace {

TEST(RuntimeErrors, AFailedAllocationReachesTheHandlerAndEndsTheProcessWithMinusOne) {
  testing_support::ChildProcess probe;
  ASSERT_TRUE(probe.Start(testing_support::TestProgramDirectory() + RUNTIME_ERROR_PROBE));
  probe.WaitForExit(20000);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(probe.Handle(), &code));
  EXPECT_EQ(code, 0xFFFFFFFFu);
  EXPECT_EQ(probe.Output(), "1|内存不足，无法分配内存");
}

}  // namespace
