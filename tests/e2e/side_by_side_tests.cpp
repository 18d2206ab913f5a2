// Kavrel and Dunmere run side by side: their single-instance guards never
// block each other.
#include <gtest/gtest.h>

#include "apps/kavrel/main_window.h"
#include "support/test_support.h"

namespace {

using namespace testing_support;

TEST(SideBySide, KavrelAndDunmereRunTogether) {
  ScratchDir dir;
  ASSERT_TRUE(CopyFileTo(ProgramsDirectory() + "Kavrel.exe", dir / "Kavrel.exe"));
  ASSERT_TRUE(CopyFileTo(ProgramsDirectory() + "Dunmere.exe", dir / "Dunmere.exe"));
  ChildProcess kavrel, dunmere;
  ASSERT_TRUE(kavrel.Start(dir / "Kavrel.exe", "", dir.path()));
  ASSERT_NE(FindProcessWindow(kavrel.Id(), kavrel::kMainWindowClass, testing_support::kHangBoundMs), nullptr);
  ASSERT_TRUE(dunmere.Start(dir / "Dunmere.exe", "", dir.path()));
  HWND window = FindProcessWindow(dunmere.Id(), "DunmereDriveSpaceWindow", testing_support::kHangBoundMs);
  ASSERT_NE(window, nullptr);
  Sleep(1000);
  EXPECT_TRUE(kavrel.Running());
  EXPECT_TRUE(dunmere.Running());
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(dunmere.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_TRUE(kavrel.Running());
}

}  // namespace
