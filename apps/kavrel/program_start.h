#pragma once
#include "shelltool/form.h"

namespace kavrel {

// Binds every handler of the main window's controls and events.
void BindMainWindowHandlers(ui::Form& window);
// The project list, its edit panel, its menu and the help button.
void BindProjectHandlers(ui::Form& window);

// The start routine up to the window: OLE, current directory, globals,
// exit routine and the module initialisers.
void PrepareProgram();

// The whole program: prepares, shows the main window, runs the message loop.
int ProgramStart();

}  // namespace kavrel
