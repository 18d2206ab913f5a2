#include "shelltool/dialog_helper.h"

#include <commdlg.h>

#include "base/gbk_text.h"
#include "base/utilities.h"

namespace shell {

ShellDialogHelper* ProgramDialogHelper = nullptr;

namespace {

const ShellDialogHelperOperations kOperations = {
    [](ShellDialogHelper& self) { DestroyShellDialogHelper(self); },
    [](const ShellDialogHelper& self) { return CopyShellDialogHelper(self); },
    [](ShellDialogHelper& self, const std::string& text, int32_t style, const std::string& caption, HWND owner,
       int32_t timeoutMs) { return self.MessageBoxWithTimeout(text, style, caption, owner, timeoutMs); },
    [](ShellDialogHelper& self, const FileDialogOptions& options) { self.SetFileDialogOptions(options); },
    [](ShellDialogHelper& self, const std::string& title, bool includeFiles, const std::string& startFolder,
       bool editBox, bool newDialogStyle) {
      return self.PickFolder(title, includeFiles, startFolder, editBox, newDialogStyle);
    },
    [](ShellDialogHelper& self) { self.ShowShutdownDialog(); },
    [](ShellDialogHelper& self) { self.ShowRestartDialog(); },
    [](ShellDialogHelper& self, const std::string& file) { self.ShowOpenWithDialog(file); },
    [](ShellDialogHelper& self) { self.OpenControlPanel(); },
    [](ShellDialogHelper& self, HWND owner, const std::string& application, const std::string& otherText) {
      self.ShowShellAbout(owner, application, otherText);
    },
    [](ShellDialogHelper& self, const std::string& file, HWND owner) { self.ShowFileProperties(file, owner); },
    [](ShellDialogHelper& self, HWND owner, const std::vector<COLORREF>& customColours) {
      return self.PickColor(owner, customColours);
    },
    [](ShellDialogHelper& self, HWND owner, std::string& folder) { self.OrganizeFavorites(owner, folder); },
    [](ShellDialogHelper& self, HWND owner, const std::string& title, const std::string& address) {
      return self.AddToFavorites(owner, title, address);
    },
    [](ShellDialogHelper& self, const std::string& folder) { self.OpenSearchWindow(folder); },
    [](ShellDialogHelper& self, HWND owner, const std::string& title, const std::string& filter,
       const std::string& initialDirectory, int32_t style) {
      return self.PickOpenFiles(owner, title, filter, initialDirectory, style);
    },
    [](ShellDialogHelper& self, HWND owner, int32_t kind, std::string& fileName, const std::string& title,
       int32_t hookRequest) { return self.PickFileToOpenOrSave(owner, kind, fileName, title, hookRequest); },
    [](ShellDialogHelper& self, HWND owner, int32_t kind, std::string& fileName, const std::string& title,
       int32_t mode) { return self.PickPictureFile(owner, kind, fileName, title, mode); },
    [](ShellDialogHelper& self, const std::string& text, const std::string& caption, int32_t style, HWND owner,
       int32_t extraValue, POINT position, int32_t timeoutMs, const ButtonCaptions& captions) {
      return self.MessageBoxWithButtons(text, caption, style, owner, extraValue, position, timeoutMs, captions);
    },
};

int32_t FlagWord(bool on, int32_t value) { return on ? value : 0; }

}  // namespace

const ShellDialogHelperOperations& ShellDialogHelperTable() { return kOperations; }

ShellDialogHelper* AllocateShellDialogHelper() {
  auto* helper = new ShellDialogHelper();  // value-initialised: every field zero
  helper->operations = &kOperations;
  helper->dialogRecord.Set(FileDialogRecord());
  return helper;
}

void ConstructShellDialogHelper(ShellDialogHelper& helper) {
  helper.pathMustExistFlag = OFN_PATHMUSTEXIST;
  helper.createPromptFlag = OFN_CREATEPROMPT;
  helper.fileMustExistFlag = OFN_FILEMUSTEXIST;
  helper.overwritePromptFlag = OFN_OVERWRITEPROMPT;
  helper.noChangeDirFlag = 0;
  helper.allowMultiSelectFlag = 0;
}

void DestroyShellDialogHelper(ShellDialogHelper& helper) {
  helper.dialogRecord.Reset();
  helper.lastDirectoryBytes.Reset();
}

ShellDialogHelper* CopyShellDialogHelper(const ShellDialogHelper& helper) {
  return new ShellDialogHelper(helper);  // Owned members duplicate what they hold
}

void ReleaseShellDialogHelper(ShellDialogHelper*& helper) {
  if (!helper) return;
  helper->operations->destroy(*helper);
  delete helper;
  helper = nullptr;
}

ByteArray PlatformFilter(const std::string& filter, bool keepBlanks) {
  ByteArray out;
  for (size_t i = 0; i < filter.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(filter[i]);
    if (gbk::IsLeadByte(c) && i + 1 < filter.size()) {
      // Whole characters: a trail byte may be '|' and must stay as it is.
      const unsigned char trail = static_cast<unsigned char>(filter[i + 1]);
      if (keepBlanks || !(c == 0xA1 && trail == 0xA1)) {  // the full-width blank
        out.push_back(c);
        out.push_back(trail);
      }
      ++i;
      continue;
    }
    if (c == ' ' && !keepBlanks) continue;
    out.push_back(c == '|' ? 0 : c);
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

void ShellDialogHelper::SetFileDialogOptions(const FileDialogOptions& options) {
  if (!dialogRecord) dialogRecord.Set(FileDialogRecord());
  FileDialogRecord& record = *dialogRecord.get();
  record.hInstance = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetModuleHandleA(OwnExecutableName().c_str())));
  record.lpstrFilter.Set(PlatformFilter(options.filter.value_or(std::string())));
  record.nFilterIndex = options.filterIndex <= 0 ? 1u : static_cast<uint32_t>(options.filterIndex) + 1u;
  if (options.initialDirectory.empty()) record.lpstrInitialDir.Reset();
  else record.lpstrInitialDir.Set(options.initialDirectory);
  if (options.defaultExtension.empty()) record.lpstrDefExt.Reset();
  else record.lpstrDefExt.Set(options.defaultExtension);
  if (options.createPrompt) createPromptFlag = FlagWord(*options.createPrompt, OFN_CREATEPROMPT);
  if (options.fileMustExist) fileMustExistFlag = FlagWord(*options.fileMustExist, OFN_FILEMUSTEXIST);
  if (options.overwritePrompt) overwritePromptFlag = FlagWord(*options.overwritePrompt, OFN_OVERWRITEPROMPT);
  if (options.pathMustExist) pathMustExistFlag = FlagWord(*options.pathMustExist, OFN_PATHMUSTEXIST);
  if (options.noChangeDirectory) noChangeDirFlag = FlagWord(*options.noChangeDirectory, OFN_NOCHANGEDIR);
  if (options.allowMultiSelect) allowMultiSelectFlag = FlagWord(*options.allowMultiSelect, OFN_ALLOWMULTISELECT);
}

void PlaceWindow(HWND window, std::optional<int32_t> left, std::optional<int32_t> top, std::optional<int32_t> width,
                 std::optional<int32_t> height) {
  RECT r = {};
  GetWindowRect(window, &r);
  MoveWindow(window, left.value_or(r.left), top.value_or(r.top), width.value_or(r.right - r.left),
             height.value_or(r.bottom - r.top), TRUE);
}

}  // namespace shell
