#include <windows.h>

#include "apps/kavrel/program_start.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return kavrel::ProgramStart(); }
