// CF.ini through the real Kavrel.exe: a close writes it, the next start reads it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

#include "apps/kavrel/main_window.h"
#include "e2e/kavrel_driver.h"
#include "support/settings_fixture.h"
#include "support/test_support.h"

namespace {

using namespace testing_support;

class KavrelSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    exe_ = dir_ / "Kavrel.exe";
    ASSERT_TRUE(CopyFileTo(ProgramsDirectory() + "Kavrel.exe", exe_));
  }
  std::string SettingsPath() const { return dir_ / "CF.ini"; }
  std::string MonitoredDir(const std::string& name) {
    const std::string path = dir_ / name;
    CreateDirectoryA(path.c_str(), nullptr);
    WriteFileBytes(path + "\\file.txt", "abc");
    return path;
  }
  // Starts the program and returns its main window.
  HWND Start(ChildProcess& kavrel) {
    if (!kavrel.Start(exe_, "", dir_.path())) return nullptr;
    return FindProcessWindow(kavrel.Id(), kavrel::kMainWindowClass, testing_support::kHangBoundMs);
  }
  // Asks the window to close and returns the exit code and the time it took.
  int Close(ChildProcess& kavrel, HWND window, DWORD* elapsedMs = nullptr) {
    const DWORD start = GetTickCount();
    PostMessageA(window, WM_CLOSE, 0, 0);
    const int code = kavrel.WaitForExit(testing_support::kHangBoundMs);
    if (elapsedMs) *elapsedMs = GetTickCount() - start;
    return code;
  }
  static std::string Text(HWND window, int id) { return WindowText(GetDlgItem(window, id)); }
  static bool Ticked(HWND window, int id) {
    return SendMessageA(GetDlgItem(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  static HWND List(HWND window) { return GetDlgItem(window, kavrel::kProjectList); }
  // The program runs with its window only: no message box appeared.
  static void ExpectNoOtherWindow(const ChildProcess& kavrel, HWND window) {
    EXPECT_EQ(FindProcessWindow(kavrel.Id(), "#32770", 1500), nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
  }
  void ExpectDesignState(HWND window) {
    EXPECT_EQ(RemoteListRowCount(List(window)), 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kavrel::kStartMonitorButton)));
    EXPECT_TRUE(Ticked(window, kavrel::kExcludeSystemDirs));
    EXPECT_TRUE(Ticked(window, kavrel::kHideBackupDir));
    EXPECT_EQ(Text(window, kavrel::kStartHours), "");
    EXPECT_EQ(Text(window, kavrel::kThreadLabel), "100");
  }

  ScratchDir dir_;
  std::string exe_;
};

TEST_F(KavrelSettings, AFullConfigurationSurvivesACloseAndASecondStart) {
  const std::string first = MonitoredDir("数据");
  const std::string second = MonitoredDir("two");
  const std::string gone = dir_ / "gone";
  const std::string backup1 = dir_ / "数据_backupx\\";
  const std::string backup2 = dir_ / "two_backupx\\";
  WriteSettingsFile(SettingsPath(), "1|2|1|2|1|0||3|4|5|42|" + first + "*" + backup1 + "*1\r\n" + gone + "\\*" +
                                        dir_ / "g\\*1\r\n" + second + "\\*" + backup2 + "*0\r\n");
  {
    ChildProcess kavrel;
    HWND window = Start(kavrel);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(RemoteListRowCount(List(window)), 3);  // the one whose folder is gone too
    EXPECT_EQ(Text(window, kavrel::kProgressBox), " 当前选中2个项目");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kavrel::kStartMonitorButton)));
    // Change what the user could change, then close.
    SendMessageA(GetDlgItem(window, kavrel::kExcludeSystemDirs), BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageA(GetDlgItem(window, kavrel::kStartSeconds), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("75"));
    SendMessageA(GetDlgItem(window, kavrel::kStartMinutes), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("59"));
    SendMessageA(GetDlgItem(window, kavrel::kThreadSlider), TBM_SETPOS, TRUE, 63);
    DWORD elapsed = 0;
    EXPECT_EQ(Close(kavrel, window, &elapsed), 0);
    EXPECT_GE(elapsed, 450u);
  }
  const std::string saved = ReadSettingsFile(SettingsPath());
  EXPECT_EQ(saved, "2|2|1|2|1|60|15|3|4|5|63|" + first + "\\*" + backup1 + "*1\r\n" + gone + "\\*" + dir_ / "g\\*1\r\n" +
                       second + "\\*" + backup2 + "*0\r\n");
  EXPECT_EQ(ReadFileBytes(SettingsPath()).size(), 3 * saved.size());
  EXPECT_EQ(GetFileAttributesA((SettingsPath() + ".new").c_str()), INVALID_FILE_ATTRIBUTES);

  ChildProcess again;
  HWND window = Start(again);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(Ticked(window, kavrel::kExcludeSystemDirs));
  EXPECT_FALSE(Ticked(window, kavrel::kExcludeHiddenDirs));
  EXPECT_TRUE(Ticked(window, kavrel::kExcludeEmptyDirs));
  EXPECT_FALSE(Ticked(window, kavrel::kHideBackupDir));
  EXPECT_EQ(Text(window, kavrel::kStartHours), "1");
  EXPECT_EQ(Text(window, kavrel::kStartMinutes), "60");
  EXPECT_EQ(Text(window, kavrel::kStartSeconds), "15");
  EXPECT_EQ(Text(window, kavrel::kIntervalHours), "3");
  EXPECT_EQ(Text(window, kavrel::kIntervalMinutes), "4");
  EXPECT_EQ(Text(window, kavrel::kIntervalSeconds), "5");
  EXPECT_EQ(SendMessageA(GetDlgItem(window, kavrel::kThreadSlider), TBM_GETPOS, 0, 0), 63);
  EXPECT_EQ(Text(window, kavrel::kThreadLabel), "063");
  HWND list = List(window);
  ASSERT_EQ(RemoteListRowCount(list), 3);
  EXPECT_EQ(RemoteListCell(list, 0, 3), first + "\\");
  EXPECT_EQ(RemoteListCell(list, 2, 4), backup2);
  EXPECT_TRUE(RemoteListChecked(list, 0));
  EXPECT_TRUE(RemoteListChecked(list, 1));
  EXPECT_FALSE(RemoteListChecked(list, 2));
  EXPECT_EQ(Text(window, kavrel::kProgressBox), " 当前选中2个项目");
  ExpectNoOtherWindow(again, window);
  EXPECT_EQ(Close(again, window), 0);
}

