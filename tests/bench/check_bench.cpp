// Times the real check on a prepared tree, and the bare platform calls one
// unchanged file needs, for tools/benchmark.
//   check_bench check <monitorDir\> <backupDir\> <threads> <pauseMs> [skip-empty]
// The check skips system and hidden entries, and empty ones when asked.
//   check_bench floor <monitorDir\> <backupDir\> <threads>
// The floor walks the tree, then splits the list and starts its threads as
// the check does, each making only the calls an unchanged file needs.
//   check_bench threads <threads>
// Starts that many threads that only wait, as the platform's share of memory.
// Each prints one line: "<what> ms=<elapsed> files=<n> linked=<n> peak=<KB>",
// with the process's peak working set.
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "backup/check/check_run.h"
#include "backup/check/check_state.h"
#include "backup/check/file_search.h"
#include "backup/check/report_line.h"
#include "backup/check/worker_slots.h"
#include "base/gbk_text.h"
#include "base/utilities.h"

namespace {

// The check's window side without a window: the options and the two rows.
class BenchWindow : public kavrel::CheckWindow {
 public:
  BenchWindow(std::string monitorDir, std::string backupDir, int threads, bool skipEmpty)
      : monitorDir_(std::move(monitorDir)), backupDir_(std::move(backupDir)), threads_(threads), skipEmpty_(skipEmpty) {}
  std::string MonitorDir(int) override { return monitorDir_; }
  std::string BackupDir(int) override { return backupDir_; }
  bool HideBackupRoot() override { return true; }
  kavrel::CheckOptions Options() override { return {threads_, true, true, skipEmpty_}; }
  void SetStatus(const std::string&) override {}
  void SetProgress(const std::string&) override {}
  void SetFileCount(int, const std::string&) override {}
  void SetRowImage(int, int) override {}
  void SetBusy(bool) override {}

 private:
  std::string monitorDir_, backupDir_;
  int threads_;
  bool skipEmpty_;
};

double NowMs() {
  static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void PrintResult(const char* what, double ms, long files, long linked) {
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("%s ms=%.0f files=%ld linked=%ld peak=%lu\n", what, ms, files, linked,
              static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024));
}

// Starts `count` threads on `routine` (parameter: the thread's index) at the
// check's pace, and waits for them all.
void RunThreads(int count, WorkerThreadRoutine routine, void (*whileRunning)() = nullptr) {
  std::vector<HANDLE> threads(count);
  for (int i = 0; i < count; ++i) {
    Sleep(10);
    StartWorkerThread(routine, i, threads[i]);
  }
  if (whileRunning) whileRunning();
  for (HANDLE thread : threads) {
    if (!thread) continue;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

bool ReadIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
  CloseHandle(file);
  return ok;
}

// The directory search entries alone, with names as on disk, as the check
// lists them.
void FloorWalk(const std::string& dir, std::vector<std::string>& files) {
  shell::FileSearch search(WidePath(dir + "*.*"));
  for (bool more = search.Found(); more; more = search.Next()) {
    const std::string name = gbk::Narrow(search.Entry().cFileName);
    if (name == "." || name == "..") continue;
    if (search.IsDirectory()) FloorWalk(dir + name + "\\", files);
    else files.push_back(dir + name);
  }
}

struct FloorSlot {
  std::vector<std::string> files;
  LONG same = 0;
};
std::vector<FloorSlot> floorSlots;
std::string floorMonitorDir, floorBackupDir;

// What an unchanged file costs at the least: the destination lookup, two
// opens and two identity reads.
DWORD WINAPI FloorWorker(LPVOID parameter) {
  FloorSlot& slot = floorSlots[reinterpret_cast<intptr_t>(parameter)];
  for (const std::string& source : slot.files) {
    const std::string destination = floorBackupDir + gbk::ToLowerFileName(source.substr(floorMonitorDir.size()));
    BY_HANDLE_FILE_INFORMATION a, b;
    if (kavrel::PathExists(destination) && ReadIdentity(destination, a) && ReadIdentity(source, b) &&
        a.nFileIndexLow == b.nFileIndexLow)
      ++slot.same;
  }
  return 0;
}

void RunFloor(int threadCount) {
  const double start = NowMs();
  std::vector<std::string> files;
  FloorWalk(floorMonitorDir, files);
  const int total = static_cast<int>(files.size());
  const int chunk = kavrel::ChunkSize(total, threadCount);
  const int workers = threadCount < total ? threadCount : total;
  floorSlots.resize(workers);
  int cursor = 0;
  for (FloorSlot& slot : floorSlots) kavrel::AssignWorkChunk(slot.files, chunk, total, cursor, files);
  RunThreads(workers, FloorWorker);
  long same = 0;
  for (const FloorSlot& slot : floorSlots) same += slot.same;
  PrintResult("floor", NowMs() - start, total, same);
}

HANDLE idleRelease;

DWORD WINAPI IdleThread(LPVOID) {
  WaitForSingleObject(idleRelease, INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6 && std::string(argv[1]) == "check") {
    kavrel::InstallReportLock(kavrel::CreateLock());
    kavrel::Counters().linkPauseMs = std::atoi(argv[5]);
    BenchWindow window(argv[2], argv[3], std::atoi(argv[4]), argc >= 7 && std::string(argv[6]) == "skip-empty");
    const double start = NowMs();
    kavrel::RunIncrementalCheck(1, window);
    PrintResult("check", NowMs() - start, long(kavrel::Counters().checked), long(kavrel::Counters().linked));
    return 0;
  }
  if (argc >= 5 && std::string(argv[1]) == "floor") {
    floorMonitorDir = argv[2];
    floorBackupDir = argv[3];
    RunFloor(std::atoi(argv[4]));
    return 0;
  }
  if (argc >= 3 && std::string(argv[1]) == "threads") {
    idleRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const double start = NowMs();
    // All of them alive at once, for as long as the check's first look takes.
    RunThreads(std::atoi(argv[2]), IdleThread, [] { Sleep(1000); SetEvent(idleRelease); });
    PrintResult("threads", NowMs() - start, 0, 0);
    return 0;
  }
  std::fprintf(stderr,
               "usage: check_bench check MONITOR\\ BACKUP\\ THREADS PAUSE_MS [skip-empty] | "
               "floor MONITOR\\ BACKUP\\ THREADS | threads THREADS\n");
  return 2;
}
