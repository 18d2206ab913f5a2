#include "apps/kavrel/program_start.h"

#include <ole2.h>

#include <iterator>

#include "apps/kavrel/main_window.h"
#include "backup/close_query.h"
#include "backup/program_globals.h"
#include "backup/startup.h"
#include "backup/utilities.h"
#include "shelltool/dialog_helper_module.h"

namespace kavrel {

namespace {

using ModuleInitialiser = void (*)();

// Fixed order; only entries that do work are filled.
const ModuleInitialiser kModuleInitialisers[15] = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 1-10
    nullptr,                                                                                   // 11
    nullptr, nullptr, nullptr,                                                                 // 12-14
    [] { shell::InitDialogHelperModule(); },                                                   // 15
};

void EndThroughExitProgram(int exitCode) { ExitProgram(exitCode); }

}  // namespace

void BindMainWindowHandlers(ui::Form& window) {
  using ui::Event;
  using ui::EventArgs;
  window.Bind(ui::kWindow, Event::Created, [](EventArgs&) { OnMainWindowCreated(); });
  window.Bind(ui::kWindow, Event::CloseQuery, [](EventArgs& e) { e.cancel = !OnMainWindowCloseQuery(); });
  window.Bind(kThreadSlider, Event::PositionChanged, [](EventArgs&) { OnThreadSliderChanged(); });
  window.Bind(kProjectList, Event::MouseWheel, [](EventArgs& e) { OnListMouseWheel(e.a, e.b); });
}

void PrepareProgram() {
  OleInitialize(nullptr);
  SetCurrentDirectoryA(OwnExecutableDirectory().c_str());
  InitProgramGlobals();
  SetProgramExitRoutine(EndThroughExitProgram);
  for (ModuleInitialiser initialise : kModuleInitialisers)
    if (initialise) initialise();
}

int ProgramStart() {
  PrepareProgram();
  ui::Form& window = MainWindow();
  BindMainWindowHandlers(window);
  window.Create();
  SetOpacityWindow(window.Window());
  ui::RunMessageLoop();
  ExitProgram(0);
}

}  // namespace kavrel
