// The real Dunmere.exe, started as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using namespace testing_support;

std::vector<std::string> DriveRoots() {
  char buffer[255] = {};
  DWORD length = GetLogicalDriveStringsA(sizeof buffer, buffer);
  std::vector<std::string> roots;
  for (const char* p = buffer; p < buffer + length && *p; p += lstrlenA(p) + 1) roots.push_back(p);
  return roots;
}

class DunmereProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = dir_ / "Dunmere.exe";
    ASSERT_TRUE(CopyFileTo(ProgramsDirectory() + "Dunmere.exe", exe_));
  }
  // Starts the program and waits until its list holds every drive.
  void StartAndWaitForRows(ChildProcess& dunmere) {
    ASSERT_TRUE(dunmere.Start(exe_, "", dir_.path()));
    window_ = FindProcessWindow(dunmere.Id(), "DunmereDriveSpaceWindow", testing_support::kHangBoundMs);
    ASSERT_NE(window_, nullptr);
    list_ = FindChild(window_, WC_LISTVIEWA, "");
    ASSERT_NE(list_, nullptr);
    const size_t drives = DriveRoots().size();
    ASSERT_TRUE(WaitUntil([&] { return RemoteListRowCount(list_) == int(drives) &&
                                       !RemoteListCell(list_, int(drives) - 1, 7).empty(); }, testing_support::kHangBoundMs));
  }
  ScratchDir dir_;
  std::string exe_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(DunmereProgram, ListsEveryDriveWineGivesWithItsFigures) {
  ChildProcess dunmere;
  StartAndWaitForRows(dunmere);
  EXPECT_EQ(WindowText(window_), "Dunmere   by Tolvane");
  EXPECT_EQ(RemoteErrorMode(dunmere.Handle()) & SEM_FAILCRITICALERRORS, UINT(SEM_FAILCRITICALERRORS));
  const std::vector<std::string> roots = DriveRoots();
  for (size_t i = 0; i < roots.size(); ++i) {
    const int row = int(i);
    EXPECT_EQ(RemoteListCell(list_, row, 0), std::string(" ") + roots[i][0]);
    EXPECT_TRUE(RemoteListChecked(list_, row));
    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA(roots[i].c_str(), &available, &total, &totalFree));
    EXPECT_EQ(RemoteListCell(list_, row, 1), std::to_string(total.QuadPart));
    // Other programs write to the volume meanwhile: take a pair of cells
    // that no pass changed between the two reads.
    long long freeNow = 0, used = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
      freeNow = std::stoll(RemoteListCell(list_, row, 3));
      used = std::stoll(RemoteListCell(list_, row, 2));
      if (std::stoll(RemoteListCell(list_, row, 3)) == freeNow) break;
    }
    EXPECT_EQ(used + freeNow, static_cast<long long>(total.QuadPart));
    EXPECT_FALSE(RemoteListCell(list_, row, 7).empty());
  }
  const int n = int(roots.size());
  const int allowance = n < 8 ? 8 - n : 0;
  RECT window, list;
  GetWindowRect(window_, &window);
  GetWindowRect(list_, &list);
  EXPECT_EQ(window.bottom - window.top, 18 * n + allowance + 66);
  EXPECT_EQ(list.bottom - list.top, 18 * n + allowance + 20);
  EXPECT_EQ(window.right - window.left, 727);
  PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(dunmere.WaitForExit(testing_support::kHangBoundMs), 0);
}

TEST_F(DunmereProgram, ASecondStartUnderTheSameNameEndsWithCodeZero) {
  ChildProcess first;
  StartAndWaitForRows(first);
  ChildProcess second;
  ASSERT_TRUE(second.Start(exe_, "", dir_.path()));
  EXPECT_EQ(second.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_EQ(FindProcessWindow(second.Id(), "", 0), nullptr);
  const std::string copy = dir_ / "DunmereCopy.exe";
  ASSERT_TRUE(CopyFileTo(exe_, copy));
  ChildProcess renamed;
  ASSERT_TRUE(renamed.Start(copy, "", dir_.path()));
  EXPECT_EQ(renamed.WaitForExit(testing_support::kHangBoundMs), 0);  // stopped by the mutex
  EXPECT_TRUE(first.Running());
}

TEST_F(DunmereProgram, UntickingEveryDriveEndsTheProgramWithCodeZero) {
  ChildProcess dunmere;
  StartAndWaitForRows(dunmere);
  const int rows = RemoteListRowCount(list_);
  for (int row = 0; row < rows - 1; ++row) RemoteListSetChecked(list_, row, false);
  Sleep(500);
  EXPECT_TRUE(dunmere.Running());  // one drive is still ticked
  RemoteListSetChecked(list_, rows - 1, false);
  EXPECT_EQ(dunmere.WaitForExit(testing_support::kHangBoundMs), 0);
}

TEST_F(DunmereProgram, ARightClickTicksEveryRowAgain) {
  ChildProcess dunmere;
  StartAndWaitForRows(dunmere);
  const int rows = RemoteListRowCount(list_);
  if (rows < 2) GTEST_SKIP() << "needs two drives";
  // Changes of the free space are counted; other tests may add their own, so
  // a fresh count is told from this one by being much smaller.
  auto changes = [&] { return std::atoi(RemoteListCell(list_, 0, 5).c_str()); };
  for (int i = 0; i < 8; ++i) {
    const int seen = changes();
    WriteFileBytes(dir_ / ("grow" + std::to_string(i)), std::string(1 << 20, 'x'));
    WaitUntil([&] { return changes() > seen; }, testing_support::kHangBoundMs);
  }
  const int before = changes();
  ASSERT_GE(before, 8);
  RemoteListSetChecked(list_, 0, false);
  ASSERT_FALSE(RemoteListChecked(list_, 0));
  PostMessageA(list_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 30));
  PostMessageA(list_, WM_RBUTTONUP, 0, MAKELPARAM(300, 30));
  EXPECT_TRUE(WaitUntil([&] { return RemoteListRowCount(list_) == rows && RemoteListChecked(list_, 0); }, testing_support::kHangBoundMs));
  for (int row = 0; row < rows; ++row) EXPECT_TRUE(RemoteListChecked(list_, row)) << row;
  // The rebuilt list starts its figures afresh.
  EXPECT_LT(changes(), before / 2);
  EXPECT_TRUE(dunmere.Running());
}

TEST_F(DunmereProgram, DoubleClicksFlipAlwaysOnTop) {
  ChildProcess dunmere;
  StartAndWaitForRows(dunmere);
  auto topmost = [&] { return (GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  ASSERT_FALSE(topmost());
  PostMessageA(list_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(300, 30));
  EXPECT_TRUE(WaitUntil(topmost, testing_support::kHangBoundMs));
  PostMessageA(list_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(300, 30));
  EXPECT_TRUE(WaitUntil([&] { return !topmost(); }, testing_support::kHangBoundMs));
}

}  // namespace
