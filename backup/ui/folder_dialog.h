// The shell's folder dialogs, as the choosers open them.
#pragma once
#include <windows.h>

#include <string>

namespace kavrel {

// The folder dialog of the monitored directory, with an edit box, owned by the
// active window; the chosen path without trailing "\", or "" when cancelled.
std::string BrowseMonitoredFolder(const std::string& title);

// A folder dialog that opens at start; the chosen path with blanks trimmed,
// or "" when cancelled.
std::string BrowseFolderFrom(const std::string& start, const std::string& title = "请选择一个文件夹",
                             bool includeFiles = false, bool editBox = true, bool newDialogStyle = true);
int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM data);

}  // namespace kavrel
