#include "backup/check/check_run.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "backup/check/check_state.h"
#include "backup/check/tree_scanner.h"
#include "base/utilities.h"
#include "backup/check/worker_slots.h"
#include "base/owned.h"

namespace kavrel {

const char kBackupRootMarker[] =
    "[.ShellClassInfo]\r\nIconFile=%SystemRoot%\\System32\\SHELL32.dll\r\nIconIndex=293";
static_assert(sizeof kBackupRootMarker - 1 == kBackupRootMarkerSize, "marker size");

namespace {

constexpr DWORD kMarkerAttributes = 7;           // read-only, hidden, system

void SetMarkerAttributes(HANDLE marker) {
  FILE_BASIC_INFO info = {};  // times of 0 stay as they are
  info.FileAttributes = kMarkerAttributes;
  SetFileInformationByHandle(marker, FileBasicInfo, &info, sizeof info);
}

// The file under the marker's name is the marker alone: one link and the
// marker's bytes. A user's desktop.ini linked there fails this test.
bool IsOwnMarker(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1 || info.nFileSizeHigh != 0 ||
      info.nFileSizeLow != kBackupRootMarkerSize)
    return false;
  char bytes[kBackupRootMarkerSize];
  DWORD got = 0;
  return ReadFile(file, bytes, sizeof bytes, &got, nullptr) && got == sizeof bytes &&
         std::memcmp(bytes, kBackupRootMarker, sizeof bytes) == 0;
}

// Written only where the name is free. An existing file is written to never;
// it gets the marker's attributes again only when it is the marker itself.
void WriteBackupRootMarker(const std::string& backupDir) {
  const std::string path = backupDir + "desktop.ini";
  shell::OwnedHandle created(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (created.Valid()) {
    DWORD written = 0;
    WriteFile(created.Get(), kBackupRootMarker, kBackupRootMarkerSize, &written, nullptr);
    SetMarkerAttributes(created.Get());
    return;
  }
  // Opened for reading only, and without delete sharing, so that the name
  // keeps this file until its attributes are set.
  shell::OwnedHandle existing(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  if (existing.Valid() && IsOwnMarker(existing.Get())) SetFileAttributesA(path.c_str(), kMarkerAttributes);
}

// A worker that the crash guard ended after a fault never lowers its flag:
// once its thread has ended it counts as not running, and its chunk's files
// are taken up by the next pass.
bool AnyWorkerRunning() {
  double sum = 0;
  for (int i = 0; i < kWorkerSlotCount; ++i) {
    WorkerSlot& slot = Slot(i);
    if (slot.running && slot.thread && WaitForSingleObject(slot.thread, 0) == WAIT_OBJECT_0) slot.running = 0;
    sum += slot.running;
  }
  return sum > 1e-7;
}

class IncrementalCheck {
 public:
  IncrementalCheck(int row, CheckWindow& window) : rowIndex_(row - 1), window_(window) {}
  void Run();

 private:
  void PrepareBackupRoot();
  void StartWorkers(int threadCount);
  void ShowProgressUntilWorkersEnd();
  // Frees the check's own storage, then raises `finished` as the very last
  // act, so that whoever ends the thread on that flag finds it holding no lock.
  void Finish();

  const int rowIndex_;
  CheckWindow& window_;
  std::string scanDir_;
  int prefixLength_ = 0;
  std::vector<std::string> fileList_;
  int total_ = 0;
};

void IncrementalCheck::Run() {
  CheckCounters& counters = Counters();
  window_.SetBusy(true);
  window_.SetRowImage(rowIndex_, kImageChecking);
  scanDir_ = window_.MonitorDir(rowIndex_);
  prefixLength_ = static_cast<int>(scanDir_.size());
  scanDir_ = ScanDirectoryOf(scanDir_);
  counters.backupDir = window_.BackupDir(rowIndex_);
  PrepareBackupRoot();

  for (int i = 0; i < kWorkerSlotCount; ++i) Slot(i).thread = nullptr;
  counters.linked = 0;
  counters.checked = 0;
  counters.failed = 0;
  counters.settled = 0;
  // `stop` is kept: the scheduler clears it before every run and interval,
  // so a set flag here is the user's own request made since this thread began.

  const CheckOptions options = window_.Options();
  total_ = TreeScanner(options, window_).EnumerateProjectFiles(scanDir_, fileList_, counters.backupDir, rowIndex_);
  window_.SetStatus(" 增量检查");
  if (total_ == 0) {
    window_.SetProgress(" 未找到任何数据");
    window_.SetBusy(false);
    Finish();
    return;
  }
  StartWorkers(options.threadCount);
  Sleep(1000);
  PumpPendingMessages();
  ShowProgressUntilWorkersEnd();
  EndWorkerSlots();
  // Files no worker saw through (its thread never started, or the crash
  // guard ended it) are left out as well; a stop leaves them on purpose.
  if (counters.stop == 0) counters.failed += total_ - counters.settled;
  Finish();
}

void IncrementalCheck::PrepareBackupRoot() {
  const std::string& backupDir = Counters().backupDir;
  EnsureDirectoryPath(backupDir);
  SetFileAttributesA(backupDir.c_str(), BackupRootAttributes(window_.HideBackupRoot()));
  WriteBackupRootMarker(backupDir);
}

void IncrementalCheck::StartWorkers(int threadCount) {
  int workers = threadCount < 1 ? 1 : (threadCount > kWorkerSlotCount ? kWorkerSlotCount : threadCount);
  const int chunk = ChunkSize(total_, workers);
  if (workers > total_) workers = total_;
  int cursor = 0;
  for (int i = 0; i < workers; ++i) {
    Sleep(10);
    int free = 0;
    while (free < kWorkerSlotCount && Slot(free).thread) ++free;
    if (free == kWorkerSlotCount) break;
    WorkerSlot& slot = Slot(free);
    AssignWorkChunk(slot.fileList, chunk, total_, cursor, fileList_);
    // Raised here, not only by the worker, so that a worker slow to begin
    // is still waited for.
    slot.running = 1;
    StartWorkerThread(WorkerSlotEntry(free), prefixLength_, slot.thread);
    if (!slot.thread) slot.running = 0;  // its chunk waits for the next check
  }
}

void IncrementalCheck::ShowProgressUntilWorkersEnd() {
  const CheckCounters& counters = Counters();
  while (AnyWorkerRunning()) {
    Sleep(1000);
    window_.SetProgress(ProgressText(counters.checked, total_, counters.linked));
  }
}

void IncrementalCheck::Finish() {
  std::string().swap(scanDir_);
  std::vector<std::string>().swap(fileList_);
  Counters().finished = 1;
}

}  // namespace

void RunIncrementalCheck(int row, CheckWindow& window) { IncrementalCheck(row, window).Run(); }

std::string ScanDirectoryOf(const std::string& monitorDir) {
  return monitorDir.size() > 3 ? monitorDir.substr(0, monitorDir.size() - 1) : monitorDir;
}

std::string ProgressText(LONG checked, int total, LONG linked) {
  return " 检查进度" + std::to_string(checked) + "/" + std::to_string(total) + "，硬链接增量" +
         std::to_string(linked) + "个";
}

}  // namespace kavrel
