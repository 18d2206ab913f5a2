#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backup/check/check_state.h"
#include "backup/check/link_writer.h"
#include "backup/check/tree_scanner.h"
#include "support/check_fakes.h"
#include "support/test_support.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::ReportRecorder;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

struct Identity {
  DWORD links = 0, indexHigh = 0, indexLow = 0;
  bool operator==(const Identity& o) const { return indexHigh == o.indexHigh && indexLow == o.indexLow; }
};

Identity IdentityOf(const std::string& path) {
  Identity id;
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info)) {
    id.links = info.nNumberOfLinks;
    id.indexHigh = info.nFileIndexHigh;
    id.indexLow = info.nFileIndexLow;
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return id;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A monitored directory "src\" and its backup root "bak\"; the workers see
// the backup root through Counters().backupDir.
class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::EnsureReportLock();
    src = scratch / "src\\";
    bak = scratch / "bak\\";
    CreateDirectoryA(src.c_str(), nullptr);
    CreateDirectoryA(bak.c_str(), nullptr);
    kavrel::CheckCounters& c = kavrel::Counters();
    c.backupDir = bak;
    c.stop = 0;
    c.checked = 0;
    c.linked = 0;
    c.failed = 0;
    c.linkPauseMs = 0;
  }
  void TearDown() override { kavrel::Counters().stop = 0; }

  // One worker pass over these names of src.
  void Work(const std::vector<std::string>& names) {
    std::vector<std::string> list;
    for (const auto& n : names) list.push_back(src + n);
    running = 7;
    kavrel::BackupWorker(list, running, static_cast<int>(src.size()));
    EXPECT_EQ(running, 0);
  }

  ScratchDir scratch;
  std::string src, bak;
  volatile LONG running = 0;
  ReportRecorder reports;
};

TEST_F(LinkTest, ANewFileGetsAHardLinkAndAnUnchangedOneIsLeftAloneWithoutPause) {
  WriteFileBytes(src + "x.txt", "one");
  Work({"x.txt"});
  EXPECT_EQ(kavrel::Counters().linked, 1);
  EXPECT_EQ(kavrel::Counters().checked, 1);
  EXPECT_EQ(IdentityOf(bak + "x.txt"), IdentityOf(src + "x.txt"));
  EXPECT_EQ(IdentityOf(src + "x.txt").links, 2u);

  // Written since: still the same file, so still left alone.
  WriteFileBytes(src + "x.txt", "one, and more");
  // A pause this long would show however busy the machine is.
  kavrel::Counters().linkPauseMs = 60000;
  const ULONGLONG start = GetTickCount64();
  Work({"x.txt"});
  EXPECT_LT(GetTickCount64() - start, 30000u);
  EXPECT_EQ(kavrel::Counters().linked, 1);
  EXPECT_EQ(kavrel::Counters().checked, 2);
  EXPECT_FALSE(Exists(bak + "x.txt.old"));
  EXPECT_TRUE(reports.Lines().empty());
}

TEST_F(LinkTest, AReplacedSourceMovesTheOldEntryToTheNextFreeOldName) {
  const char* kOldNames[] = {"x.txt.old", "x.txt.old1", "x.txt.old2"};
  WriteFileBytes(src + "x.txt", "v0");
  Work({"x.txt"});
  for (int round = 1; round <= 3; ++round) {
    DeleteFileA((src + "x.txt").c_str());
    WriteFileBytes(src + "x.txt", "v" + std::to_string(round));
    Work({"x.txt"});
    EXPECT_EQ(kavrel::Counters().linked, round + 1);
    EXPECT_EQ(ReadFileBytes(bak + kOldNames[round - 1]), "v" + std::to_string(round - 1));
    EXPECT_EQ(IdentityOf(bak + "x.txt"), IdentityOf(src + "x.txt"));
  }
  EXPECT_FALSE(Exists(bak + "x.txt.old3"));
}

