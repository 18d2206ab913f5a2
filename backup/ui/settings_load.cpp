#include "backup/ui/settings_load.h"

#include <windows.h>

#include "backup/ui/main_window_controls.h"
#include "backup/ui/notice_box.h"
#include "backup/check/check_run.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/project_list.h"
#include "backup/ui/settings_controls.h"
#include "base/settings_key.h"
#include "backup/settings/settings_text.h"
#include "backup/ui/startup.h"
#include "backup/settings/text_cipher.h"
#include "base/utilities.h"

namespace kavrel {

namespace {

// A missing backup directory is made with its whole path, hidden when asked.
void PrepareBackupDir(const std::string& backupDir) {
  if (IsDirectory(backupDir)) return;
  EnsureDirectoryPath(backupDir);
  SetFileAttributesA(backupDir.c_str(), BackupRootAttributes(MainWindow().Checked(kHideBackupDir)));
}

// Every line stays a project, so that no save loses it. One whose folder is
// away or empty for this start (a drive not plugged in) is shown with the
// error image, and so is one whose backup directory meets its monitored tree
// or an earlier project's backups; the scheduler skips both.
void LoadProjects(ProgramState& state, const std::vector<ProjectLine>& lines) {
  ProjectList projects = ProjectList::Main();
  std::vector<ProjectDirs> listed;
  for (const ProjectLine& line : lines) {
    if (projects.Count() >= kMaxProjects) {  // the list shows no more; the save writes them back
      state.unlistedProjects.push_back(ProjectSetting{line.monitorDir, line.backupDir, line.checked});
      continue;
    }
    const int index = projects.Append(line.monitorDir, line.backupDir,
                                      SizeColumnText(GetDirectorySize(line.monitorDir)), line.checked);
    listed.push_back(ProjectDirs{line.monitorDir, line.backupDir});
    if (IsDirectory(line.monitorDir) && !IsDirectoryEmpty(line.monitorDir) &&
        FindProjectConflict(listed, index).fault == ProjectFault::kNone)
      PrepareBackupDir(line.backupDir);
    else
      projects.Row(index).SetImage(kImageSkipped);
    if (line.checked) {
      ++state.checkedCount;
      ShowCountText(state);
    }
  }
}

}  // namespace

void LoadSettings(ProgramState& state, const SettingsFile& file) {
  const std::string content = file.Read();
  if (content.empty()) return;
  const std::string plain = DecryptSettingsText(content, SettingsKey);
  if (plain.empty()) return;
  const LoadedSettings loaded = ParseSettingsText(plain);
  ui::Form& window = MainWindow();
  for (int k = 0; k < kOptionCount; ++k)
    if (loaded.options[k]) window.SetChecked(kOptionBoxes[k], *loaded.options[k]);
  for (int k = 0; k < kScheduleCount; ++k)
    if (loaded.schedule[k]) window.SetText(kScheduleBoxes[k], *loaded.schedule[k]);
  if (loaded.threads) {
    window.SetSliderPosition(kThreadSlider, *loaded.threads);
    OnThreadSliderChanged();
  }
  if (!loaded.hasProjectField) return;
  LoadProjects(state, loaded.projects);
  if (ProjectList::Main().Count() > 0) window.SetEnabled(kStartMonitorButton, true);
}

std::string UnlistedProjectsNotice(size_t storedProjects) {
  if (storedProjects <= static_cast<size_t>(kMaxProjects)) return std::string();
  return "设置文件中共有" + std::to_string(storedProjects) + "个项目，只显示和检查前" + std::to_string(kMaxProjects) +
         "个，其余" + std::to_string(storedProjects - kMaxProjects) + "个项目原样保留在设置文件中。";
}

void TellUnlistedProjects(const ProgramState& state) {
  // A ticked project past the list is never checked: the user hears of it.
  const std::string notice = UnlistedProjectsNotice(static_cast<size_t>(ProjectList::Main().Count()) + state.unlistedProjects.size());
  if (!notice.empty()) ShowNotice(notice);
}

}  // namespace kavrel
