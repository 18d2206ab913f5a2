#include "apps/kavrel/program_start.h"

#include <ole2.h>

#include <iterator>

#include "apps/kavrel/main_window.h"
#include "backup/ui/close_query.h"
#include "backup/ui/directory_choosers.h"
#include "backup/ui/help_actions.h"
#include "backup/ui/monitoring_scheduler.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/program_state.h"
#include "backup/ui/project_editor.h"
#include "backup/ui/project_menu.h"
#include "backup/ui/settings_load.h"
#include "backup/ui/startup.h"
#include "base/utilities.h"
#include "backup/ui/window_topmost.h"
#include "crashguard/guard_configuration.h"
#include "crashguard/guard_installation.h"
#include "shelltool/dialog_helper_module.h"

namespace kavrel {

// Fixed order; only entries that do work are filled. Run by ProgramStart
// (program_start.S), which calls each entry straight from its own frame.
const ModuleInitialiser kModuleInitialisers[15] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 1-10
    crashguard::InstallCrashGuard,                                                             // 11
    nullptr, nullptr, nullptr,                                                                 // 12-14
    [] { shell::InitDialogHelperModule(); return 0; },                                         // 15
};

namespace {

void EndThroughExitProgram(int exitCode) { ExitProgram(exitCode); }

}  // namespace

void BindMainWindowHandlers(ui::Form& window) {
  using ui::Event;
  window.Bind(ui::kWindow, Event::Created, [] { OnMainWindowCreated(Program()); });
  window.Bind([](ui::CloseQuery& query) { query.cancel = !OnMainWindowCloseQuery(Program()); });
  window.Bind(kThreadSlider, Event::PositionChanged, OnThreadSliderChanged);
  window.Bind(kStartMonitorButton, Event::Clicked, [] { OnStartMonitorClicked(Program()); });
  window.Bind(kProjectList, [](const ui::WheelTurned& turn) { OnListMouseWheel(turn.notches, turn.keys); });
  BindProjectHandlers(window);
}

void BindProjectHandlers(ui::Form& window) {
  using ui::Event;
  auto on = [&window](int id, Event event, void (*handler)()) { window.Bind(id, event, handler); };
  // Handlers of the program's state are given it here.
  auto onState = [&window](int id, Event event, void (*handler)(ProgramState&)) {
    window.Bind(id, event, [handler] { handler(Program()); });
  };
  onState(kAddProjectButton, Event::Clicked, OnAddProjectClicked);
  onState(kConfirmButton, Event::Clicked, OnEditConfirmClicked);
  onState(kCancelButton, Event::Clicked, OnEditCancelClicked);
  onState(kMonitorDirButton, Event::Clicked, OnPickMonitorDirClicked);
  onState(kBackupDirButton, Event::Clicked, OnPickBackupDirClicked);
  onState(kHelpButton, Event::Clicked, OnHelpButtonClicked);
  window.Bind(kProjectList,
              [](const ui::CheckToggled& e) { OnProjectListCheckToggled(Program(), e.row, e.state); });
  onState(kProjectList, Event::DoubleClick, OnProjectListDoubleClick);
  onState(kProjectList, Event::RightClick, OnProjectListRightClick);
  on(ui::kWindow, Event::RightButtonUp, OnMainWindowRightButtonUp);
  const struct { int item; void (*handler)(ProgramState&); } kStateCommands[] = {
      {kMenuNewProject, OnMenuNewProject},
      {kMenuEditProject, OnMenuEditProject},
      {kMenuSelectAll, OnMenuSelectAll},
      {kMenuClearAll, OnMenuClearAll},
      {kMenuInvertSelection, OnMenuInvertSelection},
      {kMenuDeleteCurrent, OnMenuDeleteCurrentProject},
      {kMenuDeleteSelected, OnMenuDeleteSelectedProjects},
      {kMenuDeleteAll, OnMenuDeleteAllProjects},
      {kMenuWindowTopmost, OnMenuWindowTopmost},
      {kMenuHelp, OnMenuHelp},
  };
  for (const auto& command : kStateCommands) onState(command.item, Event::Clicked, command.handler);
  const struct { int item; void (*handler)(); } kMenuCommands[] = {
      {kMenuMoveToTop, OnMenuMoveToTop},
      {kMenuMoveUp, OnMenuMoveUp},
      {kMenuMoveDown, OnMenuMoveDown},
      {kMenuMoveToBottom, OnMenuMoveToBottom},
      {kMenuOpenMonitorDir, OnMenuOpenMonitorDir},
      {kMenuOpenBackupDir, OnMenuOpenBackupDir},
  };
  for (const auto& command : kMenuCommands) on(command.item, Event::Clicked, command.handler);
}

void PrepareProgram() {
  // A failed allocation is reported from the first step on, not only once the window exists.
  crashguard::InstallRuntimeErrorHandler();
  OleInitialize(nullptr);
  SetCurrentDirectoryA(OwnExecutableDirectory().c_str());
  InitProgramGlobals();
  SetProgramExitRoutine(EndThroughExitProgram);
}

void RunMainWindow() {
  ui::Form& window = MainWindow();
  BindMainWindowHandlers(window);
  window.Create();
  SetOpacityWindow(window.Window());
  TellUnlistedProjects(Program());
  ui::RunMessageLoop();
}

}  // namespace kavrel
