// Dunmere's one window, DriveSpaceWindow, with its drive list 列表框.
#pragma once
#include "shelltool/form.h"

namespace spacemon {

enum DriveWindowControl : int {
  kDriveList = 100,  // 列表框
};

extern const ui::WindowDef kDriveSpaceWindowDef;

ui::Form& DriveSpaceWindow();
// The window icon.
HICON DriveTrackerIcon();

}  // namespace spacemon
