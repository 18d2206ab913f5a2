#include "backup/ui/close_query.h"

#include <windows.h>

#include "backup/ui/monitor_stop.h"
#include "backup/ui/notice_box.h"
#include "backup/ui/project_list.h"
#include "backup/ui/settings_controls.h"
#include "base/settings_key.h"
#include "backup/ui/startup.h"
#include "backup/settings/text_cipher.h"
#include "base/utilities.h"

namespace kavrel {

SettingsValues CollectSettings(const ProgramState& state) {
  ui::Form& window = MainWindow();
  SettingsValues values;
  for (int k = 0; k < kOptionCount; ++k) values.options[k] = window.Checked(kOptionBoxes[k]);
  NormaliseTimeFields();
  for (int k = 0; k < kScheduleCount; ++k) values.schedule[k] = window.Text(kScheduleBoxes[k]);
  values.threads = window.SliderPosition(kThreadSlider);
  const ProjectList projects = ProjectList::Main();
  for (int r = 0; r < projects.Count(); ++r) {
    const ProjectRow row = projects.Row(r);
    values.projects.push_back(ProjectSetting{row.MonitorDir(), row.BackupDir(), row.Checked()});
  }
  values.projects.insert(values.projects.end(), state.unlistedProjects.begin(), state.unlistedProjects.end());
  return values;
}

bool SaveSettings(const ProgramState& state, const SettingsFile& file) {
  return file.Write(EncryptSettingsText(BuildSettingsText(CollectSettings(state)), SettingsKey));
}

bool OnMainWindowCloseQuery(ProgramState& state) {
  if (state.monitoring) {
    InterlockedExchange(&state.exitPending, 1);
    RequestMonitoringStop();
    return false;
  }
  // The program ends all the same, but not before the user knows the run's
  // settings are gone; CF.ini keeps what it held.
  const SettingsFile file = SettingsFile::BesideProgram();
  if (!SaveSettings(state, file)) ShowNotice("设置文件(" + file.Path() + ")无法写入，本次运行的项目和选项未能保存。");
  PumpPendingMessages();
  Sleep(500);
  ExitProgram(0);
}

}  // namespace kavrel
