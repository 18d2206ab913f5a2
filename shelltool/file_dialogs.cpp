#include "shelltool/file_dialogs.h"

#include <algorithm>

#include "base/utilities.h"

namespace shell {

namespace {

constexpr uint32_t kOpenFilesBufferSize = 98192;
constexpr size_t kSingleFileBufferSize = 256;
constexpr size_t kMultipleFilesBufferSize = 2048;

template <typename T>
T As(uint32_t value) {
  return reinterpret_cast<T>(static_cast<uintptr_t>(value));
}
uint32_t AsMember(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }

char* Bytes(Owned<ByteArray>& bytes) { return bytes && !bytes.get()->empty() ? reinterpret_cast<char*>(bytes.get()->data()) : nullptr; }
const char* Text(const Owned<std::string>& text) { return text ? text.get()->c_str() : nullptr; }
// The dialog is never told of more room than the buffer has.
DWORD Room(const Owned<ByteArray>& bytes, uint32_t claimed) {
  return bytes ? std::min<DWORD>(claimed, static_cast<DWORD>(bytes.get()->size())) : 0;
}

FileDialogRecord& RecordOf(ShellDialogHelper& helper) {
  if (!helper.dialogRecord) helper.dialogRecord.Set(FileDialogRecord());
  return *helper.dialogRecord.get();
}

}  // namespace

DWORD OpenFilesStyleFlags(int32_t style) {
  static const DWORD kAdditions[] = {
      0,
      OFN_READONLY,
      OFN_HIDEREADONLY,
      OFN_SHOWHELP,
      OFN_SHOWHELP | OFN_READONLY,
      OFN_SHOWHELP | OFN_HIDEREADONLY,
      OFN_ENABLEHOOK,
      OFN_ENABLEHOOK | OFN_READONLY,
      OFN_ENABLEHOOK | OFN_HIDEREADONLY,
      OFN_ENABLEHOOK | OFN_SHOWHELP,
      OFN_ENABLEHOOK | OFN_SHOWHELP | OFN_READONLY,
      OFN_ENABLEHOOK | OFN_SHOWHELP | OFN_HIDEREADONLY,
  };
  const bool known = style >= 0 && style < static_cast<int32_t>(std::size(kAdditions));
  return OFN_EXPLORER | OFN_ALLOWMULTISELECT | (known ? kAdditions[style] : 0);
}

DWORD FileDialogFlags(const ShellDialogHelper& helper, int32_t kind, bool hookRequest) {
  const DWORD common = OFN_EXPLORER | OFN_ENABLESIZING | helper.overwritePromptFlag | helper.pathMustExistFlag |
                       helper.noChangeDirFlag | helper.allowMultiSelectFlag;
  if (kind != 0) return common;  // the save dialog never gets a hook
  return common | OFN_HIDEREADONLY | helper.createPromptFlag | helper.fileMustExistFlag |
         (hookRequest ? OFN_ENABLEHOOK : 0);
}

OPENFILENAMEA PlatformFileDialog(FileDialogRecord& record) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = record.lStructSize;
  dialog.hwndOwner = As<HWND>(record.hwndOwner);
  dialog.hInstance = As<HINSTANCE>(record.hInstance);
  dialog.lpstrFilter = Bytes(record.lpstrFilter);
  dialog.lpstrCustomFilter = Bytes(record.lpstrCustomFilter);
  dialog.nMaxCustFilter = Room(record.lpstrCustomFilter, record.nMaxCustFilter);
  dialog.nFilterIndex = record.nFilterIndex;
  dialog.lpstrFile = Bytes(record.lpstrFile);
  dialog.nMaxFile = Room(record.lpstrFile, record.nMaxFile);
  dialog.lpstrFileTitle = Bytes(record.lpstrFileTitle);
  dialog.nMaxFileTitle = Room(record.lpstrFileTitle, record.nMaxFileTitle);
  dialog.lpstrInitialDir = Text(record.lpstrInitialDir);
  dialog.lpstrTitle = Text(record.lpstrTitle);
  dialog.Flags = record.Flags;
  dialog.nFileOffset = static_cast<WORD>(record.nFileOffset);
  dialog.nFileExtension = static_cast<WORD>(record.nFileExtension);
  dialog.lpstrDefExt = Text(record.lpstrDefExt);
  dialog.lCustData = record.lCustData;
  dialog.lpfnHook = As<LPOFNHOOKPROC>(record.lpfnHook);
  dialog.lpTemplateName = Text(record.lpTemplateName);
  if (!dialog.lpfnHook) dialog.Flags &= ~OFN_ENABLEHOOK;
  return dialog;
}

