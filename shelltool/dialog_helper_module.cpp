#include "shelltool/dialog_helper_module.h"

#include <cstdlib>

namespace shell {

namespace {

// The GDI+ flat start-up interface, version 1.
struct GdiplusStartupInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};
extern "C" int WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);

}  // namespace

DialogHelperState& DialogHelperGlobals() {
  static DialogHelperState state;
  return state;
}

void InitDialogHelperGlobals() {
  DialogHelperState& state = DialogHelperGlobals();
  state.boxPosition = {0, 0};
  state.previewLastClientRect = {0, 0, 0, 0};
}

void FreeDialogHelperGlobals() {
  DialogHelperState& state = DialogHelperGlobals();
  std::string().swap(state.pickerStartFolder);
  for (std::string& caption : state.buttonCaptions) std::string().swap(caption);
  state.boxPosition = {0, 0};
  state.previewLastClientRect = {0, 0, 0, 0};
}

int32_t InitDialogHelperModule() {
  std::srand(GetTickCount());
  if (ProgramDialogHelper) {
    FileDialogOptions options;
    options.filter = "所有文件(*.*)|*.*";
    ProgramDialogHelper->SetFileDialogOptions(options);
  }
  const GdiplusStartupInput input = {1, nullptr, FALSE, FALSE};
  GdiplusStartup(&DialogHelperGlobals().gdiplusToken, &input, nullptr);
  return 0;
}

LRESULT ButtonCaptionHook(int code, WPARAM wp, LPARAM /*lp*/) {
  if (code != HCBT_ACTIVATE) return 0;
  DialogHelperState& state = DialogHelperGlobals();
  HWND box = reinterpret_cast<HWND>(wp);
  if (state.boxPosition.x != kPlatformBoxPosition.x && state.boxPosition.y != kPlatformBoxPosition.y)
    PlaceWindow(box, state.boxPosition.x, state.boxPosition.y);
  for (int k = 1; k <= 7; ++k) {
    const std::string& caption = state.buttonCaptions[k - 1];
    if (!caption.empty()) SetDlgItemTextA(box, k, caption.c_str());
  }
  if (state.captionHookHandle) UnhookWindowsHookEx(state.captionHookHandle);
  state.captionHookHandle = nullptr;
  return 0;
}

LRESULT CALLBACK ButtonCaptionHookEntry(int code, WPARAM wp, LPARAM lp) { return ButtonCaptionHook(code, wp, lp); }

}  // namespace shell
