#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

#include "backup/check/check_run.h"
#include "backup/check/check_state.h"
#include "backup/ui/window_icons.h"
#include "backup/check/worker_slots.h"
#include "support/check_fakes.h"
#include "support/test_support.h"

namespace {

using testing_support::FakeCheckWindow;
using testing_support::ReadFileBytes;
using testing_support::ReportRecorder;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

// Files per started worker for a slider position, as the check hands them out.
std::vector<int> Split(int total, int slider) {
  std::vector<std::string> files;
  for (int i = 0; i < total; ++i) files.push_back("f" + std::to_string(i));
  const int chunk = kavrel::ChunkSize(total, slider);
  const int workers = slider > total ? total : slider;
  std::vector<int> sizes;
  std::vector<std::string> handedOut;
  int cursor = 0;
  for (int i = 0; i < workers; ++i) {
    std::vector<std::string> slot{"stale"};
    kavrel::AssignWorkChunk(slot, chunk, total, cursor, files);
    sizes.push_back(static_cast<int>(slot.size()));
    handedOut.insert(handedOut.end(), slot.begin(), slot.end());
  }
  EXPECT_EQ(handedOut, files) << total << "/" << slider;  // contiguous, in order, each once
  EXPECT_EQ(cursor, total);
  return sizes;
}

TEST(CheckSplit, FollowsTheChunkTable) {
  EXPECT_EQ(Split(10, 4), (std::vector<int>{3, 3, 3, 1}));
  EXPECT_EQ(Split(12, 4), (std::vector<int>{4, 4, 4, 0}));
  EXPECT_EQ(Split(5, 5), (std::vector<int>{2, 2, 1, 0, 0}));
  EXPECT_EQ(Split(3, 100), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Split(7, 1), (std::vector<int>{7}));
}

TEST(CheckSplit, ScanDirectoryKeepsADriveRootsBackslash) {
  EXPECT_EQ(kavrel::ScanDirectoryOf("D:\\"), "D:\\");
  EXPECT_EQ(kavrel::ScanDirectoryOf("D:\\data\\"), "D:\\data");
  EXPECT_EQ(kavrel::ProgressText(12, 30, 4), " 检查进度12/30，硬链接增量4个");
}

TEST(CheckSplit, WorkerEntriesAreBoundToTheirOwnSlots) {
  std::set<WorkerThreadRoutine> entries;
  for (int k = 0; k < kavrel::kWorkerSlotCount; ++k) entries.insert(kavrel::WorkerSlotEntry(k));
  EXPECT_EQ(entries.size(), 100u);
  // Entry 42 works on slot 42's list and flag only.
  ScratchDir scratch;
  kavrel::Counters().backupDir = scratch / "bak\\";
  kavrel::Counters().checked = 0;
  kavrel::Slot(42).fileList = {"a", "b", "c"};
  HANDLE thread = nullptr;
  StartWorkerThread(kavrel::WorkerSlotEntry(42), 5, thread);
  ASSERT_NE(thread, nullptr);
  kavrel::StopWorkerSlot(thread, kavrel::Slot(42).fileList);
  EXPECT_EQ(thread, nullptr);
  EXPECT_TRUE(kavrel::Slot(42).fileList.empty());
  EXPECT_EQ(kavrel::Counters().checked, 3);
  EXPECT_EQ(kavrel::Slot(42).running, 0);
}

HANDLE g_release = nullptr;
void CALLBACK ReleaseHeldWorker(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  SetEvent(g_release);
}
LONG g_heldTooLong = 0;
DWORD WINAPI WorkerThatMayBeHeld(LPVOID held) {
  if (held && WaitForSingleObject(g_release, testing_support::kHangBoundMs) != WAIT_OBJECT_0) g_heldTooLong = 1;
  return 0;
}

// As a dead check leaves them: one worker still running, one that the guard
// ended with its flag up. The held worker is let go only by a timer message,
// which flows only while the slots' end waits.
TEST(CheckSplit, EndingTheSlotsWaitsForEveryWorkerAndFreesEachSlot) {
  g_release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const int kHeld = 7, kEnded = 63;
  HANDLE originals[2] = {};
  for (int k : {kHeld, kEnded}) {
    kavrel::WorkerSlot& slot = kavrel::Slot(k);
    slot.fileList = {"x"};
    slot.running = 1;
    slot.thread = CreateThread(nullptr, 0, WorkerThatMayBeHeld, reinterpret_cast<LPVOID>(k == kHeld), 0, nullptr);
    ASSERT_NE(slot.thread, nullptr);
    originals[k == kEnded] = slot.thread;
  }
  WaitForSingleObject(originals[1], INFINITE);
  HANDLE held = nullptr;
  DuplicateHandle(GetCurrentProcess(), originals[0], GetCurrentProcess(), &held, SYNCHRONIZE, FALSE, 0);
  SetTimer(nullptr, 0, 1, ReleaseHeldWorker);

  kavrel::EndWorkerSlots();
  DWORD flags = 0;
  // Read before any report of a failure can open a handle under a freed value.
  const bool open[2] = {GetHandleInformation(originals[0], &flags) != FALSE,
                        GetHandleInformation(originals[1], &flags) != FALSE};
  EXPECT_EQ(WaitForSingleObject(held, 0), WAIT_OBJECT_0);
  EXPECT_EQ(g_heldTooLong, 0);  // 1: the timer message never flowed
  for (int i = 0; i < 2; ++i) {
    const kavrel::WorkerSlot& slot = kavrel::Slot(i == 0 ? kHeld : kEnded);
    EXPECT_EQ(slot.thread, nullptr) << i;
    EXPECT_TRUE(slot.fileList.empty()) << i;
    EXPECT_EQ(slot.running, 0) << i;
    EXPECT_FALSE(open[i]) << i;
  }
  CloseHandle(held);
  CloseHandle(g_release);
}

DWORD ThreadCount() {
  DWORD count = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

// One project: monitored "src\" and backup "src_backupx\" beside it.
class CheckRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::EnsureReportLock();
    src = scratch / "src\\";
    bak = scratch / "src_backupx\\";
    CreateDirectoryA(src.c_str(), nullptr);
    window.monitorDir = src;
    window.backupDir = bak;
    window.options = {100, true, true, true};
    kavrel::CheckCounters& c = kavrel::Counters();
    c.stop = 0;
    c.finished = 0;
    c.linkPauseMs = 0;
  }
  void TearDown() override { kavrel::Counters().stop = 0; }

