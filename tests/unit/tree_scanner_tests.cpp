#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "backup/check/check_state.h"
#include "backup/check/system_paths.h"
#include "backup/check/tree_scanner.h"
#include "base/utilities.h"
#include "support/check_fakes.h"
#include "support/test_support.h"

namespace {

using kavrel::CheckOptions;
using kavrel::TreeScanner;
using testing_support::FakeCheckWindow;
using testing_support::ReportRecorder;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

void MakeDir(const std::string& path) { ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path; }

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// A monitored tree "src" and a backup root "bak\" in one scratch directory.
class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::EnsureReportLock();
    kavrel::Counters().stop = 0;
    src = scratch / "src";
    backupRoot = scratch / "bak\\";
    MakeDir(src);
    MakeDir(backupRoot);
  }
  void TearDown() override { kavrel::Counters().stop = 0; }

  std::vector<std::string> Scan(const CheckOptions& options) {
    std::string scanDir = src;
    std::vector<std::string> files;
    const int total = TreeScanner(options, window).EnumerateProjectFiles(scanDir, files, backupRoot, 4);
    EXPECT_EQ(total, static_cast<int>(files.size()));
    return files;
  }
  void File(const std::string& relative, const std::string& content = "data") {
    WriteFileBytes(src + "\\" + relative, content);
  }
  void Dir(const std::string& relative) { MakeDir(src + "\\" + relative); }
  bool Mirrored(const std::string& relative) { return IsDir(backupRoot + relative); }
  static bool IsDir(const std::string& path) {
    DWORD a = GetFileAttributesW(WidePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }

  ScratchDir scratch;
  std::string src, backupRoot;
  FakeCheckWindow window;
  ReportRecorder reports;
};

const CheckOptions kNoOptions{1, false, false, false};
const CheckOptions kAllOptions{1, true, true, true};

TEST_F(ScanTest, TopDirectoryWithFilesOnlyListsThemAndCreatesNothing) {
  File("A.TXT");
  File("b.txt");
  EXPECT_EQ(Sorted(Scan(kAllOptions)), (std::vector<std::string>{src + "\\A.TXT", src + "\\b.txt"}));
  EXPECT_EQ(window.statusTexts, std::vector<std::string>{" 枚举文件"});
  EXPECT_EQ(window.fileCountTexts, std::vector<std::string>{"2"});
  EXPECT_EQ(window.lastRowIndex, 4);
  EXPECT_FALSE(kavrel::HasSubdirectories(backupRoot));
  EXPECT_TRUE(reports.Lines().empty());
}

TEST_F(ScanTest, FixedRulesPassOverOrReportTheirDirectoriesWithTheirSubtrees) {
  // Names differing in case only cannot stand side by side, so the
  // lower-case one lives a level down.
  for (const char* name : {".git", "photos_backupx", "$tmp", "%x", "System Volume Information", "Keep",
                           "Keep\\system volume information"}) {
    Dir(name);
    File(std::string(name) + "\\inner.txt");
    Dir(std::string(name) + "\\deep");
    File(std::string(name) + "\\deep\\deeper.txt");
  }
  const std::string keep = src + "\\Keep\\";
  EXPECT_EQ(Sorted(Scan(kAllOptions)),
            Sorted({keep + "inner.txt", keep + "deep\\deeper.txt", keep + "system volume information\\inner.txt",
                    keep + "system volume information\\deep\\deeper.txt"}));
  EXPECT_EQ(Sorted(reports.Lines()),
            Sorted({" >> 跳过特定目录：" + src + "\\$tmp", " >> 跳过特定目录：" + src + "\\%x",
                    " >> 跳过特定目录：" + src + "\\System Volume Information"}));
  EXPECT_TRUE(Mirrored("Keep\\deep"));
  EXPECT_TRUE(Mirrored("Keep\\system volume information\\deep"));
  for (const char* skipped : {".git", "photos_backupx", "$tmp", "%x", "System Volume Information"})
    EXPECT_FALSE(Mirrored(skipped)) << skipped;
  // The file count grows directory by directory and ends at the total.
  ASSERT_EQ(window.fileCountTexts.size(), 4u);
  EXPECT_EQ(window.fileCountTexts.back(), "4");
}

