// The monitoring run in the real main window: countdowns, passes, stops.
#include <windows.h>

#include <string>
#include <thread>

#include "backup/check/check_state.h"
#include "backup/check/report_line.h"
#include "backup/ui/monitoring_scheduler.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/project_list.h"
#include "gui/kavrel_test_window.h"
#include "gui/text_recorder.h"
#include "support/test_support.h"

namespace {

using namespace kavrel;
using kavrel_testing::KavrelWindowTest;
using kavrel_testing::TextRecorder;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

class SchedulerTest : public KavrelWindowTest {
 protected:
  void SetUp() override {
    KavrelWindowTest::SetUp();
    InstallReportLock(CreateLock());  // as the window's creation does in the program
    Counters().linkPauseMs = 0;
  }

  // A monitored tree of `files` files and its project row.
  void AddProject(const std::string& name, int files, bool ticked = true) {
    const std::string source = dir_ / name;
    CreateDirectoryA(source.c_str(), nullptr);
    for (int i = 0; i < files; ++i) WriteFileBytes(source + "\\f" + std::to_string(i) + ".txt", "data" + std::to_string(i));
    AddRow(source + "\\", ticked);
  }
  void AddRow(const std::string& monitorDir, bool ticked = true) {
    ProjectList::Main().Append(monitorDir, BackupOf(monitorDir), "0K", ticked);
    if (ticked) ++CheckedProjectCount;
    window().SetEnabled(kStartMonitorButton, true);
  }
  static std::string BackupOf(const std::string& monitorDir) {
    return monitorDir.substr(0, monitorDir.size() - 1) + "_backupx\\";
  }
  // Empties the other boxes, which a run may have carried minutes into.
  void SetSchedule(const char* startSeconds, const char* intervalSeconds) {
    for (int box : {kStartHours, kStartMinutes, kIntervalHours, kIntervalMinutes}) window().SetText(box, "");
    window().SetText(kStartSeconds, startSeconds);
    window().SetText(kIntervalSeconds, intervalSeconds);
  }
  HWND Button() { return window().Control(kStartMonitorButton); }
  std::string Progress() { return window().Text(kProgressBox); }

  // Clicks 开始监控按钮 from another thread once `control` shows `text`,
  // as a user would while the run's handler is busy.
  std::thread ClickWhenShown(int control, const std::string& text) {
    HWND watched = window().Control(control), button = Button();
    return std::thread([watched, button, text] {
      for (int i = 0; i < 4000; ++i) {
        char buffer[512] = {};
        DWORD_PTR got = 0;
        SendMessageTimeoutA(watched, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK, 200, &got);
        if (text == buffer) break;
        Sleep(10);
      }
      PostMessageA(button, BM_CLICK, 0, 0);
    });
  }

  // A run with an interval of 65 s, which a user stops once the countdown
  // shows stopAt; the texts the progress box showed.
  std::vector<std::string> RunUntilTheCountdownShows(const std::string& stopAt) {
    SetSchedule("", "65");
    TextRecorder progress(window().Control(kProgressBox));
    std::thread user = ClickWhenShown(kProgressBox, stopAt);
    OnStartMonitorClicked(Program());
    user.join();
    return progress.Texts();
  }

