// Dunmere's window creation handler and the drive list's user actions.
#pragma once
#include <cstdint>

namespace spacemon {

// Single instance, then the monitor thread.
void OnDriveWindowCreated();
// Unticking the last ticked drive ends the program with code 0.
void OnDriveListCheckToggled(int32_t row, int32_t state);
// Flips the window's always-on-top state.
void OnDriveListDoubleClick();
// Asks the monitor thread for a rebuild, which ticks every row again.
void OnDriveListRightClick();

}  // namespace spacemon
