#include <windows.h>

#include "apps/dunmere/program_start.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return spacemon::DriveTrackerProgramStart(); }
