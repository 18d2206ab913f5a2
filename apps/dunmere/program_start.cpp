#include "apps/dunmere/program_start.h"

#include "apps/dunmere/drive_window.h"
#include "base/utilities.h"
#include "shelltool/dialog_helper_module.h"
#include "spacemon/drive_list_actions.h"
#include "spacemon/drive_tracker_globals.h"
#include "spacemon/monitor_thread.h"

namespace spacemon {

namespace {

using ModuleInitialiser = void (*)();

// Fixed order; only the toolkit's has work.
const ModuleInitialiser kModuleInitialisers[3] = {
    nullptr,
    [] { shell::InitDialogHelperModule(); },
    nullptr,
};

bool g_globalsFreed = false;

}  // namespace

void BindDriveWindowHandlers(ui::Form& window) {
  using ui::Event;
  // The icon belongs to the window's definition: set before the window shows.
  window.Bind(ui::kWindow, Event::Created, [] {
    DriveSpaceWindow().SetWindowIcon(DriveTrackerIcon());
    OnDriveWindowCreated();
  });
  window.Bind(kDriveList, [](const ui::CheckToggled& e) { OnDriveListCheckToggled(e.row, e.state); });
  window.Bind(kDriveList, Event::DoubleClick, OnDriveListDoubleClick);
  window.Bind(kDriveList, Event::RightClick, OnDriveListRightClick);
  window.Bind(kDriveList, [](const ui::WheelTurned& turn) { OnListMouseWheel(turn.notches, turn.keys); });
}

void ExitDriveTracker(int exitCode) {
  StopMonitorThread(3000);
  ui::DestroyAllForms();
  if (!g_globalsFreed) {
    g_globalsFreed = true;
    FreeDriveTrackerGlobals();
  }
  ExitProcess(static_cast<UINT>(exitCode));
}

int DriveTrackerProgramStart() {
  ui::InitCommonControlsOnce();
  InitDriveTrackerGlobals();
  SetProgramExitRoutine(ExitDriveTracker);
  for (ModuleInitialiser initialise : kModuleInitialisers)
    if (initialise) initialise();
  ui::Form& window = DriveSpaceWindow();
  BindDriveWindowHandlers(window);
  window.Create();
  SetOpacityWindow(window.Window());
  ui::RunMessageLoop();
  ExitDriveTracker(0);
}

}  // namespace spacemon
