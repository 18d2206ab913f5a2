// The real Kavrel.exe, started as a user would.
#include <gtest/gtest.h>

#include "apps/kavrel/main_window.h"
#include "support/test_support.h"

namespace {

using namespace testing_support;

class KavrelProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = dir_ / "Kavrel.exe";
    ASSERT_TRUE(CopyFileTo(ProgramsDirectory() + "Kavrel.exe", exe_));
  }
  ScratchDir dir_;
  std::string exe_;
};

TEST_F(KavrelProgram, StartsWithItsMainWindowAndEndsWithCodeZeroWhenClosed) {
  ChildProcess kavrel;
  ASSERT_TRUE(kavrel.Start(exe_, "", dir_.path()));
  HWND window = FindProcessWindow(kavrel.Id(), kavrel::kMainWindowClass, testing_support::kHangBoundMs);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowText(window), "Kavrel　　by Tolvane");
  HWND status = FindChild(window, "Edit", " 就绪");
  EXPECT_NE(status, nullptr);
  EXPECT_EQ(RemoteErrorMode(kavrel.Handle()) & SEM_FAILCRITICALERRORS, UINT(SEM_FAILCRITICALERRORS));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(kavrel.WaitForExit(testing_support::kHangBoundMs), 0);
}

TEST_F(KavrelProgram, ASecondStartEndsWithCodeZeroBeforeShowingAnything) {
  ChildProcess first;
  ASSERT_TRUE(first.Start(exe_, "", dir_.path()));
  ASSERT_NE(FindProcessWindow(first.Id(), kavrel::kMainWindowClass, testing_support::kHangBoundMs), nullptr);
  ChildProcess second;
  ASSERT_TRUE(second.Start(exe_, "", dir_.path()));
  EXPECT_EQ(second.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_EQ(FindProcessWindow(second.Id(), "", 0), nullptr);
  EXPECT_TRUE(first.Running());
}

TEST_F(KavrelProgram, ACopyUnderAnotherNameIsStoppedByTheMutex) {
  const std::string copy = dir_ / "KavrelCopy.exe";
  ASSERT_TRUE(CopyFileTo(exe_, copy));
  ChildProcess first;
  ASSERT_TRUE(first.Start(exe_, "", dir_.path()));
  ASSERT_NE(FindProcessWindow(first.Id(), kavrel::kMainWindowClass, testing_support::kHangBoundMs), nullptr);
  ChildProcess renamed;
  ASSERT_TRUE(renamed.Start(copy, "", dir_.path()));
  EXPECT_EQ(renamed.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_TRUE(first.Running());
}

}  // namespace
