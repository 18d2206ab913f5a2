#include "shelltool/folder_dialog.h"

#include "base/gbk_text.h"
#include "base/owned.h"

namespace shell {

namespace {

constexpr int kPathBufferSize = 512;
const char kFullWidthSpace[] = "\xA1\xA1";

// Wine's dialog finds the start folder by matching the item it makes from the
// path against its tree's items byte for byte, times of last access included.
// When a folder on the path changed since it was last read, the dialog's own
// reading of it moves that time between the two, and the dialog stays at the
// desktop; asked again, it makes the item with the settled time.
constexpr int kSelectionAttempts = 3;

// Whether the dialog's latest selection is the start folder: it reports each
// one while it handles the selection message.
thread_local bool startSelected = false;

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

bool IsSameFolder(const std::string& path, const std::string& folder) {
  return gbk::ToLowerAscii(gbk::WithTrailingBackslash(path)) == gbk::ToLowerAscii(gbk::WithTrailingBackslash(folder));
}

int SelectStartFolder(HWND dialog, UINT message, LPARAM parameter, const std::string& folder) {
  if (folder.empty()) return 1;
  if (message == BFFM_SELCHANGED) {
    char path[MAX_PATH] = {};
    startSelected = parameter && SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(parameter), path) &&
                    IsSameFolder(path, folder);
  } else if (message == BFFM_INITIALIZED) {
    startSelected = false;
    for (int i = 0; i < kSelectionAttempts && !startSelected; ++i)
      SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()));
  }
  return 1;
}

}  // namespace shell
