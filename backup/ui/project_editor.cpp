#include "backup/ui/project_editor.h"

#include "backup/ui/main_window_controls.h"
#include "backup/ui/notice_box.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/program_state.h"
#include "backup/ui/project_list.h"
#include "backup/utilities.h"
#include "backup/ui/window_topmost.h"

namespace kavrel {

namespace {

void CoverPanel(ui::Form& window) {
  window.SetVisible(kProjectList, false);
  window.SetVisible(kHintLabel, false);
  window.SetEnabled(kStartMonitorButton, false);
}

// Back to the list: boxes empty, no current row.
void ShowList(ui::Form& window) {
  window.SetVisible(kProjectList, true);
  window.SetEnabled(kBackupDirButton, false);
  window.SetEnabled(kConfirmButton, false);
  window.SetText(kMonitorDirBox, std::string());
  window.SetText(kBackupDirBox, std::string());
  window.SetEnabled(kAddProjectButton, true);
  ProjectList projects = ProjectList::Main();
  projects.View().SetCurrentRow(-1);
  window.SetVisible(kHintLabel, projects.Count() == 0);
}

}  // namespace

void OpenNewProjectPanel() {
  ui::Form& window = MainWindow();
  if (ProjectList::Main().Count() < kMaxProjects) {
    CoverPanel(window);
    window.SetEnabled(kBackupDirButton, false);
    window.SetEnabled(kAddProjectButton, false);
    return;
  }
  ReleaseTopmost(Program());
  ShowNotice("当前已经添加100个项目，如需继续添加，请先删除部分已有项目。");
}

void OnMenuEditProject() {
  ui::Form& window = MainWindow();
  ProjectList projects = ProjectList::Main();
  const int current = projects.View().CurrentRow();
  if (current < 0) {
    OpenNewProjectPanel();
    return;
  }
  Program().edit.editedRow = current;
  const ProjectRow row = projects.Row(current);
  window.SetText(kMonitorDirBox, row.MonitorDir());
  window.SetText(kBackupDirBox, row.BackupDir());
  CoverPanel(window);
  window.SetEnabled(kBackupDirButton, true);
  Program().edit.editMode = 1;
}

void OnEditConfirmClicked() {
  ui::Form& window = MainWindow();
  ProjectList projects = ProjectList::Main();
  const std::string monitorDir = window.Text(kMonitorDirBox);
  const std::string backupDir = window.Text(kBackupDirBox);
  const std::string sizeText = FormatByteSize(GetDirectorySize(monitorDir));
  int index;
  if (Program().edit.editMode != 0) {
    Program().edit.editMode = 0;
    index = Program().edit.editedRow;
    MonitorDirList[index] = monitorDir;
    if (!projects.Row(index).Checked()) {
      ++Program().checkedCount;
      ShowCountText();
    }
    ProjectRow row = projects.Row(index);
    row.SetCell(kColumnSize, sizeText);
    row.SetCell(kColumnMonitorDir, monitorDir);
    row.SetCell(kColumnBackupDir, backupDir);
    row.SetChecked(true);
    row.SetImage(kImageResting);
  } else {
    index = projects.Append(monitorDir, backupDir, sizeText, true);
    ++Program().checkedCount;
    ShowCountText();
  }
  projects.View().EnsureVisible(index);
  ShowList(window);
  window.SetEnabled(kStartMonitorButton, true);
}

void OnEditCancelClicked() {
  ui::Form& window = MainWindow();
  if (Program().checkedCount > 0) window.SetEnabled(kStartMonitorButton, true);
  Program().edit.editMode = 0;
  ShowList(window);
}

void OnProjectListCheckToggled(int, int state) {
  Program().checkedCount += state == 1 ? 1 : -1;
  ShowCountText();
}

}  // namespace kavrel
