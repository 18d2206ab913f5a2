#include "shelltool/picture_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include "backup/gbk_text.h"
#include "backup/utilities.h"
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"
#include "shelltool/picture_preview.h"

namespace shell {

namespace {

constexpr DWORD kStructSize = 76;  // OPENFILENAMEA up to lpTemplateName
constexpr int kNameBoxId = 1148;   // cmb13

template <typename T>
T* BytesOf(Owned<ByteArray>& member) {
  ByteArray* bytes = member.get();
  return bytes && !bytes->empty() ? reinterpret_cast<T*>(bytes->data()) : nullptr;
}

const char* TextOf(const Owned<std::string>& member) { return member ? member.get()->c_str() : nullptr; }

// The record member by member in the platform's form; the dialog writes the
// names straight into the record's file buffer.
OPENFILENAMEA PlatformRecord(FileDialogRecord& record) {
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = record.lStructSize;
  ofn.hwndOwner = reinterpret_cast<HWND>(static_cast<uintptr_t>(record.hwndOwner));
  ofn.hInstance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(record.hInstance));
  ofn.lpstrFilter = BytesOf<const char>(record.lpstrFilter);
  ofn.lpstrCustomFilter = BytesOf<char>(record.lpstrCustomFilter);
  ofn.nMaxCustFilter = record.nMaxCustFilter;
  ofn.nFilterIndex = record.nFilterIndex;
  ofn.lpstrFile = BytesOf<char>(record.lpstrFile);
  ofn.nMaxFile = record.nMaxFile;
  ofn.lpstrFileTitle = BytesOf<char>(record.lpstrFileTitle);
  ofn.nMaxFileTitle = record.nMaxFileTitle;
  ofn.lpstrInitialDir = TextOf(record.lpstrInitialDir);
  ofn.lpstrTitle = TextOf(record.lpstrTitle);
  ofn.Flags = record.Flags;
  ofn.nFileOffset = static_cast<WORD>(record.nFileOffset);
  ofn.nFileExtension = static_cast<WORD>(record.nFileExtension);
  ofn.lpstrDefExt = TextOf(record.lpstrDefExt);
  ofn.lCustData = record.lCustData;
  ofn.lpfnHook = reinterpret_cast<LPOFNHOOKPROC>(static_cast<uintptr_t>(record.lpfnHook));
  ofn.lpTemplateName = TextOf(record.lpTemplateName);
  return ofn;
}

// One full path, or with multiple selection the Explorer layout (directory,
// then each name, zero-separated) as full paths joined with ";".
std::string SelectionText(const ByteArray& buffer, bool multiSelect) {
  size_t end = buffer.size();
  for (size_t i = 0; i + 1 < buffer.size(); ++i)
    if (buffer[i] == 0 && buffer[i + 1] == 0) {
      end = i;
      break;
    }
  const std::string kept(buffer.begin(), buffer.begin() + end);
  const size_t firstZero = kept.find('\0');
  if (!multiSelect || firstZero == std::string::npos) return kept.substr(0, firstZero);
  const std::string directory = gbk::WithTrailingBackslash(kept.substr(0, firstZero));
  std::string joined;
  for (size_t start = firstZero + 1; start <= kept.size();) {
    size_t zero = kept.find('\0', start);
    if (zero == std::string::npos) zero = kept.size();
    if (!joined.empty()) joined += ';';
    joined += directory + kept.substr(start, zero - start);
    PumpPendingMessages();
    start = zero + 1;
  }
  return joined;
}

}  // namespace

std::string NameBoxText(HWND dialog) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[5] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpA(className, "Edit") == 0) return ReadWindowText(child);
    PumpPendingMessages();
  }
  HWND nameBox = GetDlgItem(dialog, kNameBoxId);
  if (!nameBox) return std::string();
  // A ComboBoxEx32 keeps the typed text in its own edit control.
  HWND edit = reinterpret_cast<HWND>(SendMessageA(nameBox, CBEM_GETEDITCONTROL, 0, 0));
  return ReadWindowText(edit ? edit : nameBox);
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
  if (title.empty()) record.lpstrTitle.Reset();
  else record.lpstrTitle.Set(title);
  record.hwndOwner = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner));
  if (noChangeDirFlag == 0) lastDirectoryBytes.Reset();

  ByteArray buffer;
  if (!fileName.empty()) {
    for (char c : fileName) buffer.push_back(c == ';' ? 0 : static_cast<unsigned char>(c));
  } else if (lastDirectoryBytes) {
    buffer = *lastDirectoryBytes.get();
  }
  // At least one closing zero, also after a name longer than the buffer.
  const size_t size = allowMultiSelectFlag ? 2048 : 256;
  buffer.resize(buffer.size() < size ? size + 1 : buffer.size() + 1, 0);
  record.lpstrFile.Set(buffer);
  record.nMaxFile = static_cast<uint32_t>(buffer.size());
  record.lpstrFileTitle.Set(ByteArray());
  record.lStructSize = kStructSize;

  bool confirmed = false;
  if (kind == 0) {
    record.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING | createPromptFlag | fileMustExistFlag |
                   overwritePromptFlag | pathMustExistFlag | noChangeDirFlag | allowMultiSelectFlag;
    if (mode != 0) {
      DialogHelperGlobals().previewMode = mode;
      record.Flags |= OFN_ENABLEHOOK | OFN_EXPLORER;
      record.lpfnHook = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&PreviewDialogHook));
      if (!PreviewWindow().Window()) PreviewWindow().Create();
    }
    OPENFILENAMEA ofn = PlatformRecord(record);
    confirmed = GetOpenFileNameA(&ofn) != FALSE;
  } else if (kind == 1) {
    record.Flags = OFN_EXPLORER | OFN_ENABLESIZING | overwritePromptFlag | pathMustExistFlag | noChangeDirFlag |
                   allowMultiSelectFlag;
    OPENFILENAMEA ofn = PlatformRecord(record);
    confirmed = GetSaveFileNameA(&ofn) != FALSE;
  }
  if (confirmed) {
    lastDirectoryBytes.Set(*record.lpstrFile.get());
    fileName = SelectionText(*record.lpstrFile.get(), allowMultiSelectFlag == OFN_ALLOWMULTISELECT);
  }
  record.lpstrFile.Set(ByteArray());
  record.lpstrFileTitle.Set(ByteArray());
  record.nMaxFile = 0;
  record.nMaxFileTitle = 0;
  return confirmed;
}

}  // namespace shell
