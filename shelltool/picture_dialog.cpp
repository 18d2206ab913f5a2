#include "shelltool/picture_dialog.h"

#include <commctrl.h>

#include "base/gbk_text.h"
#include "base/utilities.h"
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"
#include "shelltool/file_dialogs.h"
#include "shelltool/picture_preview.h"

namespace shell {

namespace {

constexpr int kNameBoxId = 1148;  // cmb13

}  // namespace

std::string NameBoxText(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[5] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpA(className, "Edit") == 0) return ui::ReadWindowText(child);
    PumpPendingMessages();
  }
  HWND nameBox = GetDlgItem(dialog, kNameBoxId);
  if (!nameBox) return std::string();
  // A ComboBoxEx32 keeps the typed text in its own edit control.
  HWND edit = reinterpret_cast<HWND>(SendMessageA(nameBox, CBEM_GETEDITCONTROL, 0, 0));
  return ui::ReadWindowText(edit ? edit : nameBox);
}

UINT_PTR CALLBACK PreviewDialogHook(HWND hookWindow, UINT message, WPARAM, LPARAM lp) {
  if (message == WM_INITDIALOG) {
    if (HWND dialog = GetParent(hookWindow)) LayoutPreviewInDialog(dialog);
  } else if (message == WM_NOTIFY) {
    if (reinterpret_cast<const NMHDR*>(lp)->code == static_cast<UINT>(CDN_INITDONE))
      RestorePreviewLayout(GetParent(hookWindow));
    std::string text = NameBoxText(GetParent(hookWindow));
    if (!text.empty()) {
      char full[255];
      const DWORD n = GetFullPathNameA(text.c_str(), sizeof full, full, nullptr);
      // A path that does not fit the buffer is not previewed.
      if (n > 0 && n < sizeof full && ResolvePreviewPath(std::string(full, n), text)) ShowPreviewOfFile(text);
    }
    PumpPendingMessages();
  }
  return 1;
}

bool ShellDialogHelper::PickPictureFile(HWND owner, int32_t kind, std::string& fileName, const std::string& title,
                                        int32_t mode) {
  if (!dialogRecord) dialogRecord.Set(FileDialogRecord());
  FileDialogRecord& record = *dialogRecord.get();
  const bool preview = kind == 0 && mode != 0;
  if (preview) {
    DialogHelperGlobals().previewMode = mode;
    record.lpfnHook = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&PreviewDialogHook));
    if (!PreviewWindow().Window()) PreviewWindow().Create();
  }
  const bool confirmed = ShowFileDialog(*this, owner, kind, fileName, title, preview);
  // The window its Destroyed handler gave back to its old parent would wait
  // for a posted close, and the next dialog would take it up: it goes now.
  if (preview && PreviewWindow().BeingDestroyed()) PreviewWindow().Destroy();
  if (confirmed) lastDirectoryBytes.Set(*record.lpstrFile.get());
  record.lpstrFile.Set(ByteArray());
  record.lpstrFileTitle.Set(ByteArray());
  record.nMaxFile = 0;
  record.nMaxFileTitle = 0;
  return confirmed;
}

}  // namespace shell
