// The main window's two icons (idle at rest, busy while a check runs) and the
// project rows' images; declared here, drawn by apps/kavrel/window_icons.cpp.
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace kavrel {

HICON IdleIcon();
HICON BusyIcon();
// Row images of the project list: 0 under check, 1 at rest, 2 skipped.
HIMAGELIST ProjectRowImages();

}  // namespace kavrel
