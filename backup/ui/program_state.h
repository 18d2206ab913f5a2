// Kavrel's state while it runs, in one place. The window's captions show it;
// no handler reads a caption back to learn it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "backup/settings/settings_text.h"

namespace kavrel {

struct EditState {
  int32_t editMode = 0;   // 0 adds a new project, 1 edits editedRow
  int32_t editedRow = 0;  // 0-based
};

struct ProgramState {
  bool monitoring = false;        // a run is under way: 开始监控按钮 shows "停止监控"
  volatile LONG exitPending = 0;  // the window was closed while monitoring ran
  bool topmost = false;           // the window stays on top: the menu item shows "取消置顶"
  int32_t checkedCount = 0;       // ticked project rows
  EditState edit;                 // what the edit panel does
  // Project lines of CF.ini past the list's hundredth row, written back as they came.
  std::vector<ProjectSetting> unlistedProjects;
};

// The program's one state, handed to the handlers.
ProgramState& Program();

}  // namespace kavrel