TEST_F(KavrelSettings, PastesKeepOnlyDigitsInTheScheduleBoxesAndEveryProjectSurvives) {
  kavrel_testing::UserSettings settings;
  for (const std::string name : {"one", "数据"})
    settings.projects.push_back({MonitoredDir(name) + "\\", dir_ / (name + "_backupx\\")});
  const int boxes[] = {kavrel::kStartHours, kavrel::kStartMinutes, kavrel::kStartSeconds,
                       kavrel::kIntervalHours, kavrel::kIntervalMinutes, kavrel::kIntervalSeconds};
  {
    kavrel_testing::KavrelDriver kavrel(dir_.path());
    ASSERT_TRUE(kavrel.Start(settings));
    for (int box : boxes) {
      kavrel.Paste(box, "abc", true);
      EXPECT_EQ(kavrel.Text(box), "") << box;
      kavrel.Paste(box, "1|2", false);
      // Hours take three characters, the others two.
      const bool hours = box == kavrel::kStartHours || box == kavrel::kIntervalHours;
      EXPECT_EQ(kavrel.Text(box), hours ? "12" : "1") << box;
    }
    kavrel.Close();
    ASSERT_EQ(kavrel.WaitForExit(testing_support::kHangBoundMs), 0);
  }
  settings.schedule[0] = settings.schedule[3] = "12";
  settings.schedule[1] = settings.schedule[2] = settings.schedule[4] = settings.schedule[5] = "1";
  EXPECT_EQ(ReadSettingsFile(SettingsPath()), kavrel_testing::SettingsPlainText(settings));
  kavrel_testing::KavrelDriver again(dir_.path());
  ASSERT_TRUE(again.StartWithSavedSettings());
  EXPECT_EQ(RemoteListRowCount(again.Control(kavrel::kProjectList)), 2);
  EXPECT_EQ(again.Text(kavrel::kIntervalHours), "12");
  again.Close();
  EXPECT_EQ(again.WaitForExit(testing_support::kHangBoundMs), 0);
}

