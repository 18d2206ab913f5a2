#include <gtest/gtest.h>

#include <string>

#include "base/utilities.h"
#include "support/test_support.h"

namespace {

using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

TEST(FormatByteSize, MatchesTheTableAndItsUnitBorders) {
  const struct { int64_t bytes; const char* text; } kCases[] = {
      {0, "0K"},
      {5, "0K"},
      {6, "0.01K"},
      {512, "0.5K"},
      {1536, "1.5K"},
      {1023995, "1000K"},
      {1024000, "0.98M"},
      {1048576, "1M"},
      {123456789, "117.74M"},
      {1073741824, "1G"},
      {INT64_C(1099511627776), "1T"},
      {-1, "-0K"},
      {1023999, "1000K"},
      {INT64_C(1048576) * 1000 - 1, "1000M"},
      {INT64_C(1099511627776) * 5000, "5000T"},
      {-1536, "-1.5K"},
  };
  for (const auto& c : kCases) EXPECT_EQ(FormatByteSize(c.bytes), c.text) << c.bytes;
}

TEST(OpacityByWheel, GivesTheAlphaTableAndClampsTheLevel) {
  const int kAlpha[] = {255, 229, 204, 178, 153, 127, 102, 76, 50, 25};
  for (int level = 0; level >= -9; --level) EXPECT_EQ(AlphaForTransparencyLevel(level), kAlpha[-level]);

  TransparencyLevel = 0;
  OnListMouseWheel(-3, 0);  // three notches toward the user
  EXPECT_EQ(TransparencyLevel, -3);
  EXPECT_EQ(AlphaForTransparencyLevel(TransparencyLevel), 178);
  OnListMouseWheel(-40, 0);
  EXPECT_EQ(TransparencyLevel, -9);
  EXPECT_EQ(AlphaForTransparencyLevel(TransparencyLevel), 25);
  OnListMouseWheel(1, 0);
  EXPECT_EQ(AlphaForTransparencyLevel(TransparencyLevel), 50);
  OnListMouseWheel(25, 0);
  EXPECT_EQ(TransparencyLevel, 0);
}

TEST(OpacityByWheel, SetsTheWindowsLayeredAlpha) {
  HWND window = CreateWindowExA(0, "STATIC", "w", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetOpacityWindow(window);
  TransparencyLevel = 0;
  OnListMouseWheel(-2, 0);
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE), WS_EX_LAYERED);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(window, nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 204);
  EXPECT_EQ(flags, DWORD(LWA_ALPHA));
  SetOpacityWindow(nullptr);
  DestroyWindow(window);
  TransparencyLevel = 0;
}

TEST(DirectoryTests, TellDirectoriesFilesAndEmptiness) {
  ScratchDir dir;
  CreateDirectoryA((dir / "empty").c_str(), nullptr);
  CreateDirectoryA((dir / "full").c_str(), nullptr);
  WriteFileBytes(dir / "full\\a.txt", "abc");
  EXPECT_TRUE(IsDirectory(dir.path()));
  EXPECT_TRUE(IsDirectory(dir / "empty"));
  EXPECT_FALSE(IsDirectory(dir / "full\\a.txt"));
  EXPECT_FALSE(IsDirectory(dir / "missing"));
  EXPECT_TRUE(IsDirectoryEmpty(dir / "empty"));
  EXPECT_FALSE(IsDirectoryEmpty(dir / "full"));
  EXPECT_FALSE(IsDirectoryEmpty(dir / "missing"));
}

TEST(DirectoryTests, EnsureDirectoryPathCreatesEveryMissingLevel) {
  ScratchDir dir;
  EXPECT_TRUE(EnsureDirectoryPath(dir / "a\\b\\c"));
  EXPECT_TRUE(IsDirectory(dir / "a\\b\\c"));
  EXPECT_TRUE(EnsureDirectoryPath(dir / "a\\b\\c\\"));  // already there
  EXPECT_TRUE(EnsureDirectoryPath(dir / "监控\\子目录"));
  EXPECT_TRUE(IsDirectory(dir / "监控\\子目录"));
  WriteFileBytes(dir / "file", "x");
  EXPECT_FALSE(EnsureDirectoryPath(dir / "file\\below"));
}

// 0x80 is a character of its own: the backslash after it ends the folder.
TEST(OwnExecutableDirectory, EndsAtTheBackslashAfterAEuroByte) {
  ScratchDir dir;
  const std::string folder = dir / "ab\x80\\";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(testing_support::CopyFileTo(testing_support::TestProgramDirectory() + "file_probe.exe",
                                          folder + "file_probe.exe"));
  testing_support::ChildProcess probe;
  ASSERT_TRUE(probe.Start(folder + "file_probe.exe", "directory"));
  ASSERT_EQ(probe.WaitForExit(30000), 0);
  EXPECT_EQ(probe.Output(), folder);
}

