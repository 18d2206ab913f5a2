#include "spacemon/monitor_thread.h"

#include <atomic>

#include "spacemon/drive_window_controls.h"
#include "base/utilities.h"
#include "base/owned.h"
#include "spacemon/drive_space_poll_loop.h"
#include "spacemon/drive_tracker_globals.h"
#include "spacemon/window_drive_list.h"

namespace spacemon {

namespace {
std::atomic<bool> g_stop{false};
shell::OwnedHandle g_thread;
}  // namespace

DWORD WINAPI MonitorThreadEntry(LPVOID) {
  SystemDriveQueries queries;
  WindowDriveList list(DriveSpaceWindow(), kDriveList);
  DriveSpacePollLoop loop(queries, list, RebuildRequested, DriveEnabledFlags);
  loop.Run(g_stop, [] { DelayWithMessages(1, kMilliseconds); });
  return 0;
}

void StartMonitorThread() {
  g_stop = false;
  HANDLE thread = nullptr;
  StartWorkerThread(MonitorThreadEntry, 0, thread);
  g_thread = shell::OwnedHandle(thread);
}

bool StopMonitorThread(DWORD timeoutMs) {
  if (!g_thread) return true;
  g_stop = true;
  HANDLE waited = g_thread.Get();
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  bool ended = false;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) break;
    DWORD woke = MsgWaitForMultipleObjects(1, &waited, FALSE, DWORD(end - now), QS_SENDMESSAGE);
    if (woke == WAIT_OBJECT_0) ended = true;
    if (woke != WAIT_OBJECT_0 + 1) break;
    MSG msg;  // carries out the list change the thread waits on
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  g_thread.Close();
  return ended;
}

}  // namespace spacemon
