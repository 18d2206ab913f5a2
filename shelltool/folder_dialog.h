// The shell's folder dialog, as the toolkit's folder picker and the backup
// monitor's directory choosers open it.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace shell {

// Shows the dialog; the callback may be null. Returns the chosen path with
// blanks trimmed, or "" when the user cancels or the item has no path.
std::string ShowFolderDialog(HWND owner, const std::string& title, bool includeFiles, bool editBox,
                             bool newDialogStyle, BFFCALLBACK callback);

// The callbacks' common step: once the dialog is up, select the start folder
// (none when it is empty), asking again while the selection the dialog
// reports is another. Returns 1, as the callbacks do for every message.
int SelectStartFolder(HWND dialog, UINT message, LPARAM parameter, const std::string& folder);

// Whether a path names the folder: A-Z case and a trailing backslash aside.
bool IsSameFolder(const std::string& path, const std::string& folder);

// Leading and trailing blanks removed; a blank is 0x20 or the full-width space.
std::string TrimBlanks(const std::string& text);

}  // namespace shell
