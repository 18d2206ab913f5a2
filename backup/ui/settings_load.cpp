#include "backup/ui/settings_load.h"

#include <windows.h>

#include "backup/ui/main_window_controls.h"
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

void LoadProjects(ProgramState& state, const std::vector<ProjectLine>& lines) {
  ProjectList projects = ProjectList::Main();
  for (const ProjectLine& line : lines) {
    if (projects.Count() >= kMaxProjects) break;  // the list holds no more
    if (!IsDirectory(line.monitorDir) || IsDirectoryEmpty(line.monitorDir)) continue;
    PrepareBackupDir(line.backupDir);
    projects.Append(line.monitorDir, line.backupDir, FormatByteSize(GetDirectorySize(line.monitorDir)),
                    line.checked);
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

}  // namespace kavrel
