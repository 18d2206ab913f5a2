// The main window's always-on-top state and its menu item 窗口置顶 / 取消置顶.
#pragma once
#include "backup/ui/program_state.h"

namespace kavrel {

// Switches always on top off and resets the item to "窗口置顶"; done before
// any dialog or box so that it cannot hide behind the main window.
void ReleaseTopmost(ProgramState& state);
// The menu command: toggles the program's topmost state and the item's caption.
void OnMenuWindowTopmost(ProgramState& state);

}  // namespace kavrel
