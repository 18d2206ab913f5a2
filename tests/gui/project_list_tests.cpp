#include <windows.h>
#include <commctrl.h>

#include "backup/ui/program_globals.h"
#include "backup/ui/project_editor.h"
#include "backup/ui/project_list.h"
#include "backup/ui/project_menu.h"
#include "base/utilities.h"
#include "gui/kavrel_test_window.h"
#include "gui/modal_watch.h"

namespace {

using namespace kavrel;
using kavrel_testing::KavrelWindowTest;
using Items = std::vector<int>;
using Texts = std::vector<std::string>;

class ProjectListTest : public KavrelWindowTest {
 protected:
  // Adds projects as the settings load does.
  void AddProject(const std::string& monitorDir, bool checked = true) {
    ProjectList::Main().Append(monitorDir, monitorDir + "bk\\", "1K", checked);
    if (checked) ++CheckedProjectCount;
  }
  void AddXYZ() {
    AddProject("D:\\x\\");
    AddProject("D:\\y\\", false);
    AddProject("D:\\z\\");
    ProjectRow z = ProjectList::Main().Row(2);
    z.SetCell(kColumnFileCount, "7");
    z.SetImage(kImageSkipped);
  }
  static void Command(int item) { SendMessageA(window().Window(), WM_COMMAND, MAKEWPARAM(item, 0), 0); }
  static void Click(int button) { SendMessageA(window().Control(button), BM_CLICK, 0, 0); }
  // A double click as the mouse makes it, on the label of a row.
  static void DoubleClickRow(int row) {
    HWND listWindow = window().Control(kProjectList);
    RECT label = {};
    label.left = LVIR_LABEL;
    SendMessageA(listWindow, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label));
    const LPARAM at = MAKELPARAM(label.left + 10, (label.top + label.bottom) / 2);
    SendMessageA(listWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(listWindow, WM_LBUTTONUP, 0, at);
    SendMessageA(listWindow, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(listWindow, WM_LBUTTONUP, 0, at);
    PumpPendingMessages();
  }
  static Texts Column(int column) {
    Texts cells;
    for (int row = 0; row < list().RowCount(); ++row) cells.push_back(list().Cell(row, column));
    return cells;
  }
  static std::vector<bool> Checks() {
    std::vector<bool> checks;
    for (int row = 0; row < list().RowCount(); ++row) checks.push_back(list().Checked(row));
    return checks;
  }
  static Items MenuFor(int currentRow) {
    list().SetCurrentRow(currentRow);
    PrepareProjectListMenu(Program());
    return window().VisibleMenuItems();
  }
};

TEST_F(ProjectListTest, ListMenuOffersOnlyWhatApplies) {
  EXPECT_EQ(MenuFor(-1), (Items{kMenuNewProject, 0, kMenuInvertSelection, 0, kMenuWindowTopmost, kMenuHelp}));
  AddXYZ();
  EXPECT_EQ(MenuFor(-1), (Items{kMenuNewProject, 0, kMenuSelectAll, kMenuClearAll, kMenuInvertSelection, 0,
                                kMenuDeleteSelected, kMenuDeleteAll, 0, kMenuWindowTopmost, kMenuHelp}));
  EXPECT_EQ(MenuFor(0), (Items{kMenuNewProject, kMenuEditProject, 0, kMenuSelectAll, kMenuClearAll,
                               kMenuInvertSelection, 0, kMenuMoveDown, kMenuMoveToBottom, 0, kMenuDeleteCurrent,
                               kMenuDeleteSelected, kMenuDeleteAll, 0, kMenuWindowTopmost, kMenuHelp, 0,
                               kMenuOpenMonitorDir, kMenuOpenBackupDir}));
  EXPECT_EQ(window().MenuCaption(kMenuOpenMonitorDir), "打开监控目录");
  EXPECT_EQ(window().MenuCaption(kMenuOpenBackupDir), "打开备份目录");
  const Items middle = MenuFor(1);
  for (int item : {kMenuMoveToTop, kMenuMoveUp, kMenuMoveDown, kMenuMoveToBottom})
    EXPECT_NE(std::find(middle.begin(), middle.end(), item), middle.end()) << item;
  EXPECT_EQ(MenuFor(2), (Items{kMenuNewProject, kMenuEditProject, 0, kMenuSelectAll, kMenuClearAll,
                               kMenuInvertSelection, 0, kMenuMoveToTop, kMenuMoveUp, 0, kMenuDeleteCurrent,
                               kMenuDeleteSelected, kMenuDeleteAll, 0, kMenuWindowTopmost, kMenuHelp, 0,
                               kMenuOpenMonitorDir, kMenuOpenBackupDir}));
  Command(kMenuSelectAll);  // all ticked: 全选 goes
  const Items allTicked = MenuFor(1);
  EXPECT_EQ(std::find(allTicked.begin(), allTicked.end(), kMenuSelectAll), allTicked.end());
  // Outside the list only three items remain, and the list's menu brings the others back.
  PrepareWindowMenu();
  EXPECT_EQ(window().VisibleMenuItems(), (Items{kMenuNewProject, kMenuWindowTopmost, kMenuHelp}));
  EXPECT_EQ(MenuFor(1).size(), 20u);  // all but 全选
}

TEST_F(ProjectListTest, MovesCarryTheWholeProjectAndKeepThePositions) {
  AddXYZ();
  list().SetCurrentRow(2);
  Command(kMenuMoveToTop);
  EXPECT_EQ(Column(kColumnMonitorDir), (Texts{"D:\\z\\", "D:\\x\\", "D:\\y\\"}));
  EXPECT_EQ(MonitorDirList, (Texts{"D:\\z\\", "D:\\x\\", "D:\\y\\"}));
  EXPECT_EQ(Column(kColumnId), (Texts{"1", "2", "3"}));
  EXPECT_EQ(Column(kColumnBackupDir), (Texts{"D:\\z\\bk\\", "D:\\x\\bk\\", "D:\\y\\bk\\"}));
  EXPECT_EQ(Column(kColumnFileCount), (Texts{"7", "", ""}));
  EXPECT_EQ(Checks(), (std::vector<bool>{true, true, false}));
  EXPECT_EQ(list().Image(0), kImageSkipped);
  EXPECT_EQ(list().Image(1), kImageResting);
  EXPECT_EQ(list().CurrentRow(), -1);  // the new top row is not made current

  list().SetCurrentRow(1);  // x
  Command(kMenuMoveToBottom);
  EXPECT_EQ(MonitorDirList, (Texts{"D:\\z\\", "D:\\y\\", "D:\\x\\"}));
  EXPECT_EQ(Column(kColumnMonitorDir), MonitorDirList);
  EXPECT_EQ(Column(kColumnId), (Texts{"1", "2", "3"}));
  EXPECT_EQ(Checks(), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(list().CurrentRow(), -1);

  list().SetCurrentRow(1);  // y
  Command(kMenuMoveUp);
  EXPECT_EQ(MonitorDirList, (Texts{"D:\\y\\", "D:\\z\\", "D:\\x\\"}));
  EXPECT_EQ(Column(kColumnMonitorDir), MonitorDirList);
  EXPECT_EQ(Checks(), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(list().CurrentRow(), 0);  // the moved project stays current
  EXPECT_EQ(list().Image(1), kImageSkipped);

  Command(kMenuMoveDown);
  Command(kMenuMoveDown);
  EXPECT_EQ(MonitorDirList, (Texts{"D:\\z\\", "D:\\x\\", "D:\\y\\"}));
  EXPECT_EQ(Column(kColumnMonitorDir), MonitorDirList);
  EXPECT_EQ(Column(kColumnId), (Texts{"1", "2", "3"}));
  EXPECT_EQ(Column(kColumnFileCount), (Texts{"7", "", ""}));
  EXPECT_EQ(Checks(), (std::vector<bool>{true, true, false}));
  EXPECT_EQ(list().CurrentRow(), 2);
  // No move touched the count.
  EXPECT_EQ(CheckedProjectCount, 2);
  EXPECT_EQ(window().Text(kProgressBox), "");
}

TEST_F(ProjectListTest, DeletesRenumberAndKeepTheCount) {
  AddXYZ();
  AddProject("D:\\w\\", false);
  list().SetCurrentRow(0);
  Command(kMenuDeleteCurrent);  // ticked x
  EXPECT_EQ(MonitorDirList, (Texts{"D:\\y\\", "D:\\z\\", "D:\\w\\"}));
  EXPECT_EQ(Column(kColumnMonitorDir), MonitorDirList);
  EXPECT_EQ(Column(kColumnId), (Texts{"1", "2", "3"}));
  EXPECT_EQ(CheckedProjectCount, 1);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中1个项目");

  window().SetText(kProgressBox, "");
  list().SetCurrentRow(0);
  Command(kMenuDeleteCurrent);  // unticked y: count kept, its text written again
  EXPECT_EQ(CheckedProjectCount, 1);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中1个项目");

  Command(kMenuDeleteSelected);  // z
  EXPECT_EQ(MonitorDirList, (Texts{"D:\\w\\"}));
  EXPECT_EQ(Column(kColumnId), (Texts{"1"}));
  EXPECT_EQ(CheckedProjectCount, 0);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中0个项目");

  list().SetCurrentRow(0);
  Command(kMenuDeleteCurrent);
  EXPECT_EQ(list().RowCount(), 0);
  EXPECT_TRUE(MonitorDirList.empty());
  EXPECT_TRUE(window().Visible(kHintLabel));
}

TEST_F(ProjectListTest, DeleteAllEmptiesTheProgressBoxAndTickCommandsCount) {
  AddXYZ();
  Command(kMenuInvertSelection);
  EXPECT_EQ(Checks(), (std::vector<bool>{false, true, false}));
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中1个项目");
  Command(kMenuSelectAll);
  EXPECT_EQ(CheckedProjectCount, 3);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中3个项目");
  Command(kMenuClearAll);
  EXPECT_EQ(Checks(), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中0个项目");
  Command(kMenuSelectAll);
  Command(kMenuDeleteAll);
  EXPECT_EQ(list().RowCount(), 0);
  EXPECT_TRUE(MonitorDirList.empty());
  EXPECT_EQ(CheckedProjectCount, 0);
  EXPECT_EQ(window().Text(kProgressBox), "");
  EXPECT_TRUE(window().Visible(kHintLabel));
}

TEST_F(ProjectListTest, TheHundredAndFirstProjectIsRefusedWithTheListLeftVisible) {
  for (int i = 0; i < 99; ++i) AddProject("D:\\p" + std::to_string(i) + "\\");
  Click(kAddProjectButton);  // the 100th still fits
  EXPECT_FALSE(window().Visible(kProjectList));
  Click(kCancelButton);
  AddProject("D:\\last\\");
  Command(kMenuWindowTopmost);
  ASSERT_TRUE(window().Topmost());
  std::string message, caption;
  bool topmostWhileShown = true;
  {
    kavrel_testing::ModalWatch watch(1, [&](HWND box, int) {
      message = kavrel_testing::BoxMessage(box);
      caption = testing_support::WindowText(box);
      topmostWhileShown = window().Topmost();
      kavrel_testing::PressButton(box, IDOK);
    });
    Click(kAddProjectButton);
  }
  EXPECT_EQ(message, "当前已经添加100个项目，如需继续添加，请先删除部分已有项目。");
  EXPECT_EQ(caption, "提示信息");
  EXPECT_FALSE(topmostWhileShown);
  EXPECT_EQ(window().MenuCaption(kMenuWindowTopmost), "窗口置顶");
  EXPECT_TRUE(window().Visible(kProjectList));
  EXPECT_TRUE(window().Enabled(kAddProjectButton));
  EXPECT_EQ(list().RowCount(), 100);
}

TEST_F(ProjectListTest, TopmostItemTogglesItsCaption) {
  Command(kMenuWindowTopmost);
  EXPECT_TRUE(window().Topmost());
  EXPECT_EQ(window().MenuCaption(kMenuWindowTopmost), "取消置顶");
  Command(kMenuWindowTopmost);
  EXPECT_FALSE(window().Topmost());
  EXPECT_EQ(window().MenuCaption(kMenuWindowTopmost), "窗口置顶");
}

TEST_F(ProjectListTest, PanelStatesForNewAndEditedProjects) {
  Click(kAddProjectButton);
  EXPECT_FALSE(window().Visible(kProjectList));
  EXPECT_FALSE(window().Visible(kHintLabel));
  EXPECT_FALSE(window().Enabled(kAddProjectButton));
  EXPECT_FALSE(window().Enabled(kBackupDirButton));
  EXPECT_FALSE(window().Enabled(kConfirmButton));
  EXPECT_FALSE(window().Enabled(kStartMonitorButton));
  EXPECT_TRUE(window().Enabled(kMonitorDirButton));
  Click(kCancelButton);
  EXPECT_TRUE(window().Visible(kProjectList));
  EXPECT_TRUE(window().Visible(kHintLabel));
  EXPECT_TRUE(window().Enabled(kAddProjectButton));
  EXPECT_FALSE(window().Enabled(kStartMonitorButton));  // nothing ticked

  AddXYZ();
  DoubleClickRow(1);
  EXPECT_EQ(ProjectEditState.editMode, 1);
  EXPECT_EQ(ProjectEditState.editedRow, 1);
  EXPECT_EQ(window().Text(kMonitorDirBox), "D:\\y\\");
  EXPECT_EQ(window().Text(kBackupDirBox), "D:\\y\\bk\\");
  EXPECT_FALSE(window().Visible(kProjectList));
  EXPECT_TRUE(window().Enabled(kBackupDirButton));
  EXPECT_FALSE(window().Enabled(kConfirmButton));
  EXPECT_FALSE(window().Enabled(kStartMonitorButton));
  EXPECT_TRUE(window().Enabled(kAddProjectButton));
  Click(kAddProjectButton);  // keeps the edit and its boxes
  EXPECT_EQ(ProjectEditState.editMode, 1);
  EXPECT_EQ(window().Text(kMonitorDirBox), "D:\\y\\");
  Click(kCancelButton);
  EXPECT_EQ(ProjectEditState.editMode, 0);
  EXPECT_EQ(window().Text(kMonitorDirBox), "");
  EXPECT_EQ(window().Text(kBackupDirBox), "");
  EXPECT_TRUE(window().Enabled(kStartMonitorButton));
  EXPECT_FALSE(window().Visible(kHintLabel));
  EXPECT_EQ(list().CurrentRow(), -1);
  // A double click with no current row opens the panel for a new project.
  SendMessageA(window().Control(kProjectList), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(300, 120));
  SendMessageA(window().Control(kProjectList), WM_LBUTTONUP, 0, MAKELPARAM(300, 120));
  PumpPendingMessages();
  EXPECT_EQ(ProjectEditState.editMode, 0);
  EXPECT_FALSE(window().Visible(kProjectList));
  EXPECT_FALSE(window().Enabled(kAddProjectButton));
}

TEST_F(ProjectListTest, ConfirmAddsANewProjectAndUpdatesAnEditedOne) {
  testing_support::ScratchDir dir;
  testing_support::WriteFileBytes(dir / "a.txt", std::string(3000, 'a'));
  CreateDirectoryA((dir / "sub").c_str(), nullptr);
  testing_support::WriteFileBytes(dir / "sub\\b.txt", std::string(5000, 'b'));
  Click(kAddProjectButton);
  window().SetText(kMonitorDirBox, dir.path());
  window().SetText(kBackupDirBox, "D:\\new_backupx\\");
  window().SetEnabled(kConfirmButton, true);
  Click(kConfirmButton);
  ASSERT_EQ(list().RowCount(), 1);
  EXPECT_EQ(list().Cell(0, kColumnId), "1");
  EXPECT_EQ(list().Cell(0, kColumnFileCount), "");
  EXPECT_EQ(list().Cell(0, kColumnSize), FormatByteSize(8000));
  EXPECT_EQ(list().Cell(0, kColumnMonitorDir), dir.path());
  EXPECT_EQ(list().Cell(0, kColumnBackupDir), "D:\\new_backupx\\");
  EXPECT_TRUE(list().Checked(0));
  EXPECT_EQ(list().Image(0), kImageResting);
  EXPECT_EQ(MonitorDirList, Texts{dir.path()});
  EXPECT_EQ(CheckedProjectCount, 1);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中1个项目");
  EXPECT_TRUE(window().Visible(kProjectList));
  EXPECT_FALSE(window().Visible(kHintLabel));
  EXPECT_TRUE(window().Enabled(kStartMonitorButton));
  EXPECT_TRUE(window().Enabled(kAddProjectButton));
  EXPECT_FALSE(window().Enabled(kConfirmButton));
  EXPECT_FALSE(window().Enabled(kBackupDirButton));
  EXPECT_EQ(window().Text(kMonitorDirBox), "");
  EXPECT_EQ(list().CurrentRow(), -1);

  // An unticked row that was skipped: editing ticks and counts it.
  AddProject("D:\\old\\", false);
  ProjectRow old = ProjectList::Main().Row(1);
  old.SetCell(kColumnFileCount, "12");
  old.SetImage(kImageSkipped);
  list().SetCurrentRow(1);
  Command(kMenuEditProject);
  window().SetText(kMonitorDirBox, dir.path() + "sub\\");
  window().SetText(kBackupDirBox, "D:\\sub_backupx\\");
  Click(kConfirmButton);
  EXPECT_EQ(list().RowCount(), 2);
  EXPECT_EQ(list().Cell(1, kColumnId), "2");
  EXPECT_EQ(list().Cell(1, kColumnFileCount), "12");
  EXPECT_EQ(list().Cell(1, kColumnSize), FormatByteSize(5000));  // taken anew
  EXPECT_EQ(list().Cell(1, kColumnMonitorDir), dir.path() + "sub\\");
  EXPECT_EQ(list().Cell(1, kColumnBackupDir), "D:\\sub_backupx\\");
  EXPECT_TRUE(list().Checked(1));
  EXPECT_EQ(list().Image(1), kImageResting);
  EXPECT_EQ(MonitorDirList, (Texts{dir.path(), dir.path() + "sub\\"}));
  EXPECT_EQ(CheckedProjectCount, 2);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中2个项目");
  EXPECT_EQ(ProjectEditState.editMode, 0);

  // A ticked row keeps the count.
  list().SetCurrentRow(0);
  Command(kMenuEditProject);
  Click(kConfirmButton);
  EXPECT_EQ(CheckedProjectCount, 2);
}

TEST_F(ProjectListTest, OnlyTheUsersOwnTogglesChangeTheCount) {
  AddXYZ();
  HWND listWindow = window().Control(kProjectList);
  SetForegroundWindow(window().Window());
  SetFocus(listWindow);
  list().SetCurrentRow(1);  // y, unticked, focused
  SendMessageA(listWindow, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(listWindow, WM_KEYUP, VK_SPACE, 0);
  PumpPendingMessages();
  EXPECT_TRUE(list().Checked(1));
  EXPECT_EQ(CheckedProjectCount, 3);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中3个项目");

  // A click on the check box of row 0.
  RECT icon = {};
  icon.left = LVIR_ICON;
  SendMessageA(listWindow, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&icon));
  LVHITTESTINFO hit = {};
  hit.pt = {icon.left - 8, (icon.top + icon.bottom) / 2};
  SendMessageA(listWindow, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  ASSERT_TRUE(hit.flags & LVHT_ONITEMSTATEICON);
  const LPARAM at = MAKELPARAM(hit.pt.x, hit.pt.y);
  SendMessageA(listWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(listWindow, WM_LBUTTONUP, 0, at);
  PumpPendingMessages();
  EXPECT_FALSE(list().Checked(0));
  EXPECT_EQ(CheckedProjectCount, 2);

  list().SetChecked(2, false);  // the program's own change
  PumpPendingMessages();
  EXPECT_EQ(CheckedProjectCount, 2);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中2个项目");
}

}  // namespace
