#include <windows.h>

#include "apps/kavrel/program_start.h"
#include "backup/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { kavrel::ExitProgram(kavrel::ProgramStart()); }
