#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>

#include "backup/ui/directory_choosers.h"
#include "backup/check/path_rules.h"
#include "backup/check/system_paths.h"

namespace {

using namespace kavrel;

const std::string kSuffix = "_backupx\\";

// A user who picks the scripted folders and answers the scripted questions,
// on a machine described by the maps.
class ScriptedHost : public ChooserHost {
 public:
  std::deque<std::string> picks;
  std::deque<bool> answers;
  std::vector<std::string> events;  // "browse", "tell:...", "ask:...", "cancel"
  std::map<char, std::string> fileSystems = {{'C', "NTFS"}, {'D', "NTFS"}, {'E', "NTFS"}, {'F', "FAT32"}};
  std::string systemDir = "C:\\windows\\system32\\";
  std::set<std::string> systemFolders;
  std::map<std::string, int64_t> sizes;
  std::string monitorBox, backupBox, browseStart, browseTitle;
  bool backupButton = false, confirm = false;
  std::vector<ProjectDirs> otherProjects;

  std::string BrowseMonitorDir() override { return NextPick(); }
  std::string BrowseBackupDir(const std::string& start, const std::string& title) override {
    browseStart = start;
    browseTitle = title;
    return NextPick();
  }
  void Tell(const std::string& message) override { events.push_back("tell:" + message); }
  bool Ask(const std::string& question) override {
    events.push_back("ask:" + question);
    EXPECT_FALSE(answers.empty()) << "unexpected question " << question;
    if (answers.empty()) return false;
    bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  std::string FileSystemName(const std::string& root) override {
    auto it = fileSystems.find(static_cast<char>(toupper(static_cast<unsigned char>(root[0]))));
    return it == fileSystems.end() ? std::string(255, ' ') : it->second;
  }
  std::string SystemDirectory() override { return systemDir; }
  bool IsSystemFolder(const std::string& directory) override { return systemFolders.count(directory) != 0; }
  int64_t DirectorySize(const std::string& directory) override {
    auto it = sizes.find(directory);
    return it == sizes.end() ? -1 : it->second;
  }
  bool SameRoot(const std::string& a, const std::string& b) override {
    return !a.empty() && !b.empty() && toupper(static_cast<unsigned char>(a[0])) == toupper(static_cast<unsigned char>(b[0]));
  }
  std::string MonitorBox() override { return monitorBox; }
  void SetMonitorBox(const std::string& text) override { monitorBox = text; }
  void SetBackupBox(const std::string& text) override { backupBox = text; }
  void EnableBackupButton() override { backupButton = true; }
  void EnableConfirm() override { confirm = true; }
  void DisableConfirm() override { confirm = false; }
  std::vector<ProjectDirs> OtherProjects() override { return otherProjects; }
  void CancelEdit() override {
    events.push_back("cancel");
    monitorBox.clear();
    backupBox.clear();
  }

  int Browses() const { return static_cast<int>(std::count(events.begin(), events.end(), "browse")); }
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& e : events)
      if (e != "browse") out.push_back(e);
    return out;
  }

 private:
  std::string NextPick() {
    events.push_back("browse");
    EXPECT_FALSE(picks.empty()) << "the dialog opened once too often";
    if (picks.empty()) return std::string();
    std::string pick = picks.front();
    picks.pop_front();
    return pick;
  }
};

