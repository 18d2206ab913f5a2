// Drives the real Kavrel.exe from outside, as a user would: a CF.ini of the
// user's settings, clicks through window messages, and reading the status row.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace kavrel_testing {

struct ProjectSpec {
  std::string monitorDir;  // with "\"
  std::string backupDir;   // with "\"
  bool ticked = true;
};

struct UserSettings {
  std::string options = "1|1|1|2|";  // skip system, hidden, empty; backup root not hidden
  std::string schedule[6];           // 小时数1 .. 秒数2
  int threads = 100;
  std::vector<ProjectSpec> projects;
};

// The plain settings text the program reads and writes.
std::string SettingsPlainText(const UserSettings& settings);

class KavrelDriver {
 public:
  // The program (Kavrel.exe unless given) is copied there as Kavrel.exe.
  explicit KavrelDriver(const std::string& folder, const std::string& program = std::string());
  bool Start(const UserSettings& settings);           // writes CF.ini, starts, waits for the window
  bool StartWithSavedSettings();                      // the CF.ini the last close left
  void WriteSettings(const UserSettings& settings);
  std::string ReadSettingsPlainText() const;          // CF.ini deciphered

  std::string Status() const;    // 状态框
  std::string Progress() const;  // 过程框
  std::string ButtonCaption() const;
  std::string Text(int id) const;
  // Puts text on the clipboard, selects the whole box and pastes, by Ctrl+V
  // or by the paste command of the box's edit menu.
  void Paste(int id, const std::string& text, bool byKeys) const;
  HWND Control(int id) const;
  void Click(int id) const;      // posted, as a user's click: its handler may open dialogs
  void ClickStart() const;       // 开始监控按钮
  void Close() const;            // the close box
  bool WaitForStatus(const std::string& text, int timeoutMs) const;
  // One monitoring run of a single pass (no interval): true once it has ended.
  bool RunOnePass() const;
  // A monitoring run with an interval: the first text of the countdown after
  // its first pass (empty when none shows); the run is then stopped.
  std::string CountdownAfterPass() const;
  // The program's next dialog or message box other than `previous`, once it
  // shows; nullptr when none comes.
  HWND WaitForDialog(HWND previous = nullptr) const;
  // Picks a folder in the program's folder dialog as the user does: typed
  // into its edit box and selected in its tree, then 确定. False when the
  // tree would not select it.
  bool PickFolder(HWND dialog, const std::string& path) const;
  int WaitForExit(int timeoutMs) { return process_.WaitForExit(timeoutMs); }
  testing_support::ChildProcess& Process() { return process_; }
  HWND Window() const { return window_; }

 private:
  std::string folder_, exe_;
  testing_support::ChildProcess process_;
  HWND window_ = nullptr;
};

using testing_support::UnixPath;

}  // namespace kavrel_testing
