// The pop-up menu 右键: which items it offers, and its commands on the projects.
#pragma once
#include <vector>

#include "backup/ui/program_state.h"

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
void PrepareProjectListMenu(const ProgramState& state);
void ShowProjectListMenu(const ProgramState& state);
inline void OnProjectListRightClick(ProgramState& state) { ShowProjectListMenu(state); }
void PrepareWindowMenu();
void OnMainWindowRightButtonUp();

void OnMenuNewProject(ProgramState& state);
void OnMenuSelectAll(ProgramState& state);
void OnMenuClearAll(ProgramState& state);
void OnMenuInvertSelection(ProgramState& state);
void OnMenuMoveToTop();
void OnMenuMoveUp();
void OnMenuMoveDown();
void OnMenuMoveToBottom();
void OnMenuDeleteCurrentProject(ProgramState& state);
void OnMenuDeleteSelectedProjects(ProgramState& state);
void OnMenuDeleteAllProjects(ProgramState& state);
void OnMenuOpenMonitorDir();
void OnMenuOpenBackupDir();

}  // namespace kavrel