  void Check(int row = 3) {
    kavrel::Counters().finished = 0;
    kavrel::RunIncrementalCheck(row, window);
    EXPECT_EQ(kavrel::Counters().finished, 1);
  }
  static bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia = {}, ib = {};
    for (auto [path, info] : {std::pair{&a, &ia}, std::pair{&b, &ib}}) {
      HANDLE f = CreateFileA(path->c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
      if (f == INVALID_HANDLE_VALUE) return false;
      GetFileInformationByHandle(f, info);
      CloseHandle(f);
    }
    return ia.nFileIndexLow == ib.nFileIndexLow && ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nNumberOfLinks == 2;
  }

  ScratchDir scratch;
  std::string src, bak;
  FakeCheckWindow window;
  ReportRecorder reports;
};

TEST_F(CheckRunTest, AFullCheckMirrorsTheTreeWithLowerCaseLinks) {
  CreateDirectoryA((src + "Photos").c_str(), nullptr);
  WriteFileBytes(src + "Photos\\Photo.JPG", "jpg");
  WriteFileBytes(src + "Notes.txt", "notes");
  Check(3);
  EXPECT_EQ(window.lastRowIndex, 2);
  EXPECT_TRUE(SameFile(bak + "Photos\\photo.jpg", src + "Photos\\Photo.JPG"));
  EXPECT_TRUE(SameFile(bak + "notes.txt", src + "Notes.txt"));
  EXPECT_EQ(kavrel::Counters().linked, 2);
  EXPECT_EQ(kavrel::Counters().checked, 2);
  EXPECT_EQ(window.icons, std::vector<HICON>{kavrel::BusyIcon()});  // the scheduler restores the idle one
  EXPECT_EQ(window.rowImages, std::vector<int>{0});
  EXPECT_EQ(window.statusTexts, (std::vector<std::string>{" 枚举文件", " 增量检查"}));
  EXPECT_EQ(window.fileCountTexts.back(), "2");
  EXPECT_TRUE(window.progressTexts.empty());  // done within the first second
  for (int k = 0; k < kavrel::kWorkerSlotCount; ++k) {
    EXPECT_EQ(kavrel::Slot(k).thread, nullptr);
    EXPECT_TRUE(kavrel::Slot(k).fileList.empty());
  }

  Check(3);  // nothing changed
  EXPECT_EQ(kavrel::Counters().linked, 0);
  EXPECT_EQ(kavrel::Counters().checked, 2);
  EXPECT_TRUE(reports.Lines().empty());
}