TEST_F(KavrelSettings, BadOrUnreadableFilesGiveTheDesignStateWithoutAMessage) {
  std::mt19937 random(5);
  std::string noise, bigHex;
  for (int n = 0; n < 20000; ++n) noise += static_cast<char>(random() & 0xFF);
  for (int n = 0; n < 4 * 1024 * 1024; ++n) bigHex += "0123456789abcdef,"[random() % 17];
  const std::string contents[] = {noise, bigHex, "A", "ZZ,QQ,"};
  for (const std::string& content : contents) {
    WriteFileBytes(SettingsPath(), content);
    ChildProcess kavrel;
    HWND window = Start(kavrel);
    ASSERT_NE(window, nullptr) << content.size();
    EXPECT_EQ(RemoteListRowCount(List(window)), 0);
    ExpectNoOtherWindow(kavrel, window);
    kavrel.Kill();  // a close would save over the file under test
    kavrel.WaitForExit(testing_support::kHangBoundMs);
  }
  WriteSettingsFile(SettingsPath(), "2|2|2|2|9|9|9|9|9|9|9|");
  HANDLE lock = CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  ChildProcess kavrel;
  HWND window = Start(kavrel);
  ASSERT_NE(window, nullptr);
  ExpectDesignState(window);
  ExpectNoOtherWindow(kavrel, window);
  kavrel.Kill();
  kavrel.WaitForExit(testing_support::kHangBoundMs);
  CloseHandle(lock);
}

TEST_F(KavrelSettings, ACloseThatCannotReplaceCfIniSaysSoEndsWithCodeZeroAndKeepsThePreviousFile) {
  WriteSettingsFile(SettingsPath(), "2|2|2|2|||||||50|");
  const std::string before = ReadFileBytes(SettingsPath());
  ChildProcess kavrel;
  HWND window = Start(kavrel);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Text(window, kavrel::kThreadLabel), "050");
  SendMessageA(GetDlgItem(window, kavrel::kThreadSlider), TBM_SETPOS, TRUE, 7);  // a save would differ
  HANDLE lock = CreateFileA(SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  PostMessageA(window, WM_CLOSE, 0, 0);
  HWND box = FindProcessWindow(kavrel.Id(), "#32770", testing_support::kHangBoundMs);
  ASSERT_NE(box, nullptr);
  char text[512] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  EXPECT_EQ(std::string(text), "设置文件(" + SettingsPath() + ")无法写入，本次运行的项目和选项未能保存。");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(kavrel.WaitForExit(testing_support::kHangBoundMs), 0);
  CloseHandle(lock);
  EXPECT_EQ(ReadFileBytes(SettingsPath()), before);
  EXPECT_EQ(ReadSettingsFile(SettingsPath() + ".new"), "2|2|2|2|||||||7|");  // kept, not lost
}

TEST_F(KavrelSettings, WithoutRoomForATemporaryFileTheCloseWritesCfIniInPlace) {
  ASSERT_TRUE(CreateDirectoryA((SettingsPath() + ".new").c_str(), nullptr));
  ChildProcess kavrel;
  HWND window = Start(kavrel);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Close(kavrel, window), 0);
  EXPECT_EQ(ReadSettingsFile(SettingsPath()), "1|1|1|1|||||||100|");
}

}  // namespace
