// Dunmere's one window, DriveSpaceWindow, with its drive list 列表框.
#pragma once
#include "spacemon/drive_window_controls.h"

namespace spacemon {

extern const ui::WindowDef kDriveSpaceWindowDef;

// The window icon.
HICON DriveTrackerIcon();

}  // namespace spacemon
