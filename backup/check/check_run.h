// One incremental check of one project, on a thread of its own: prepares the
// backup root, scans the tree, splits the file list over the worker slots,
// shows the progress once a second and raises `finished` at its end.
#pragma once
#include <windows.h>

#include <string>

#include "backup/check/check_window.h"

namespace kavrel {

// Checks the project of the 1-based row, shown in window.
void RunIncrementalCheck(int row, CheckWindow& window);

// The 76 bytes of the backup root's desktop.ini.
extern const char kBackupRootMarker[];
constexpr size_t kBackupRootMarkerSize = 76;

// The directory the scanner walks for a column-3 text: without its trailing
// backslash, except for a drive root such as "D:\".
std::string ScanDirectoryOf(const std::string& monitorDir);

// The backup root's attributes: 0x2006 (not indexed, system, hidden) when it
// is to be hidden, else 0x24 (archive, system).
inline DWORD BackupRootAttributes(bool hidden) { return hidden ? 0x2006 : 0x24; }

std::string ProgressText(LONG checked, int total, LONG linked);

}  // namespace kavrel
