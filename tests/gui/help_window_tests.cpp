#include <windows.h>

#include "apps/kavrel/help_window.h"
#include "backup/ui/help_actions.h"
#include "gui/kavrel_test_window.h"
#include "gui/modal_watch.h"

namespace {

using namespace kavrel;
using kavrel_testing::KavrelWindowTest;
using testing_support::WaitUntil;

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void SetClipboardText(const std::string& text) { CopyTextToClipboard(nullptr, text); }

// Opens the help window as the button does; inspect(help) runs on another
// thread while it shows, then the window is closed by its close box.
void WithHelpWindow(const std::function<void(HWND help)>& inspect) {
  std::thread watcher([&] {
    HWND help = testing_support::FindProcessWindow(GetCurrentProcessId(), "KavrelHelpWindow", testing_support::kHangBoundMs);
    if (!help) return;
    inspect(help);
    PostMessageA(help, WM_CLOSE, 0, 0);
  });
  SendMessageA(kavrel::MainWindow().Control(kHelpButton), BM_CLICK, 0, 0);
  watcher.join();
}

TEST_F(KavrelWindowTest, HelpWindowShowsTheUsageTextWithoutMinimiseBox) {
  window().SetTopmost(true);
  window().SetMenuCaption(kMenuWindowTopmost, "取消置顶");
  kavrel::Program().topmost = true;
  std::string text, caption;
  LONG style = 0;
  bool ownerEnabled = true, topmost = true;
  LRESULT icon = 0;
  RECT r = {};
  WithHelpWindow([&](HWND help) {
    text = testing_support::WindowText(GetDlgItem(help, kHelpText));
    caption = testing_support::WindowText(help);
    style = GetWindowLongA(help, GWL_STYLE);
    ownerEnabled = IsWindowEnabled(window().Window()) != FALSE;
    topmost = window().Topmost();
    icon = SendMessageA(help, WM_GETICON, ICON_BIG, 0);
    GetWindowRect(help, &r);
  });
  EXPECT_EQ(text.size(), 958u);
  EXPECT_EQ(text, kUsageText);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
  EXPECT_EQ(text.substr(0, 6), "\r\n    ");
  EXPECT_NE(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.substr(2, 8), "    本工");
  EXPECT_EQ(caption, "使用说明");
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(ownerEnabled);  // modal over the main window
  EXPECT_FALSE(topmost);
  EXPECT_EQ(window().MenuCaption(kMenuWindowTopmost), "窗口置顶");
  EXPECT_NE(icon, 0);
  EXPECT_EQ(r.right - r.left, 780);
  EXPECT_EQ(r.bottom - r.top, 268);
  EXPECT_TRUE(IsWindowEnabled(window().Window()));  // back after closing
}

TEST_F(KavrelWindowTest, AClickInALinkBoxCopiesTheWholeLink) {
  std::string afterFirst, afterSecond, boxText;
  bool editable = true;
  WithHelpWindow([&](HWND help) {
    HWND box1 = GetDlgItem(help, kBilibiliBox), box2 = GetDlgItem(help, kIxiguaBox);
    boxText = testing_support::WindowText(box1);
    editable = !(GetWindowLongA(box1, GWL_STYLE) & ES_READONLY);
    SetClipboardText("before");
    PostMessageA(box1, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 8));  // past the middle of the text
    PostMessageA(box1, WM_LBUTTONUP, 0, MAKELPARAM(200, 8));
    WaitUntil([&] { return ClipboardText() != "before"; }, 5000);
    afterFirst = ClipboardText();
    PostMessageA(box2, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 8));
    PostMessageA(box2, WM_LBUTTONUP, 0, MAKELPARAM(3, 8));
    WaitUntil([&] { return ClipboardText() != afterFirst; }, 5000);
    afterSecond = ClipboardText();
  });
  EXPECT_EQ(boxText, kBilibiliLink);
  EXPECT_FALSE(editable);
  EXPECT_EQ(afterFirst, kBilibiliLink);
  EXPECT_EQ(afterSecond, kIxiguaLink);
  EXPECT_NE(std::string(kBilibiliLink).find("bilibili.com/video/"), std::string::npos);
  EXPECT_NE(std::string(kIxiguaLink).find("ixigua.com/"), std::string::npos);
}

TEST_F(KavrelWindowTest, OpeningTheHelpWindowAgainAndAgainKeepsTheGdiObjectCount) {
  WithHelpWindow([](HWND) {});
  const int afterFirst = testing_support::GdiObjectCount();
  ASSERT_GT(afterFirst, 0);
  for (int opening = 0; opening < 20; ++opening) WithHelpWindow([](HWND) {});
  EXPECT_LE(testing_support::GdiObjectCount(), afterFirst);
}

}  // namespace
