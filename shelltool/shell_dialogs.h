// The shell's own dialogs that the toolkit object hands off to, and the
// pieces of them that tests can call without a dialog.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace shell {

// The folder picker's callback: opens the dialog at the picker's start folder.
int32_t PickFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM data);
int CALLBACK PickFolderCallbackEntry(HWND window, UINT message, LPARAM parameter, LPARAM data);

// The command lines of the open-with dialog and of the control panel.
std::string OpenWithCommandLine(const std::string& file);
extern const char kControlPanelCommandLine[];

// The library whose favourites dialogs match the browser version.
const char* FavoritesLibraryFor(const std::string& browserVersion);

// The colour dialog's 16 custom colours from the caller's, which may be fewer
// or more: missing ones are the dialog's own empty white.
std::vector<COLORREF> SixteenCustomColours(const std::vector<COLORREF>& given);

}  // namespace shell
