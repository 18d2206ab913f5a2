#include "e2e/kavrel_driver.h"

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
  window_ = FindProcessWindow(process_.Id(), kavrel::kMainWindowClass, 30000);
  return window_ != nullptr;
}

HWND KavrelDriver::Control(int id) const { return GetDlgItem(window_, id); }

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

void KavrelDriver::ClickStart() const { PostMessageA(Control(kavrel::kStartMonitorButton), BM_CLICK, 0, 0); }
void KavrelDriver::Close() const { PostMessageA(window_, WM_CLOSE, 0, 0); }

bool KavrelDriver::WaitForStatus(const std::string& text, int timeoutMs) const {
  return WaitUntil([&] { return Status() == text; }, timeoutMs);
}

std::string UnixPath(const std::string& windowsPath) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return std::string();
  wchar_t wide[MAX_PATH * 2] = {};
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2);
  char* unix = toUnix(wide);
  if (!unix) return std::string();
  std::string result(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

}  // namespace kavrel_testing
