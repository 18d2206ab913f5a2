#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "backup/ui/program_globals.h"
#include "gui/kavrel_test_window.h"
#include "gui/dialog_helper_test.h"
#include "gui/modal_watch.h"

namespace {

using namespace kavrel;
using kavrel_testing::BoxMessage;
using kavrel_testing::KavrelWindowTest;
using kavrel_testing::ModalWatch;
using kavrel_testing::PressButton;
using kavrel_testing::SelectedFolderName;
using testing_support::FindChild;
using testing_support::WindowText;

const char kSystemPartitionQuestion[] =
    "该目录位于系统所在分区，非常可能由于系统限制无法完整备份，并可能引发系统故障，你真的要冒此风险吗？";

std::string WithoutBackslash(const std::string& path) { return path.substr(0, path.size() - 1); }

// Picks a folder as the user does: its path typed into the edit box where the
// dialog has one, and selected in the tree (Wine's dialog goes by the tree
// only), then 确定.
void PickFolder(HWND dialog, const std::string& path) {
  // The dialog fills its tree once it is up; a choice made before that is lost.
  testing_support::WaitUntil([&] { return !SelectedFolderName(dialog).empty(); }, testing_support::kHangBoundMs);
  if (HWND edit = FindChild(dialog, "Edit", "")) {
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 0);
    for (char c : path) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
    EXPECT_EQ(WindowText(edit), path);
  }
  const std::string name = path.substr(path.rfind('\\') + 1);
  EXPECT_TRUE(testing_support::WaitUntil([&] {
    SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
    return SelectedFolderName(dialog) == name;
  }, testing_support::kHangBoundMs)) << path;
  SendMessageA(FindChild(dialog, "Button", "确定"), BM_CLICK, 0, 0);
}

void Cancel(HWND dialog) { SendMessageA(FindChild(dialog, "Button", "取消"), BM_CLICK, 0, 0); }

class ChooserDialogTest : public KavrelWindowTest {
 protected:
  static void Click(int button) { SendMessageA(window().Control(button), BM_CLICK, 0, 0); }
  testing_support::ScratchDir dir;
};

TEST_F(ChooserDialogTest, AChosenMonitoredDirectoryFillsBothBoxes) {
  const std::string photos = dir / "photos\\";
  CreateDirectoryA(photos.c_str(), nullptr);
  // Made now: Wine's shell may keep the folder's listing from the first dialog.
  const std::string bk = dir / "bk\\";
  CreateDirectoryA(bk.c_str(), nullptr);
  Click(kAddProjectButton);
  std::vector<std::string> seen;
  {
    ModalWatch watch(2, [&](HWND dialog, int i) {
      seen.push_back(WindowText(dialog));
      if (i == 0) {
        EXPECT_FALSE(window().Topmost());
        EXPECT_TRUE(FindChild(dialog, "Static", "请选择监控目录路径"));
        PickFolder(dialog, WithoutBackslash(photos));
      } else {
        seen.push_back(BoxMessage(dialog));  // the scratch tree lies on drive C with the system
        PressButton(dialog, IDYES);
      }
    });
    Click(kMonitorDirButton);
  }
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2], kSystemPartitionQuestion);
  EXPECT_EQ(seen[1], "提示信息");
  EXPECT_EQ(window().Text(kMonitorDirBox), photos);
  EXPECT_EQ(window().Text(kBackupDirBox), "C:\\photos_backupx\\");
  EXPECT_TRUE(window().Enabled(kBackupDirButton));
  EXPECT_TRUE(window().Enabled(kConfirmButton));

  // The backup chooser opens at the monitored directory and puts the project's name under the chosen folder.
  std::string title;
  {
    ModalWatch watch(1, [&](HWND dialog, int) {
      title = WindowText(FindChild(dialog, "Static", "")) + WindowText(GetDlgItem(dialog, 14146));
      PickFolder(dialog, WithoutBackslash(bk));
    });
    Click(kBackupDirButton);
  }
  // Wine's dialog does not always keep the folder its callback selects at start.
  EXPECT_EQ(BrowseStartFolder, photos);
  EXPECT_NE(title.find("请选择或新建位于C盘的备份目录"), std::string::npos);
  EXPECT_EQ(window().Text(kBackupDirBox), bk + "photos_backupx\\");
  EXPECT_EQ(window().Text(kMonitorDirBox), photos);
}

TEST_F(ChooserDialogTest, ARefusedDirectoryIsToldAndTheDialogOpensAgain) {
  const std::string special = dir / "$data\\";
  CreateDirectoryA(special.c_str(), nullptr);
  Click(kAddProjectButton);
  std::vector<std::string> seen;
  {
    ModalWatch watch(3, [&](HWND dialog, int i) {
      if (i == 1) {
        seen.push_back(BoxMessage(dialog));
        PressButton(dialog, IDOK);
        return;
      }
      seen.push_back(WindowText(dialog));
      if (i == 0) PickFolder(dialog, WithoutBackslash(special));
      else Cancel(dialog);
    });
    Click(kMonitorDirButton);
  }
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1], "当前目录(" + special + ")含有特殊字符$，请重新选择。");
  EXPECT_EQ(seen[2], seen[0]);  // the folder dialog again
  // Cancelled with an empty box: nothing changed, the panel stays open.
  EXPECT_EQ(window().Text(kMonitorDirBox), "");
  EXPECT_EQ(window().Text(kBackupDirBox), "");
  EXPECT_FALSE(window().Enabled(kConfirmButton));
  EXPECT_FALSE(window().Visible(kProjectList));
}

}  // namespace