TEST(DirectorySize, SumsEveryFileBelowAFolder) {
  ScratchDir dir;
  WriteFileBytes(dir / "a.bin", std::string(1000, 'a'));
  CreateDirectoryA((dir / "sub").c_str(), nullptr);
  CreateDirectoryA((dir / "sub\\deeper").c_str(), nullptr);
  WriteFileBytes(dir / "sub\\b.bin", std::string(2345, 'b'));
  WriteFileBytes(dir / "sub\\deeper\\c.bin", std::string(7, 'c'));
  WriteFileBytes(dir / "sub\\deeper\\隐藏.bin", std::string(100, 'd'));
  SetFileAttributesA((dir / "sub\\deeper\\隐藏.bin").c_str(), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(GetFolderSizeViaCom(dir.path()), 3452);
  EXPECT_EQ(GetDirectorySize(dir.path()), 3452);
  EXPECT_EQ(SumFolderFiles(dir.path()), 3452);
  EXPECT_EQ(GetDirectorySize(dir / "sub"), 2452);
}

TEST(DirectorySize, AMissingFolderMeasuresZero) {
  ScratchDir dir;
  EXPECT_EQ(GetFolderSizeViaCom(dir / "missing"), 0);
  EXPECT_EQ(SumFolderFiles(dir / "missing"), 0);
  CreateDirectoryA((dir / "e").c_str(), nullptr);
  EXPECT_EQ(GetFolderSizeViaCom(dir / "e"), 0);
}

TEST(DirectorySize, ADriveRootIsTheVolumesUsedSpace) {
  ULARGE_INTEGER freeToCaller, total, totalFree;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &freeToCaller, &total, &totalFree));
  const int64_t expected = int64_t(total.QuadPart - freeToCaller.QuadPart);
  // Other processes write meanwhile: allow a little drift.
  EXPECT_NEAR(double(GetDirectorySize("C:\\")), double(expected), 64.0 * 1024 * 1024);
  EXPECT_EQ(GetDirectorySize("Q:\\"), 0);  // no such volume
}

TEST(TextLength, CountsBytes) {
  EXPECT_EQ(FastTextLength(static_cast<const char*>(nullptr)), 0);
  EXPECT_EQ(FastTextLength(""), 0);
  EXPECT_EQ(FastTextLength("监控"), 4);
  EXPECT_EQ(FastTextLength(std::string("ab\0c", 4)), 4);
}

// Set when the first WM_APP is handled: the wait is then under way.
HANDLE g_firstHandled = nullptr;

LRESULT CALLBACK CountingProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) {
    if (++*reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA)) == 1) SetEvent(g_firstHandled);
    return 0;
  }
  return DefWindowProcA(window, msg, wp, lp);
}

// Posts the second message once the first has been handled inside the wait,
// so it arrives while the wait goes on, however slow the machine.
DWORD WINAPI PostOnceTheWaitRuns(LPVOID window) {
  if (WaitForSingleObject(g_firstHandled, testing_support::kHangBoundMs) != WAIT_OBJECT_0) return 1;
  PostMessageA(static_cast<HWND>(window), WM_APP, 0, 0);
  return 0;
}

volatile LONG g_seenParameter = 0;
DWORD WINAPI RecordParameter(LPVOID parameter) {
  g_seenParameter = static_cast<LONG>(reinterpret_cast<intptr_t>(parameter));
  return 0;
}

TEST(DelayWithMessages, ZeroReturnsAtOnce) {
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(DelayWithMessages(0));
  EXPECT_LT(GetTickCount64() - start, 10000u);  // a hang bound, not a time
}

TEST(DelayWithMessages, WaitsTheTimeAndKeepsAWindowsMessagesFlowing) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CountingProc;
  wc.lpszClassName = "DelayProbe";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "DelayProbe", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  int handled = 0;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handled));
  // One message waits in the queue; a second arrives during the wait, from another thread.
  g_firstHandled = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE poster = CreateThread(nullptr, 0, PostOnceTheWaitRuns, window, 0, nullptr);
  PostMessageA(window, WM_APP, 0, 0);
  const ULONGLONG start = GetTickCount64();
  EXPECT_TRUE(DelayWithMessages(2000, kMilliseconds));
  const ULONGLONG took = GetTickCount64() - start;
  EXPECT_EQ(handled, 2);
  EXPECT_GE(took, 1980u);
  EXPECT_LT(took, 120000u);  // the unit is milliseconds, not seconds (a hang bound)
  WaitForSingleObject(poster, INFINITE);
  CloseHandle(poster);
  CloseHandle(g_firstHandled);
  DestroyWindow(window);
}

TEST(DelayWithMessages, TakesSecondsAsUnit) {
  const ULONGLONG start = GetTickCount64();
  DelayWithMessages(1, kSeconds);
  EXPECT_GE(GetTickCount64() - start, 980u);
}

TEST(StartWorkerThread, RunsTheRoutineWithItsParameterAndKeepsTheHandle) {
  HANDLE handle = nullptr;
  StartWorkerThread(RecordParameter, 4242, handle);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(WaitForSingleObject(handle, testing_support::kHangBoundMs), WAIT_OBJECT_0);
  EXPECT_EQ(g_seenParameter, 4242);
  CloseHandle(handle);
}

TEST(SingleInstanceGuards, CountRulesWithoutOtherProcesses) {
  EXPECT_FALSE(GuardSingleInstanceByProcess(std::string(), -1, false, nullptr));
  EXPECT_TRUE(GuardSingleInstanceByProcess(std::string(), 0, false, nullptr));  // 0 allowed: always a duplicate
  EXPECT_FALSE(GuardSingleInstanceByProcess(std::string(), 1, false, nullptr)); // only this process
  EXPECT_FALSE(GuardSingleInstanceByProcess("no_such_program.exe", 1, false, nullptr));
}

TEST(SingleInstanceGuards, MutexExistsAfterTheFirstCall) {
  const std::string name = "kavrel_test_mutex_" + std::to_string(GetCurrentProcessId());
  EXPECT_FALSE(GuardSingleInstanceByMutex(name, false, nullptr));
  EXPECT_TRUE(GuardSingleInstanceByMutex(name, false, nullptr));
}

}  // namespace