// The old file keeps a second name, so its entry still has two links.
TEST_F(LinkTest, ARotatedLogsEntryIsMovedAsideAndTheNewFileLinked) {
  WriteFileBytes(src + "app.log", "day 1");
  Work({"app.log"});
  ASSERT_TRUE(MoveFileA((src + "app.log").c_str(), (src + "app.log.1").c_str()));
  WriteFileBytes(src + "app.log", "day 2");
  ASSERT_EQ(IdentityOf(bak + "app.log").links, 2u);
  Work({"app.log"});
  EXPECT_EQ(kavrel::Counters().linked, 2);
  EXPECT_EQ(IdentityOf(bak + "app.log.old"), IdentityOf(src + "app.log.1"));
  EXPECT_EQ(IdentityOf(bak + "app.log"), IdentityOf(src + "app.log"));
  EXPECT_EQ(ReadFileBytes(bak + "app.log.old"), "day 1");
}

BY_HANDLE_FILE_INFORMATION RecordOf(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info = {};
  HANDLE file = CreateFileA(path.c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  return info;
}

// The fields besides the file index in which two files' records differ.
std::vector<std::string> Differences(const std::string& a, const std::string& b) {
  const BY_HANDLE_FILE_INFORMATION x = RecordOf(a), y = RecordOf(b);
  auto same = [](const FILETIME& p, const FILETIME& q) { return CompareFileTime(&p, &q) == 0; };
  std::vector<std::string> fields;
  if (x.nNumberOfLinks != y.nNumberOfLinks) fields.push_back("links");
  if (x.nFileSizeLow != y.nFileSizeLow || x.nFileSizeHigh != y.nFileSizeHigh) fields.push_back("size");
  if (x.dwFileAttributes != y.dwFileAttributes) fields.push_back("attributes");
  if (!same(x.ftCreationTime, y.ftCreationTime)) fields.push_back("created");
  if (!same(x.ftLastAccessTime, y.ftLastAccessTime)) fields.push_back("accessed");
  if (!same(x.ftLastWriteTime, y.ftLastWriteTime)) fields.push_back("written");
  return fields;
}

// The entry's file lives on under another name of the source folder; the new
// source has a second name as well and matches the entry but for one field.
TEST_F(LinkTest, AnEntryOfAnotherFileWithTwoLinksIsReplacedWhenOneFieldDiffers) {
  for (const std::string field : {"size", "attributes", "accessed"}) {
    const std::string name = field + ".txt", source = src + name;
    WriteFileBytes(source, "12345678");
    Work({name});
    ASSERT_TRUE(MoveFileA(source.c_str(), (source + ".prev").c_str()));
    WriteFileBytes(source, field == "size" ? "123456789" : "abcdefgh");
    ASSERT_TRUE(CreateHardLinkA((src + "second." + name).c_str(), source.c_str(), nullptr));
    const BY_HANDLE_FILE_INFORMATION entry = RecordOf(bak + name);
    const DWORD flip = field == "attributes" ? FILE_ATTRIBUTE_READONLY : 0;
    ASSERT_TRUE(SetFileAttributesA(source.c_str(), entry.dwFileAttributes ^ flip));
    ULARGE_INTEGER ticks = {{entry.ftLastAccessTime.dwLowDateTime, entry.ftLastAccessTime.dwHighDateTime}};
    if (field == "accessed") ticks.QuadPart += 10000000;  // a second later
    const FILETIME accessed = {ticks.LowPart, ticks.HighPart};
    HANDLE file = CreateFileA(source.c_str(), FILE_WRITE_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(SetFileTime(file, &entry.ftCreationTime, &accessed, &entry.ftLastWriteTime));
    CloseHandle(file);
    ASSERT_EQ(Differences(bak + name, source), std::vector<std::string>{field});

    Work({name});
    EXPECT_EQ(IdentityOf(bak + name), IdentityOf(source)) << field;
    EXPECT_EQ(IdentityOf(bak + name + ".old"), IdentityOf(source + ".prev")) << field;
  }
  EXPECT_EQ(kavrel::Counters().linked, 6);
  EXPECT_TRUE(reports.Lines().empty());
}

// Every compared field on its own makes the entry another file; the size's
// high part alone does not.
TEST(FileIdentity, EachComparedFieldTellsTheFilesApart) {
  BY_HANDLE_FILE_INFORMATION base = {};
  base.nNumberOfLinks = 2;
  const kavrel::FileIdentity same(base);
  EXPECT_TRUE(same.SameAs(kavrel::FileIdentity(base)));
  DWORD BY_HANDLE_FILE_INFORMATION::*fields[] = {
      &BY_HANDLE_FILE_INFORMATION::nNumberOfLinks, &BY_HANDLE_FILE_INFORMATION::nFileSizeLow,
      &BY_HANDLE_FILE_INFORMATION::dwFileAttributes, &BY_HANDLE_FILE_INFORMATION::nFileIndexHigh,
      &BY_HANDLE_FILE_INFORMATION::nFileIndexLow, &BY_HANDLE_FILE_INFORMATION::dwVolumeSerialNumber};
  for (auto field : fields) {
    BY_HANDLE_FILE_INFORMATION other = base;
    other.*field += 1;
    EXPECT_FALSE(same.SameAs(kavrel::FileIdentity(other))) << (&(other.*field) - &other.dwFileAttributes);
  }
  FILETIME BY_HANDLE_FILE_INFORMATION::*times[] = {&BY_HANDLE_FILE_INFORMATION::ftCreationTime,
                                                    &BY_HANDLE_FILE_INFORMATION::ftLastAccessTime,
                                                    &BY_HANDLE_FILE_INFORMATION::ftLastWriteTime};
  for (auto time : times)
    for (DWORD FILETIME::*half : {&FILETIME::dwLowDateTime, &FILETIME::dwHighDateTime}) {
      BY_HANDLE_FILE_INFORMATION other = base;
      (other.*time).*half += 1;
      EXPECT_FALSE(same.SameAs(kavrel::FileIdentity(other)));
    }
  BY_HANDLE_FILE_INFORMATION larger = base;
  larger.nFileSizeHigh = 1;
  EXPECT_TRUE(same.SameAs(kavrel::FileIdentity(larger)));
}

TEST_F(LinkTest, AnEntryWithASingleLinkIsReplacedEvenWhenItLooksTheSame) {
  WriteFileBytes(src + "x.txt", "same");
  ASSERT_TRUE(CopyFileA((src + "x.txt").c_str(), (bak + "x.txt").c_str(), FALSE));
  Work({"x.txt"});
  EXPECT_EQ(kavrel::Counters().linked, 1);
  EXPECT_EQ(ReadFileBytes(bak + "x.txt.old"), "same");
  EXPECT_EQ(IdentityOf(bak + "x.txt"), IdentityOf(src + "x.txt"));
}

std::string touched;

// WM_APP moves the access time of the file `touched` names.
LRESULT CALLBACK AccessTouched(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message != WM_APP) return DefWindowProcA(window, message, w, l);
  HANDLE file = CreateFileA(touched.c_str(), FILE_WRITE_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME accessed;
  GetSystemTimeAsFileTime(&accessed);
  accessed.dwHighDateTime += 1;  // 7 minutes on: unlike any time the file had
  SetFileTime(file, nullptr, &accessed, nullptr);
  CloseHandle(file);
  return 0;
}

// Messages are pumped between the looks at the two names; a message there
// stands in for another program reading the file at that moment.
TEST_F(LinkTest, AnAccessBetweenTheLooksAtTheTwoNamesLeavesTheLinkAlone) {
  touched = src + "x.txt";
  WriteFileBytes(touched, "same");
  Work({"x.txt"});
  WNDCLASSA type = {};
  type.lpszClassName = "LinkTestReader";
  type.lpfnWndProc = AccessTouched;
  RegisterClassA(&type);
  HWND reader = CreateWindowA(type.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(PostMessageA(reader, WM_APP, 0, 0));
  EXPECT_TRUE(kavrel::IsUnchangedLink(src + "x.txt", bak + "x.txt"));
  MSG left;
  EXPECT_FALSE(PeekMessageA(&left, reader, WM_APP, WM_APP, PM_NOREMOVE));  // it came between the looks
  DestroyWindow(reader);
  EXPECT_TRUE(reports.Lines().empty());
}

TEST_F(LinkTest, TheFiftiethOldNameIsTheLastAndNothingIsEverOverwritten) {
  WriteFileBytes(src + "x.txt", "new");
  WriteFileBytes(bak + "x.txt", "entry");
  WriteFileBytes(bak + "x.txt.old", "old");
  for (int n = 1; n <= 49; ++n) WriteFileBytes(bak + "x.txt.old" + std::to_string(n), "old" + std::to_string(n));
  Work({"x.txt"});
  EXPECT_EQ(ReadFileBytes(bak + "x.txt.old50"), "entry");
  EXPECT_EQ(kavrel::Counters().linked, 1);

  // Every name is taken now: the rename fails, on every later check.
  DeleteFileA((src + "x.txt").c_str());
  WriteFileBytes(src + "x.txt", "newer");
  for (int check = 1; check <= 2; ++check) {
    Work({"x.txt"});
    EXPECT_EQ(kavrel::Counters().linked, 1);
    EXPECT_EQ(reports.Lines().size(), static_cast<size_t>(check));
    EXPECT_EQ(reports.Lines().back(), " >> 文件更名失败，请检查文件：" + bak + "x.txt");
  }
  EXPECT_EQ(ReadFileBytes(bak + "x.txt"), "new");
  EXPECT_EQ(ReadFileBytes(bak + "x.txt.old50"), "entry");
  EXPECT_EQ(ReadFileBytes(bak + "x.txt.old"), "old");
  EXPECT_FALSE(Exists(bak + "x.txt.old51"));
  EXPECT_EQ(kavrel::Counters().failed, 2);  // once on each check
}

// A folder where a file's entry goes is the backup of a folder the file
// replaced: superseded like an older file.
TEST_F(LinkTest, AFolderInTheEntrysPlaceIsMovedAsideAndAnUnreadableSourceCounted) {
  WriteFileBytes(src + "a.txt", "a");
  CreateDirectoryA((bak + "a.txt").c_str(), nullptr);
  WriteFileBytes(bak + "a.txt\\in.txt", "in");
  Work({"a.txt"});
  EXPECT_EQ(IdentityOf(bak + "a.txt"), IdentityOf(src + "a.txt"));
  EXPECT_EQ(ReadFileBytes(bak + "a.txt.old\\in.txt"), "in");
  EXPECT_TRUE(reports.Lines().empty());

  // An entry with two names whose source has become a directory since the
  // scan; the source is listed as on disk and named as its entry is.
  CreateDirectoryA((src + "B.TXT").c_str(), nullptr);
  WriteFileBytes(scratch / "other.txt", "other");
  ASSERT_TRUE(CreateHardLinkA((bak + "b.txt").c_str(), (scratch / "other.txt").c_str(), nullptr));
  Work({"B.TXT"});
  EXPECT_EQ(reports.Lines(), std::vector<std::string>{" >> 文件读取失败，请检查文件：" + src + "b.txt"});
  EXPECT_FALSE(Exists(bak + "b.txt.old"));
  EXPECT_EQ(ReadFileBytes(bak + "b.txt"), "other");
  EXPECT_EQ(kavrel::Counters().linked, 1);
  EXPECT_EQ(kavrel::Counters().failed, 1);
}

TEST_F(LinkTest, AnEntryThatCannotBeMovedAsideIsReportedAndKeptAsItIs) {
  WriteFileBytes(src + "x.txt", "new");
  WriteFileBytes(bak + "x.txt", "entry");  // a single link: to be replaced
  HANDLE held = CreateFileA((bak + "x.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Work({"x.txt"});
  CloseHandle(held);
  EXPECT_EQ(reports.Lines(), std::vector<std::string>{" >> 文件更名失败，请检查文件：" + bak + "x.txt"});
  EXPECT_EQ(ReadFileBytes(bak + "x.txt"), "entry");
  EXPECT_FALSE(Exists(bak + "x.txt.old"));
  EXPECT_EQ(kavrel::Counters().linked, 0);
}

// A source removed since the scan is no file left out, whatever call finds it
// gone; one that is there and cannot be linked is, after its pause, and so is
// one whose folder is no longer reached.
TEST_F(LinkTest, ASourceGoneSinceTheScanIsSkippedAndAFailedLinkCounted) {
  struct Case {
    const char* name;
    bool counted;
  };
  const Case cases[] = {
      {"gone.txt", false},      // its entry, a single link, is kept as it is
      {"shared.txt", false},    // its entry has a second name elsewhere
      {"Sub\\none.txt", true},   // its folder went too: nothing tells that from a folder not reached
      {"Real\\kept.txt", true},  // there, but no mirror folder to link into
  };
  WriteFileBytes(bak + "gone.txt", "previous");
  WriteFileBytes(scratch / "other.txt", "other");
  ASSERT_TRUE(CreateHardLinkA((bak + "shared.txt").c_str(), (scratch / "other.txt").c_str(), nullptr));
  CreateDirectoryA((src + "Real").c_str(), nullptr);
  WriteFileBytes(src + "Real\\kept.txt", "kept");
  kavrel::Counters().linkPauseMs = 300;
  const ULONGLONG start = GetTickCount64();
  std::vector<std::string> names, expected;
  for (const Case& c : cases) {
    names.push_back(c.name);
    expected.push_back(c.counted ? " >> 硬链接创建失败，请检查文件或分区容量：" + bak + c.name
                                 : " >> 文件已不存在，已跳过：" + src + c.name);
  }
  Work(names);
  EXPECT_GE(GetTickCount64() - start, 580u);  // the two links tried
  EXPECT_EQ(reports.Lines(), expected);
  EXPECT_EQ(ReadFileBytes(bak + "gone.txt"), "previous");
  EXPECT_FALSE(Exists(bak + "gone.txt.old"));
  EXPECT_EQ(ReadFileBytes(bak + "shared.txt"), "other");
  EXPECT_EQ(kavrel::Counters().checked, 4);
  EXPECT_EQ(kavrel::Counters().linked, 0);
  EXPECT_EQ(kavrel::Counters().failed, 2);
}

// Needs a drive R: that goes when its folder Q:\r is renamed (a stick pulled
// during the check): tests/e2e/drive_root_scan.sh maps both and runs this
// case alone. The files still listed, and their folders, are left out.
TEST_F(LinkTest, TheFilesOfADriveThatWentAwayAreLeftOutNotGone) {
  if (GetFileAttributesA("Q:\\r") == INVALID_FILE_ATTRIBUTES || GetFileAttributesA("R:\\") == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no drive R: in Q:\\r";
  src = "R:\\src\\";
  bak = "R:\\src_backupx\\";
  kavrel::Counters().backupDir = bak;
  for (const std::string& dir : {src, src + "Sub", bak, bak + "Sub"}) CreateDirectoryA(dir.c_str(), nullptr);
  for (const char* name : {"a.txt", "b.txt", "Sub\\c.txt"}) WriteFileBytes(src + name, name);
  Work({"a.txt"});
  ASSERT_TRUE(MoveFileA("Q:\\r", "Q:\\r.gone"));
  Work({"b.txt", "Sub\\c.txt"});
  std::vector<std::string> files;
  kavrel::FindFiles(src + "Sub", "*.*", files);
  ASSERT_TRUE(MoveFileA("Q:\\r.gone", "Q:\\r"));
  EXPECT_EQ(reports.Lines(), (std::vector<std::string>{" >> 硬链接创建失败，请检查文件或分区容量：" + bak + "b.txt",
                                                       " >> 硬链接创建失败，请检查文件或分区容量：" + bak + "Sub\\c.txt",
                                                       " >> 跳过非法目录：" + src + "Sub"}));
  EXPECT_EQ(kavrel::Counters().linked, 1);
  EXPECT_EQ(kavrel::Counters().failed, 3);
}

DWORD WINAPI WorkOnSlotZero(LPVOID prefix) {
  kavrel::BackupWorker(kavrel::Slot(0).fileList, kavrel::Slot(0).running,
                       static_cast<int>(reinterpret_cast<intptr_t>(prefix)));
  return 0;
}

TEST_F(LinkTest, AStopLetsTheWorkerFinishTheFileInHandAndCountsTheNextOne) {
  std::vector<std::string>& list = kavrel::Slot(0).fileList;
  list.clear();
  for (const char* n : {"1.txt", "2.txt", "3.txt"}) {
    WriteFileBytes(src + n, n);
    list.push_back(src + n);
  }
  kavrel::Counters().linkPauseMs = 600;
  HANDLE worker = CreateThread(nullptr, 0, WorkOnSlotZero, reinterpret_cast<LPVOID>(intptr_t(src.size())), 0, nullptr);
  Sleep(200);  // inside the first file's pause
  kavrel::Counters().stop = 1;
  ASSERT_EQ(WaitForSingleObject(worker, testing_support::kHangBoundMs), WAIT_OBJECT_0);
  CloseHandle(worker);
  list.clear();
  EXPECT_EQ(kavrel::Counters().linked, 1);
  EXPECT_EQ(kavrel::Counters().checked, 2);
  EXPECT_TRUE(Exists(bak + "1.txt"));
  EXPECT_FALSE(Exists(bak + "2.txt"));
  EXPECT_EQ(kavrel::Slot(0).running, 0);
}

}  // namespace
