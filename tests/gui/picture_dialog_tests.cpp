// The real open dialog with the preview window: a second thread finds the
// dialog, selects files in its list, reads the preview and closes it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <functional>
#include <thread>

#include "crashguard/api_hook.h"
#include "gui/modal_watch.h"
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"
#include "shelltool/picture_dialog.h"
#include "shelltool/picture_preview.h"
#include "support/test_support.h"

namespace {

using namespace shell;
using testing_support::WaitUntil;
using testing_support::WindowText;

const char kGbkName[] = "pic\x95\x5c.png";  // the name's trail byte is a backslash

class PictureDialog : public testing::Test {
 protected:
  void SetUp() override {
    InitDialogHelperGlobals();
    helper_ = AllocateShellDialogHelper();
    ConstructShellDialogHelper(*helper_);
    ProgramDialogHelper = helper_;
    InitDialogHelperModule();
    const std::string pictures = testing_support::TestProgramDirectory() + "pictures\\";
    for (const char* name : {"pic.png", "pic.jpg", "pic.gif", "pic.bmp", "pic.ico"})
      ASSERT_TRUE(testing_support::CopyFileTo(pictures + name, dir_ / name));
    ASSERT_TRUE(testing_support::CopyFileTo(pictures + "pic.png", dir_ / kGbkName));
    const std::string png = testing_support::ReadFileBytes(dir_ / "pic.png");
    const std::string jpg = testing_support::ReadFileBytes(dir_ / "pic.jpg");
    testing_support::WriteFileBytes(dir_ / "broken.png", png.substr(0, png.size() / 2));
    testing_support::WriteFileBytes(dir_ / "broken.jpg", jpg.substr(0, jpg.size() - 60));
    testing_support::WriteFileBytes(dir_ / "s1023.dat", std::string(1023, 'a'));
    testing_support::WriteFileBytes(dir_ / "s1536.dat", std::string(1536, 'b'));
    testing_support::WriteFileBytes(dir_ / "s1m.dat", std::string(1048576, 'c'));
    testing_support::WriteFileBytes(dir_ / "text.txt", std::string("第一行\r\n表\\尾\0after zero", 23));
    SetCurrentDirectoryA(dir_.path().c_str());
  }
  void TearDown() override {
    SetCurrentDirectoryA(testing_support::TestProgramDirectory().c_str());
    ReleaseShellDialogHelper(helper_);
    ProgramDialogHelper = nullptr;
  }

  // Shows the dialog on this thread; act runs on another with the dialog.
  bool Pick(int32_t kind, int32_t mode, std::string& name, const std::function<void(HWND)>& act) {
    kavrel_testing::ModalWatch watch(1, [&](HWND dialog, int) {
      WaitUntil([&] { return IsWindowVisible(dialog) && FindList(dialog); }, testing_support::kHangBoundMs);
      Sleep(200);
      act(dialog);
      if (IsWindow(dialog)) kavrel_testing::PressButton(dialog, IDCANCEL);
    });
    return helper_->operations->pickPictureFile(*helper_, nullptr, kind, name, "", mode);
  }

  static HWND FindList(HWND dialog) { return testing_support::FindChild(dialog, "SysListView32", ""); }

  // Selects the list row whose text starts with the file's name.
  static bool Select(HWND dialog, const std::string& file) {
    HWND list = FindList(dialog);
    const std::string stem = file.substr(0, file.rfind('.'));
    for (int row = 0, n = ListView_GetItemCount(list); row < n; ++row) {
      char text[260] = {};
      ListView_GetItemText(list, row, 0, text, sizeof text);
      const std::string shown = text;
      if (shown != file && shown != stem) continue;
      ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
      ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
      return true;
    }
    return false;
  }

  static std::string Label(int id) { return WindowText(PreviewWindow().Control(id)); }
  // Wine's rich edit gives its length in characters, not GBK bytes: read
  // into a buffer with room to spare.
  static std::string RichText() {
    char text[256] = {};
    SendMessageA(PreviewWindow().Control(kTextBox), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
  }
  static RECT Rect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
  }

