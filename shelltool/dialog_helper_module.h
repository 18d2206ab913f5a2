// The dialog toolkit's module globals, its initialiser and the caption hook
// of the message box with own button captions.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "shelltool/dialog_helper.h"

namespace shell {

// One set per program, from InitDialogHelperGlobals to FreeDialogHelperGlobals.
struct DialogHelperState {
  ULONG_PTR gdiplusToken = 0;       // GDI+ is never shut down
  std::string pickerStartFolder;    // the folder picker's start folder
  COLORREF lastColour = 0;          // the colour picker's last choice
  // The picture preview (PickPictureFile): 1 picture, 2 text, 0 before the first.
  int32_t previewMode = 0;
  HWND previewSavedParent = nullptr;     // the preview window's parent before embedding
  HWND previewDialogWindow = nullptr;    // the dialog that holds it; never cleared
  RECT previewLastClientRect = {};       // the dialog client rectangle last acted on
  ButtonCaptions buttonCaptions;    // of the last MessageBoxWithButtons call
  POINT boxPosition = {0, 0};
  int32_t boxExtraValue = 0;
  HHOOK captionHookHandle = nullptr;
};
DialogHelperState& DialogHelperGlobals();

void InitDialogHelperGlobals();
void FreeDialogHelperGlobals();

// Random seed, the default file filter on ProgramDialogHelper, GDI+ start-up.
int32_t InitDialogHelperModule();

// On the first activation it sees: places the box, sets the given button
// captions and removes itself.
LRESULT ButtonCaptionHook(int code, WPARAM wp, LPARAM lp);
LRESULT CALLBACK ButtonCaptionHookEntry(int code, WPARAM wp, LPARAM lp);

}  // namespace shell