TEST(MonitorDirChooser, EachRefusalIsToldAndTheDialogOpensAgainUntilOneFits) {
  ScriptedHost host;
  host.picks = {"F:\\fat", "D:\\$x", "D:\\100%", "D:\\System Volume Information", "D:\\old_BACKUPX", "D:\\a\\b",
                "D:\\", "D:\\photos"};
  ChooseMonitorDir(host, {"E:\\z\\", "D:\\a\\"}, kSuffix);
  const std::vector<std::string> expected = {
      "tell:Windows系统硬链接不支持FAT32分区，仅支持NTFS格式，请重新选择。",
      "tell:当前目录(D:\\$x\\)含有特殊字符$，请重新选择。",
      "tell:当前目录(D:\\100%\\)含有特殊字符%，请重新选择。",
      "tell:当前目录System Volume Information为系统卷标信息目录，请重新选择。",
      "tell:当前目录(D:\\old_BACKUPX\\)含有保留字_backupx\\，请重新选择。",
      "tell:当前目录(D:\\a\\b\\)与已添加目录(D:\\a\\)相同或为其子目录，将会造成死循环，请重新选择。",
      "tell:当前目录(D:\\)与已添加目录(D:\\a\\)相同或为其父目录，将会造成死循环，请重新选择。",
  };
  EXPECT_EQ(host.Messages(), expected);
  EXPECT_EQ(host.Browses(), 8);
  EXPECT_EQ(host.monitorBox, "D:\\photos\\");
  EXPECT_EQ(host.backupBox, "D:\\photos_backupx\\");
  EXPECT_TRUE(host.backupButton);
  EXPECT_TRUE(host.confirm);
}

TEST(MonitorDirChooser, RefusalsChangeNeitherBoxNorButtons) {
  ScriptedHost host;
  host.monitorBox = "D:\\a\\";
  host.backupBox = "D:\\a_backupx\\";
  // The last pick is exactly the box's text, which ends the chooser.
  host.picks = {"D:\\$", "D:\\b\\c", "D:\\a\\"};
  ChooseMonitorDir(host, {"D:\\a\\", "D:\\b\\"}, kSuffix);
  EXPECT_EQ(host.Messages().size(), 2u);
  EXPECT_EQ(host.Browses(), 3);
  EXPECT_EQ(host.monitorBox, "D:\\a\\");
  EXPECT_EQ(host.backupBox, "D:\\a_backupx\\");
  EXPECT_FALSE(host.confirm);
  EXPECT_FALSE(host.backupButton);
}

TEST(MonitorDirChooser, DriveRootGivesLetterPBackup) {
  ScriptedHost host;
  host.picks = {"D:\\"};
  ChooseMonitorDir(host, {}, kSuffix);
  EXPECT_EQ(host.monitorBox, "D:\\");
  EXPECT_EQ(host.backupBox, "D:\\Dp_backupx\\");
  EXPECT_TRUE(host.Messages().empty());
}

TEST(MonitorDirChooser, TheEditedProjectsOwnEntryIsSkippedUntilAnotherIsAccepted) {
  const std::vector<std::string> list = {"D:\\a\\", "D:\\b\\"};
  ScriptedHost host;
  host.monitorBox = "D:\\a\\";
  host.picks = {"D:\\a"};  // the dialog gives no trailing backslash, so every rule runs
  ChooseMonitorDir(host, list, kSuffix);
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(host.monitorBox, "D:\\a\\");
  EXPECT_TRUE(host.confirm);

  host.picks = {"D:\\c", "D:\\a", "D:\\c\\"};
  ChooseMonitorDir(host, list, kSuffix);  // accepts D:\c\ ...
  ChooseMonitorDir(host, list, kSuffix);  // ... after which D:\a\ is tested like the others
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_NE(host.Messages()[0].find("与已添加目录(D:\\a\\)相同或为其子目录"), std::string::npos);
  EXPECT_EQ(host.monitorBox, "D:\\c\\");
}

TEST(MonitorDirChooser, CancelClosesThePanelOnlyWhenTheBoxHeldADirectory) {
  ScriptedHost empty;
  empty.picks = {""};
  ChooseMonitorDir(empty, {}, kSuffix);
  EXPECT_TRUE(empty.Messages().empty());  // two empty texts: nothing happens

  ScriptedHost holding;
  holding.monitorBox = "D:\\a\\";
  holding.picks = {""};
  ChooseMonitorDir(holding, {}, kSuffix);
  EXPECT_EQ(holding.Messages(), std::vector<std::string>{"cancel"});
}

