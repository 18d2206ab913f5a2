// The main window as a check sees it, and the check thread that uses it.
#pragma once
#include <windows.h>

#include "backup/check/check_window.h"

namespace kavrel {

// The program's main window. Every access is a sent message, so it runs on
// the window's own thread whichever thread makes it.
CheckWindow& MainCheckWindow();

// The check thread's entry; its start parameter is the 1-based row number.
DWORD WINAPI IncrementalCheckThreadEntry(LPVOID row);

}  // namespace kavrel
