#pragma once
#include "shelltool/form.h"

namespace kavrel {

// Binds every handler of the main window's controls and events.
void BindMainWindowHandlers(ui::Form& window);
// The project list, its edit panel, its menu and the help button.
void BindProjectHandlers(ui::Form& window);

using ModuleInitialiser = int (*)();
extern const ModuleInitialiser kModuleInitialisers[15] __asm__("_kavrel_ModuleInitialisers");

// The start routine before the module initialisers: OLE, current directory,
// globals and exit routine.
void PrepareProgram() __asm__("_kavrel_PrepareProgram");
// Creates the main window and runs the message loop until it ends.
void RunMainWindow() __asm__("_kavrel_RunMainWindow");

// The whole program (program_start.S): prepares, runs the module
// initialisers, shows the main window and runs the message loop; 0 at its
// end. The crash guard's main record lives in its frame until it returns.
int ProgramStart() __asm__("_kavrel_ProgramStart");

}  // namespace kavrel
