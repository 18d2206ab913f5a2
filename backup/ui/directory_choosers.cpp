#include "backup/ui/directory_choosers.h"

#include <windows.h>
#include <shlwapi.h>

#include "backup/ui/main_window_controls.h"
#include "backup/ui/folder_dialog.h"
#include "base/gbk_text.h"
#include "backup/ui/notice_box.h"
#include "backup/check/path_rules.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/project_editor.h"
#include "backup/ui/project_list.h"
#include "backup/check/system_paths.h"
#include "base/utilities.h"
#include "backup/ui/window_topmost.h"

namespace kavrel {

namespace {

bool OnDriveC(const std::string& path) { return !path.empty() && gbk::ToLowerAscii(path.substr(0, 1)) == "c"; }

// The main window's panel, the shell's dialogs and the real file system.
class WindowChooserHost : public ChooserHost {
 public:
  explicit WindowChooserHost(ProgramState& state) : state_(state) {}

  std::string BrowseMonitorDir() override {
    ReleaseTopmost(state_);
    return BrowseMonitoredFolder("请选择监控目录路径");
  }
  std::string BrowseBackupDir(const std::string& start, const std::string& title) override {
    ReleaseTopmost(state_);
    return BrowseFolderFrom(start, title);
  }
  void Tell(const std::string& message) override { ShowNotice(message); }
  bool Ask(const std::string& question) override { return AskYesNo(question); }

  std::string FileSystemName(const std::string& root) override { return GetFileSystemName(root); }
  std::string SystemDirectory() override { return GetSystemDirectoryPath(); }
  bool IsSystemFolder(const std::string& directory) override { return kavrel::IsSystemFolder(directory); }
  int64_t DirectorySize(const std::string& directory) override { return GetDirectorySize(directory); }
  bool SameRoot(const std::string& a, const std::string& b) override {
    return PathIsSameRootA(a.c_str(), b.c_str()) != FALSE;
  }

  std::string MonitorBox() override { return MainWindow().Text(kMonitorDirBox); }
  void SetMonitorBox(const std::string& text) override { MainWindow().SetText(kMonitorDirBox, text); }
  void SetBackupBox(const std::string& text) override { MainWindow().SetText(kBackupDirBox, text); }
  void EnableBackupButton() override { MainWindow().SetEnabled(kBackupDirButton, true); }
  void EnableConfirm() override { MainWindow().SetEnabled(kConfirmButton, true); }
  void DisableConfirm() override { MainWindow().SetEnabled(kConfirmButton, false); }
  void CancelEdit() override { OnEditCancelClicked(state_); }
  std::vector<ProjectDirs> OtherProjects() override {
    std::vector<ProjectDirs> projects = ProjectList::Main().Directories();
    const size_t edited = static_cast<size_t>(state_.edit.editedRow);
    if (state_.edit.editMode != 0 && edited < projects.size()) projects.erase(projects.begin() + edited);
    return projects;
  }

 private:
  ProgramState& state_;
};

// What keeps the panel's project from being checked beside the others.
ProjectConflict ConflictWithOthers(ChooserHost& host, const std::string& m, const std::string& b) {
  std::vector<ProjectDirs> projects = host.OtherProjects();
  projects.push_back(ProjectDirs{m, b});
  return FindProjectConflict(projects, projects.size() - 1);
}

}  // namespace

void ChooseMonitorDir(ChooserHost& host, const std::vector<std::string>& projects, const std::string& suffix) {
  for (;;) {
    std::string d = host.BrowseMonitorDir();
    if (d == host.MonitorBox()) return;
    d = gbk::WithTrailingBackslash(d);
    if (d == "\\") {
      host.CancelEdit();
      return;
    }
    const std::string refusal = MonitorDirRefusal(d, host.FileSystemName(d.substr(0, kDriveRootLength)), suffix);
    if (!refusal.empty()) {
      host.Tell(refusal);
      continue;
    }
    if (OnDriveC(d) && OnDriveC(host.SystemDirectory()) &&
        !host.Ask("该目录位于系统所在分区，非常可能由于系统限制无法完整备份，并可能引发系统故障，你真的要冒此风险吗？"))
      continue;
    if (host.IsSystemFolder(d) && d.size() > kDriveRootLength &&
        !host.Ask("该目录具有系统属性，有可能由于系统限制无法完整备份，你真的要继续吗？"))
      continue;
    std::string entry;
    const int32_t conflict = CheckPathConflict(projects, d, host.MonitorBox(), entry);
    if (conflict != 0) {
      host.Tell(NestingRefusal(conflict, d, entry));
      continue;
    }
    host.SetMonitorBox(d);
    const std::string backupDir = GeneratedBackupDir(d, suffix);
    host.EnableBackupButton();
    // Folders of one name in two places get one generated name.
    if (ConflictWithOthers(host, d, backupDir).fault != ProjectFault::kNone) {
      host.SetBackupBox(std::string());
      host.DisableConfirm();
      host.Tell("当前自动生成的备份目录" + backupDir + "已被其他项目使用，请点击备份目录按钮另行选择。");
      return;
    }
    host.SetBackupBox(backupDir);
    host.EnableConfirm();
    const int64_t size = host.DirectorySize(backupDir);
    if (size > 0)
      host.Tell("当前自动生成的备份目录" + backupDir + "已存在，并且包含" + FormatByteSize(size) +
                "的数据，如果不希望使用该目录进行备份，可点击备份目录按钮另行选择。");
    return;
  }
}

void ChooseBackupDir(ChooserHost& host, const std::string& suffix) {
  for (;;) {
    const std::string m = host.MonitorBox();
    std::string g = host.BrowseBackupDir(
        m, "请选择或新建位于" + m.substr(0, 1) +
               "盘的备份目录，如非必要不建议修改自动生成的备份目录，很可能造成目录混乱，除非你可以记得所有的备份目录位置。");
    g = gbk::WithTrailingBackslash(g);
    if (g == "\\") return;
    const std::string refusal = BackupDirRefusal(g, host.SameRoot(m, g), suffix);
    if (!refusal.empty()) {
      host.Tell(refusal);
      continue;
    }
    const std::string finalDir = FinalBackupDir(g, m, suffix);
    const ProjectConflict conflict = ConflictWithOthers(host, m, finalDir);
    if (conflict.fault != ProjectFault::kNone) {
      host.Tell(ProjectConflictRefusal(conflict, finalDir, m));
      continue;
    }
    if (g.size() <= kDriveRootLength) host.EnableConfirm();
    const int64_t size = host.DirectorySize(finalDir);
    if (size > 0 && !host.Ask("你选择的备份目录(" + finalDir + ")已存在，并且包含" + gbk::NumberText(size) +
                              "字节的数据，确定使用该目录进行备份吗？"))
      continue;
    host.SetBackupBox(finalDir);
    host.EnableConfirm();
    return;
  }
}

void OnPickMonitorDirClicked(ProgramState& state) {
  WindowChooserHost host(state);
  ChooseMonitorDir(host, MonitorDirList, BackupSuffix);
}

void OnPickBackupDirClicked(ProgramState& state) {
  WindowChooserHost host(state);
  ChooseBackupDir(host, BackupSuffix);
}

}  // namespace kavrel
