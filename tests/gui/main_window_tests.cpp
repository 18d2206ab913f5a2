#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "backup/check/check_state.h"
#include "backup/check/report_line.h"
#include "backup/ui/startup.h"
#include "crashguard/fault_report.h"
#include "crashguard/guard_options.h"
#include "crashguard/runtime_errors.h"
#include "base/owned.h"
#include "gui/kavrel_test_window.h"

namespace {

using namespace kavrel;
using kavrel_testing::KavrelWindowTest;

TEST_F(KavrelWindowTest, FirstStartWithoutSettingsShowsTheDesignState) {
  EXPECT_EQ(list().RowCount(), 0);
  EXPECT_TRUE(window().Visible(kHintLabel));
  RECT hint = window().Bounds(kHintLabel);
  EXPECT_EQ(hint.left, 128);
  EXPECT_EQ(hint.top, 88);
  EXPECT_FALSE(window().Enabled(kStartMonitorButton));
  for (int box : {kExcludeSystemDirs, kExcludeHiddenDirs, kExcludeEmptyDirs, kHideBackupDir})
    EXPECT_TRUE(window().Checked(box)) << box;
  for (int box : {kStartHours, kStartMinutes, kStartSeconds, kIntervalHours, kIntervalMinutes, kIntervalSeconds})
    EXPECT_EQ(window().Text(box), "") << box;
  EXPECT_EQ(window().SliderPosition(kThreadSlider), 100);
  EXPECT_EQ(window().Text(kThreadLabel), "100");
  EXPECT_EQ(window().Text(kStatusBox), " 就绪");
  EXPECT_EQ(window().Text(kProgressBox), "");
  EXPECT_EQ(window().Text(kHintCaption), " 提示：");
  EXPECT_EQ(window().Text(kStateCaption), " 状态：");
  EXPECT_FALSE(window().Visible(kReportBox));
  EXPECT_EQ(window().Text(kReportBox), " >> 如有错误信息，请及时更正。");
  EXPECT_EQ(BackupSuffix, "_backupx\\");
  EXPECT_EQ(Counters().linkPauseMs, 300);
  ASSERT_NE(ReportLock, nullptr);
  EnterCriticalSection(ReportLock);  // a live lock
  LeaveCriticalSection(ReportLock);
}

TEST_F(KavrelWindowTest, TheWindowsCreationSwitchesTheCrashGuardOnWithKavrelsOptions) {
  EXPECT_EQ(crashguard::CurrentRuntimeErrorHandler(), &crashguard::OnRuntimeError);
  EXPECT_EQ(crashguard::GetGuardActive(), 1);
  EXPECT_EQ(crashguard::GetExceptionOptionsFirst(), 1);
  EXPECT_EQ(crashguard::GetEndThreadOnly(), 1);
  EXPECT_EQ(crashguard::GetIncludeCallStack(), 0);
  EXPECT_EQ(crashguard::GetMaxSymbolOffset(), 4096);
}

TEST_F(KavrelWindowTest, WindowHasItsCaptionSizeAndFixedBorder) {
  char caption[128] = {};
  GetWindowTextA(window().Window(), caption, sizeof caption);
  EXPECT_STREQ(caption, "Kavrel　　by Tolvane");
  RECT r;
  GetWindowRect(window().Window(), &r);
  EXPECT_EQ(r.right - r.left, 660);
  EXPECT_EQ(r.bottom - r.top, 330);
  LONG style = GetWindowLongA(window().Window(), GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_NE(SendMessageA(window().Window(), WM_GETICON, ICON_BIG, 0), 0);
}

// The hint shows only its text: the empty list's grid lines run on beneath
// it, and the text stays after the list alone has painted again.
TEST_F(KavrelWindowTest, TheHintLetsTheListsGridLinesShowThrough) {
  HWND main = window().Window(), listView = window().Control(kProjectList);
  const RECT hint = window().Bounds(kHintLabel);
  const COLORREF background = ListView_GetBkColor(listView);
  const std::string text = window().Text(kHintLabel);
  struct Step {
    HWND redrawn;
    bool withText;
  };
  for (const Step step : {Step{main, false}, Step{main, true}, Step{listView, true}}) {
    window().SetText(kHintLabel, step.withText ? text : "");
    RedrawWindow(step.redrawn, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpPendingMessages();
    HDC dc = GetDC(main);
    // The grid's vertical lines, in the list's row just above the hint.
    std::vector<int> lines;
    for (int x = hint.left; x < hint.right; ++x)
      if (GetPixel(dc, x, hint.top - 2) != background) lines.push_back(x);
    ASSERT_FALSE(lines.empty()) << "no grid line above the hint";
    const COLORREF line = GetPixel(dc, lines[0], hint.top - 2);
    // A pixel of a line's column is the line's or the text's, never the bare background.
    int shown = 0, lineRows = 0, hidden = 0;
    for (int y = hint.top; y < hint.bottom; ++y)
      for (int x = hint.left; x < hint.right; ++x) {
        const COLORREF pixel = GetPixel(dc, x, y);
        const bool lineColumn = std::find(lines.begin(), lines.end(), x) != lines.end();
        shown += pixel != background && pixel != line;
        lineRows += pixel == line && lineColumn;
        hidden += pixel == background && lineColumn;
      }
    ReleaseDC(main, dc);
    const std::string when = std::string(step.withText ? "with" : "without") + " text, after " +
                             (step.redrawn == main ? "the window" : "the list alone");
    // Without text every row shows every line; the text covers some of them.
    if (step.withText) {
      EXPECT_GT(shown, 100) << when;
      EXPECT_EQ(hidden, 0) << when;
    } else {
      EXPECT_EQ(shown, 0) << when;
      EXPECT_EQ(lineRows, int(lines.size()) * (hint.bottom - hint.top)) << when;
    }
  }
}

TEST_F(KavrelWindowTest, ListLiesOverTheEditPanelAfterStartUp) {
  RECT r = window().Bounds(kProjectList);
  EXPECT_EQ(r.left, 14);
  EXPECT_EQ(r.top, 14);
  EXPECT_EQ(r.right - r.left, 624);
  EXPECT_EQ(r.bottom - r.top, 138);
  EXPECT_TRUE(window().Visible(kProjectList));
  EXPECT_TRUE(window().Visible(kGroupBox1));
  // The list is above the panel, so a point of the panel shows the list (asked
  // of the window's own children: another test's window may lie over it on screen).
  HWND hit = ChildWindowFromPointEx(window().Window(), POINT{300, 60}, CWP_SKIPINVISIBLE);
  EXPECT_EQ(hit, window().Control(kProjectList));
}

TEST_F(KavrelWindowTest, ListHasItsFiveColumnsAndStyles) {
  HWND listWindow = window().Control(kProjectList);
  const struct { const char* title; int width; int format; } kColumns[] = {
      {"ID", 70, LVCFMT_LEFT}, {"文件数量", 70, LVCFMT_CENTER}, {"文件体积", 70, LVCFMT_CENTER},
      {"监控目录", 180, LVCFMT_LEFT}, {"备份目录", 213, LVCFMT_LEFT}};
  for (int c = 0; c < 5; ++c) {
    char title[64] = {};
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    ASSERT_TRUE(SendMessageA(listWindow, LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(title, kColumns[c].title);
    EXPECT_EQ(column.cx, kColumns[c].width);
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, kColumns[c].format);
  }
  DWORD ex = static_cast<DWORD>(SendMessageA(listWindow, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_TRUE(ex & LVS_EX_CHECKBOXES);
  EXPECT_TRUE(ex & LVS_EX_GRIDLINES);
  EXPECT_TRUE(GetWindowLongA(listWindow, GWL_STYLE) & LVS_SINGLESEL);
  EXPECT_NE(SendMessageA(listWindow, LVM_GETIMAGELIST, LVSIL_SMALL, 0), 0);
}

TEST_F(KavrelWindowTest, SliderLabelAlwaysShowsThreeDigits) {
  const struct { int position; const char* label; } kCases[] = {
      {1, "001"}, {9, "009"}, {10, "010"}, {99, "099"}, {100, "100"}, {55, "055"}};
  HWND slider = window().Control(kThreadSlider);
  for (const auto& c : kCases) {
    SendMessageA(slider, TBM_SETPOS, TRUE, c.position);
    SendMessageA(window().Window(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, c.position),
                 reinterpret_cast<LPARAM>(slider));
    EXPECT_EQ(window().Text(kThreadLabel), c.label);
  }
  EXPECT_EQ(ThreadLabelText(7), "007");
}

TEST_F(KavrelWindowTest, ScheduleBoxesTakeDigitsAndMinusUpToTheirLength) {
  HWND hours = window().Control(kStartHours);
  for (char c : std::string("1a-2 x34")) SendMessageA(hours, WM_CHAR, static_cast<WPARAM>(c), 0);
  EXPECT_EQ(window().Text(kStartHours), "1-2");
  HWND minutes = window().Control(kIntervalMinutes);
  for (char c : std::string("5678")) SendMessageA(minutes, WM_CHAR, static_cast<WPARAM>(c), 0);
  EXPECT_EQ(window().Text(kIntervalMinutes), "56");
  EXPECT_EQ(SendMessageA(window().Control(kIntervalHours), EM_GETLIMITTEXT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(window().Control(kStartSeconds), EM_GETLIMITTEXT, 0, 0), 2);
  EXPECT_TRUE(GetWindowLongA(hours, GWL_STYLE) & ES_CENTER);
}

TEST_F(KavrelWindowTest, PanelControlsSitInTheGroupBoxWithTheirDesignStates) {
  EXPECT_EQ(GetParent(window().Control(kMonitorDirBox)), window().Control(kGroupBox1));
  RECT r = window().Bounds(kBackupDirButton);
  EXPECT_EQ(r.left, 545);
  EXPECT_EQ(r.top, 50);
  EXPECT_FALSE(window().Enabled(kBackupDirButton));
  EXPECT_FALSE(window().Enabled(kConfirmButton));
  EXPECT_TRUE(window().Enabled(kCancelButton));
  EXPECT_TRUE(GetWindowLongA(window().Control(kMonitorDirBox), GWL_STYLE) & ES_READONLY);
  EXPECT_EQ(window().Text(kMonitorDirButton), "监控目录");
  EXPECT_EQ(window().Text(kPanelLabel).substr(0, 4), "    ");
  EXPECT_FALSE(window().Enabled(kProgressBox));
  EXPECT_FALSE(window().Enabled(kStatusBox));
}

TEST_F(KavrelWindowTest, MenuItemTableHoldsTheItemsInItsFixedOrder) {
  const char* kCaptions[] = {"新建项目", "修改项目", "全选", "全清", "反选", "置顶", "上移", "下移", "置底",
                             "删除当前项目", "删除选择项目", "删除全部项目", "窗口置顶", "使用帮助"};
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(MenuItemTable[i].window, &window());
    EXPECT_EQ(window().MenuCaption(MenuItemTable[i].item), kCaptions[i]) << i;
  }
  EXPECT_EQ(window().MenuCaption(MenuItemTable[14].item), "");
  EXPECT_EQ(window().MenuCaption(MenuItemTable[15].item), "");
  EXPECT_EQ(MenuItemTable[12].item, kMenuWindowTopmost);
  // The separators follow 修改项目, 反选, 置底, 删除全部项目 and 使用帮助 in the menu.
  std::vector<int> shown = window().VisibleMenuItems();
  const std::vector<int> kDisplay = {kMenuNewProject, kMenuEditProject, 0, kMenuSelectAll, kMenuClearAll,
                                     kMenuInvertSelection, 0, kMenuMoveToTop, kMenuMoveUp, kMenuMoveDown,
                                     kMenuMoveToBottom, 0, kMenuDeleteCurrent, kMenuDeleteSelected,
                                     kMenuDeleteAll, 0, kMenuWindowTopmost, kMenuHelp, 0,
                                     kMenuOpenMonitorDir, kMenuOpenBackupDir};
  EXPECT_EQ(shown, kDisplay);
  for (int i = 16; i <= 20; ++i) EXPECT_EQ(MenuItemTable[i].item, kMenuSeparator1 + (i - 16));
}

// A white picture in memory that a test draws into, then reads as ink (dark
// pixels) or paper.
class Picture {
 public:
  Picture(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_.Reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels_ = static_cast<const uint32_t*>(bits);
    oldBitmap_ = SelectObject(dc_.get(), bitmap_.get());
    PatBlt(dc_.get(), 0, 0, width, height, WHITENESS);
  }
  ~Picture() { SelectObject(dc_.get(), oldBitmap_); }
  HDC Dc() const { return dc_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Inked(int x, int y) const {
    GdiFlush();
    return (pixels_[y * width_ + x] & 0xFF) < 128;
  }
  bool InkedIn(int y, int left, int right) const {
    for (int x = std::max(left, 0); x < std::min(right, width_); ++x)
      if (Inked(x, y)) return true;
    return false;
  }

 private:
  int width_, height_;
  shell::OwnedPtr<HDC__, DeleteDC> dc_;
  shell::OwnedGdi<HBITMAP> bitmap_;
  const uint32_t* pixels_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
};

// Text drawn black on white in the font of one of the window's controls, as
// the control draws it: which rows and columns of the picture it inks.
class DrawnText {
 public:
  DrawnText(HWND control, const std::string& text, int width, int height) : picture_(width, height) {
    HGDIOBJ oldFont = SelectObject(picture_.Dc(), reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SetTextColor(picture_.Dc(), RGB(0, 0, 0));
    SetBkMode(picture_.Dc(), TRANSPARENT);
    RECT area = {0, 0, width, height};
    DrawTextA(picture_.Dc(), text.c_str(), static_cast<int>(text.size()), &area,
              DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(picture_.Dc(), oldFont);
  }
  int InkedRows() const {
    int rows = 0;
    for (int y = 0; y < picture_.Height(); ++y) rows += picture_.InkedIn(y, 0, picture_.Width());
    return rows;
  }
  bool InkedBetween(int left, int right) const {
    for (int y = 0; y < picture_.Height(); ++y)
      if (picture_.InkedIn(y, left, right)) return true;
    return false;
  }

 private:
  Picture picture_;
};

// A control painted by itself: the columns of ink inside |area| of its client
// area, counted from the first one. The same text drawn evenly by two
// controls gives the same columns.
std::vector<int> InkColumnsOfPainted(HWND control, const RECT& area) {
  RECT client = {};
  GetClientRect(control, &client);
  const Picture picture(client.right, client.bottom);
  SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.Dc()), PRF_CLIENT | PRF_ERASEBKGND);
  std::vector<int> columns;
  for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, picture.Width()); ++x)
    for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, picture.Height()); ++y)
      if (picture.Inked(x, y)) {
        columns.push_back(x);
        break;
      }
  const int first = columns.empty() ? 0 : columns.front();
  for (int& x : columns) x -= first;
  return columns;
}

// In the font the window really gets (the platform's replacement for the one
// it asks for): every label's lines fit in its box, none cut off; the schedule
// label, drawn as the label draws it, leaves the six boxes it is written around
// clear; and Latin capitals and digits stand as tall and dark as the 12-pixel
// Chinese text beside them wants them. The caption buttons' symbol font is
// there too.
TEST_F(KavrelWindowTest, TheFontsKeepEveryLabelWholeAndClearOfItsBoxesItsLatinLegibleAndTheCaptionSymbols) {
  for (int id : {kPanelLabel, kHintLabel, kScheduleLabel, kThreadsCaption, kThreadLabel}) {
    HWND control = window().Control(id);
    const RECT box = window().Bounds(id);
    const std::string text = window().Text(id);
    HDC dc = GetDC(control);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, box.right - box.left, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
    SelectObject(dc, oldFont);
    ReleaseDC(control, dc);
    EXPECT_FALSE(text.empty()) << id;
    EXPECT_LE(needed.bottom, box.bottom - box.top) << text;
  }
  HWND labelWindow = window().Control(kScheduleLabel);
  const RECT label = window().Bounds(kScheduleLabel);
  const DrawnText schedule(labelWindow, window().Text(kScheduleLabel), label.right - label.left,
                           label.bottom - label.top);
  for (int box : {kStartHours, kStartMinutes, kStartSeconds, kIntervalHours, kIntervalMinutes, kIntervalSeconds}) {
    const RECT r = window().Bounds(box);
    EXPECT_FALSE(schedule.InkedBetween(r.left - label.left, r.right - label.left))
        << "the label draws into the box at " << r.left << "-" << r.right;
  }
  for (const char* glyph : {"H", "D", "0", "8", "$"})
    EXPECT_GE(DrawnText(labelWindow, glyph, 40, 40).InkedRows(), 8) << glyph;
  // Wine draws the caption buttons of the frames it draws itself with Marlett's symbols.
  shell::OwnedGdi<HFONT> marlett(CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET,
                                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                             DEFAULT_PITCH, "Marlett"));
  shell::OwnedPtr<HDC__, DeleteDC> dc(CreateCompatibleDC(nullptr));
  HGDIOBJ previous = SelectObject(dc.get(), marlett.get());
  char face[LF_FACESIZE] = {};
  GetTextFaceA(dc.get(), sizeof face, face);
  SelectObject(dc.get(), previous);
  EXPECT_STREQ(face, "Marlett");
}

// A picked folder's Latin letters stand as evenly in the read-only folder box,
// which measures each character, as in the list, which draws the text whole.
TEST_F(KavrelWindowTest, AFolderBoxDrawsItsPathAsEvenlyAsTheList) {
  const int kMonitorColumn = 3;
  HWND box = window().Control(kMonitorDirBox);
  RECT boxArea = {};
  GetClientRect(box, &boxArea);
  list().InsertRow(0, "1");
  for (const char* path : {"Z:\\tmp\\home\\mm\\", "Z:\\Documents\\WM_0189\\", "Z:\\a b.c_d-e\\fijlrt\\"}) {
    SetWindowTextA(box, path);
    list().SetCell(0, kMonitorColumn, path);
    RECT cell = {LVIR_LABEL, kMonitorColumn, 0, 0};
    SendMessageA(list().Handle(), LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell));
    InflateRect(&cell, -2, -2);  // clear of the grid lines
    const std::vector<int> inList = InkColumnsOfPainted(list().Handle(), cell);
    ASSERT_FALSE(inList.empty()) << path;
    EXPECT_EQ(InkColumnsOfPainted(box, boxArea), inList) << path;
  }
}

TEST_F(KavrelWindowTest, WheelOnTheListChangesTheWindowsOpacity) {
  HWND listWindow = window().Control(kProjectList);
  SendMessageA(listWindow, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA * 3), 0);
  BYTE alpha = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(window().Window(), nullptr, &alpha, nullptr));
  EXPECT_EQ(alpha, 178);
}

}  // namespace