  testing_support::ScratchDir dir_;
  ShellDialogHelper* helper_ = nullptr;
};

TEST_F(PictureDialog, PictureModeShowsDetailsAndPictureThenCancelEndsIt) {
  std::string name = "unchanged";
  bool laidOut = false;
  EXPECT_FALSE(Pick(0, 1, name, [&](HWND dialog) {
    HWND preview = PreviewWindow().Window();
    ASSERT_TRUE(preview);
    EXPECT_EQ(GetAncestor(preview, GA_PARENT), dialog);
    // Embedded along the bottom: 182 high, the dialog grown by it and centred.
    RECT own = Rect(preview), outer = Rect(dialog);
    POINT top = {own.left, own.top};
    ScreenToClient(dialog, &top);
    EXPECT_EQ(own.bottom - own.top, 182);
    EXPECT_EQ(outer.bottom - outer.top, top.y + 35 + 182);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
    EXPECT_TRUE(PreviewWindow().Visible(kPictureGroup));
    EXPECT_FALSE(PreviewWindow().Visible(kTextGroup));
    laidOut = true;

    const struct { std::string file, size, width; bool picture; } kCases[] = {
        {"pic.png", "文件大小：315字节", "图片宽度：40", true},
        {"pic.jpg", "", "图片宽度：40", true},
        {"pic.gif", "", "图片宽度：40", true},
        {"pic.bmp", "", "图片宽度：40", true},
        {"pic.ico", "", "图片宽度：40", true},
        {kGbkName, "", "图片宽度：40", true},
        {"broken.png", "", "图片宽度：", false},
        {"broken.jpg", "", "图片宽度：", false},
        {"s1023.dat", "文件大小：1023字节", "图片宽度：", false},
        {"s1536.dat", "文件大小：1.5KB", "图片宽度：", false},
        {"s1m.dat", "文件大小：1MB", "图片宽度：", false},
    };
    for (const auto& c : kCases) {
      SCOPED_TRACE(c.file);
      ASSERT_TRUE(Select(dialog, c.file));
      EXPECT_TRUE(WaitUntil([&] { return Label(kNameLabel) == "文件名：" + c.file; }, testing_support::kHangBoundMs)) << Label(kNameLabel);
      if (!c.size.empty()) {
        EXPECT_EQ(Label(kSizeLabel), c.size);
      }
      EXPECT_EQ(Label(kWidthLabel), c.width);
      EXPECT_EQ(Label(kHeightLabel), c.picture ? "图片高度：30" : "图片高度：");
      HBITMAP shown = PreviewWindow().Picture(kPictureBox);
      if (!c.picture) {
        EXPECT_EQ(shown, nullptr);
        continue;
      }
      BITMAP info = {};
      ASSERT_TRUE(shown && GetObject(shown, sizeof info, &info));
      EXPECT_EQ(info.bmWidth, 40);
      EXPECT_EQ(info.bmHeight, 30);
    }
  }));
  EXPECT_TRUE(laidOut);
  EXPECT_EQ(name, "unchanged");
  EXPECT_EQ(DialogHelperGlobals().previewMode, 1);
  EXPECT_EQ(PreviewWindow().Window(), nullptr) << "the window outlived the dialog";  // with no message pumped since
}

// No message loop runs between the two: the second dialog must not take up
// what is left of the first one's window.
TEST_F(PictureDialog, TwoDialogsInARowBothPreview) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::string name;
    Pick(0, 1, name, [&](HWND dialog) {
      HWND preview = PreviewWindow().Window();
      ASSERT_TRUE(preview);
      EXPECT_EQ(GetAncestor(preview, GA_PARENT), dialog);
      ASSERT_TRUE(Select(dialog, "pic.gif"));
      EXPECT_TRUE(WaitUntil([] { return Label(kNameLabel) == "文件名：pic.gif"; }, testing_support::kHangBoundMs))
          << Label(kNameLabel);
      EXPECT_EQ(Label(kHeightLabel), "图片高度：30");
    });
  }
}

crashguard::ApiHook* g_redrawHook = nullptr;
LONG g_redraws = 0;
BOOL WINAPI CountingRedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags) {
  InterlockedIncrement(&g_redraws);
  return g_redrawHook->CallOriginal(reinterpret_cast<int32_t>(window), reinterpret_cast<int32_t>(rect),
                                    reinterpret_cast<int32_t>(region), static_cast<int32_t>(flags));
}

