#include <windows.h>

#include "apps/kavrel/program_start.h"
#include "backup/ui/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A drive query of an empty removable drive fails quietly instead of
  // bringing up the system's "no disk" box.
  SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
  kavrel::ExitProgram(kavrel::ProgramStart());
}
