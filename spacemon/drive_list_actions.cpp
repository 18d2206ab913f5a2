#include "spacemon/drive_list_actions.h"

#include "spacemon/drive_window_controls.h"
#include "base/settings_key.h"
#include "base/utilities.h"
#include "spacemon/drive_tracker_globals.h"
#include "spacemon/monitor_thread.h"

namespace spacemon {

void OnDriveWindowCreated() {
  GuardSingleInstanceByProcess(std::string(), 1, true, nullptr);
  GuardSingleInstanceByMutex(kavrel::SettingsKey + "2", true, nullptr);
  StartMonitorThread();
}

void OnDriveListCheckToggled(int32_t row, int32_t state) {
  // A toggle for a row that a rebuild has removed is dropped.
  if (!DriveEnabledFlags.Set(row + 1, static_cast<int16_t>(state))) return;
  if (DriveEnabledFlags.Sum() == 0) EndProgram(0);
}

void OnDriveListDoubleClick() {
  ui::Form& window = DriveSpaceWindow();
  window.SetTopmost(!window.Topmost());
}

void OnDriveListRightClick() { RebuildRequested = 1; }

}  // namespace spacemon
