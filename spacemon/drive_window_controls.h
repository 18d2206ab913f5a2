// Dunmere's window as its handlers know it: the id of its drive list and its
// form; filled by the window table in apps/dunmere/drive_window.cpp.
#pragma once
#include "shelltool/form.h"

namespace spacemon {

enum DriveWindowControl : int {
  kDriveList = 100,  // 列表框
};

ui::Form& DriveSpaceWindow();

}  // namespace spacemon