TEST_F(CheckRunTest, ACheckThatFindsNothingSaysSoAndRestoresTheIdleIcon) {
  CreateDirectoryA((src + ".git").c_str(), nullptr);
  WriteFileBytes(src + ".git\\config", "x");
  window.progressTexts.push_back(" before");
  Check();
  EXPECT_EQ(window.statusTexts, (std::vector<std::string>{" 枚举文件", " 增量检查"}));
  EXPECT_EQ(window.progressTexts.back(), " 未找到任何数据");
  EXPECT_EQ(window.icons, (std::vector<HICON>{kavrel::BusyIcon(), kavrel::IdleIcon()}));
  EXPECT_EQ(window.fileCountTexts, std::vector<std::string>{"0"});
}

TEST_F(CheckRunTest, TheBackupRootGetsItsMarkerAndFollowsTheHideOptionAtEveryCheck) {
  WriteFileBytes(src + "a.txt", "a");
  const std::string marker = bak + "desktop.ini";
  const DWORD kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  Check();
  EXPECT_EQ(ReadFileBytes(marker), std::string("[.ShellClassInfo]\r\nIconFile=%SystemRoot%\\System32\\SHELL32.dll\r\n"
                                               "IconIndex=293"));
  EXPECT_EQ(ReadFileBytes(marker).size(), 76u);
  EXPECT_EQ(GetFileAttributesA(marker.c_str()) & 7, 7u);
  EXPECT_EQ(GetFileAttributesA(bak.c_str()) & kHidden, kHidden);

  window.hideBackupRoot = false;
  ASSERT_TRUE(SetFileAttributesA(marker.c_str(), FILE_ATTRIBUTE_NORMAL));  // the marker's own file gets them back
  Check();
  EXPECT_EQ(GetFileAttributesA(bak.c_str()) & kHidden, FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(GetFileAttributesA(marker.c_str()) & 7, 7u);
  EXPECT_EQ(ReadFileBytes(marker).size(), 76u);

  window.hideBackupRoot = true;
  Check();
  EXPECT_EQ(GetFileAttributesA(bak.c_str()) & kHidden, kHidden);
}

// The user's own desktop.ini maps to the marker's name in the backup root.
TEST_F(CheckRunTest, AUsersTopLevelDesktopIniIsBackedUpAndNeverWrittenTo) {
  const std::string bytes = "[.ShellClassInfo]\r\nLocalizedResourceName=mine\r\n";
  WriteFileBytes(src + "Desktop.ini", bytes);
  ASSERT_TRUE(SetFileAttributesA((src + "Desktop.ini").c_str(), FILE_ATTRIBUTE_ARCHIVE));
  for (int pass = 1; pass <= 2; ++pass) {
    Check();
    for (const std::string& copy : {src + "Desktop.ini", bak + "desktop.ini"}) {
      EXPECT_EQ(ReadFileBytes(copy), bytes) << pass << " " << copy;
      EXPECT_EQ(GetFileAttributesA(copy.c_str()), DWORD(FILE_ATTRIBUTE_ARCHIVE)) << pass << " " << copy;
    }
    EXPECT_TRUE(SameFile(src + "Desktop.ini", bak + "desktop.ini"));
    EXPECT_TRUE(reports.Lines().empty());
  }
  EXPECT_EQ(ReadFileBytes(bak + "desktop.ini.old").size(), kavrel::kBackupRootMarkerSize);  // the first marker
}

// "\x81\x5C" is one character; Wine's own path creation ends a level at its
// second byte, making a stray directory of that name or failing on a file there.
TEST_F(CheckRunTest, ABackupRootWhoseNameHoldsATrailBackslashIsMadeWhole) {
  WriteFileBytes(src + "a.txt", "a");
  const std::string kStray = "a file where a stray level would go";
  WriteFileBytes(scratch / "D\x81\x5C", kStray);
  for (const char* name : {"A\x81\x5C" "B\\C\\", "D\x81\x5C" "E\\"}) {
    bak = scratch / name;
    window.backupDir = bak;
    Check();
    EXPECT_EQ(kavrel::Counters().linked, 1) << name;
    EXPECT_EQ(ReadFileBytes(bak + "a.txt"), "a") << name;
    EXPECT_EQ(ReadFileBytes(bak + "desktop.ini").size(), kavrel::kBackupRootMarkerSize);
  }
  EXPECT_EQ(GetFileAttributesA((scratch / "A\x81\x5C").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadFileBytes(scratch / "D\x81\x5C"), kStray);
  EXPECT_TRUE(reports.Lines().empty());
}

TEST_F(CheckRunTest, ProgressIsShownOnceASecondUntilTheLastWorkerEnds) {
  for (int i = 0; i < 8; ++i) WriteFileBytes(src + std::to_string(i) + ".txt", "x");
  window.options.threadCount = 1;
  kavrel::Counters().linkPauseMs = 300;  // 2.4 s for the one worker
  const ULONGLONG start = GetTickCount64();
  Check();
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_GE(elapsed, 3000u);
  ASSERT_GE(window.progressTexts.size(), 1u);
  EXPECT_LE(window.progressTexts.size(), 3u);
  EXPECT_EQ(window.progressTexts.back(), " 检查进度8/8，硬链接增量8个");
  for (const std::string& text : window.progressTexts) EXPECT_EQ(text.compare(0, 9, " 检查进度"), 0) << text;
}

TEST_F(CheckRunTest, AStopMadeBeforeTheCheckIsKept) {
  WriteFileBytes(src + "a.txt", "a");
  CreateDirectoryA((src + "Sub").c_str(), nullptr);
  WriteFileBytes(src + "Sub\\b.txt", "b");
  window.options = {100, false, false, false};
  kavrel::Counters().stop = 1;
  Check();
  EXPECT_EQ(kavrel::Counters().stop, 1);
  EXPECT_EQ(kavrel::Counters().linked, 0);
  EXPECT_EQ(kavrel::Counters().checked, 1);  // the one top file, counted and abandoned
  EXPECT_EQ(GetFileAttributesA((bak + "Sub").c_str()), INVALID_FILE_ATTRIBUTES);  // never mirrored
}

// Many workers over some thousands of files, again and again.
TEST_F(CheckRunTest, AHundredWorkersLinkEveryFileOnceAndLeaveNothingBehind) {
  const int kDirs = 30, kFilesPerDir = 100;
  std::vector<std::string> names;
  for (int d = 0; d < kDirs; ++d) {
    const std::string dir = "D" + std::to_string(d) + "\\";
    CreateDirectoryA((src + dir).c_str(), nullptr);
    for (int f = 0; f < kFilesPerDir; ++f) {
      names.push_back(dir + "f" + std::to_string(f) + ".bin");
      WriteFileBytes(src + names.back(), names.back());
    }
  }
  const DWORD handlesBefore = testing_support::ProcessHandleCount(GetCurrentProcess());
  const DWORD threadsBefore = ThreadCount();
  for (int round = 0; round < 3; ++round) {
    Check();
    EXPECT_EQ(kavrel::Counters().checked, kDirs * kFilesPerDir);
    EXPECT_EQ(kavrel::Counters().linked, round == 0 ? kDirs * kFilesPerDir : 0);
    EXPECT_TRUE(reports.Lines().empty());
  }
  for (const std::string& name : names) ASSERT_TRUE(SameFile(src + name, bak + name)) << name;
  EXPECT_EQ(testing_support::ProcessHandleCount(GetCurrentProcess()), handlesBefore);
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

}  // namespace
