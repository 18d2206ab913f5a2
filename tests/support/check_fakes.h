// A stand-in for the main window's side of a check, and a recorder of the
// report lines, for tests of the check engine without a window.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "backup/check/check_window.h"
#include "backup/ui/window_icons.h"

namespace testing_support {

class FakeCheckWindow : public kavrel::CheckWindow {
 public:
  std::string monitorDir, backupDir;
  bool hideBackupRoot = true;
  kavrel::CheckOptions options;

  std::vector<std::string> statusTexts, progressTexts;
  std::vector<std::string> fileCountTexts;  // column 1 in writing order
  std::vector<int> rowImages;
  std::vector<HICON> icons;  // the program's icon for each SetBusy
  int lastRowIndex = -1;

  std::string MonitorDir(int rowIndex) override { lastRowIndex = rowIndex; return monitorDir; }
  std::string BackupDir(int rowIndex) override { lastRowIndex = rowIndex; return backupDir; }
  bool HideBackupRoot() override { return hideBackupRoot; }
  kavrel::CheckOptions Options() override { return options; }
  void SetStatus(const std::string& text) override { statusTexts.push_back(text); }
  void SetProgress(const std::string& text) override { progressTexts.push_back(text); }
  void SetFileCount(int rowIndex, const std::string& text) override {
    lastRowIndex = rowIndex;
    fileCountTexts.push_back(text);
  }
  void SetRowImage(int, int image) override { rowImages.push_back(image); }
  void SetBusy(bool busy) override { icons.push_back(busy ? kavrel::BusyIcon() : kavrel::IdleIcon()); }
};

// Collects every report line while it lives; lines may come from any thread.
class ReportRecorder {
 public:
  ReportRecorder();
  ReportRecorder(const ReportRecorder&) = delete;
  ReportRecorder& operator=(const ReportRecorder&) = delete;
  ~ReportRecorder();
  std::vector<std::string> Lines() const;
  bool Has(const std::string& line) const;

 private:
  static void Record(const std::string& line);
};

// A live ReportLock for tests that run workers without the main window.
void EnsureReportLock();

}  // namespace testing_support
