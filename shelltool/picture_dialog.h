// The hook of the open dialog that carries the picture-preview window
// (ShellDialogHelper::PickPictureFile).
#pragma once
#include <windows.h>

#include <string>

namespace shell {

// Embeds the window at WM_INITDIALOG and previews the name box's file at
// each WM_NOTIFY. Returns 1 for every message.
UINT_PTR CALLBACK PreviewDialogHook(HWND hookWindow, UINT message, WPARAM wp, LPARAM lp);

// The file-name box's text: the dialog's first direct "Edit" child. A dialog
// without one (the Explorer-style dialog of some Wine and Windows versions)
// keeps it in the ComboBoxEx32 with id 1148 (cmb13), read instead.
std::string NameBoxText(HWND dialog);

}  // namespace shell