  ScratchDir dir_;
};

int IndexOf(const std::vector<std::string>& texts, const std::string& text) {
  for (size_t i = 0; i < texts.size(); ++i)
    if (texts[i] == text) return int(i);
  return -1;
}

TEST_F(SchedulerTest, WithoutDelayOrIntervalOnePassRunsAtOnceAndTheRunEnds) {
  AddProject("src", 3);
  SetSchedule("", "");
  TextRecorder progress(window().Control(kProgressBox));
  OnStartMonitorClicked(Program());
  EXPECT_EQ(window().Text(kStatusBox), " 监控停止");
  EXPECT_EQ(Progress(), " 本次检查共发现3个增量文件并已备份");
  EXPECT_EQ(window().Text(kStartMonitorButton), "开始监控");
  EXPECT_TRUE(window().Enabled(kStartMonitorButton));
  EXPECT_EQ(list().Image(0), kImageResting);
  EXPECT_EQ(Counters().checkThread, nullptr);
  EXPECT_EQ(Counters().finished, 0);
  EXPECT_TRUE(IsDirectory(BackupOf(dir_ / "src\\")));
  Sleep(100);
  const auto texts = progress.Texts();
  EXPECT_NE(IndexOf(texts, " 程序已进入工作状态，正在检查监控目录增量文件"), -1);
  for (const auto& t : texts) EXPECT_EQ(t.find("后开始进行增量检查"), std::string::npos) << t;
}

TEST_F(SchedulerTest, AStartDelayOfFiveSecondsCountsDownFourToOneAndChecksAfterAboutThreeAndAHalf) {
  AddProject("src", 1);
  SetSchedule("5", "");
  TextRecorder progress(window().Control(kProgressBox));
  TextRecorder status(window().Control(kStatusBox));
  const ULONGLONG clicked = GetTickCount64();
  OnStartMonitorClicked(Program());
  Sleep(100);
  const auto entries = progress.Entries();
  std::vector<std::string> texts;
  for (const auto& e : entries) texts.push_back(e.text);
  const int four = IndexOf(texts, " 4秒后开始进行增量检查");
  ASSERT_NE(four, -1);
  ASSERT_GE(int(entries.size()), four + 5);
  EXPECT_EQ(IndexOf(texts, " 3秒后开始进行增量检查"), four + 1);
  EXPECT_EQ(IndexOf(texts, " 2秒后开始进行增量检查"), four + 2);
  EXPECT_EQ(IndexOf(texts, " 1秒后开始进行增量检查"), four + 3);
  EXPECT_EQ(IndexOf(texts, " 程序已进入工作状态，正在检查监控目录增量文件"), four + 4);
  EXPECT_EQ(IndexOf(texts, " 5秒后开始进行增量检查"), -1);
  const ULONGLONG firstCheck = entries[four + 4].at - clicked;
  EXPECT_GE(firstCheck, 3400u);
  EXPECT_LE(firstCheck, 4600u);
  const ULONGLONG step = entries[four + 1].at - entries[four].at;
  EXPECT_GE(step, 800u);
  EXPECT_LE(step, 1200u);
  EXPECT_TRUE(status.Saw(" 计时等待"));
}

TEST_F(SchedulerTest, AStartDelayOfOneSecondChecksAtOnce) {
  AddProject("src", 1);
  SetSchedule("1", "");
  TextRecorder progress(window().Control(kProgressBox));
  const ULONGLONG clicked = GetTickCount64();
  OnStartMonitorClicked(Program());
  Sleep(100);
  const auto entries = progress.Entries();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].text == " 程序已进入工作状态，正在检查监控目录增量文件" ? 0 : 1, 0) << entries[0].text;
  EXPECT_LT(entries[0].at - clicked, 500u);
}

TEST_F(SchedulerTest, TheIntervalCountdownNamesTheLinksOfTheLastCheck) {
  AddProject("src", 3);
  const auto texts = RunUntilTheCountdownShows(" 已备份3个增量文件，1分3秒后重新检查");
  // 65 s carried into the boxes as 1 min 5 s.
  EXPECT_EQ(window().Text(kIntervalMinutes), "1");
  EXPECT_EQ(window().Text(kIntervalSeconds), "5");
  const int passText = IndexOf(texts, " 本次检查共发现3个增量文件(已备份)");
  ASSERT_NE(passText, -1);
  EXPECT_EQ(IndexOf(texts, " 已备份3个增量文件，1分4秒后重新检查"), passText + 1);
  EXPECT_EQ(IndexOf(texts, " 已备份3个增量文件，1分3秒后重新检查"), passText + 2);
  EXPECT_EQ(Progress(), " 手动终止检查");
  EXPECT_EQ(window().Text(kStatusBox), " 监控停止");
}

TEST_F(SchedulerTest, WithoutLinksTheIntervalCountdownNamesPlainSeconds) {
  AddProject("src", 2);
  SetSchedule("", "");
  OnStartMonitorClicked(Program());  // links everything
  ASSERT_EQ(Progress(), " 本次检查共发现2个增量文件并已备份");
  const auto texts = RunUntilTheCountdownShows(" 无增量文件，程序将在63秒后重新检查");
  const int passText = IndexOf(texts, " 本次检查未发现增量文件");
  ASSERT_NE(passText, -1);
  EXPECT_EQ(IndexOf(texts, " 无增量文件，程序将在64秒后重新检查"), passText + 1);
  EXPECT_EQ(Progress(), " 手动终止检查");
}

