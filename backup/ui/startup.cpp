#include "backup/ui/startup.h"

#include <ole2.h>

#include <cstdio>

#include "backup/ui/main_window_controls.h"
#include "backup/check/check_state.h"
#include "backup/ui/program_globals.h"
#include "backup/check/report_line.h"
#include "base/settings_key.h"
#include "backup/ui/settings_load.h"
#include "base/utilities.h"
#include "backup/ui/window_icons.h"
#include "crashguard/fault_report.h"
#include "crashguard/guard_configuration.h"
#include "crashguard/runtime_errors.h"

namespace kavrel {

namespace {
bool g_globalsFreed = false;
}  // namespace

void FillMenuItemTable() {
  static const int kItems[kMenuItemTableSize] = {
      kMenuNewProject,     kMenuEditProject,  kMenuSelectAll,      kMenuClearAll,        kMenuInvertSelection,
      kMenuMoveToTop,      kMenuMoveUp,       kMenuMoveDown,       kMenuMoveToBottom,    kMenuDeleteCurrent,
      kMenuDeleteSelected, kMenuDeleteAll,    kMenuWindowTopmost,  kMenuHelp,            kMenuOpenMonitorDir,
      kMenuOpenBackupDir,  kMenuSeparator1,   kMenuSeparator2,     kMenuSeparator3,      kMenuSeparator4,
      kMenuSeparator5,
  };
  for (int i = 0; i < kMenuItemTableSize; ++i) MenuItemTable[i] = MenuItemRef{&MainWindow(), kItems[i]};
}

std::string ThreadLabelText(int32_t position) {
  if (position == 100) return "100";
  char text[16];
  std::snprintf(text, sizeof text, (position >= 10 && position <= 99) ? "0%d" : "00%d", static_cast<int>(position));
  return text;
}

void OnThreadSliderChanged() {
  ui::Form& window = MainWindow();
  window.SetText(kThreadLabel, ThreadLabelText(window.SliderPosition(kThreadSlider)));
}

void OnMainWindowCreated(ProgramState& state) {
  ui::Form& window = MainWindow();
  GuardSingleInstanceByProcess(std::string(), 1, true, nullptr);
  GuardSingleInstanceByMutex(SettingsKey, true, nullptr);
  window.SetWindowIcon(IdleIcon());
  window.SetListImages(kProjectList, ProjectRowImages());  // the list's design images
  window.SetWindowWidth(660);
  FillMenuItemTable();
  window.Move(kProjectList, 14, 14);
  RECT hint = window.Bounds(kHintLabel);
  window.Move(kHintLabel, 128, hint.top);
  BackupSuffix = "_backupx\\";
  InstallReportLock(CreateLock());
  LoadSettings(state, SettingsFile::BesideProgram());
  crashguard::SetRuntimeErrorHandler(crashguard::OnRuntimeError);
  crashguard::CrashGuardConfiguration guard;
  guard.showBox = 1;
  guard.endThreadOnly = 1;
  guard.installRuntimeErrorHandler = true;
  guard.includeCallStack = 0;
  crashguard::ConfigureCrashGuard(guard);
  Counters().linkPauseMs = 300;
  if (window.List(kProjectList).RowCount() == 0) window.SetVisible(kHintLabel, true);
}

void ExitProgram(int32_t exitCode) {
  ui::DestroyAllForms();
  if (!g_globalsFreed) {
    g_globalsFreed = true;
    FreeProgramGlobals();
  }
  OleUninitialize();
  ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace kavrel
