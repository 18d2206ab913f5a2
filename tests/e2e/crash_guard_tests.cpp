// Faults in Kavrel's real start routine, its window's thread and its other
// threads, each in a probe process of its own: the box, and how it ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "apps/kavrel/main_window.h"
#include "e2e/kavrel_driver.h"
#include "gui/modal_watch.h"
#include "support/test_support.h"

namespace {

using testing_support::ChildProcess;

constexpr char kBoxClass[] = "#32770";
constexpr int kAccessViolation = static_cast<int>(0xC0000005);
constexpr int kStackOverflow = static_cast<int>(0xC00000FD);

struct Box {
  std::string caption, text, ownerClass;
};

class Probe {
 public:
  explicit Probe(const std::string& mode) {
    testing_support::CopyFileTo(testing_support::TestProgramDirectory() + "crash_guard_probe.exe", dir_ / "probe.exe");
    started_ = process_.Start(dir_ / "probe.exe", mode, dir_.path());
  }
  // The next fault box, read and closed with OK; an empty caption when none came.
  Box PressOk(int timeoutMs = testing_support::kHangBoundMs) {
    Box box;
    HWND window = testing_support::FindProcessWindow(process_.Id(), kBoxClass, timeoutMs);
    if (!window) return box;
    box.caption = testing_support::WindowText(window);
    box.text = kavrel_testing::BoxMessage(window);
    char owner[256] = {};
    GetClassNameA(GetWindow(window, GW_OWNER), owner, sizeof owner);
    box.ownerClass = owner;
    kavrel_testing::PressButton(window, IDOK);
    testing_support::WaitUntil([&] { return !IsWindow(window); }, testing_support::kHangBoundMs);
    return box;
  }
  int Exit() { return process_.WaitForExit(testing_support::kHangBoundMs); }
  std::string Output() const { return process_.Output(); }
  bool started() const { return started_; }
  DWORD Id() const { return process_.Id(); }

 private:
  testing_support::ScratchDir dir_;
  ChildProcess process_;
  bool started_ = false;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CrashGuard, AMainThreadFaultIsReportedInABoxOwnedByTheMainWindowAndEndsTheProcessWithZero) {
  for (const char* mode : {"read", "write"}) {
    Probe probe(mode);
    ASSERT_TRUE(probe.started());
    const Box box = probe.PressOk();
    EXPECT_EQ(box.caption, "程序异常：") << mode;
    EXPECT_TRUE(Has(box.text, "警告:程序发生错误\r\n错误信息:访问无效内存\r\n         尝试的操作：" +
                                  std::string(mode == std::string("read") ? "读取" : "写入") +
                                  "\r\n         目标地址:0x00000000\r\n发生位置:0x"))
        << box.text;
    EXPECT_TRUE(Has(box.text, "相对地址:[probe.exe].0x")) << box.text;
    EXPECT_FALSE(Has(box.text, "CallStack")) << box.text;
    EXPECT_EQ(box.ownerClass, kavrel::kMainWindowClass);
    EXPECT_EQ(probe.Exit(), 0);
  }
}

TEST(CrashGuard, AFaultInAnyOtherThreadEndsOnlyThatThreadAndTheWindowLivesOn) {
  Probe probe("threads");
  ASSERT_TRUE(probe.started());
  for (int thread = 0; thread < 4; ++thread) {
    const Box box = probe.PressOk();
    EXPECT_TRUE(Has(box.text, thread < 3 ? "错误信息:访问无效内存" : "错误信息:线程堆栈溢出异常")) << thread;
    EXPECT_EQ(box.ownerClass, "") << thread;  // the thread has no window
    if (thread == 3) break;  // after the last, the probe closes its window itself
    HWND window = testing_support::FindProcessWindow(probe.Id(), kavrel::kMainWindowClass, 1000);
    EXPECT_TRUE(testing_support::WaitUntil([&] {
      DWORD_PTR answer = 0;
      return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &answer) != 0;
    }, testing_support::kHangBoundMs)) << thread;
  }
  EXPECT_EQ(probe.Exit(), 0);
  EXPECT_TRUE(Has(probe.Output(), "create 0|begin 0|std joined|overflow 0|")) << probe.Output();
}

