// Loading and saving the settings against the real main window.
#include <windows.h>

#include <random>

#include "backup/check/check_state.h"
#include "backup/ui/close_query.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/project_list.h"
#include "backup/ui/settings_load.h"
#include "base/utilities.h"
#include "gui/kavrel_test_window.h"
#include "support/settings_fixture.h"
#include "support/test_support.h"

namespace {

using namespace kavrel;
using kavrel_testing::KavrelWindowTest;
using namespace testing_support;

class SettingsWindowTest : public KavrelWindowTest {
 protected:
  // A monitored directory holding one file.
  std::string MonitoredDir(const std::string& name) {
    const std::string path = dir_ / name;
    CreateDirectoryA(path.c_str(), nullptr);
    WriteFileBytes(path + "\\file.txt", "12345");
    return path;
  }
  void Load(const std::string& plain) {
    WriteSettingsFile(file_.Path(), plain);
    LoadSettings(Program(), file_);
  }
  void ExpectDesignState() {
    EXPECT_EQ(list().RowCount(), 0);
    EXPECT_FALSE(window().Enabled(kStartMonitorButton));
    for (int box : {kExcludeSystemDirs, kExcludeHiddenDirs, kExcludeEmptyDirs, kHideBackupDir})
      EXPECT_TRUE(window().Checked(box));
    for (int box : {kStartHours, kStartMinutes, kStartSeconds, kIntervalHours, kIntervalMinutes, kIntervalSeconds})
      EXPECT_EQ(window().Text(box), "");
    EXPECT_EQ(window().SliderPosition(kThreadSlider), 100);
    EXPECT_EQ(window().Text(kThreadLabel), "100");
    EXPECT_EQ(window().Text(kProgressBox), "");
    EXPECT_EQ(CheckedProjectCount, 0);
    EXPECT_TRUE(MonitorDirList.empty());
  }