TEST(MonitorDirChooser, AsksAboutTheSystemPartitionOnlyWhenBothAreOnDriveC) {
  const std::string partition =
      "ask:该目录位于系统所在分区，非常可能由于系统限制无法完整备份，并可能引发系统故障，你真的要冒此风险吗？";
  ScriptedHost host;
  host.picks = {"c:\\work", "C:\\work"};
  host.answers = {false, true};
  ChooseMonitorDir(host, {}, kSuffix);
  EXPECT_EQ(host.Messages(), (std::vector<std::string>{partition, partition}));
  EXPECT_EQ(host.monitorBox, "C:\\work\\");

  ScriptedHost systemOnD;
  systemOnD.systemDir = "D:\\Windows\\System32\\";
  systemOnD.picks = {"D:\\work"};
  ChooseMonitorDir(systemOnD, {}, kSuffix);
  EXPECT_TRUE(systemOnD.Messages().empty());
  EXPECT_EQ(systemOnD.monitorBox, "D:\\work\\");
}

TEST(MonitorDirChooser, AsksAboutSystemFoldersButNotAboutDriveRoots) {
  const std::string folder = "ask:该目录具有系统属性，有可能由于系统限制无法完整备份，你真的要继续吗？";
  ScriptedHost host;
  host.systemFolders = {"D:\\sys\\", "E:\\"};
  host.picks = {"D:\\sys", "E:\\"};
  host.answers = {false};
  ChooseMonitorDir(host, {}, kSuffix);
  EXPECT_EQ(host.Messages(), std::vector<std::string>{folder});
  EXPECT_EQ(host.monitorBox, "E:\\");
  EXPECT_EQ(host.backupBox, "E:\\Ep_backupx\\");
}

TEST(MonitorDirChooser, ExistingGeneratedDirectoryIsToldButStaysAccepted) {
  ScriptedHost host;
  host.picks = {"D:\\photos"};
  host.sizes["D:\\photos_backupx\\"] = 1536;
  ChooseMonitorDir(host, {}, kSuffix);
  EXPECT_EQ(host.Messages(),
            std::vector<std::string>{"tell:当前自动生成的备份目录D:\\photos_backupx\\已存在，并且包含1.5K的数据，"
                                     "如果不希望使用该目录进行备份，可点击备份目录按钮另行选择。"});
  EXPECT_EQ(host.backupBox, "D:\\photos_backupx\\");
  EXPECT_TRUE(host.confirm);
}

// Folders of one name in two places get one generated name: the second is
// not offered it, and a choice of a backup directory meeting another
// project's backups or its own tree is refused.
TEST(Choosers, NoBackupDirectoryMeetingAnotherProjectsBackupsOrItsOwnTreeIsOffered) {
  ScriptedHost host;
  host.otherProjects = {{"D:\\p1\\docs\\", "D:\\docs_backupx\\"}, {"D:\\p3\\", "D:\\Dp_backupx\\sub\\"}};
  host.backupBox = "D:\\p_backupx\\";
  host.confirm = true;  // from an earlier choice in the same panel
  host.picks = {"D:\\p2\\docs", "D:\\", "D:\\p2"};
  ChooseMonitorDir(host, {"D:\\p1\\docs\\", "D:\\p3\\"}, kSuffix);
  EXPECT_EQ(host.backupBox, "");
  EXPECT_FALSE(host.confirm);
  ChooseBackupDir(host, kSuffix);
  const std::vector<std::string> expected = {
      "tell:当前自动生成的备份目录D:\\docs_backupx\\已被其他项目使用，请点击备份目录按钮另行选择。",
      "tell:当前目录(D:\\Dp_backupx\\)与已添加项目的备份目录(D:\\Dp_backupx\\sub\\)相同或互相包含，"
      "两个项目的备份将会混在一起，请重新选择。"};
  EXPECT_EQ(host.Messages(), expected);
  EXPECT_EQ(host.backupBox, "D:\\p2\\docs_backupx\\");
  EXPECT_TRUE(host.confirm);

  // A stored monitored directory below a folder of the reserved word holds the name made from it.
  ScriptedHost own;
  own.monitorBox = "D:\\x\\in_backupx\\in\\";
  own.picks = {"D:\\x", ""};
  ChooseBackupDir(own, kSuffix);
  EXPECT_EQ(own.Messages(), std::vector<std::string>{"tell:当前目录(D:\\x\\in_backupx\\)与监控目录(D:\\x\\in_backupx\\in\\)"
                                                     "相同或互相包含，备份时将会改动监控目录中的文件，请重新选择。"});
}

