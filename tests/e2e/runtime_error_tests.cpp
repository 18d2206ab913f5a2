// Run-time errors as Kavrel meets them: reported in a box, then exit code -1.
#include <gtest/gtest.h>

#include "gui/modal_watch.h"
#include "support/test_support.h"

namespace {

using testing_support::ChildProcess;

struct Box {
  std::string caption;
  std::string text;
};

// Reads the probe's box, presses OK and gives the exit code (STILL_ACTIVE while it runs).
DWORD RunProbe(const char* mode, Box& box) {
  ChildProcess probe;
  EXPECT_TRUE(probe.Start(testing_support::TestProgramDirectory() + "runtime_error_probe.exe", mode));
  if (HWND window = testing_support::FindProcessWindow(probe.Id(), "#32770", testing_support::kHangBoundMs)) {
    box.caption = testing_support::WindowText(window);
    box.text = kavrel_testing::BoxMessage(window);
    kavrel_testing::PressButton(window, IDOK);
  }
  probe.WaitForExit(testing_support::kHangBoundMs);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(probe.Handle(), &code);
  return code;
}

const char kReport[] = "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：内存不足，无法分配内存\r\n";

TEST(RuntimeErrorBox, WithNoMemoryLeftTheFallbackBoxStillShowsTheReport) {
  Box box;
  EXPECT_EQ(RunProbe("exhausted", box), 0xFFFFFFFFu);
  EXPECT_EQ(box.caption, "运行时出错");
  EXPECT_EQ(box.text, kReport);
}

TEST(RuntimeErrorBox, AFailedAllocationDuringKavrelsStartIsReported) {
  Box box;
  EXPECT_EQ(RunProbe("start", box), 0xFFFFFFFFu);
  EXPECT_EQ(box.caption, "程序异常：");
  EXPECT_EQ(box.text.rfind(kReport, 0), 0u) << box.text;
}

TEST(RuntimeErrorBox, AnExceptionThatNothingCatchesIsReportedInAnyThread) {
  for (const char* mode : {"uncaught-main", "uncaught-thread"}) {
    Box box;
    EXPECT_EQ(RunProbe(mode, box), 0xFFFFFFFFu) << mode;
    EXPECT_EQ(box.caption, "程序异常：") << mode;
    EXPECT_EQ(box.text.rfind("运行时出错!\r\n\r\n错误代码：2\r\n\r\n错误信息：未处理的异常：vector::_M_range_check", 0), 0u)
        << mode << ": " << box.text;
  }
}

}  // namespace
