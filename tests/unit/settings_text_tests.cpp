#include <gtest/gtest.h>

#include "backup/settings/schedule_fields.h"
#include "backup/settings/settings_text.h"

namespace {

using namespace kavrel;

TEST(SettingsText, BuildsFieldsThenOneLinePerProject) {
  SettingsValues values;
  values.options = {true, true, false, true};
  values.schedule = {"", "30", "", "1", "", ""};
  values.threads = 100;
  values.projects = {{"D:\\数据\\", "D:\\数据_backupx\\", true}, {"E:\\a\\", "E:\\a_backupx\\", false}};
  EXPECT_EQ(BuildSettingsText(values),
            "1|1|2|1||30||1|||100|D:\\数据\\*D:\\数据_backupx\\*1\r\nE:\\a\\*E:\\a_backupx\\*0\r\n");
  values.projects.clear();
  values.threads = 7;
  EXPECT_EQ(BuildSettingsText(values), "1|1|2|1||30||1|||7|");
}

TEST(SettingsText, ABoxHoldingTheSeparatorIsSavedWithoutItAndTheProjectsLoadAgain) {
  SettingsValues values;
  values.schedule = {"1|2", "|", "\x81|5", "", "", ""};  // a double-byte character ending in 0x7C stays
  values.threads = 100;
  values.projects = {{"D:\\a\\", "D:\\a_backupx\\", true}};
  const std::string text = BuildSettingsText(values);
  EXPECT_EQ(text, "2|2|2|2|12||\x81|5||||100|D:\\a\\*D:\\a_backupx\\*1\r\n");
  const LoadedSettings loaded = ParseSettingsText(text);
  EXPECT_TRUE(loaded.hasProjectField);
  EXPECT_EQ(loaded.projects.size(), 1u);
}

TEST(SettingsText, LoadsEveryFieldOfAFullText) {
  const LoadedSettings loaded =
      ParseSettingsText("2|1|2|1|3|30|45|4|50|59|12|D:\\数据\\*D:\\数据_backupx\\*1\r\nC:\\x*C:\\y\\*0\r\n");
  const bool options[] = {false, true, false, true};
  for (int k = 0; k < kOptionCount; ++k) {
    ASSERT_TRUE(loaded.options[k]) << k;
    EXPECT_EQ(*loaded.options[k], options[k]) << k;
  }
  const char* schedule[] = {"3", "30", "45", "4", "50", "59"};
  for (int k = 0; k < kScheduleCount; ++k) EXPECT_EQ(loaded.schedule[k].value_or("-"), schedule[k]) << k;
  EXPECT_EQ(loaded.threads.value_or(0), 12);
  ASSERT_TRUE(loaded.hasProjectField);
  ASSERT_EQ(loaded.projects.size(), 2u);
  EXPECT_EQ(loaded.projects[0].monitorDir, "D:\\数据\\");
  EXPECT_EQ(loaded.projects[0].backupDir, "D:\\数据_backupx\\");
  EXPECT_TRUE(loaded.projects[0].checked);
  // A monitored directory without its backslash gets one; the backup one is kept as stored.
  EXPECT_EQ(loaded.projects[1].monitorDir, "C:\\x\\");
  EXPECT_EQ(loaded.projects[1].backupDir, "C:\\y\\");
  EXPECT_FALSE(loaded.projects[1].checked);
}

TEST(SettingsText, FieldsOutsideTheirRangesLeaveTheirControlsAlone) {
  const LoadedSettings loaded = ParseSettingsText("0|3|x|-1|0||-2| 5|abc|1x|101|");
  for (int k = 0; k < kOptionCount; ++k) EXPECT_FALSE(loaded.options[k]) << k;
  for (int k : {0, 1, 2, 4}) EXPECT_FALSE(loaded.schedule[k]) << k;
  // A value of at least 1 takes the field's text as it stands.
  EXPECT_EQ(loaded.schedule[3].value_or("-"), " 5");
  EXPECT_EQ(loaded.schedule[5].value_or("-"), "1x");
  EXPECT_FALSE(loaded.threads);
  EXPECT_FALSE(ParseSettingsText("1|1|1|1|||||||0|").threads);
  EXPECT_EQ(ParseSettingsText("1|1|1|1|||||||1|").threads.value_or(0), 1);
  // " 1" has the value 1 but is not "1": the box is unticked.
  EXPECT_FALSE(ParseSettingsText(" 1|").options[0].value_or(true));
}

TEST(SettingsText, ElevenFieldsEndingWithTheSeparatorLoadNoProjects) {
  const LoadedSettings loaded = ParseSettingsText("1|2|1|2|||||1||64|");
  EXPECT_FALSE(loaded.hasProjectField);
  EXPECT_EQ(loaded.threads.value_or(0), 64);
  EXPECT_EQ(loaded.schedule[4].value_or("-"), "1");
  EXPECT_TRUE(*loaded.options[0]);
  EXPECT_FALSE(*loaded.options[1]);
}

TEST(SettingsText, FewerFieldsApplyWhatIsThereAndMoreThanTwelveApplyNothing) {
  const LoadedSettings few = ParseSettingsText("2|2|1");
  EXPECT_FALSE(*few.options[0]);
  EXPECT_TRUE(*few.options[2]);
  EXPECT_FALSE(few.options[3]);
  EXPECT_FALSE(few.threads);
  EXPECT_FALSE(few.hasProjectField);

  const LoadedSettings many = ParseSettingsText("2|2|2|2|5|5|5|5|5|5|50|C:\\a\\*C:\\b\\*1\r\n|extra");
  for (int k = 0; k < kOptionCount; ++k) EXPECT_FALSE(many.options[k]);
  for (int k = 0; k < kScheduleCount; ++k) EXPECT_FALSE(many.schedule[k]);
  EXPECT_FALSE(many.threads);
  EXPECT_FALSE(many.hasProjectField);
  EXPECT_FALSE(ParseSettingsText("").options[0]);
}

TEST(SettingsText, ADoubleByteTrailDoesNotSplitAndEveryDirectoryEndsWithOneBackslash) {
  // 0x81 0x7C and 0x81 0x2A are single characters whose second byte is "|" and "*".
  const std::string name = "C:\\\x81\x7C\x81\x2A\\";
  const LoadedSettings loaded = ParseSettingsText("1|1|1|1|||||||9|" + name + "*C:\\b\\*1\r\n");
  ASSERT_TRUE(loaded.hasProjectField);
  ASSERT_EQ(loaded.projects.size(), 1u);
  EXPECT_EQ(loaded.projects[0].monitorDir, name);
  // A name ending in a character whose second byte is "\\" still gets its backslash.
  const std::string trail = "C:\\\x95\x5C";
  EXPECT_EQ(ParseSettingsText("1|1|1|1|||||||9|" + trail + "*C:\\b\\*1").projects.at(0).monitorDir, trail + "\\");
  // So does a backup root, without which it would prefix the names beside it; and
  // the backslash an earlier build doubled after the single byte 0x80 is read as one.
  const ProjectLine euro = ParseSettingsText("1|1|1|1|||||||9|C:\\\x80\\\\*" + trail + "*1").projects.at(0);
  EXPECT_EQ(euro.monitorDir, "C:\\\x80\\");
  EXPECT_EQ(euro.backupDir, trail + "\\");
}

TEST(SettingsText, LinesWithoutExactlyThreePartsOrAMonitoredDirectoryAreDropped) {
  const LoadedSettings loaded = ParseSettingsText(
      "1|1|1|1|||||||9|C:\\a\\*C:\\b\\\r\n*C:\\b\\*1\r\nC:\\a\\*C:\\b\\*1*x\r\nC:\\k\\**1\r\n\r\nC:\\m\\*C:\\n\\*1\r\n");
  ASSERT_EQ(loaded.projects.size(), 2u);
  EXPECT_EQ(loaded.projects[0].monitorDir, "C:\\k\\");
  EXPECT_EQ(loaded.projects[0].backupDir, "");
  EXPECT_EQ(loaded.projects[1].monitorDir, "C:\\m\\");
}

TEST(ScheduleFields, CarriesOnceAndCapsTheHours) {
  const struct {
    std::array<std::string, 6> in, out;
  } kCases[] = {
      // 75 s and 59 min: 15 s and 60 min, no second carry.
      {{"", "59", "75", "", "", ""}, {"", "60", "15", "", "", ""}},
      // 999 h and 99 min: 39 min, and the carry's 1000 h is capped.
      {{"999", "99", "", "", "", ""}, {"999", "39", "", "", "", ""}},
      {{"", "", "-5", "", "", ""}, {"", "", " 0", "", "", ""}},
      {{"", "-3", "70", "", "", ""}, {"", "1", "10", "", "", ""}},
      // The interval alike, and a negative box other than 秒数1 shows "0".
      {{"", "", "", "-1", "05", "75"}, {"", "", "", "0", "6", "15"}},
      {{"", "", "60", "1", "60", "60"}, {"", "", "60", "1", "60", "60"}},
      // Unchanged boxes keep their text: empty, leading zeros, full width.
      {{"007", "", "05", "", "", "１"}, {"007", "", "05", "", "", "１"}},
      {{"5", "99", "99", "", "", ""}, {"6", "40", "39", "", "", ""}},
  };
  for (const auto& c : kCases) {
    ScheduleFields fields(c.in);
    fields.Normalise();
    for (int box = 0; box < 6; ++box) EXPECT_EQ(fields.Text(box), c.out[box]) << c.in[0] << c.in[1] << c.in[2];
  }
  ScheduleFields fields({"1", "-3", "70", "", "", "１"});
  fields.Normalise();
  EXPECT_EQ(fields.Value(kDelayMinutes), 1);
  EXPECT_EQ(fields.Value(kDelaySeconds), 10);
  EXPECT_EQ(fields.Value(kPauseSeconds), 1);
}

}  // namespace
