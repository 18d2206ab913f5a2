// Times the real check on a prepared tree, and the bare platform calls one
// unchanged file needs, for tools/benchmark.
//   check_bench check <monitorDir\> <backupDir\> <threads> <pauseMs> [skip-empty]
// The check skips system and hidden entries, and empty ones when asked.
//   check_bench floor <monitorDir\> <backupDir\>
// Each prints one line: "<what> ms=<elapsed> files=<n> linked=<n>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "backup/check/check_run.h"
#include "backup/check/check_state.h"
#include "backup/check/report_line.h"
#include "backup/check/file_search.h"

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

bool ReadIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = CreateFileA(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
  CloseHandle(file);
  return ok;
}

// What an unchanged file costs at the least: the directory search entries,
// the destination lookup, two opens and two identity reads.
long FloorWalk(const std::string& dir, const std::string& backupDir, long& same) {
  long files = 0;
  shell::FileSearch search(dir + "*.*");
  for (bool more = search.Found(); more; more = search.Next()) {
    const std::string name = search.Entry().cFileName;
    if (name == "." || name == "..") continue;
    if (search.IsDirectory()) {
      files += FloorWalk(dir + name + "\\", backupDir + name + "\\", same);
      continue;
    }
    ++files;
    const std::string destination = backupDir + name;
    BY_HANDLE_FILE_INFORMATION a, b;
    if (kavrel::PathExists(destination) && ReadIdentity(destination, a) && ReadIdentity(dir + name, b) &&
        a.nFileIndexLow == b.nFileIndexLow)
      ++same;
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 6 && std::string(argv[1]) == "check") {
    kavrel::InstallReportLock(kavrel::CreateLock());
    kavrel::Counters().linkPauseMs = std::atoi(argv[5]);
    BenchWindow window(argv[2], argv[3], std::atoi(argv[4]), argc >= 7 && std::string(argv[6]) == "skip-empty");
    const double start = NowMs();
    kavrel::RunIncrementalCheck(1, window);
    std::printf("check ms=%.0f files=%ld linked=%ld\n", NowMs() - start, long(kavrel::Counters().checked),
                long(kavrel::Counters().linked));
    return 0;
  }
  if (argc >= 4 && std::string(argv[1]) == "floor") {
    long same = 0;
    const double start = NowMs();
    const long files = FloorWalk(argv[2], argv[3], same);
    std::printf("floor ms=%.0f files=%ld linked=%ld\n", NowMs() - start, files, same);
    return 0;
  }
  std::fprintf(stderr, "usage: check_bench check MONITOR\\ BACKUP\\ THREADS PAUSE_MS | floor MONITOR\\ BACKUP\\\n");
  return 2;
}
