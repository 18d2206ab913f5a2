#pragma once
#include "shelltool/form.h"

namespace spacemon {

// Binds the handlers of the window and its list.
void BindDriveWindowHandlers(ui::Form& window);

// The whole program: globals, exit routine, module initialisers, the window
// and its message loop; ends the process with code 0 when the loop ends.
int DriveTrackerProgramStart();

// The orderly end: stops the monitor thread, destroys the window, frees the
// globals once and ends the process.
[[noreturn]] void ExitDriveTracker(int exitCode);

}  // namespace spacemon