TEST_F(ScanTest, HiddenFilesAndDirectoriesFollowTheSkipHiddenOption) {
  File("shown.txt");
  File("Secret.TXT");
  Dir("Hidden");
  File("Hidden\\in.txt");
  SetFileAttributesA((src + "\\Secret.TXT").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA((src + "\\Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);

  EXPECT_EQ(Scan({1, false, true, false}), std::vector<std::string>{src + "\\shown.txt"});
  // A report names a listed file as its backup does, in lower case.
  EXPECT_EQ(Sorted(reports.Lines()), Sorted({" >> 跳过隐藏属性文件：" + src + "\\secret.txt",
                                             " >> 跳过隐藏属性目录：" + src + "\\Hidden"}));
  EXPECT_FALSE(Mirrored("Hidden"));

  EXPECT_EQ(Sorted(Scan(kNoOptions)),
            Sorted({src + "\\shown.txt", src + "\\Secret.TXT", src + "\\Hidden\\in.txt"}));
  EXPECT_TRUE(Mirrored("Hidden"));
}

// Names whose full paths pass the ANSI path limit are walked, read and
// mirrored like any other, whatever the options.
TEST_F(ScanTest, PathsPastTheAnsiLimitAreListedWithEveryOption) {
  const std::string dir = src + "\\" + std::string(MAX_PATH - src.size(), 'd');
  const std::string file = src + "\\" + std::string(MAX_PATH - src.size() + 5, 'n');
  ASSERT_TRUE(CreateDirectoryW(WidePath(dir).c_str(), nullptr));
  for (const std::string& path : {file, dir + "\\in.txt"}) {
    HANDLE created = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(created, "x", 1, &written, nullptr);
    CloseHandle(created);
  }
  ASSERT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
  for (const CheckOptions& options : {kNoOptions, kAllOptions}) {
    EXPECT_EQ(Sorted(Scan(options)), Sorted({file, dir + "\\in.txt"}));
    EXPECT_TRUE(Mirrored(dir.substr(src.size() + 1)));
  }
  EXPECT_TRUE(reports.Lines().empty());
}

TEST_F(ScanTest, SkipEmptyDropsEmptyFilesAndDirectoriesThatMeasureNothing) {
  File("full.txt");
  File("Empty.TXT", "");
  Dir("Hollow");
  File("Hollow\\zero.txt", "");
  Dir("Hollow\\Inner");
  File("Hollow\\Inner\\zero2.txt", "");
  Dir("Kept");
  File("Kept\\one.txt");

  EXPECT_EQ(Sorted(Scan(kAllOptions)), Sorted({src + "\\full.txt", src + "\\Kept\\one.txt"}));
  EXPECT_EQ(Sorted(reports.Lines()), Sorted({" >> 跳过空文件(或读取失败)：" + src + "\\empty.txt",
                                             " >> 跳过空目录：" + src + "\\Hollow"}));
  EXPECT_FALSE(Mirrored("Hollow"));

  EXPECT_EQ(Scan(kNoOptions).size(), 5u);
  EXPECT_TRUE(Mirrored("Hollow\\Inner"));
}

// Each name reaches its file as it is on disk; the link writer lower-cases
// the file names of the backup.
TEST_F(ScanTest, FilesAreListedAsOnDiskAndDirectoriesMirroredInTheirCase) {
  Dir("Data");
  Dir("Data\\Sub");
  File("Data\\Sub\\Report.DOC");
  File("Data\\Sub\\照片ABC.JPG");
  EXPECT_EQ(Sorted(Scan(kAllOptions)), Sorted({src + "\\Data\\Sub\\Report.DOC", src + "\\Data\\Sub\\照片ABC.JPG"}));
  EXPECT_TRUE(Mirrored("Data\\Sub"));
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((backupRoot + "Data").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  EXPECT_STREQ(data.cFileName, "Data");
}

TEST_F(ScanTest, WalkListsEachLevelsChildrenTogetherThenEachSubtreeInTurn) {
  for (const char* d : {"A", "A\\A1", "A\\A2", "A\\A1\\X", "B", "B\\B1"}) Dir(d);
  std::string directory = src;
  std::vector<std::string> list;
  EXPECT_EQ(TreeScanner(kNoOptions, window).EnumerateSubdirectories(directory, list), 6);
  EXPECT_EQ(directory, src + "\\");
  ASSERT_EQ(list.size(), 6u);
  // The two top children first, then the subtree of the first, then of the second.
  EXPECT_EQ(Sorted({list[0], list[1]}), Sorted({src + "\\A", src + "\\B"}));
  const std::string first = list[0];
  std::vector<std::string> rest(list.begin() + 2, list.end());
  const size_t firstSubtree = first == src + "\\A" ? 3 : 1;
  for (size_t i = 0; i < rest.size(); ++i)
    EXPECT_EQ(rest[i].compare(0, first.size() + 1, first + "\\") == 0, i < firstSubtree) << rest[i];
  // Parents always before their children.
  for (size_t i = 0; i < list.size(); ++i)
    for (size_t j = i + 1; j < list.size(); ++j)
      EXPECT_NE(list[i].compare(0, list[j].size() + 1, list[j] + "\\"), 0) << list[j] << " after " << list[i];
}

// The file in the way is the backup of a file the folder replaced.
TEST_F(ScanTest, AFileWhereAMirrorGoesIsMovedAsideAndOneThatCannotBeIsReported) {
  Dir("Blocked");
  File("Blocked\\f.txt");
  WriteFileBytes(backupRoot + "Blocked", "the file before");
  EXPECT_EQ(Scan(kAllOptions), std::vector<std::string>{src + "\\Blocked\\f.txt"});
  EXPECT_TRUE(Mirrored("Blocked"));
  EXPECT_EQ(testing_support::ReadFileBytes(backupRoot + "Blocked.old"), "the file before");
  EXPECT_TRUE(reports.Lines().empty());

  ASSERT_TRUE(RemoveDirectoryA((backupRoot + "Blocked").c_str()));
  WriteFileBytes(backupRoot + "Blocked", "held open");
  HANDLE held = CreateFileA((backupRoot + "Blocked").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(Scan(kAllOptions), std::vector<std::string>{src + "\\Blocked\\f.txt"});
  CloseHandle(held);
  EXPECT_EQ(reports.Lines(), (std::vector<std::string>{" >> 文件更名失败，请检查文件：" + backupRoot + "Blocked",
                                                       " >> 创建目录：" + backupRoot + "Blocked时发生错误，请检查。"}));
}

TEST_F(ScanTest, AStopBeforeTheWalkKeepsTheTopFilesOnly) {
  File("top.txt");
  Dir("Sub");
  File("Sub\\below.txt");
  kavrel::Counters().stop = 1;
  EXPECT_EQ(Scan(kNoOptions), std::vector<std::string>{src + "\\top.txt"});
  EXPECT_TRUE(window.fileCountTexts.empty());
  EXPECT_FALSE(Mirrored("Sub"));
  // A filter pass that sees the stop drops the files it has not looked at.
  EXPECT_TRUE(Scan(kAllOptions).empty());
}

// Needs a drive Q: of its own: tests/e2e/drive_root_scan.sh maps one to a
// scratch directory and runs this case alone.
TEST_F(ScanTest, ADriveRootIsWalkedAsTheRoot) {
  if (GetFileAttributesA("Q:\\") == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no drive Q:";
  WriteFileBytes("Q:\\Top.TXT", "top");
  MakeDir("Q:\\Sub");
  WriteFileBytes("Q:\\Sub\\In.txt", "in");
  std::string scanDir = "Q:\\";
  std::vector<std::string> files;
  const int total = TreeScanner(kNoOptions, window).EnumerateProjectFiles(scanDir, files, backupRoot, 0);
  DeleteFileA("Q:\\Sub\\In.txt");
  RemoveDirectoryA("Q:\\Sub");
  DeleteFileA("Q:\\Top.TXT");
  EXPECT_EQ(total, 2);
  EXPECT_EQ(scanDir, "Q:\\");
  EXPECT_EQ(Sorted(files), Sorted({"Q:\\Top.TXT", "Q:\\Sub\\In.txt"}));
  EXPECT_TRUE(Mirrored("Sub"));
  EXPECT_FALSE(Mirrored("Q:"));
}

TEST(ScanHelpers, SizesSubdirectoriesSystemFoldersAndUnreadableFolders) {
  ScratchDir scratch;
  WriteFileBytes(scratch / "five.bin", "12345");
  EXPECT_EQ(kavrel::GetFileSize64(scratch / "five.bin"), 5);
  EXPECT_EQ(kavrel::GetFileSize64(scratch / "missing.bin"), -1);
  EXPECT_FALSE(kavrel::HasSubdirectories(scratch.path()));
  MakeDir(scratch / "d");
  EXPECT_TRUE(kavrel::HasSubdirectories(scratch / ""));
  EXPECT_TRUE(kavrel::HasSubdirectories(scratch.path().substr(0, scratch.path().size() - 1)));
  EXPECT_FALSE(kavrel::IsSystemFolder(""));
  EXPECT_FALSE(kavrel::IsSystemFolder(scratch / "d"));
  SetFileAttributesA((scratch / "d").c_str(), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(kavrel::IsSystemFolder(scratch / "d"));
  // A folder gone since the walk holds nothing; one no path reaches holds what is left out.
  testing_support::EnsureReportLock();
  ReportRecorder reports;
  std::vector<std::string> files;
  kavrel::Counters().failed = 0;
  EXPECT_EQ(kavrel::FindFiles(scratch / "gone", "*.*", files) + kavrel::FindFiles(scratch / "a?b", "*.*", files), 0);
  EXPECT_EQ(reports.Lines(), std::vector<std::string>{" >> 跳过非法目录：" + scratch / "a?b"});
  EXPECT_EQ(kavrel::Counters().failed, 1);
}

}  // namespace
