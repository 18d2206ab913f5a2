// The toolkit's real message boxes: a second thread finds the box, reads its
// text and buttons and presses one.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "gui/dialog_helper_test.h"

namespace {

using namespace shell;
using testing_support::WindowText;

struct SeenBox {
  bool found = false;
  std::string caption, text;
  std::string buttons[8];  // by control id 1..7; empty when the box has no such button
  RECT rect = {};
};

BOOL CALLBACK MatchBox(HWND window, LPARAM data) {
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM data) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  auto* text = reinterpret_cast<std::string*>(data);
  if (lstrcmpiA(cls, "Static") == 0) {
    std::string t = WindowText(child);
    if (t.size() > text->size()) *text = t;
  }
  return TRUE;
}

// Watches the box of one thread from a thread of its own, then presses a button.
class BoxWatcher {
 public:
  BoxWatcher(DWORD boxThread, int pressId, int holdMs = 300) {
    thread_ = std::thread([=] {
      HWND box = nullptr;
      for (int i = 0; i < 400 && !box; ++i) {
        EnumThreadWindows(boxThread, MatchBox, reinterpret_cast<LPARAM>(&box));
        if (!box) Sleep(25);
      }
      if (!box) return;
      Sleep(holdMs);  // the box waits for the user meanwhile
      if (!IsWindow(box)) return;
      seen_.found = true;
      seen_.caption = WindowText(box);
      EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&seen_.text));
      for (int id = 1; id <= 7; ++id)
        if (HWND button = GetDlgItem(box, id)) seen_.buttons[id] = WindowText(button);
      GetWindowRect(box, &seen_.rect);
      if (pressId > 0)
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, pressId)));
    });
  }
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;
  ~BoxWatcher() { Join(); }
  const SeenBox& Seen() {
    Join();
    return seen_;
  }

 private:
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  SeenBox seen_;
  std::thread thread_;
};

class MessageBoxTest : public kavrel_testing::DialogHelperTest {
 protected:
  // A plain box of this style, for the platform's own captions and place.
  SeenBox PlainBox(const std::string& text, int32_t style, int pressId) {
    BoxWatcher watcher(GetCurrentThreadId(), pressId);
    helper_->MessageBoxWithTimeout(text, style, "比较", owner_);
    return watcher.Seen();
  }
};

TEST_F(MessageBoxTest, WithoutATimeOutTheBoxWaitsAndNoGivesSix) {
  BoxWatcher watcher(GetCurrentThreadId(), IDNO, 1500);
  const ULONGLONG start = GetTickCount64();
  const int32_t result = helper_->MessageBoxWithTimeout("要继续吗？", MB_YESNO | MB_ICONEXCLAMATION, "", owner_, 0);
  EXPECT_GE(GetTickCount64() - start, 1400u);
  EXPECT_EQ(result, 6);
  const SeenBox& seen = watcher.Seen();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.caption, "信息");  // the default caption
  EXPECT_EQ(seen.text, "要继续吗？");
  EXPECT_FALSE(seen.buttons[IDYES].empty());
  EXPECT_FALSE(seen.buttons[IDNO].empty());
  EXPECT_TRUE(seen.buttons[IDOK].empty());
}

TEST_F(MessageBoxTest, ResultsAreThePlatformsMinusOne) {
  {
    BoxWatcher watcher(GetCurrentThreadId(), IDOK);
    EXPECT_EQ(helper_->MessageBoxWithTimeout("好", MB_OK, "标题", owner_), 0);
    EXPECT_EQ(watcher.Seen().caption, "标题");
  }
  {
    BoxWatcher watcher(GetCurrentThreadId(), IDRETRY);
    EXPECT_EQ(helper_->MessageBoxWithTimeout("再试", MB_RETRYCANCEL, "", owner_), 3);
  }
}

// Wine shows the timed box but never ends it by itself, so only the box is checked.
TEST_F(MessageBoxTest, APositiveTimeOutShowsTheBoxThroughTheTimedCall) {
  BoxWatcher watcher(GetCurrentThreadId(), IDCANCEL);
  const int32_t result = helper_->MessageBoxWithTimeout("稍候", MB_OKCANCEL, "", owner_, 60000);
  const SeenBox& seen = watcher.Seen();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.text, "稍候");
  EXPECT_EQ(result, 1);
}

