// The pop-up menu 右键: which items it offers, and its commands on the projects.
#pragma once
#include <vector>

namespace kavrel {

struct ProjectListState {
  int rowCount = 0;
  int checkedCount = 0;  // ticked rows
  int currentRow = -1;   // -1 when no row is selected
};

// Menu items hidden from the list's menu in this state (separators included).
std::vector<int> HiddenListMenuItems(const ProjectListState& state);
// Items hidden from the menu of the window outside the list.
std::vector<int> HiddenWindowMenuItems();

// Sets the items' visibility (and the open-directory captions) for the list's
// current state; ShowProjectListMenu then pops the menu up.
void PrepareProjectListMenu();
void ShowProjectListMenu();
inline void OnProjectListRightClick() { ShowProjectListMenu(); }
void PrepareWindowMenu();
void OnMainWindowRightButtonUp();

void OnMenuNewProject();
void OnMenuSelectAll();
void OnMenuClearAll();
void OnMenuInvertSelection();
void OnMenuMoveToTop();
void OnMenuMoveUp();
void OnMenuMoveDown();
void OnMenuMoveToBottom();
void OnMenuDeleteCurrentProject();
void OnMenuDeleteSelectedProjects();
void OnMenuDeleteAllProjects();
void OnMenuOpenMonitorDir();
void OnMenuOpenBackupDir();

}  // namespace kavrel
