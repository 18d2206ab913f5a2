// Dunmere's monitor thread: started once from the window's creation and
// stopped by the exit path before the storage it uses is freed.
#pragma once
#include <windows.h>

namespace spacemon {

void StartMonitorThread();
DWORD WINAPI MonitorThreadEntry(LPVOID);
// Asks the thread to end and waits for it, carrying out the list changes it
// is waiting on; false when it still ran after timeoutMs.
bool StopMonitorThread(DWORD timeoutMs);

}  // namespace spacemon