ByteArray InitialFileBuffer(const std::string& fileName, const ByteArray* lastDirectory, bool multipleSelection) {
  ByteArray buffer;
  if (!fileName.empty()) {
    for (char c : fileName) buffer.push_back(c == ';' ? 0 : static_cast<unsigned char>(c));
  } else if (lastDirectory) {
    buffer = *lastDirectory;
  }
  const size_t size = multipleSelection ? kMultipleFilesBufferSize : kSingleFileBufferSize;
  buffer.resize(std::max(size + 1, buffer.size() + 1), 0);
  return buffer;
}

std::string SelectionText(const ByteArray& buffer, bool multipleSelection, bool pumpBetweenNames) {
  static const unsigned char kEnd[] = {0, 0};
  const auto end = std::search(buffer.begin(), buffer.end(), std::begin(kEnd), std::end(kEnd));
  const std::string kept(buffer.begin(), end);
  const size_t firstZero = kept.find('\0');
  if (!multipleSelection || firstZero == std::string::npos) return kept.substr(0, firstZero);
  std::string directory = kept.substr(0, firstZero);
  if (directory.empty() || directory.back() != '\\') directory += '\\';
  std::string text;
  for (size_t start = firstZero + 1; start <= kept.size();) {
    const size_t stop = std::min(kept.find('\0', start), kept.size());
    if (!text.empty()) text += ';';
    text += directory + kept.substr(start, stop - start);
    if (pumpBetweenNames) PumpPendingMessages();
    start = stop + 1;
  }
  return text;
}

bool ShowFileDialog(ShellDialogHelper& helper, HWND owner, int32_t kind, std::string& fileName,
                    const std::string& title, bool hookRequest) {
  FileDialogRecord& record = RecordOf(helper);
  if (title.empty()) record.lpstrTitle.Reset();
  else record.lpstrTitle.Set(title);
  record.hwndOwner = AsMember(owner);
  if (helper.noChangeDirFlag == 0) helper.lastDirectoryBytes.Reset();
  ByteArray buffer = InitialFileBuffer(fileName, helper.lastDirectoryBytes.get(), helper.allowMultiSelectFlag != 0);
  record.nMaxFile = static_cast<uint32_t>(buffer.size());
  record.lpstrFile.Set(std::move(buffer));
  record.lpstrFileTitle.Set(ByteArray());
  record.lStructSize = kFileDialogRecordSize;
  if (kind != 0 && kind != 1) return false;
  record.Flags = FileDialogFlags(helper, kind, hookRequest);
  OPENFILENAMEA dialog = PlatformFileDialog(record);
  const bool confirmed = (kind == 0 ? GetOpenFileNameA(&dialog) : GetSaveFileNameA(&dialog)) != FALSE;
  if (confirmed)
    fileName = SelectionText(*record.lpstrFile.get(), helper.allowMultiSelectFlag == OFN_ALLOWMULTISELECT, true);
  return confirmed;
}

bool ShellDialogHelper::PickFileToOpenOrSave(HWND owner, int32_t kind, std::string& fileName,
                                             const std::string& title, int32_t hookRequest) {
  const bool confirmed = ShowFileDialog(*this, owner, kind, fileName, title, hookRequest != 0);
  FileDialogRecord& record = RecordOf(*this);
  record.lpstrFile.Set(ByteArray());
  record.lpstrFileTitle.Set(ByteArray());
  lastDirectoryBytes.Reset();
  return confirmed;
}

std::string ShellDialogHelper::PickOpenFiles(HWND owner, const std::string& title, const std::string& filter,
                                             const std::string& initialDirectory, int32_t style) {
  PumpPendingMessages();
  FileDialogRecord record;
  record.lStructSize = kFileDialogRecordSize;
  record.hwndOwner = AsMember(owner);
  record.lpstrFilter.Set(PlatformFilter(filter, true));
  record.lpstrFile.Set(ByteArray(kOpenFilesBufferSize, 0));
  record.nMaxFile = kOpenFilesBufferSize;
  record.lpstrFileTitle.Set(ByteArray(kOpenFilesBufferSize, ' '));
  record.nMaxFileTitle = kOpenFilesBufferSize;
  if (!initialDirectory.empty()) record.lpstrInitialDir.Set(initialDirectory);
  if (!title.empty()) record.lpstrTitle.Set(title);
  record.Flags = OpenFilesStyleFlags(style);
  PumpPendingMessages();
  OPENFILENAMEA dialog = PlatformFileDialog(record);
  if (!GetOpenFileNameA(&dialog)) return std::string();
  return SelectionText(*record.lpstrFile.get(), true);
}

}  // namespace shell
