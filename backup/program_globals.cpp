#include "backup/program_globals.h"

#include "backup/check_state.h"
#include "crashguard/thread_guard.h"
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"

namespace kavrel {

std::string BackupSuffix;
CRITICAL_SECTION* ReportLock = nullptr;
std::vector<std::string> MonitorDirList;
int32_t CheckedProjectCount = 0;
MenuItemRef MenuItemTable[kMenuItemTableSize];
EditState ProjectEditState;
std::string BrowseStartFolder;
crashguard::ApiHook* ProgramApiHook = nullptr;

namespace {
bool g_reportLockLive = false;  // false while ReportLock is the zeroed placeholder
}  // namespace

void InstallReportLock(CRITICAL_SECTION* lock) {
  free(ReportLock);
  ReportLock = lock;
  g_reportLockLive = true;
}

void InitProgramGlobals() {
  AllocateProgramGlobals();
  shell::InitDialogHelperGlobals();
}

void AllocateProgramGlobals() {
  // Zeroed storage only: OnMainWindowCreated replaces it with a real lock.
  ReportLock = static_cast<CRITICAL_SECTION*>(calloc(1, sizeof(CRITICAL_SECTION)));
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
  if (ReportLock) {
    if (g_reportLockLive) DeleteCriticalSection(ReportLock);
    free(ReportLock);
    g_reportLockLive = false;
    ReportLock = nullptr;
  }
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

CRITICAL_SECTION* CreateLock() {
  auto* lock = static_cast<CRITICAL_SECTION*>(calloc(1, sizeof(CRITICAL_SECTION)));
  InitializeCriticalSection(lock);
  return lock;
}

}  // namespace kavrel
