#include "shelltool/folder_dialog.h"

#include "base/owned.h"

namespace shell {

namespace {

constexpr int kPathBufferSize = 512;
const char kFullWidthSpace[] = "\xA1\xA1";

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

std::string ShowFolderDialog(HWND owner, const std::string& title, bool includeFiles, bool editBox,
                             bool newDialogStyle, BFFCALLBACK callback) {
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = (includeFiles ? BIF_BROWSEINCLUDEFILES : 0) | (editBox ? BIF_EDITBOX : 0) |
                 (newDialogStyle ? BIF_NEWDIALOGSTYLE : 0);
  info.lpfn = callback;
  std::string buffer(kPathBufferSize, ' ');
  const OwnedItemList item(SHBrowseForFolderA(&info));
  if (item && !SHGetPathFromIDListA(item.get(), &buffer[0])) buffer.assign(kPathBufferSize, ' ');
  return TrimBlanks(buffer.substr(0, buffer.find('\0')));
}

int SelectStartFolder(HWND dialog, UINT message, const std::string& folder) {
  if (message == BFFM_INITIALIZED && !folder.empty())
    SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
  return 1;
}

}  // namespace shell
