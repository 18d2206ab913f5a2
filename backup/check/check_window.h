// What a check reads from and shows in the window of its projects. The check runs on
// its own thread; the window belongs to the user-interface thread, which keeps
// dispatching messages while it waits for the check, so every access here is
// a sent message served on that thread.
#pragma once
#include <windows.h>

#include <string>

namespace kavrel {

// Images of a project's row.
enum RowImage : int { kImageChecking = 0, kImageResting = 1, kImageSkipped = 2 };

struct CheckOptions {
  int threadCount = 1;      // 线程滑块, 1..100
  bool skipSystem = false;  // 排除系统目录
  bool skipHidden = false;  // 排除隐藏目录
  bool skipEmpty = false;   // 排除空目录
};

class CheckWindow {
 public:
  virtual ~CheckWindow() = default;
  virtual std::string MonitorDir(int rowIndex) = 0;  // column 3, ends with "\"
  virtual std::string BackupDir(int rowIndex) = 0;   // column 4, ends with "\"
  virtual bool HideBackupRoot() = 0;                 // 隐藏属性
  virtual CheckOptions Options() = 0;
  virtual void SetStatus(const std::string& text) = 0;    // 状态框
  virtual void SetProgress(const std::string& text) = 0;  // 过程框
  virtual void SetFileCount(int rowIndex, const std::string& text) = 0;  // column 1
  virtual void SetRowImage(int rowIndex, int image) = 0;
  virtual void SetBusy(bool busy) = 0;  // the window's icon: busy while a check runs, else idle
};

}  // namespace kavrel
