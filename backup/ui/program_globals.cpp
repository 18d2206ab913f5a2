#include "backup/ui/program_globals.h"

#include "backup/check/check_state.h"
#include "backup/check/report_line.h"
#include "crashguard/thread_guard.h"
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"

namespace kavrel {

std::string BackupSuffix;
std::vector<std::string> MonitorDirList;
MenuItemRef MenuItemTable[kMenuItemTableSize];
std::string BrowseStartFolder;
crashguard::ApiHook* ProgramApiHook = nullptr;

void InitProgramGlobals() {
  AllocateProgramGlobals();
  shell::InitDialogHelperGlobals();
}

void AllocateProgramGlobals() {
  AllocateReportLock();
  MonitorDirList.clear();
  for (auto& entry : MenuItemTable) entry = MenuItemRef{};
  for (int i = 0; i < kWorkerSlotCount; ++i) Slot(i).fileList.clear();
  shell::ProgramDialogHelper = shell::AllocateShellDialogHelper();
  shell::ConstructShellDialogHelper(*shell::ProgramDialogHelper);
  ProgramApiHook = crashguard::AllocateApiHook();
  ProgramApiHook->ConstructApiHook();
  crashguard::UseApiHookForThreadCreation(ProgramApiHook);
}

void ReleaseProgramGlobals() {
  BackupSuffix.clear();
  FreeReportLock();
  std::vector<std::string>().swap(MonitorDirList);
  for (auto& entry : MenuItemTable) entry = MenuItemRef{};
  std::string().swap(Counters().backupDir);
  for (int i = 0; i < kWorkerSlotCount; ++i) std::vector<std::string>().swap(Slot(i).fileList);
  std::string().swap(BrowseStartFolder);
  shell::ReleaseShellDialogHelper(shell::ProgramDialogHelper);
  crashguard::ReleaseApiHook(ProgramApiHook);
}

void FreeProgramGlobals() {
  ReleaseProgramGlobals();
  shell::FreeDialogHelperGlobals();
}

}  // namespace kavrel