TEST(BackupDirChooser, OpensAtTheMonitoredDirectoryAndAppliesItsRulesInOrder) {
  ScriptedHost host;
  host.monitorBox = "D:\\photos\\";
  host.picks = {"E:\\", "D:\\$", "D:\\%", "D:\\system volume information\\x", "D:\\x_backupx", "D:\\bk"};
  ChooseBackupDir(host, kSuffix);
  EXPECT_EQ(host.browseStart, "D:\\photos\\");
  EXPECT_EQ(host.browseTitle,
            "请选择或新建位于D盘的备份目录，如非必要不建议修改自动生成的备份目录，很可能造成目录混乱，"
            "除非你可以记得所有的备份目录位置。");
  const std::vector<std::string> expected = {
      "tell:WINDOWS硬链接备份不支持跨区，请选择与监控目录相同的盘区。",
      "tell:当前目录(D:\\$\\)含有特殊字符$，请重新选择。",
      "tell:当前目录(D:\\%\\)含有特殊字符%，请重新选择。",
      "tell:当前目录System Volume Information为系统卷标信息目录，请重新选择。",
      "tell:当前目录(D:\\x_backupx\\)含有保留字_backupx\\，请重新选择。",
  };
  EXPECT_EQ(host.Messages(), expected);
  EXPECT_EQ(host.backupBox, "D:\\bk\\photos_backupx\\");
  EXPECT_TRUE(host.confirm);
}

TEST(BackupDirChooser, ExistingDataIsAskedWithItsFullByteCount) {
  ScriptedHost host;
  host.monitorBox = "D:\\";
  host.backupBox = "D:\\Dp_backupx\\";
  host.picks = {"D:\\bk", "D:\\"};
  host.sizes["D:\\bk\\Dp_backupx\\"] = int64_t(5) << 30;  // more than 4 GiB
  host.answers = {false};
  ChooseBackupDir(host, kSuffix);
  EXPECT_EQ(host.Messages(), std::vector<std::string>{"ask:你选择的备份目录(D:\\bk\\Dp_backupx\\)已存在，并且包含"
                                                      "5368709120字节的数据，确定使用该目录进行备份吗？"});
  EXPECT_EQ(host.backupBox, "D:\\Dp_backupx\\");
}

TEST(BackupDirChooser, ADriveRootEnablesConfirmEvenWhenItsExistingDataIsDeclined) {
  ScriptedHost host;
  host.monitorBox = "D:\\photos\\";
  host.backupBox = "D:\\photos_backupx\\";
  host.picks = {"D:\\", ""};
  host.sizes["D:\\Dp_backupx\\"] = 10;
  host.answers = {false};
  ChooseBackupDir(host, kSuffix);
  EXPECT_TRUE(host.confirm);
  EXPECT_EQ(host.backupBox, "D:\\photos_backupx\\");  // declined, then cancelled: unchanged
  EXPECT_EQ(host.Browses(), 2);
}

TEST(MonitorDirChooser, TakesTheLongestGbkPathTheDialogGives) {
  std::string deep = "D:\\";
  while (deep.size() < 250) deep += "照片\\";
  deep += "最后";  // 259 bytes with its backslash, as long as a path gets
  ScriptedHost host;
  host.picks = {deep};
  ChooseMonitorDir(host, {}, kSuffix);
  EXPECT_EQ(host.monitorBox, deep + "\\");
  EXPECT_EQ(host.backupBox, "D:\\最后_backupx\\");
}

TEST(SystemPaths, AnUnreadableVolumeIsNotNtfs) {
  EXPECT_EQ(GetFileSystemName("C:\\"), "NTFS");
  const std::string missing = GetFileSystemName("Q:\\");
  EXPECT_EQ(missing, std::string(255, ' '));
  EXPECT_FALSE(IsSystemFolder(""));
  const std::string system = GetSystemDirectoryPath();
  EXPECT_EQ(system.back(), '\\');
  EXPECT_NE(FindSubstring(system, "system32", 1), -1);
}

}  // namespace
