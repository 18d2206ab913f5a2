// Dunmere's window as its table defines it, and the list actions, in the
// test process (the monitor thread is not started here).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <thread>

#include "apps/dunmere/drive_window.h"
#include "apps/dunmere/program_start.h"
#include "shelltool/dialog_helper.h"
#include "spacemon/drive_list_actions.h"
#include "spacemon/drive_space_poll_loop.h"
#include "spacemon/monitor_thread.h"
#include "support/test_support.h"
#include "spacemon/drive_tracker_globals.h"

namespace {

using namespace spacemon;

class DriveWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitDriveTrackerGlobals();
    ASSERT_TRUE(window().Create());
  }
  void TearDown() override {
    window().Destroy();
    FreeDriveTrackerGlobals();
  }
  static ui::Form& window() { return DriveSpaceWindow(); }
  static HWND list() { return window().Control(kDriveList); }
};

TEST_F(DriveWindowTest, WindowHasItsCaptionSizeAndFixedBorder) {
  char caption[64] = {};
  GetWindowTextA(window().Window(), caption, sizeof caption);
  EXPECT_STREQ(caption, "Dunmere   by Tolvane");
  RECT r;
  GetWindowRect(window().Window(), &r);
  EXPECT_EQ(r.right - r.left, 727);
  EXPECT_EQ(r.bottom - r.top, 266);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 727) / 2);
  const LONG style = GetWindowLongA(window().Window(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(window().Topmost());
}

TEST_F(DriveWindowTest, ListHasItsPlaceStylesColoursAndColumns) {
  const RECT bounds = window().Bounds(kDriveList);
  EXPECT_EQ(bounds.left, 8);
  EXPECT_EQ(bounds.top, 9);
  EXPECT_EQ(bounds.right - bounds.left, 704);
  EXPECT_EQ(bounds.bottom - bounds.top, 39);
  const LONG style = GetWindowLongA(list(), GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_SINGLESEL);
  EXPECT_TRUE(style & LVS_NOSORTHEADER);
  const DWORD ex = static_cast<DWORD>(SendMessageA(list(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_TRUE(ex & LVS_EX_CHECKBOXES);
  EXPECT_TRUE(ex & LVS_EX_GRIDLINES);
  EXPECT_TRUE(IsWindowEnabled(list()));
  EXPECT_EQ(SendMessageA(list(), LVM_GETBKCOLOR, 0, 0), RGB(247, 247, 247));
  EXPECT_EQ(SendMessageA(list(), LVM_GETTEXTBKCOLOR, 0, 0), RGB(247, 247, 247));
  const struct { const char* title; int width; int format; } kColumns[] = {
      {"盘符", 50, LVCFMT_LEFT},         {"总空间", 100, LVCFMT_CENTER},   {"已用空间", 100, LVCFMT_CENTER},
      {"可用空间", 100, LVCFMT_CENTER},   {"可用空间变动", 100, LVCFMT_CENTER}, {"次数", 50, LVCFMT_CENTER},
      {"变动累计", 100, LVCFMT_CENTER},   {"初始可用空间", 100, LVCFMT_CENTER}};
  for (int c = 0; c < 8; ++c) {
    char title[64] = {};
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    ASSERT_TRUE(SendMessageA(list(), LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(&column))) << c;
    EXPECT_STREQ(title, kColumns[c].title);
    EXPECT_EQ(column.cx, kColumns[c].width) << c;
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, kColumns[c].format) << c;
  }
  LVCOLUMNA ninth = {};
  ninth.mask = LVCF_WIDTH;
  EXPECT_FALSE(SendMessageA(list(), LVM_GETCOLUMNA, 8, reinterpret_cast<LPARAM>(&ninth)));
}

// The window as the program starts it: its handlers bound, so that its
// creation runs the guards and starts the monitor thread.
TEST(DriveWindowStart, TheMonitorThreadFillsTheListAndStopsWhenAsked) {
  InitDriveTrackerGlobals();
  ui::Form& window = DriveSpaceWindow();
  BindDriveWindowHandlers(window);
  ASSERT_TRUE(window.Create());
  ASSERT_NE(DriveTrackerIcon(), nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window.Window(), WM_GETICON, ICON_BIG, 0)), DriveTrackerIcon());
  char roots[255] = {};
  const int drives = int(GetLogicalDriveStringsA(sizeof roots, roots)) / 4;
  ASSERT_GT(drives, 0);
  ui::ListView rows = window.List(kDriveList);
  ASSERT_TRUE(testing_support::WaitUntil(
      [&] { return rows.RowCount() == drives && !rows.Cell(drives - 1, kInitialFreeColumn).empty(); }, testing_support::kHangBoundMs));
  EXPECT_EQ(rows.Cell(0, kLetterColumn), std::string(" ") + roots[0]);
  EXPECT_TRUE(rows.Checked(0));
  RECT r;
  GetWindowRect(window.Window(), &r);
  EXPECT_EQ(r.bottom - r.top, HeightsForDriveCount(drives).window);
  EXPECT_EQ(window.Bounds(kDriveList).bottom - window.Bounds(kDriveList).top, HeightsForDriveCount(drives).list);
  EXPECT_TRUE(StopMonitorThread(testing_support::kHangBoundMs));
  // Stopped for good: a rebuild request is no longer served.
  RebuildRequested = 1;
  testing_support::WaitUntil([] { return false; }, 300);
  EXPECT_EQ(RebuildRequested, 1);
  RebuildRequested = 0;
  window.Destroy();
  FreeDriveTrackerGlobals();
}

// The close box while another thread changes the list, round after round:
// the list work runs on the window's thread or, once the window is gone, not at all.
TEST(DriveWindowClose, ListWorkNeverRunsOnTheCallingThreadAcrossTheCloseBox) {
  ui::WindowDef def = kDriveSpaceWindowDef;
  def.quitOnDestroy = false;  // the test's own loop goes on
  for (int round = 0; round < 25; ++round) {
    ui::Form window(def);
    ASSERT_TRUE(window.Create());
    const DWORD windowThread = GetCurrentThreadId();
    std::atomic<bool> stop{false};
    std::atomic<int> onWindowThread{0}, elsewhere{0};
    std::thread poller([&] {
      while (!stop) {
        window.RunOnWindowThread([&] {
          window.List(kDriveList).RowCount();
          ++(GetCurrentThreadId() == windowThread ? onWindowThread : elsewhere);
        });
      }
    });
    EXPECT_TRUE(testing_support::WaitUntil([&] { return onWindowThread > 0; }, testing_support::kHangBoundMs));
    SendMessageA(window.Window(), WM_CLOSE, 0, 0);
    testing_support::WaitUntil([] { return false; }, 30);  // the thread goes on meanwhile
    stop = true;
    poller.join();
    EXPECT_EQ(elsewhere, 0) << "round " << round;
  }
}

TEST(DriveTrackerGlobals, CreateTheToolkitObjectAndFreeItAtTheEnd) {
  InitDriveTrackerGlobals();
  ASSERT_NE(shell::ProgramDialogHelper, nullptr);
  EXPECT_EQ(shell::ProgramDialogHelper->pathMustExistFlag, 2048);
  EXPECT_TRUE(shell::ProgramDialogHelper->dialogRecord);
  EXPECT_EQ(DriveEnabledFlags.Count(), 0);
  FreeDriveTrackerGlobals();
  EXPECT_EQ(shell::ProgramDialogHelper, nullptr);
}

TEST_F(DriveWindowTest, TogglesWriteTheirRowsFlagAndAToggleOfAVanishedRowIsDropped) {
  DriveEnabledFlags.Replace(2);
  DriveEnabledFlags.Set(1, 1);
  DriveEnabledFlags.Set(2, 1);
  OnDriveListCheckToggled(0, 0);
  EXPECT_EQ(DriveEnabledFlags.Get(1), 0);
  EXPECT_EQ(DriveEnabledFlags.Sum(), 1);
  OnDriveListCheckToggled(0, 1);
  EXPECT_EQ(DriveEnabledFlags.Sum(), 2);
  // A rebuild left one row; a late toggle of the second row changes nothing
  // and, with row 1 still ticked, does not end the program.
  DriveEnabledFlags.Replace(1);
  DriveEnabledFlags.Set(1, 1);
  OnDriveListCheckToggled(1, 0);
  EXPECT_EQ(DriveEnabledFlags.Count(), 1);
  EXPECT_EQ(DriveEnabledFlags.Sum(), 1);
}

}  // namespace
