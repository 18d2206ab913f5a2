#include "backup/ui/folder_dialog.h"

#include "backup/ui/program_globals.h"
#include "shelltool/folder_dialog.h"

namespace kavrel {

// Both are owned by the active window so that the panel cannot change under the dialog.

std::string BrowseMonitoredFolder(const std::string& title) {
  // The older dialog shows no edit box under Wine.
  return shell::ShowFolderDialog(GetActiveWindow(), title, false, true, true, nullptr);
}

std::string BrowseFolderFrom(const std::string& start, const std::string& title, bool includeFiles, bool editBox,
                             bool newDialogStyle) {
  BrowseStartFolder = start;
  return shell::ShowFolderDialog(GetActiveWindow(), title, includeFiles, editBox, newDialogStyle,
                                 BrowseFolderCallback);
}

int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM) {
  return shell::SelectStartFolder(window, message, parameter, BrowseStartFolder);
}

}  // namespace kavrel