// The pass texts count the links and the files left out of every check of
// the pass, not of its last check alone.
TEST_F(SchedulerTest, ThePassTextsCountEveryCheckOfThePass) {
  AddProject("first", 1);
  AddProject("second", 2);
  SetSchedule("", "");
  OnStartMonitorClicked(Program());
  EXPECT_EQ(Progress(), " 本次检查共发现3个增量文件并已备份");

  // Links in the first project only: the last check makes none.
  for (const char* name : {"n1.txt", "n2.txt"}) WriteFileBytes(dir_ / "first\\" + name, name);
  auto texts = RunUntilTheCountdownShows(" 已备份2个增量文件，1分3秒后重新检查");
  int passText = IndexOf(texts, " 本次检查共发现2个增量文件(已备份)");
  ASSERT_NE(passText, -1);
  EXPECT_EQ(IndexOf(texts, " 已备份2个增量文件，1分4秒后重新检查"), passText + 1);

  // No link at all, but a file left out: its entry's .old names are all taken.
  const std::string first = BackupOf(dir_ / "first\\");
  for (int n = 0; n <= 50; ++n) WriteFileBytes(first + "f0.txt.old" + (n ? std::to_string(n) : ""), "x");
  DeleteFileA((dir_ / "first\\f0.txt").c_str());
  WriteFileBytes(dir_ / "first\\f0.txt", "replaced");
  texts = RunUntilTheCountdownShows(" 无增量文件，1个文件未能备份，程序将在63秒后重新检查");
  passText = IndexOf(texts, " 本次检查未发现增量文件，1个文件未能备份");
  ASSERT_NE(passText, -1);
  EXPECT_EQ(IndexOf(texts, " 无增量文件，1个文件未能备份，程序将在64秒后重新检查"), passText + 1);
  SetSchedule("", "");
  OnStartMonitorClicked(Program());
  EXPECT_EQ(Progress(), " 本次检查未发现增量文件，1个文件未能备份");
}

// The first and last projects leave a file out each, whose .old names are
// all taken: their rows show the error image until a pass without.
TEST_F(SchedulerTest, FilesLeftOutAreCountedInThePassTextsAndMarkTheirRows) {
  for (const auto& [name, files] : {std::pair{"first", 1}, {"clean", 2}, {"last", 1}}) {
    AddProject(name, files);
    CreateDirectoryA(BackupOf(dir_ / name + "\\").c_str(), nullptr);
    for (int n = -1; n <= 50 && name != std::string("clean"); ++n)
      WriteFileBytes(BackupOf(dir_ / name + "\\") + "f0.txt" + (n < 0 ? "" : ".old" + (n ? std::to_string(n) : "")), "x");
  }
  AddRow(dir_ / "missing\\");  // skipped before a check: it adds nothing
  const auto texts = RunUntilTheCountdownShows(" 已备份2个增量文件，2个文件未能备份，1分3秒后重新检查");
  const int passText = IndexOf(texts, " 本次检查共发现2个增量文件(已备份)，2个文件未能备份");
  ASSERT_NE(passText, -1);
  EXPECT_EQ(IndexOf(texts, " 已备份2个增量文件，2个文件未能备份，1分4秒后重新检查"), passText + 1);
  auto images = [] { return std::vector<int>{list().Image(0), list().Image(1), list().Image(2), list().Image(3)}; };
  EXPECT_EQ(images(), (std::vector<int>{kImageSkipped, kImageResting, kImageSkipped, kImageSkipped}));
  for (const char* name : {"first", "last"}) DeleteFileA((BackupOf(dir_ / name + "\\") + "f0.txt.old50").c_str());
  SetSchedule("", "");
  OnStartMonitorClicked(Program());
  EXPECT_EQ(Progress(), " 本次检查共发现2个增量文件并已备份");
  EXPECT_EQ(images(), (std::vector<int>{kImageResting, kImageResting, kImageResting, kImageSkipped}));
}

// No figure of an earlier pass is shown as this pass's own.
TEST_F(SchedulerTest, APassWhoseProjectsAreAllSkippedMarksThemAndReportsNoLinks) {
  AddProject("emptied", 2);
  SetSchedule("", "");
  OnStartMonitorClicked(Program());
  ASSERT_EQ(Progress(), " 本次检查共发现2个增量文件并已备份");
  for (const char* name : {"f0.txt", "f1.txt"}) DeleteFileA((dir_ / "emptied\\" + name).c_str());
  AddRow(dir_ / "missing\\");
  CreateDirectoryA((dir_ / "empty").c_str(), nullptr);
  AddRow(dir_ / "empty\\");
  OnStartMonitorClicked(Program());
  EXPECT_EQ(list().Image(0), kImageSkipped);
  EXPECT_EQ(list().Image(1), kImageSkipped);
  EXPECT_EQ(list().Image(2), kImageSkipped);
  EXPECT_EQ(Progress(), " 本次检查未发现增量文件");
  EXPECT_FALSE(IsDirectory(BackupOf(dir_ / "empty\\")));
  EXPECT_EQ(window().Text(kStatusBox), " 监控停止");
}

