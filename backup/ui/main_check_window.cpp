#include "backup/ui/main_check_window.h"

#include <cstdint>

#include "backup/check/check_run.h"
#include "backup/ui/main_window_controls.h"
#include "backup/ui/project_list.h"
#include "backup/ui/window_icons.h"

namespace kavrel {

namespace {

// Every Form and ListView call below is a SendMessage (WM_GETTEXT, LVM_*,
// BM_GETCHECK, TBM_GETPOS, WM_SETTEXT, WM_SETICON), so it runs on the
// window's own thread whichever thread makes it.
class MainWindowCheckWindow : public CheckWindow {
 public:
  std::string MonitorDir(int rowIndex) override { return Row(rowIndex).MonitorDir(); }
  std::string BackupDir(int rowIndex) override { return Row(rowIndex).BackupDir(); }
  bool HideBackupRoot() override { return MainWindow().Checked(kHideBackupDir); }
  CheckOptions Options() override {
    ui::Form& window = MainWindow();
    CheckOptions options;
    options.threadCount = window.SliderPosition(kThreadSlider);
    options.skipSystem = window.Checked(kExcludeSystemDirs);
    options.skipHidden = window.Checked(kExcludeHiddenDirs);
    options.skipEmpty = window.Checked(kExcludeEmptyDirs);
    return options;
  }
  void SetStatus(const std::string& text) override { MainWindow().SetText(kStatusBox, text); }
  void SetProgress(const std::string& text) override { MainWindow().SetText(kProgressBox, text); }
  void SetFileCount(int rowIndex, const std::string& text) override { Row(rowIndex).SetCell(kColumnFileCount, text); }
  void SetRowImage(int rowIndex, int image) override { Row(rowIndex).SetImage(image); }
  void SetBusy(bool busy) override { MainWindow().SetWindowIcon(busy ? BusyIcon() : IdleIcon()); }

 private:
  static ProjectRow Row(int rowIndex) { return ProjectList::Main().Row(rowIndex); }
};

}  // namespace

CheckWindow& MainCheckWindow() {
  static MainWindowCheckWindow window;
  return window;
}

DWORD WINAPI IncrementalCheckThreadEntry(LPVOID row) {
  RunIncrementalCheck(static_cast<int>(reinterpret_cast<intptr_t>(row)), MainCheckWindow());
  return 0;
}

}  // namespace kavrel
