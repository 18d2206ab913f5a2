#include "spacemon/drive_tracker_globals.h"

#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"

namespace spacemon {

std::atomic<int32_t> RebuildRequested{0};
EnabledFlagArray DriveEnabledFlags;

void InitDriveTrackerGlobals() {
  AllocateDriveTrackerGlobals();
  shell::InitDialogHelperGlobals();
}

void AllocateDriveTrackerGlobals() {
  DriveEnabledFlags.Replace(0);
  shell::ProgramDialogHelper = shell::AllocateShellDialogHelper();
  shell::ConstructShellDialogHelper(*shell::ProgramDialogHelper);
}

void ReleaseDriveTrackerGlobals() {
  DriveEnabledFlags.Free();
  shell::ReleaseShellDialogHelper(shell::ProgramDialogHelper);
}

void FreeDriveTrackerGlobals() {
  ReleaseDriveTrackerGlobals();
  shell::FreeDialogHelperGlobals();
}

}  // namespace spacemon
