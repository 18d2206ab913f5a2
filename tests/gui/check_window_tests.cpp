#include <windows.h>
#include <commctrl.h>

#include "backup/check/check_run.h"
#include "backup/check/check_state.h"
#include "backup/ui/main_check_window.h"
#include "backup/ui/project_list.h"
#include "backup/ui/window_icons.h"
#include "gui/kavrel_test_window.h"
#include "support/test_support.h"

namespace {

using namespace kavrel;
using kavrel_testing::KavrelWindowTest;
using testing_support::ScratchDir;
using testing_support::WaitUntil;
using testing_support::WriteFileBytes;

// The check runs on its own thread, as the scheduler starts it, while this
// (the window's) thread keeps dispatching messages in its wait.
class CheckWindowTest : public KavrelWindowTest {
 protected:
  void RunCheckOnItsThread(int row) {
    Counters().stop = 0;
    Counters().finished = 0;
    StartWorkerThread(IncrementalCheckThreadEntry, row, Counters().checkThread);
    ASSERT_NE(Counters().checkThread, nullptr);
    ASSERT_TRUE(WaitUntil([] { return Counters().finished == 1; }, 60000));
    EXPECT_EQ(WaitForSingleObject(Counters().checkThread, testing_support::kHangBoundMs), WAIT_OBJECT_0);
    CloseHandle(Counters().checkThread);
    Counters().checkThread = nullptr;
    Counters().finished = 0;
  }
  HICON WindowIcon() { return reinterpret_cast<HICON>(SendMessageA(window().Window(), WM_GETICON, ICON_BIG, 0)); }

  ScratchDir scratch;
};

TEST_F(CheckWindowTest, ACheckShowsItsRowItsCountsItsProgressAndTheBusyIcon) {
  const std::string src = scratch / "src\\", bak = scratch / "src_backupx\\";
  CreateDirectoryA(src.c_str(), nullptr);
  CreateDirectoryA((src + "Sub").c_str(), nullptr);
  for (int i = 0; i < 3; ++i) WriteFileBytes(src + "F" + std::to_string(i) + ".txt", "top");
  for (int i = 0; i < 3; ++i) WriteFileBytes(src + "Sub\\G" + std::to_string(i) + ".txt", "sub");
  ProjectList projects = ProjectList::Main();
  projects.Append(scratch / "other\\", scratch / "other_backupx\\", "0K", false);
  projects.Append(src, bak, "0K", true);
  window().SetSliderPosition(kThreadSlider, 1);
  Counters().linkPauseMs = 300;  // one worker, six links: about two seconds

  RunCheckOnItsThread(2);
  EXPECT_EQ(projects.Row(1).Cell(kColumnFileCount), "6");
  EXPECT_EQ(projects.Row(1).Image(), kImageChecking);
  EXPECT_EQ(projects.Row(0).Image(), kImageResting);
  EXPECT_EQ(projects.Row(0).Cell(kColumnFileCount), "");
  EXPECT_EQ(window().Text(kStatusBox), " 增量检查");
  EXPECT_EQ(window().Text(kProgressBox), " 检查进度6/6，硬链接增量6个");
  EXPECT_EQ(WindowIcon(), BusyIcon());
  EXPECT_EQ(Counters().linked, 6);
  EXPECT_NE(GetFileAttributesA((bak + "Sub\\g2.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(bak.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD(FILE_ATTRIBUTE_HIDDEN));

  // With 隐藏属性 unticked the next check shows the backup root again.
  window().SetChecked(kHideBackupDir, false);
  RunCheckOnItsThread(2);
  EXPECT_EQ(GetFileAttributesA(bak.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(Counters().linked, 0);
}

TEST_F(CheckWindowTest, ACheckThatFindsNothingRestoresTheIdleIcon) {
  const std::string src = scratch / "src\\";
  CreateDirectoryA(src.c_str(), nullptr);
  CreateDirectoryA((src + "$tmp").c_str(), nullptr);
  WriteFileBytes(src + "$tmp\\x.txt", "x");
  ProjectList::Main().Append(src, scratch / "src_backupx\\", "0K", true);
  RunCheckOnItsThread(1);
  EXPECT_EQ(window().Text(kStatusBox), " 增量检查");
  EXPECT_EQ(window().Text(kProgressBox), " 未找到任何数据");
  EXPECT_EQ(WindowIcon(), IdleIcon());
  EXPECT_EQ(ProjectList::Main().Row(0).Cell(kColumnFileCount), "0");
}

}  // namespace
