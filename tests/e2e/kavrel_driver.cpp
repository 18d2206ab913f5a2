#include "e2e/kavrel_driver.h"

#include <commctrl.h>
#include <cstdio>
#include <shlobj.h>

#include "apps/kavrel/main_window.h"  // control ids and window class only
#include "support/settings_fixture.h"

namespace kavrel_testing {

using namespace testing_support;

std::string SettingsPlainText(const UserSettings& s) {
  std::string text = s.options;
  for (const auto& field : s.schedule) text += field + "|";
  text += std::to_string(s.threads) + "|";
  for (const auto& p : s.projects) text += p.monitorDir + "*" + p.backupDir + "*" + (p.ticked ? "1" : "0") + "\r\n";
  return text;
}

KavrelDriver::KavrelDriver(const std::string& folder, const std::string& program)
    : folder_(folder), exe_(folder + "Kavrel.exe") {
  CopyFileTo(program.empty() ? ProgramsDirectory() + "Kavrel.exe" : program, exe_);
}

void KavrelDriver::WriteSettings(const UserSettings& settings) {
  WriteSettingsFile(folder_ + "CF.ini", SettingsPlainText(settings));
}

std::string KavrelDriver::ReadSettingsPlainText() const {
  return ReadSettingsFile(folder_ + "CF.ini");
}

bool KavrelDriver::Start(const UserSettings& settings) {
  WriteSettings(settings);
  return StartWithSavedSettings();
}

bool KavrelDriver::StartWithSavedSettings() {
  if (!process_.Start(exe_, "", folder_)) return false;
  window_ = FindProcessWindow(process_.Id(), kavrel::kMainWindowClass, testing_support::kHangBoundMs);
  return window_ != nullptr;
}

namespace {
struct IdSearch {
  int id;
  HWND found;
};
BOOL CALLBACK MatchId(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<IdSearch*>(data);
  if (GetDlgCtrlID(child) != search->id) return TRUE;
  search->found = child;
  return FALSE;
}
}  // namespace

// Also the controls inside the edit panel's group box.
HWND KavrelDriver::Control(int id) const {
  IdSearch search{id, nullptr};
  EnumChildWindows(window_, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string KavrelDriver::Status() const { return WindowText(Control(kavrel::kStatusBox)); }
std::string KavrelDriver::Progress() const { return WindowText(Control(kavrel::kProgressBox)); }
std::string KavrelDriver::ButtonCaption() const { return WindowText(Control(kavrel::kStartMonitorButton)); }
std::string KavrelDriver::Text(int id) const { return WindowText(Control(id)); }

void KavrelDriver::Paste(int id, const std::string& text, bool byKeys) const {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
  }
  CloseClipboard();
  SendMessageA(Control(id), EM_SETSEL, 0, -1);
  if (byKeys) SendMessageA(Control(id), WM_CHAR, 'V' - '@', 0);  // Ctrl+V as the box receives it
  else SendMessageA(Control(id), WM_PASTE, 0, 0);
}

void KavrelDriver::Click(int id) const { PostMessageA(Control(id), BM_CLICK, 0, 0); }
void KavrelDriver::ClickStart() const { Click(kavrel::kStartMonitorButton); }
void KavrelDriver::Close() const { PostMessageA(window_, WM_CLOSE, 0, 0); }

bool KavrelDriver::WaitForStatus(const std::string& text, int timeoutMs) const {
  return WaitUntil([&] { return Status() == text; }, timeoutMs);
}

bool KavrelDriver::RunOnePass() const {
  // The run's end text, cleared first: a pass that skips every row ends at once.
  SendMessageA(Control(kavrel::kStatusBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  ClickStart();
  return WaitUntil([&] { return Status() == " 监控停止" && ButtonCaption() == "开始监控"; }, kHangBoundMs);
}

HWND KavrelDriver::WaitForDialog(HWND previous) const {
  HWND dialog = nullptr;
  WaitUntil([&] {
    dialog = FindProcessWindow(process_.Id(), "#32770", 0);
    return dialog && (dialog != previous || !IsWindow(previous));
  }, kHangBoundMs);
  return dialog;
}

namespace {

// The name the folder dialog's tree has selected, read in the program's memory.
std::string SelectedFolderName(HWND dialog) {
  HWND tree = FindChild(dialog, WC_TREEVIEWA, "");
  RemoteMemory remote(tree, sizeof(TVITEMA) + MAX_PATH);
  TVITEMA item = {};
  item.mask = TVIF_TEXT;
  item.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  item.pszText = remote.Address() + sizeof(TVITEMA);
  item.cchTextMax = MAX_PATH;
  remote.Write(&item, sizeof item);
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.Address()));
  return remote.Read(MAX_PATH, sizeof(TVITEMA)).c_str();
}

}  // namespace

bool KavrelDriver::PickFolder(HWND dialog, const std::string& path) const {
  // The dialog fills its tree once it is up; a choice made before that is lost.
  if (!WaitUntil([&] { return !SelectedFolderName(dialog).empty(); }, kHangBoundMs)) return false;
  if (HWND edit = FindChild(dialog, "Edit", "")) {
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, WM_CHAR, VK_BACK, 0);
    for (char c : path) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
  }
  RemoteMemory remotePath(dialog, path.size() + 1);
  remotePath.Write(path.c_str(), path.size() + 1);
  const std::string name = path.substr(path.rfind('\\') + 1);
  const bool selected = WaitUntil([&] {
    SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remotePath.Address()));
    return SelectedFolderName(dialog) == name;
  }, kHangBoundMs);
  if (!selected) fprintf(stderr, "tree selects %s\n", SelectedFolderName(dialog).c_str());
  PostMessageA(FindChild(dialog, "Button", "确定"), BM_CLICK, 0, 0);
  return selected;
}

}  // namespace kavrel_testing