  ScratchDir dir_;
  SettingsFile file_{dir_ / "CF.ini"};
};

TEST_F(SettingsWindowTest, AFullTextSetsTheOptionsScheduleSliderAndProjects) {
  const std::string first = MonitoredDir("数据");
  const std::string second = MonitoredDir("other");
  const std::string backup1 = dir_ / "deep\\数据_backupx\\";
  const std::string backup2 = dir_ / "other_backupx\\";
  CreateDirectoryA(backup2.c_str(), nullptr);
  Load("2|1|2|1|1|2|3|4|5|6|37|" + first + "\\*" + backup1 + "*1\r\n" + second + "*" + backup2 + "*0\r\n");

  EXPECT_FALSE(window().Checked(kExcludeSystemDirs));
  EXPECT_TRUE(window().Checked(kExcludeHiddenDirs));
  EXPECT_FALSE(window().Checked(kExcludeEmptyDirs));
  EXPECT_TRUE(window().Checked(kHideBackupDir));
  const int boxes[] = {kStartHours, kStartMinutes, kStartSeconds, kIntervalHours, kIntervalMinutes, kIntervalSeconds};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(window().Text(boxes[k]), std::to_string(k + 1));
  EXPECT_EQ(window().SliderPosition(kThreadSlider), 37);
  EXPECT_EQ(window().Text(kThreadLabel), "037");

  ASSERT_EQ(list().RowCount(), 2);
  EXPECT_EQ(list().Cell(0, kColumnId), "1");
  EXPECT_EQ(list().Cell(1, kColumnId), "2");
  EXPECT_EQ(list().Cell(0, kColumnFileCount), "");
  EXPECT_EQ(list().Cell(0, kColumnSize), FormatByteSize(5));
  EXPECT_EQ(list().Cell(0, kColumnMonitorDir), first + "\\");
  EXPECT_EQ(list().Cell(1, kColumnMonitorDir), second + "\\");  // backslash added
  EXPECT_EQ(list().Cell(0, kColumnBackupDir), backup1);
  EXPECT_TRUE(list().Checked(0));
  EXPECT_FALSE(list().Checked(1));
  EXPECT_EQ(list().Image(0), 1);
  EXPECT_EQ(list().Image(1), 1);
  EXPECT_EQ(MonitorDirList, (std::vector<std::string>{first + "\\", second + "\\"}));
  EXPECT_EQ(CheckedProjectCount, 1);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中1个项目");
  EXPECT_TRUE(window().Enabled(kStartMonitorButton));

  // The missing backup directory was made, hidden as 隐藏属性 asks; the existing one kept its attributes.
  const DWORD made = GetFileAttributesA(backup1.c_str());
  ASSERT_NE(made, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(made & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(GetFileAttributesA(backup2.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
}

TEST_F(SettingsWindowTest, AMissingBackupDirectoryIsNotHiddenWhenTheOptionIsOff) {
  const std::string monitored = MonitoredDir("m");
  const std::string backup = dir_ / "b\\c\\";
  Load("1|1|1|2|||||||100|" + monitored + "\\*" + backup + "*1\r\n" + monitored + "\\*" + backup + "*1\r\n");
  const DWORD made = GetFileAttributesA(backup.c_str());
  ASSERT_NE(made, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(made & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_NE(made & FILE_ATTRIBUTE_SYSTEM, 0u);
  EXPECT_EQ(CheckedProjectCount, 2);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中2个项目");
}

// Kept with the error image and their ticks; only a project that may be
// checked gets its backup directory made. A line naming no folder is no project.
TEST_F(SettingsWindowTest, LinesWithAMissingOrEmptyMonitoredDirectoryAreKeptWithTheErrorImage) {
  const std::string kept = MonitoredDir("kept");
  const std::string empty = dir_ / "empty";
  CreateDirectoryA(empty.c_str(), nullptr);
  Load("1|1|1|1|||||||100|" + dir_ / "gone\\*" + dir_ / "b1\\*1\r\n" + empty + "\\*" + dir_ / "b2\\*1\r\n*" +
       dir_ / "b3\\*1\r\n" + kept + "\\*" + dir_ / "b4\\*0\r\n");
  ASSERT_EQ(list().RowCount(), 3);
  EXPECT_EQ(list().Cell(2, kColumnMonitorDir), kept + "\\");
  EXPECT_EQ(list().Cell(2, kColumnId), "3");
  for (int r = 0; r < 3; ++r) EXPECT_EQ(list().Image(r), r < 2 ? kImageSkipped : kImageResting) << r;
  EXPECT_EQ(CheckedProjectCount, 2);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中2个项目");
  EXPECT_TRUE(window().Enabled(kStartMonitorButton));
  for (const char* unused : {"b1", "b2", "b3"}) EXPECT_FALSE(IsDirectory(dir_ / unused)) << unused;
  EXPECT_TRUE(IsDirectory(dir_ / "b4"));
}

TEST_F(SettingsWindowTest, ATextWithoutProjectsAppliesItsFieldsAndLeavesTheStartButtonDisabled) {
  Load("2|2|2|2|0||5|||1|9|");
  EXPECT_FALSE(window().Checked(kExcludeSystemDirs));
  EXPECT_FALSE(window().Checked(kHideBackupDir));
  EXPECT_EQ(window().Text(kStartHours), "");
  EXPECT_EQ(window().Text(kStartSeconds), "5");
  EXPECT_EQ(window().Text(kIntervalSeconds), "1");
  EXPECT_EQ(window().Text(kThreadLabel), "009");
  EXPECT_EQ(list().RowCount(), 0);
  EXPECT_FALSE(window().Enabled(kStartMonitorButton));
}

TEST_F(SettingsWindowTest, DirectoryNamesWithBarOrBackslashTrailBytesLoadWhole) {
  // 0x817C ends in the byte of "|", 0x955C in that of "\\".
  const std::string monitored = MonitoredDir(std::string("\x81\x7C") + "x\x95\x5C");
  ASSERT_TRUE(IsDirectory(monitored));
  Load("1|1|1|1|||||||100|" + monitored + "*" + monitored + "_b\\*1\r\n");
  ASSERT_EQ(list().RowCount(), 1);
  EXPECT_EQ(list().Cell(0, kColumnMonitorDir), monitored + "\\");
  EXPECT_EQ(list().Cell(0, kColumnBackupDir), monitored + "_b\\");
  EXPECT_TRUE(IsDirectory(monitored + "_b\\"));
}

TEST_F(SettingsWindowTest, TheListTakesAtMostOneHundredProjects) {
  const std::string monitored = MonitoredDir("m");
  std::string text = "1|1|1|1|||||||100|";
  for (int n = 0; n < 101; ++n) text += monitored + "\\*" + dir_ / "b\\*1\r\n";
  Load(text);
  EXPECT_EQ(list().RowCount(), kMaxProjects);
  EXPECT_EQ(MonitorDirList.size(), static_cast<size_t>(kMaxProjects));
  EXPECT_EQ(CheckedProjectCount, kMaxProjects);
  EXPECT_EQ(window().Text(kProgressBox), " 当前选中100个项目");
  // The start tells of the line past the list, and of none when the list holds them all.
  EXPECT_EQ(Program().unlistedProjects.size(), 1u);
  EXPECT_EQ(UnlistedProjectsNotice(101), "设置文件中共有101个项目，只显示和检查前100个，其余1个项目原样保留在设置文件中。");
  EXPECT_EQ(UnlistedProjectsNotice(100), "");
}

TEST_F(SettingsWindowTest, BadFilesLeaveTheDesignStateOrWhatTheRulesAllow) {
  std::mt19937 random(11);
  std::string noise;
  for (int n = 0; n < 4096; ++n) noise += static_cast<char>(random() & 0xFF);
  WriteFileBytes(file_.Path(), noise);
  LoadSettings(Program(), file_);
  std::string hexNoise;
  for (int n = 0; n < 3 * 1024 * 1024; ++n) hexNoise += "0123456789ABCDEF,xyz"[random() % 20];
  WriteFileBytes(file_.Path(), hexNoise);
  LoadSettings(Program(), file_);
  WriteFileBytes(file_.Path(), "");
  LoadSettings(Program(), file_);
  WriteFileBytes(file_.Path(), "7");
  LoadSettings(Program(), file_);
  // Deciphered noise splits into far more than twelve fields, or into none that the rules take.
  ExpectDesignState();
}

TEST_F(SettingsWindowTest, ATruncatedFileAppliesTheFieldsItStillHolds) {
  const std::string monitored = MonitoredDir("m");
  WriteSettingsFile(file_.Path(), "2|2|1|1|7|||||||55|" + monitored + "\\*" + dir_ / "b\\*1\r\n");
  std::string content = ReadFileBytes(file_.Path());
  content.resize(3 * 6 + 1);  // "2|2|1|" and a lone digit of the next byte
  WriteFileBytes(file_.Path(), content);
  LoadSettings(Program(), file_);
  EXPECT_FALSE(window().Checked(kExcludeSystemDirs));
  EXPECT_FALSE(window().Checked(kExcludeHiddenDirs));
  EXPECT_TRUE(window().Checked(kExcludeEmptyDirs));
  EXPECT_EQ(window().SliderPosition(kThreadSlider), 100);
  EXPECT_EQ(list().RowCount(), 0);
}

TEST_F(SettingsWindowTest, SavingNormalisesTheScheduleAndStoresEveryRowInOrder) {
  const std::string first = MonitoredDir("a");
  const std::string second = MonitoredDir("b");
  Load("1|1|1|1|||||||100|" + first + "*" + dir_ / "ab\\*1\r\n" + second + "\\*" + dir_ / "bb\\*0\r\n");
  window().SetChecked(kExcludeHiddenDirs, false);
  window().SetChecked(kHideBackupDir, false);
  window().SetText(kStartHours, "999");
  window().SetText(kStartMinutes, "99");
  window().SetText(kStartSeconds, "-5");
  window().SetText(kIntervalHours, "0");
  window().SetText(kIntervalMinutes, "05");
  window().SetText(kIntervalSeconds, "75");
  window().SetSliderPosition(kThreadSlider, 8);
  ASSERT_TRUE(SaveSettings(Program(), file_));
  EXPECT_EQ(ReadSettingsFile(file_.Path()), "1|2|1|2|999|39| 0|0|6|15|8|" + first + "\\*" + dir_ / "ab\\*1\r\n" +
                                                 second + "\\*" + dir_ / "bb\\*0\r\n");
  EXPECT_EQ(window().Text(kStartMinutes), "39");
  EXPECT_EQ(window().Text(kStartSeconds), " 0");
  EXPECT_EQ(window().Text(kIntervalMinutes), "6");
  EXPECT_EQ(window().Text(kIntervalHours), "0");
  EXPECT_EQ(ReadFileBytes(file_.Path()).size() % 3, 0u);
}

TEST_F(SettingsWindowTest, ScheduleBoxesOfZeroOrEmptyAreSavedAsTheyAreAndComeBackEmpty) {
  window().SetText(kStartHours, "0");
  window().SetText(kIntervalSeconds, "00");
  ASSERT_TRUE(SaveSettings(Program(), file_));
  EXPECT_EQ(ReadSettingsFile(file_.Path()), "1|1|1|1|0|||||00|100|");
  window().SetText(kStartHours, "");
  window().SetText(kIntervalSeconds, "");
  window().SetText(kIntervalHours, "4");
  LoadSettings(Program(), file_);
  EXPECT_EQ(window().Text(kStartHours), "");
  EXPECT_EQ(window().Text(kIntervalSeconds), "");
  EXPECT_EQ(window().Text(kIntervalHours), "4");  // an empty field leaves the box alone
}

TEST_F(SettingsWindowTest, ClosingWhileMonitoringRequestsTheStopAndKeepsTheWindowOpen) {
  Program().monitoring = true;  // as the run shows it
  window().SetText(kStartMonitorButton, "停止监控");
  window().SetEnabled(kStartMonitorButton, true);
  window().Close();
  ASSERT_NE(window().Window(), nullptr);
  EXPECT_TRUE(IsWindow(window().Window()));
  EXPECT_EQ(Program().exitPending, 1);
  EXPECT_EQ(Counters().stop, 1);
  EXPECT_FALSE(window().Enabled(kStartMonitorButton));
  EXPECT_EQ(window().Text(kStatusBox), " 正在停止");
  EXPECT_EQ(window().Text(kStartMonitorButton), "停止监控");
}

}  // namespace
