#include <gtest/gtest.h>

#include "base/gbk_text.h"
#include "backup/check/path_rules.h"
#include "shelltool/folder_dialog.h"

namespace {

using namespace kavrel;
using shell::IsSameFolder;
using shell::TrimBlanks;

const std::string kSuffix = "_backupx\\";
// "獈" is 0xAB 0x41: its second byte is the letter A.
const std::string kTrailA = "\xAB\x41";

TEST(FindSubstring, FindsAsciiCaseBlindAndOnlyOnCharacterBoundaries) {
  EXPECT_EQ(FindSubstring("D:\\Data\\", "data", 1), 4);
  EXPECT_EQ(FindSubstring("D:\\x\\SYSTEM volume INFORMATION\\", "System Volume Information", 1), 6);
  EXPECT_EQ(FindSubstring("D:\\" + kTrailA + "\\", "a", 1), -1);
  EXPECT_EQ(FindSubstring("D:\\" + kTrailA + "a", "A", 1), 6);
  // A second byte of the part compares exactly even where a letter would match case-blind.
  EXPECT_EQ(FindSubstring("\xAB\x61", kTrailA, 1), -1);
  EXPECT_EQ(FindSubstring("x" + kTrailA, kTrailA, 1), 2);
  EXPECT_EQ(FindSubstring("监控目录$", "$", 1), 9);
}

TEST(FindSubstring, HonoursStartAndEmptyInputs) {
  EXPECT_EQ(FindSubstring("abcabc", "abc", 2), 4);
  EXPECT_EQ(FindSubstring("abcabc", "abc", 0), 1);
  EXPECT_EQ(FindSubstring("abc", "abcd", 1), -1);
  EXPECT_EQ(FindSubstring("abc", "c", 4), -1);
  EXPECT_EQ(FindSubstring("", "a", 1), -1);
  EXPECT_EQ(FindSubstring("abc", "", 1), -1);
}

TEST(CheckPathConflict, TellsChildAndParentOfListedDirectories) {
  const std::vector<std::string> list = {"E:\\x\\", "D:\\a\\"};
  std::string entry;
  std::string d = "D:\\a\\b";
  EXPECT_EQ(CheckPathConflict(list, d, "", entry), 1);
  EXPECT_EQ(d, "D:\\a\\b\\");  // the caller's text gets its backslash
  EXPECT_EQ(entry, "D:\\a\\");
  d = "D:\\a\\";
  EXPECT_EQ(CheckPathConflict(list, d, "", entry), 1);
  d = "D:\\";
  entry.clear();
  EXPECT_EQ(CheckPathConflict(list, d, "", entry), 2);
  EXPECT_EQ(entry, "D:\\a\\");
  d = "D:\\ab\\";
  entry.clear();
  EXPECT_EQ(CheckPathConflict(list, d, "", entry), 0);
  EXPECT_EQ(entry, "");
  d = "d:\\a\\";  // case counts
  EXPECT_EQ(CheckPathConflict(list, d, "", entry), 0);
}

TEST(CheckPathConflict, SkipsTheEditedProjectsOwnEntryOnly) {
  const std::vector<std::string> list = {"D:\\a\\", "D:\\c\\"};
  std::string entry;
  std::string d = "D:\\a\\";
  EXPECT_EQ(CheckPathConflict(list, d, "D:\\a\\", entry), 0);
  d = "D:\\a\\";
  EXPECT_EQ(CheckPathConflict(list, d, "D:\\c\\", entry), 1);
  d = "D:\\";
  EXPECT_EQ(CheckPathConflict(list, d, "D:\\a\\", entry), 2);
  EXPECT_EQ(entry, "D:\\c\\");
}

TEST(PathRules, MonitorDirRulesAreTestedInTheirOrder) {
  EXPECT_EQ(MonitorDirRefusal("F:\\$x%\\", "FAT32", kSuffix),
            "Windows系统硬链接不支持FAT32分区，仅支持NTFS格式，请重新选择。");
  // An unreadable volume gives blanks, which are not NTFS either.
  EXPECT_NE(MonitorDirRefusal("F:\\", std::string(255, ' '), kSuffix), "");
  EXPECT_EQ(MonitorDirRefusal("D:\\$data\\%\\", "NTFS", kSuffix), "当前目录(D:\\$data\\%\\)含有特殊字符$，请重新选择。");
  EXPECT_EQ(MonitorDirRefusal("D:\\50%\\", "NTFS", kSuffix), "当前目录(D:\\50%\\)含有特殊字符%，请重新选择。");
  EXPECT_EQ(MonitorDirRefusal("D:\\system volume information\\x_backupx\\", "NTFS", kSuffix),
            "当前目录System Volume Information为系统卷标信息目录，请重新选择。");
  EXPECT_EQ(MonitorDirRefusal("D:\\P_BACKUPX\\", "NTFS", kSuffix),
            "当前目录(D:\\P_BACKUPX\\)含有保留字_backupx\\，请重新选择。");
  EXPECT_EQ(MonitorDirRefusal("D:\\照片\\", "NTFS", kSuffix), "");
  EXPECT_EQ(MonitorDirRefusal("D:\\", "NTFS", kSuffix), "");
}

TEST(PathRules, BackupDirRulesStartWithTheSameVolume) {
  EXPECT_EQ(BackupDirRefusal("E:\\$\\", false, kSuffix), "WINDOWS硬链接备份不支持跨区，请选择与监控目录相同的盘区。");
  EXPECT_EQ(BackupDirRefusal("D:\\$\\", true, kSuffix), "当前目录(D:\\$\\)含有特殊字符$，请重新选择。");
  EXPECT_EQ(BackupDirRefusal("D:\\a_Backupx\\", true, kSuffix),
            "当前目录(D:\\a_Backupx\\)含有保留字_backupx\\，请重新选择。");
  EXPECT_EQ(BackupDirRefusal("D:\\bk\\", true, kSuffix), "");
}

TEST(PathRules, NestingMessagesNameBothDirectories) {
  EXPECT_EQ(NestingRefusal(1, "D:\\a\\b\\", "D:\\a\\"),
            "当前目录(D:\\a\\b\\)与已添加目录(D:\\a\\)相同或为其子目录，将会造成死循环，请重新选择。");
  EXPECT_EQ(NestingRefusal(2, "D:\\", "D:\\a\\"),
            "当前目录(D:\\)与已添加目录(D:\\a\\)相同或为其父目录，将会造成死循环，请重新选择。");
}

TEST(PathRules, GeneratedBackupDirectoryNames) {
  EXPECT_EQ(GeneratedBackupDir("D:\\", kSuffix), "D:\\Dp_backupx\\");
  EXPECT_EQ(GeneratedBackupDir("D:\\data\\photos\\", kSuffix), "D:\\photos_backupx\\");
  EXPECT_EQ(GeneratedBackupDir("D:\\数据\\照片\\", kSuffix), "D:\\照片_backupx\\");
  EXPECT_EQ(FinalBackupDir("D:\\bk\\", "D:\\photos\\", kSuffix), "D:\\bk\\photos_backupx\\");
  EXPECT_EQ(FinalBackupDir("D:\\bk\\", "D:\\", kSuffix), "D:\\bk\\Dp_backupx\\");
  EXPECT_EQ(FinalBackupDir("D:\\", "D:\\photos\\", kSuffix), "D:\\Dp_backupx\\");
  EXPECT_EQ(FinalBackupDir("D:\\", "D:\\", kSuffix), "D:\\Dp_backupx\\");
}

TEST(PathRules, DirectoryTitleAndBackslashRespectDoubleByteCharacters) {
  // 0x81 0x5C is one character whose second byte is a backslash, not a separator.
  const std::string trailBackslash = "\x81\x5C";
  EXPECT_EQ(GetDirectoryTitle("D:\\data\\photos\\"), "photos");
  EXPECT_EQ(GetDirectoryTitle("D:\\a\\" + trailBackslash + "\\"), trailBackslash);
  EXPECT_EQ(gbk::WithTrailingBackslash("D:\\" + trailBackslash), "D:\\" + trailBackslash + "\\");
  EXPECT_EQ(gbk::WithTrailingBackslash("D:\\a\\"), "D:\\a\\");
  EXPECT_EQ(gbk::WithTrailingBackslash(""), "\\");
}

// 0x80 ("€" in code page 936) is a character of its own, so the byte after
// it is never taken as its second half.
TEST(PathRules, TheEuroByteStandsAloneBeforeSeparatorsAndReservedCharacters) {
  const std::string euroDir = "D:\\\x80\\";
  EXPECT_EQ(GetDirectoryTitle(euroDir), "\x80");
  EXPECT_EQ(GeneratedBackupDir(euroDir, kSuffix), "D:\\\x80_backupx\\");
  EXPECT_EQ(FinalBackupDir("D:\\bk\\", euroDir, kSuffix), "D:\\bk\\\x80_backupx\\");
  EXPECT_EQ(FindSubstring("D:\\\x80$\\", "$", 1), 5);
  EXPECT_EQ(MonitorDirRefusal("D:\\\x80%\\", "NTFS", kSuffix), "当前目录(D:\\\x80%\\)含有特殊字符%，请重新选择。");
  EXPECT_EQ(BackupDirRefusal("D:\\\x80$\\", true, kSuffix), "当前目录(D:\\\x80$\\)含有特殊字符$，请重新选择。");
}

// Paths compare as the system resolves them; the scanner's own names decide
// what it passes over.
TEST(ProjectConflict, ABackupDirectoryMeetingItsOwnMonitoredTreeIsRefused) {
  std::string deep = "D:\\";
  while (deep.size() < 270) deep += "深层\\";
  const struct {
    const char* why;
    std::string monitorDir, backupDir;
    ProjectFault fault;
  } kCases[] = {
      {"equal", "D:\\data\\", "D:\\data\\", ProjectFault::kBackupInMonitored},
      {"equal but for case", "D:\\Data\\", "d:\\DATA\\", ProjectFault::kBackupInMonitored},
      {"trailing dot and blank", "D:\\data\\", "D:\\data. \\", ProjectFault::kBackupInMonitored},
      {"slashes, doubled and dot names", "D:\\data\\", "D:/./data//", ProjectFault::kBackupInMonitored},
      {"up and back", "D:\\data\\", "D:\\x\\..\\data\\", ProjectFault::kBackupInMonitored},
      {"holds it", "D:\\nest\\inner\\", "D:\\nest\\", ProjectFault::kBackupInMonitored},
      {"inside, walked", "D:\\data\\", "D:\\data\\bk\\", ProjectFault::kBackupInMonitored},
      {"inside, the reserved word in capitals is walked", "D:\\data\\", "D:\\data\\P_BACKUPX\\",
       ProjectFault::kBackupInMonitored},
      {"inside a passed-over folder", "D:\\data\\", "D:\\data\\a\\p_backupx\\b\\", ProjectFault::kNone},
      {"generated below a drive root", "D:\\", "D:\\Dp_backupx\\", ProjectFault::kNone},
      {"a name that begins alike", "D:\\data\\", "D:\\datab\\", ProjectFault::kNone},
      {"the other way up", "D:\\x\\..\\data\\", "D:\\x\\", ProjectFault::kNone},
      // 0x955C is one character: its second byte ends no folder.
      {"a trail byte 0x5C", "D:\\\x95\x5C\\", "D:\\\x95\x5C" "bk\\", ProjectFault::kNone},
      {"0x80 before a separator", "D:\\\x80\\", "D:\\\x80\\bk\\", ProjectFault::kBackupInMonitored},
      // 0xAB41 and 0xAB61 differ in a second byte, which has no case.
      {"trail bytes differing as letters would", "D:\\\xAB\x41\\", "D:\\\xAB\x61\\", ProjectFault::kNone},
      {"past 260 bytes", deep, deep + "bk\\", ProjectFault::kBackupInMonitored},
      {"a share", "\\\\srv\\share\\m\\", "\\\\SRV\\Share\\m\\bk\\", ProjectFault::kBackupInMonitored},
      {"another share", "\\\\srv\\share\\m\\", "\\\\srv\\other\\m\\", ProjectFault::kNone},
      {"relative", "D:\\data\\", "bk\\", ProjectFault::kNotFullPath},
      {"rooted on no drive", "D:\\data\\", "\\data\\", ProjectFault::kNotFullPath},
      {"drive-relative", "D:\\data\\", "D:data\\", ProjectFault::kNotFullPath},
      {"a device path", "D:\\data\\", "\\\\?\\D:\\data\\", ProjectFault::kNotFullPath},
      {"a relative monitored directory", "data\\", "D:\\bk\\", ProjectFault::kNotFullPath},
  };
  for (const auto& c : kCases) {
    const ProjectConflict conflict = FindProjectConflict({{c.monitorDir, c.backupDir}}, 0);
    EXPECT_EQ(conflict.fault, c.fault) << c.why;
  }
}

TEST(ProjectConflict, OfTwoProjectsWhoseBackupsMeetTheEarlierKeepsItsOwn) {
  const ProjectDirs first{"D:\\p1\\docs\\", "D:\\docs_backupx\\"};
  const struct {
    const char* why;
    std::string backupDir;
    bool shared;
  } kCases[] = {
      {"the same", "D:\\docs_backupx\\", true},
      {"the same but for case", "d:\\DOCS_BACKUPX\\", true},
      {"inside it", "D:\\docs_backupx\\sub\\", true},
      {"holding it", "D:\\", true},
      {"beside it", "D:\\docs_backupx2\\", false},
  };
  for (const auto& c : kCases) {
    const std::vector<ProjectDirs> projects = {first, {"E:\\p2\\docs\\", c.backupDir}};
    const ProjectConflict later = FindProjectConflict(projects, 1);
    EXPECT_EQ(later.fault, c.shared ? ProjectFault::kSharedBackup : ProjectFault::kNone) << c.why;
    EXPECT_EQ(later.other, c.shared ? first.backupDir : "") << c.why;
    EXPECT_EQ(FindProjectConflict(projects, 0).fault, ProjectFault::kNone) << c.why;
  }
  // An earlier backup directory whose place cannot be told takes nothing from a later one.
  EXPECT_EQ(FindProjectConflict({{"D:\\a\\", "bk\\"}, {"D:\\b\\", "D:\\bk\\"}}, 1).fault, ProjectFault::kNone);
}

TEST(FolderDialog, TrimsHalfAndFullWidthBlanks) {
  EXPECT_EQ(TrimBlanks(std::string(512, ' ')), "");
  EXPECT_EQ(TrimBlanks("  D:\\a  "), "D:\\a");
  EXPECT_EQ(TrimBlanks("　D:\\照片　 "), "D:\\照片");
}

// The dialog's report of its selection against the start folder asked for.
TEST(FolderDialog, AReportedPathNamesTheStartFolderWhateverItsCaseAndFinalBackslash) {
  struct Case {
    const char* reported;
    const char* start;
    bool same;
  };
  const Case cases[] = {
      {"C:\\kvt\\起点", "C:\\kvt\\起点", true},
      {"C:\\kvt\\Photos", "c:\\KVT\\photos\\", true},
      {"C:\\", "C:\\", true},
      {"C:\\", "C:", true},
      {"C:\\users\\root\\Desktop", "C:\\kvt\\起点", false},
      {"C:\\kvt", "C:\\kvt\\起点", false},
      {"D:\\\x81\x5C", "D:\\\x81\x5C\\", true},  // a double-byte character whose second byte is a backslash
      {"D:\\\x81\x5C", "D:\\\x81", false},
      {"D:\\照片", "D:\\照", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSameFolder(c.reported, c.start), c.same) << c.reported << " / " << c.start;
}

}  // namespace
