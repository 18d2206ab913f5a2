#include "backup/ui/project_editor.h"

#include "backup/ui/main_window_controls.h"
#include "backup/ui/notice_box.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/project_list.h"
#include "base/utilities.h"
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

void OpenNewProjectPanel(ProgramState& state) {
  ui::Form& window = MainWindow();
  if (ProjectList::Main().Count() < kMaxProjects) {
    CoverPanel(window);
    window.SetEnabled(kBackupDirButton, false);
    window.SetEnabled(kAddProjectButton, false);
    return;
  }
  ReleaseTopmost(state);
  ShowNotice("当前已经添加100个项目，如需继续添加，请先删除部分已有项目。");
}

void OnMenuEditProject(ProgramState& state) {
  ui::Form& window = MainWindow();
  ProjectList projects = ProjectList::Main();
  const int current = projects.View().CurrentRow();
  if (current < 0) {
    OpenNewProjectPanel(state);
    return;
  }
  state.edit.editedRow = current;
  const ProjectRow row = projects.Row(current);
  window.SetText(kMonitorDirBox, row.MonitorDir());
  window.SetText(kBackupDirBox, row.BackupDir());
  CoverPanel(window);
  window.SetEnabled(kBackupDirButton, true);
  state.edit.editMode = 1;
}

void OnEditConfirmClicked(ProgramState& state) {
  ui::Form& window = MainWindow();
  ProjectList projects = ProjectList::Main();
  const std::string monitorDir = window.Text(kMonitorDirBox);
  const std::string backupDir = window.Text(kBackupDirBox);
  const std::string sizeText = SizeColumnText(GetDirectorySize(monitorDir));
  int index;
  if (state.edit.editMode != 0) {
    state.edit.editMode = 0;
    index = state.edit.editedRow;
    MonitorDirList[index] = monitorDir;
    if (!projects.Row(index).Checked()) {
      ++state.checkedCount;
      ShowCountText(state);
    }
    ProjectRow row = projects.Row(index);
    row.SetCell(kColumnSize, sizeText);
    row.SetCell(kColumnMonitorDir, monitorDir);
    row.SetCell(kColumnBackupDir, backupDir);
    row.SetChecked(true);
    row.SetImage(kImageResting);
  } else {
    index = projects.Append(monitorDir, backupDir, sizeText, true);
    ++state.checkedCount;
    ShowCountText(state);
  }
  projects.View().EnsureVisible(index);
  ShowList(window);
  window.SetEnabled(kStartMonitorButton, true);
}

void OnEditCancelClicked(ProgramState& state) {
  ui::Form& window = MainWindow();
  if (state.checkedCount > 0) window.SetEnabled(kStartMonitorButton, true);
  state.edit.editMode = 0;
  ShowList(window);
}

void OnProjectListCheckToggled(ProgramState& state, int, int checkState) {
  state.checkedCount += checkState == 1 ? 1 : -1;
  ShowCountText(state);
}

}  // namespace kavrel
