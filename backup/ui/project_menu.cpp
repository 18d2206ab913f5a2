#include "backup/ui/project_menu.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "backup/ui/main_window_controls.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/project_editor.h"
#include "backup/ui/project_list.h"

namespace kavrel {

namespace {

// Every item except 新建项目, 窗口置顶 and 使用帮助, which are never hidden.
const std::vector<int> kHideableItems = {
    kMenuEditProject,    kMenuSeparator1,     kMenuSelectAll,  kMenuClearAll,     kMenuInvertSelection,
    kMenuSeparator2,     kMenuMoveToTop,      kMenuMoveUp,     kMenuMoveDown,     kMenuMoveToBottom,
    kMenuSeparator3,     kMenuDeleteCurrent,  kMenuDeleteSelected, kMenuDeleteAll, kMenuSeparator4,
    kMenuSeparator5,     kMenuOpenMonitorDir, kMenuOpenBackupDir,
};

ProjectListState CurrentState(const ProgramState& state) {
  ProjectList projects = ProjectList::Main();
  return ProjectListState{projects.Count(), state.checkedCount, projects.View().CurrentRow()};
}

void ApplyHidden(const std::vector<int>& hidden) {
  ui::Form& window = MainWindow();
  for (int item : kHideableItems)
    window.SetMenuVisible(item, std::find(hidden.begin(), hidden.end(), item) == hidden.end());
}

int CurrentRow() { return ProjectList::Main().View().CurrentRow(); }

void OpenWithShell(int column) {
  const int current = CurrentRow();
  if (current < 0) return;
  const std::string path = ProjectList::Main().Row(current).Cell(column);
  ShellExecuteA(nullptr, nullptr, path.c_str(), "", "", SW_SHOWNORMAL);
}

}  // namespace

std::vector<int> HiddenListMenuItems(const ProjectListState& state) {
  std::vector<int> hidden;
  auto hide = [&hidden](std::initializer_list<int> items) {
    for (int item : items) hidden.push_back(item);
  };
  if (state.checkedCount == 0) hide({kMenuClearAll, kMenuDeleteSelected});
  if (state.checkedCount == state.rowCount) hide({kMenuSelectAll});
  if (state.rowCount == 0)
    hide({kMenuMoveToTop, kMenuMoveUp, kMenuMoveDown, kMenuMoveToBottom, kMenuDeleteCurrent, kMenuDeleteSelected,
          kMenuDeleteAll, kMenuSeparator3, kMenuSeparator4});
  if (state.currentRow < 0) {
    hide({kMenuEditProject, kMenuMoveToTop, kMenuMoveUp, kMenuMoveDown, kMenuMoveToBottom, kMenuDeleteCurrent,
          kMenuOpenMonitorDir, kMenuOpenBackupDir, kMenuSeparator3, kMenuSeparator5});
    return hidden;
  }
  if (state.currentRow == 0) hide({kMenuMoveToTop, kMenuMoveUp});
  if (state.currentRow == state.rowCount - 1) hide({kMenuMoveDown, kMenuMoveToBottom});
  return hidden;
}

std::vector<int> HiddenWindowMenuItems() { return kHideableItems; }

void PrepareProjectListMenu(const ProgramState& state) {
  const ProjectListState list = CurrentState(state);
  ApplyHidden(HiddenListMenuItems(list));
  if (list.currentRow >= 0) {
    MainWindow().SetMenuCaption(kMenuOpenMonitorDir, "打开监控目录");
    MainWindow().SetMenuCaption(kMenuOpenBackupDir, "打开备份目录");
  }
}

void ShowProjectListMenu(const ProgramState& state) {
  PrepareProjectListMenu(state);
  MainWindow().ShowPopupMenu();
}

void PrepareWindowMenu() { ApplyHidden(HiddenWindowMenuItems()); }

void OnMainWindowRightButtonUp() {
  PrepareWindowMenu();
  MainWindow().ShowPopupMenu();
}

void OnMenuNewProject(ProgramState& state) { OpenNewProjectPanel(state); }

void OnMenuSelectAll(ProgramState& state) {
  ProjectList projects = ProjectList::Main();
  projects.SetAllChecked(true);
  state.checkedCount = projects.Count();
  ShowCountText(state);
}

void OnMenuClearAll(ProgramState& state) {
  ProjectList::Main().SetAllChecked(false);
  state.checkedCount = 0;
  ShowCountText(state);
}

void OnMenuInvertSelection(ProgramState& state) {
  ProjectList projects = ProjectList::Main();
  projects.InvertChecks();
  state.checkedCount = projects.Count() - state.checkedCount;
  ShowCountText(state);
}

// The menu offers a move only where the neighbour exists; a stray command does nothing.
void OnMenuMoveToTop() {
  const int current = CurrentRow();
  if (current >= 1) ProjectList::Main().MoveToTop(current);
}

void OnMenuMoveUp() {
  const int current = CurrentRow();
  if (current >= 1) ProjectList::Main().MoveUp(current);
}

void OnMenuMoveDown() {
  ProjectList projects = ProjectList::Main();
  const int current = CurrentRow();
  if (current >= 0 && current <= projects.Count() - 2) projects.MoveDown(current);
}

void OnMenuMoveToBottom() {
  ProjectList projects = ProjectList::Main();
  const int current = CurrentRow();
  if (current >= 0 && current <= projects.Count() - 2) projects.MoveToBottom(current);
}

void OnMenuDeleteCurrentProject(ProgramState& state) {
  ProjectList projects = ProjectList::Main();
  const int current = CurrentRow();
  if (current < 0) return;
  if (projects.Delete(current)) --state.checkedCount;
  ShowCountText(state);
  if (projects.Count() == 0) MainWindow().SetVisible(kHintLabel, true);
}

void OnMenuDeleteSelectedProjects(ProgramState& state) {
  ProjectList projects = ProjectList::Main();
  const int deleted = projects.DeleteTicked();
  if (deleted > 0) {
    state.checkedCount -= deleted;
    ShowCountText(state);
  }
  if (projects.Count() == 0) MainWindow().SetVisible(kHintLabel, true);
}

// All means the lines past the hundredth too, which the list cannot show.
void OnMenuDeleteAllProjects(ProgramState& state) {
  ProjectList::Main().DeleteAll();
  state.unlistedProjects.clear();
  MainWindow().SetVisible(kHintLabel, true);
  state.checkedCount = 0;
  MainWindow().SetText(kProgressBox, std::string());
}

void OnMenuOpenMonitorDir() { OpenWithShell(kColumnMonitorDir); }
void OnMenuOpenBackupDir() { OpenWithShell(kColumnBackupDir); }

}  // namespace kavrel