TEST_F(MessageBoxTest, OnlyTheFirstButtonsCaptionIsReplaced) {
  const SeenBox plain = PlainBox("选择", MB_OKCANCEL, IDOK);
  ASSERT_TRUE(plain.found);
  BoxWatcher watcher(GetCurrentThreadId(), IDCANCEL);
  ButtonCaptions captions;
  captions[0] = "好的";
  const int32_t result =
      helper_->MessageBoxWithButtons("选择", "", MB_OKCANCEL, owner_, 0, kPlatformBoxPosition, 0, captions);
  EXPECT_EQ(result, 1);
  const SeenBox& seen = watcher.Seen();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.caption, "信息");
  EXPECT_EQ(seen.buttons[IDOK], "好的");
  EXPECT_EQ(seen.buttons[IDCANCEL], plain.buttons[IDCANCEL]);
  EXPECT_EQ(DialogHelperGlobals().buttonCaptions[0], "好的");
}

TEST_F(MessageBoxTest, NoGivesSixAndTheHookIsGoneForTheNextBox) {
  const SeenBox plain = PlainBox("是否", MB_YESNO, IDYES);
  {
    BoxWatcher watcher(GetCurrentThreadId(), IDNO);
    ButtonCaptions captions;
    captions[5] = "对";
    captions[6] = "错";
    EXPECT_EQ(helper_->MessageBoxWithButtons("是否", "问", MB_YESNO, owner_, 9, kPlatformBoxPosition, 0, captions), 6);
    EXPECT_EQ(watcher.Seen().buttons[IDYES], "对");
    EXPECT_EQ(watcher.Seen().buttons[IDNO], "错");
  }
  EXPECT_EQ(DialogHelperGlobals().captionHookHandle, nullptr);
  EXPECT_EQ(DialogHelperGlobals().boxExtraValue, 9);
  const SeenBox after = PlainBox("是否", MB_YESNO, IDYES);
  EXPECT_EQ(after.buttons[IDYES], plain.buttons[IDYES]);
  EXPECT_EQ(after.buttons[IDNO], plain.buttons[IDNO]);
}

TEST_F(MessageBoxTest, ThePositionMovesTheBoxUnlessAMarkerIsGiven) {
  const SeenBox plain = PlainBox("位置", MB_OK, IDOK);
  ASSERT_TRUE(plain.found);
  {
    BoxWatcher watcher(GetCurrentThreadId(), IDOK);
    helper_->MessageBoxWithButtons("位置", "比较", MB_OK, owner_, 0, POINT{-157, 40});
    const SeenBox& seen = watcher.Seen();
    EXPECT_EQ(seen.rect.left, plain.rect.left);
    EXPECT_EQ(seen.rect.top, plain.rect.top);
  }
  {
    BoxWatcher watcher(GetCurrentThreadId(), IDOK);
    helper_->MessageBoxWithButtons("位置", "比较", MB_OK, owner_, 0, POINT{100, 120});
    const SeenBox& seen = watcher.Seen();
    EXPECT_EQ(seen.rect.left, 100);
    EXPECT_EQ(seen.rect.top, 120);
    EXPECT_EQ(seen.rect.right - seen.rect.left, plain.rect.right - plain.rect.left);
  }
}

TEST_F(MessageBoxTest, TheTableShowsTheSameBoxes) {
  BoxWatcher watcher(GetCurrentThreadId(), IDNO);
  EXPECT_EQ(helper_->operations->messageBoxWithTimeout(*helper_, "表", MB_YESNO, "", owner_, 0), 6);
  BoxWatcher second(GetCurrentThreadId(), IDOK);
  EXPECT_EQ(helper_->operations->messageBoxWithButtons(*helper_, "表", "", MB_OK, owner_, 0, kPlatformBoxPosition, 0,
                                                       ButtonCaptions{"行"}),
            0);
  EXPECT_EQ(second.Seen().buttons[IDOK], "行");
}

}  // namespace
