#include "backup/folder_dialog.h"

#include <shlobj.h>

#include "backup/program_globals.h"

namespace kavrel {

namespace {

constexpr int kPathBufferSize = 512;
const char kFullWidthSpace[] = "\xA1\xA1";

// The path of the dialog's result, blank-filled when there is none.
std::string RunDialog(BROWSEINFOA& info) {
  std::string buffer(kPathBufferSize, ' ');
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info)) {
    if (!SHGetPathFromIDListA(item, &buffer[0])) buffer.assign(kPathBufferSize, ' ');
    CoTaskMemFree(item);
  }
  return buffer.substr(0, buffer.find('\0'));
}

}  // namespace

std::string TrimBlanks(const std::string& text) {
  size_t begin = 0, end = text.size();
  for (;;) {
    if (begin < end && text[begin] == ' ') ++begin;
    else if (end - begin >= 2 && text.compare(begin, 2, kFullWidthSpace) == 0) begin += 2;
    else break;
  }
  for (;;) {
    if (end > begin && text[end - 1] == ' ') --end;
    else if (end - begin >= 2 && text.compare(end - 2, 2, kFullWidthSpace) == 0) end -= 2;
    else break;
  }
  return text.substr(begin, end - begin);
}

std::string BrowseMonitoredFolder(const std::string& title) {
  BROWSEINFOA info = {};
  info.hwndOwner = GetActiveWindow();
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE;  // the older dialog shows no edit box under Wine
  return TrimBlanks(RunDialog(info));
}

std::string BrowseFolderFrom(const std::string& start, const std::string& title, bool includeFiles, bool editBox,
                             bool newDialogStyle) {
  BROWSEINFOA info = {};
  // Owned by the active window so that the panel cannot change under the dialog.
  info.hwndOwner = GetActiveWindow();
  info.lpszTitle = title.c_str();
  info.ulFlags = (includeFiles ? BIF_BROWSEINCLUDEFILES : 0) | (editBox ? BIF_EDITBOX : 0) |
                 (newDialogStyle ? BIF_NEWDIALOGSTYLE : 0);
  info.lpfn = BrowseFolderCallback;
  BrowseStartFolder = start;
  return TrimBlanks(RunDialog(info));
}

int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM, LPARAM) {
  if (message == BFFM_INITIALIZED)
    SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(BrowseStartFolder.c_str()));
  return 1;
}

}  // namespace kavrel