// Asked of a form whose window is gone, a repaint would name no window: the
// whole desktop. Wine repaints no other window then, so the call is counted.
TEST_F(PictureDialog, AFormWhoseWindowIsGoneMakesNoRepaintCall) {
  ui::Form& form = PreviewWindow();
  ASSERT_TRUE(form.Create());
  g_redrawHook = crashguard::AllocateApiHook();
  g_redrawHook->ConstructApiHook();
  ASSERT_TRUE(g_redrawHook->HookByNameDefault("user32", "RedrawWindow",
                                              reinterpret_cast<crashguard::CodeAddress>(&CountingRedrawWindow)));
  form.Repaint();
  const LONG whileThere = g_redraws;
  form.Destroy();
  g_redraws = 0;
  ShowPictureDetails(dir_ / "pic.png");
  form.Repaint();
  const LONG onceGone = g_redraws;
  g_redrawHook->RemoveHook(crashguard::kRestoreEntry);
  crashguard::ReleaseApiHook(g_redrawHook);
  EXPECT_GT(whileThere, 0);
  EXPECT_EQ(onceGone, 0);
}

TEST_F(PictureDialog, TextModeShowsTheTextUpToItsFirstZero) {
  std::string name;
  Pick(0, 2, name, [&](HWND dialog) {
    EXPECT_EQ(Rect(PreviewWindow().Window()).bottom - Rect(PreviewWindow().Window()).top, 182);
    EXPECT_TRUE(PreviewWindow().Visible(kTextGroup));
    EXPECT_FALSE(PreviewWindow().Visible(kPictureGroup));
    ASSERT_TRUE(Select(dialog, "text.txt"));
    EXPECT_TRUE(WaitUntil([] { return RichText() == "第一行\r表\\尾" || RichText() == "第一行\r\n表\\尾"; },
                          testing_support::kHangBoundMs))
        << testing::PrintToString(RichText());
  });
}

TEST_F(PictureDialog, ResizingUpdatesTheWidths) {
  std::string name;
  Pick(0, 1, name, [&](HWND dialog) {
    RECT outer = Rect(dialog);
    SetWindowPos(dialog, nullptr, 0, 0, outer.right - outer.left + 120, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT client = {};
    GetClientRect(dialog, &client);
    const int width = client.right - client.left;
    EXPECT_TRUE(WaitUntil([&] {
      RECT own = Rect(PreviewWindow().Window()), label = Rect(PreviewWindow().Control(kSizeLabel));
      return own.right - own.left == width && label.right - label.left == width - 16 - 300;
    }, testing_support::kHangBoundMs));
  });
}

TEST_F(PictureDialog, AQuotedListPreviewsItsFirstExistingFile) {
  std::string name;
  Pick(0, 1, name, [&](HWND dialog) {
    SetWindowTextA(FindWindowExA(dialog, nullptr, "Edit", nullptr), "\"missing.png\" \"pic.gif\" \"pic.bmp\"");
    // Any notification of the dialog makes the hook look at the name box.
    HWND hook = FindWindowExA(dialog, nullptr, kavrel_testing::kDialogClass, nullptr);
    NMHDR header = {dialog, 0, static_cast<UINT>(CDN_SELCHANGE)};
    SendMessageA(hook, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(Label(kNameLabel), "文件名：pic.gif");
    EXPECT_EQ(NameBoxText(dialog), "\"missing.png\" \"pic.gif\" \"pic.bmp\"");
  });
}

TEST_F(PictureDialog, SaveWithPictureModeIsAPlainSaveDialog) {
  std::string name = "keep.png";
  DialogHelperGlobals().previewMode = 2;
  EXPECT_FALSE(Pick(1, 1, name, [&](HWND dialog) {
    EXPECT_EQ(PreviewWindow().Window(), nullptr);
    EXPECT_EQ(FindWindowExA(dialog, nullptr, "ShellToolPreviewWindow", nullptr), nullptr);
  }));
  EXPECT_EQ(DialogHelperGlobals().previewMode, 2);
  EXPECT_EQ(name, "keep.png");
}

}  // namespace