TEST(CrashGuard, OptionsDecideWhatIsReportedAndWhatEnds) {
  {
    Probe probe("process");  // endThreadOnly 0: a worker's fault ends the process
    EXPECT_TRUE(Has(probe.PressOk().text, "访问无效内存"));
    EXPECT_EQ(probe.Exit(), 0);
  }
  for (const auto& [mode, code] : {std::pair{"inactive", kAccessViolation}, {"inactive-stack", kStackOverflow}}) {
    Probe probe(mode);
    EXPECT_EQ(probe.PressOk(3000).caption, "") << mode;
    EXPECT_EQ(probe.Exit(), code) << mode;
  }
  {
    Probe probe("cpp");
    EXPECT_EQ(probe.PressOk(3000).caption, "");
    EXPECT_EQ(probe.Exit(), static_cast<int>(0xE06D7363));
  }
  {
    Probe probe("cpp-report");
    EXPECT_TRUE(Has(probe.PressOk().text, "错误信息:执行Virtual C++ throw()指令\r\n"));
    EXPECT_EQ(probe.Exit(), 0);
  }
  {
    Probe probe("callback");
    EXPECT_EQ(probe.PressOk(3000).caption, "");
    EXPECT_EQ(probe.Exit(), 0);
    EXPECT_TRUE(Has(probe.Output(), "callback ran")) << probe.Output();
  }
  {
    Probe probe("callback-fault");
    const Box box = probe.PressOk();
    EXPECT_EQ(box.text, "程序发生严重错误，无法获取异常信息，程序准备关闭");
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(probe.Exit(), 0);
  }
}

TEST(CrashGuard, EachKindOfFaultHasItsOwnLine) {
  const struct { const char* mode; const char* line; } kKinds[] = {
      {"divide", "错误信息:非法除0异常\r\n"},
      {"int3", "错误信息:int3调试中断\r\n"},
      {"illegal", "错误信息:非法CPU指令\r\n"},
      {"stack", "错误信息:线程堆栈溢出异常\r\n"},
  };
  for (const auto& kind : kKinds) {
    Probe probe(kind.mode);
    const std::string text = probe.PressOk().text;
    EXPECT_TRUE(Has(text, kind.line)) << kind.mode << ": " << text;
    EXPECT_EQ(probe.Exit(), 0) << kind.mode;
  }
}

TEST(CrashGuard, GuardedThreadsFreeTheirRecordsAndReturnTheirOwnExitCodeAndOnlyOwnProcessThreadsAreGuarded) {
  Probe probe("starts");
  EXPECT_EQ(probe.Exit(), 0);
  EXPECT_EQ(probe.Output(), "seven guarded|seven 7|wrong 5|seven unguarded|real 7|records freed|");
}

TEST(CrashGuard, TheEndOfTheMessageLoopReturnsThroughTheUnlinkStub) {
  Probe probe("quit");
  EXPECT_EQ(probe.Exit(), 0);
  EXPECT_EQ(probe.Output(), "main record|returned 0 head restored|");
}

// All zero when the file cannot be read.
BY_HANDLE_FILE_INFORMATION FileInfo(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  if (file != INVALID_HANDLE_VALUE && !GetFileInformationByHandle(file, &info)) info = {};
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return info;
}

DWORD LinkCount(const std::string& path) { return FileInfo(path).nNumberOfLinks; }

// The probe has put in the hooks that make a check fault, which it does once the guard is on.
bool ProbeHooked(kavrel_testing::KavrelDriver& kavrel) {
  return testing_support::WaitUntil([&] { return Has(kavrel.Process().Output(), "hooked|"); },
                                    testing_support::kHangBoundMs);
}

