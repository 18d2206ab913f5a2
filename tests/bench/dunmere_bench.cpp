// Measures the processor share of Dunmere's poll loop, for tools/benchmark:
// starts a copy of the real Dunmere.exe, waits until its window lists every
// drive, sums the processor time of its threads over a few seconds, ends it.
//   dunmere_bench <seconds>
// Prints one line: "dunmere ms=<wall> cpu=<processor ms>".
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>

#include "support/test_support.h"

namespace {

using namespace testing_support;

// Summed over the threads: the process total is not kept current by Wine.
ULONGLONG ProcessorTime(DWORD processId) {
  ULONGLONG sum = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
    FILETIME created, exited, kernel, user;
    if (thread && GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
      auto value = [](FILETIME t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
      sum += value(kernel) + value(user);  // 100 ns units
    }
    if (thread) CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
  ScratchDir dir;
  const std::string exe = dir / "Dunmere.exe";
  if (!CopyFileTo(ProgramsDirectory() + "Dunmere.exe", exe)) return 2;
  ChildProcess dunmere;
  if (!dunmere.Start(exe, "", dir.path())) return 2;
  HWND window = FindProcessWindow(dunmere.Id(), "DunmereDriveSpaceWindow", testing_support::kHangBoundMs);
  if (!window) return 3;
  Sleep(1000);  // the first build and its list writes are not the loop's steady cost
  const ULONGLONG cpuStart = ProcessorTime(dunmere.Id());
  const ULONGLONG wallStart = GetTickCount64();
  Sleep(seconds * 1000);
  const ULONGLONG cpu = ProcessorTime(dunmere.Id()) - cpuStart;
  const ULONGLONG wall = GetTickCount64() - wallStart;
  const bool running = dunmere.Running();
  dunmere.Kill();
  if (!running) return 4;
  std::printf("dunmere ms=%llu cpu=%llu\n", wall, cpu / 10000);
  return 0;
}