TEST_F(SchedulerTest, UntickedProjectsAreLeftAlone) {
  AddProject("ticked", 1);
  AddProject("unticked", 1, false);
  SetSchedule("", "");
  OnStartMonitorClicked(Program());
  EXPECT_TRUE(IsDirectory(BackupOf(dir_ / "ticked\\")));
  EXPECT_FALSE(IsDirectory(BackupOf(dir_ / "unticked\\")));
  EXPECT_EQ(list().Cell(1, kColumnFileCount), "");
}

TEST_F(SchedulerTest, AStopDuringACheckEndsItEarlyAndSkipsTheRemainingProjects) {
  Counters().linkPauseMs = 300;
  window().SetSliderPosition(kThreadSlider, 1);
  AddProject("first", 40);
  AddProject("second", 2);
  SetSchedule("", "");
  TextRecorder button(Button());
  std::thread user = ClickWhenShown(kStatusBox, " 增量检查");
  OnStartMonitorClicked(Program());
  user.join();
  EXPECT_EQ(Progress(), " 手动终止检查");
  EXPECT_EQ(list().Image(0), kImageResting);
  EXPECT_FALSE(IsDirectory(BackupOf(dir_ / "second\\")));
  EXPECT_LT(Counters().linked, 40);
  EXPECT_EQ(window().Text(kStartMonitorButton), "开始监控");
  EXPECT_TRUE(window().Enabled(kStartMonitorButton));
}

TEST_F(SchedulerTest, AStopDuringTheStartCountdownTakesEffectWithinAStep) {
  AddProject("src", 1);
  // Five minutes: a stop that waited for the countdown would take them all.
  SetSchedule("", "");
  window().SetText(kStartMinutes, "5");
  TextRecorder status(window().Control(kStatusBox));
  std::thread user = ClickWhenShown(kProgressBox, " 4分58秒后开始进行增量检查");
  const ULONGLONG clicked = GetTickCount64();
  OnStartMonitorClicked(Program());
  user.join();
  EXPECT_LT(GetTickCount64() - clicked, 120000u);
  EXPECT_EQ(Progress(), " 手动终止检查");
  EXPECT_FALSE(IsDirectory(BackupOf(dir_ / "src\\")));
  Sleep(100);
  const auto texts = status.Texts();
  const int stopping = IndexOf(texts, " 正在停止");
  ASSERT_NE(stopping, -1);
  EXPECT_EQ(IndexOf(texts, " 监控停止"), stopping + 1);
}

TEST_F(SchedulerTest, NoTickedProjectAsksForOne) {
  AddProject("src", 1, false);
  window().SetTopmost(true);
  window().SetMenuCaption(kMenuWindowTopmost, "取消置顶");
  std::string shown;
  std::thread user([&shown] {
    HWND box = testing_support::FindProcessWindow(GetCurrentProcessId(), "#32770", testing_support::kHangBoundMs);
    if (!box) return;
    HWND text = GetDlgItem(box, 0xFFFF);
    shown = testing_support::WindowText(text ? text : box);
    char caption[64] = {};
    GetWindowTextA(box, caption, sizeof caption);
    shown = std::string(caption) + "|" + shown;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  OnStartMonitorClicked(Program());
  user.join();
  EXPECT_EQ(shown, "提示信息|请先勾选需要进行监控的项目。");
  EXPECT_FALSE(window().Topmost());
  EXPECT_EQ(window().MenuCaption(kMenuWindowTopmost), "窗口置顶");
  EXPECT_EQ(window().Text(kStartMonitorButton), "开始监控");
}

TEST_F(SchedulerTest, NoProjectOpensTheNewProjectPanel) {
  OnStartMonitorClicked(Program());
  EXPECT_FALSE(window().Visible(kProjectList));
  EXPECT_EQ(window().Text(kStartMonitorButton), "开始监控");
}

TEST_F(SchedulerTest, NegativeAndOverflowingScheduleBoxesAreNormalisedWhenTheRunStarts) {
  window().SetText(kStartSeconds, "-5");
  window().SetText(kIntervalSeconds, "75");
  window().SetText(kIntervalMinutes, "2");
  int32_t delay = -1, interval = -1;
  ReadScheduleSeconds(delay, interval);
  EXPECT_EQ(delay, 0);
  EXPECT_EQ(interval, 3 * 60 + 15);
  EXPECT_EQ(window().Text(kStartSeconds), " 0");
  EXPECT_EQ(window().Text(kIntervalSeconds), "15");
  EXPECT_EQ(window().Text(kIntervalMinutes), "3");
}

}  // namespace