bool SameFile(const std::string& a, const std::string& b) {
  const BY_HANDLE_FILE_INFORMATION x = FileInfo(a), y = FileInfo(b);
  return x.nNumberOfLinks != 0 && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

TEST(CrashGuard, AWorkerThatFaultsDuringARealCheckEndsAloneAndTheNextPassTakesUpItsFiles) {
  testing_support::ScratchDir root;
  const std::string src = root / "src\\", backup = root / "src_backupx\\";
  CreateDirectoryA(src.c_str(), nullptr);
  constexpr int kFiles = 300;
  for (int i = 0; i < kFiles; ++i) testing_support::WriteFileBytes(src + "f" + std::to_string(i) + ".txt", "x");
  testing_support::WriteFileBytes(src + "fault_here.txt", "x");
  kavrel_testing::UserSettings settings;
  settings.projects.push_back({src, backup, true});
  kavrel_testing::KavrelDriver kavrel(root.path(), testing_support::TestProgramDirectory() + "crash_guard_probe.exe");
  ASSERT_TRUE(kavrel.Start(settings));
  ASSERT_TRUE(ProbeHooked(kavrel));
  kavrel.ClickStart();
  HWND box = testing_support::FindProcessWindow(kavrel.Process().Id(), kBoxClass, 60000);
  ASSERT_NE(box, nullptr) << kavrel.Progress() << kavrel.WaitForExit(0) << kavrel.Process().Output();
  EXPECT_TRUE(Has(kavrel_testing::BoxMessage(box), "尝试的操作：写入"));
  kavrel_testing::PressButton(box, IDOK);
  ASSERT_TRUE(testing_support::WaitUntil([&] { return kavrel.Status() == " 监控停止"; }, 120000)) << kavrel.Progress();
  int missed = 0;
  for (int i = 0; i < kFiles; ++i) missed += LinkCount(src + "f" + std::to_string(i) + ".txt") != 2;
  missed += LinkCount(src + "fault_here.txt") != 2;
  EXPECT_GT(missed, 0);
  EXPECT_EQ(kavrel.Progress(), " 本次检查共发现" + std::to_string(kFiles + 1 - missed) + "个增量文件并已备份，" +
                                   std::to_string(missed) + "个文件未能备份");

  kavrel.ClickStart();
  ASSERT_TRUE(testing_support::WaitUntil([&] {
    return kavrel.Progress() == " 本次检查共发现" + std::to_string(missed) + "个增量文件并已备份";
  }, 120000)) << kavrel.Progress();
  for (int i = 0; i < kFiles; ++i) EXPECT_EQ(LinkCount(src + "f" + std::to_string(i) + ".txt"), 2u) << i;
  EXPECT_EQ(LinkCount(src + "fault_here.txt"), 2u);
  kavrel.Close();
  EXPECT_EQ(kavrel.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_EQ(kavrel.Process().Output(), "hooked|");
}

// The first project's check thread faults; the second project, whose tree
// has the same names, waits. Each file ends up in its own project's backup.
TEST(CrashGuard, ACheckThreadThatFaultsEndsAloneAndTheNextProjectGetsAFreshCheck) {
  constexpr int kFiles = 30;
  // The pass text counts the links of both checks, the ended one's too.
  const struct { const char* backup; DWORD firstLinks; int passLinks; } kCases[] = {
      {"fault_check\\", 1, kFiles},      // faults while it prepares its backup folder: nothing linked
      {"held_backup\\", 2, 2 * kFiles},  // faults at its first progress text, its workers running on
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.backup);
    testing_support::ScratchDir root;
    const std::string first = root / "first\\", second = root / "second\\", firstBackup = root / c.backup,
                      secondBackup = root / "second_backup\\";
    kavrel_testing::UserSettings settings;
    settings.threads = 3;
    for (const std::string& source : {first, second}) {
      CreateDirectoryA(source.c_str(), nullptr);
      CreateDirectoryA((source + "sub").c_str(), nullptr);
      for (int i = 0; i < kFiles; ++i) testing_support::WriteFileBytes(source + "sub\\f" + std::to_string(i), source);
    }
    settings.projects.push_back({first, firstBackup});
    settings.projects.push_back({second, secondBackup});
    kavrel_testing::KavrelDriver kavrel(root.path(), testing_support::TestProgramDirectory() + "crash_guard_probe.exe");
    ASSERT_TRUE(kavrel.Start(settings));
    ASSERT_TRUE(ProbeHooked(kavrel));
    kavrel.ClickStart();
    HWND box = testing_support::FindProcessWindow(kavrel.Process().Id(), kBoxClass, testing_support::kHangBoundMs);
    ASSERT_NE(box, nullptr) << kavrel.Progress() << kavrel.Process().Output();
    EXPECT_TRUE(Has(kavrel_testing::BoxMessage(box), "尝试的操作：写入"));
    kavrel_testing::PressButton(box, IDOK);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return kavrel.Status() == " 监控停止"; }, 120000))
        << kavrel.Progress();
    EXPECT_EQ(kavrel.Progress(), " 本次检查共发现" + std::to_string(c.passLinks) + "个增量文件并已备份");
    // The check that did not run to its end is marked, the next one is not.
    const HWND list = kavrel.Control(kavrel::kProjectList);
    EXPECT_EQ(testing_support::RemoteListImage(list, 0), 2);
    EXPECT_EQ(testing_support::RemoteListImage(list, 1), 1);
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = "sub\\f" + std::to_string(i);
      EXPECT_EQ(LinkCount(first + name), c.firstLinks) << name;
      if (c.firstLinks == 2) {
        EXPECT_TRUE(SameFile(first + name, firstBackup + name)) << name;
      }
      EXPECT_EQ(LinkCount(second + name), 2u) << name;
      EXPECT_TRUE(SameFile(second + name, secondBackup + name)) << name;
      EXPECT_EQ(GetFileAttributesA((secondBackup + name + ".old").c_str()), INVALID_FILE_ATTRIBUTES) << name;
    }
    kavrel.Close();
    EXPECT_EQ(kavrel.WaitForExit(testing_support::kHangBoundMs), 0);
    EXPECT_EQ(kavrel.Process().Output(), "hooked|");
  }
}

}  // namespace
