#include "backup/check_window.h"

#include "apps/kavrel/main_window.h"
#include "backup/project_list.h"

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
  void SetIcon(HICON icon) override { MainWindow().SetWindowIcon(icon); }

 private:
  static ProjectRow Row(int rowIndex) { return ProjectList::Main().Row(rowIndex); }
};

}  // namespace

CheckWindow& MainCheckWindow() {
  static MainWindowCheckWindow window;
  return window;
}

}  // namespace kavrel
