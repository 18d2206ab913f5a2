// The toolkit's shell, colour and file dialogs, shown for real: a second
// thread finds each dialog, reads it and answers it as a user would. Every
// window a case opens is closed by the case.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <set>

#include "base/owned.h"
#include "gui/dialog_helper_test.h"
#include "gui/modal_watch.h"
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"
#include "support/test_support.h"

namespace {

using namespace shell;
using kavrel_testing::BoxMessage;
using kavrel_testing::ModalWatch;
using kavrel_testing::PressButton;
using kavrel_testing::SelectedFolderName;
using testing_support::FindChild;
using testing_support::ScratchDir;
using testing_support::WaitUntil;
using testing_support::WindowText;

constexpr int kRedEdit = 706, kGreenEdit = 707, kBlueEdit = 708;
constexpr int kNameBox = cmb13;  // the Explorer-style dialog's file-name box

class ShellDialogTest : public kavrel_testing::DialogHelperTest {
 protected:
  ScratchDir dir_;
};

// --- the folder picker ---

void ClickButton(HWND dialog, const std::string& text) { SendMessageA(FindChild(dialog, "Button", text), BM_CLICK, 0, 0); }

// A folder as another program leaves it when it has just written there: last
// read before its last change, so the next reading moves its access time.
bool MarkChangedSinceRead(const std::string& folder) {
  const OwnedHandle file(CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  FILETIME written;
  if (!file || !GetFileTime(file.Get(), nullptr, nullptr, &written)) return false;
  ULARGE_INTEGER read;
  read.LowPart = written.dwLowDateTime;
  read.HighPart = written.dwHighDateTime;
  read.QuadPart -= 3600ULL * 10000000;  // an hour earlier
  const FILETIME accessed = {read.LowPart, read.HighPart};
  return SetFileTime(file.Get(), nullptr, &accessed, nullptr);
}

TEST_F(ShellDialogTest, PickFolderOpensAtTheStartFolderAndGivesTheChoiceOrNothing) {
  bool titled = false, edit = true;
  {
    ModalWatch watch(1, [&](HWND dialog, int) {
      titled = FindChild(dialog, "Static", "请选择一个文件夹") != nullptr;
      HWND box = FindChild(dialog, "Edit", "");
      edit = box && IsWindowVisible(box);
      ClickButton(dialog, "取消");
    });
    EXPECT_EQ(helper_->PickFolder(), "");
  }
  EXPECT_TRUE(titled);
  EXPECT_FALSE(edit);

  // Outside the user's profile: Wine's dialog selects nothing below its own entry for the profile.
  for (bool changedSinceRead : {false, true}) {
    const std::string root = "C:\\kvt_pick_" + std::to_string(GetCurrentProcessId()) + (changedSinceRead ? "_b" : "_a");
    const std::string start = root + "\\起点";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(start.c_str(), nullptr);
    if (changedSinceRead) {
      ASSERT_TRUE(MarkChangedSinceRead(root));
    }
    bool openedAtStart = false;
    std::string chosen;
    {
      ModalWatch watch(1, [&](HWND dialog, int) {
        openedAtStart = WaitUntil([&] { return SelectedFolderName(dialog) == "起点"; }, testing_support::kHangBoundMs);
        ClickButton(dialog, "确定");
      });
      chosen = helper_->operations->pickFolder(*helper_, "选", false, start, true, true);
    }
    EXPECT_TRUE(openedAtStart) << root;
    EXPECT_EQ(chosen, start);
    EXPECT_EQ(DialogHelperGlobals().pickerStartFolder, start);
    testing_support::RemoveTree(root);
  }
}

// --- shut-down and restart: only ever No, since Yes ends Wine ---

TEST_F(ShellDialogTest, TheShutDownAndRestartBoxesAppearAndNoLeavesThem) {
  std::vector<std::string> messages;
  {
    ModalWatch watch(2, [&](HWND box, int) {
      messages.push_back(BoxMessage(box));
      PressButton(box, IDNO);
    });
    helper_->operations->showShutdownDialog(*helper_);
    helper_->operations->showRestartDialog(*helper_);
  }
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].find("关闭 Wine"), std::string::npos) << messages[0];
  EXPECT_NE(messages[1].find("重启"), std::string::npos) << messages[1];
}

// --- command lines ---

DWORD WindowProcess(HWND window) {
  DWORD id = 0;
  GetWindowThreadProcessId(window, &id);
  return id;
}

// Closes a window of another process and waits for that process to end.
void CloseAndWait(HWND window) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, WindowProcess(window));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }, testing_support::kHangBoundMs));
  if (process) {
    EXPECT_EQ(WaitForSingleObject(process, testing_support::kHangBoundMs), WAIT_OBJECT_0);
    CloseHandle(process);
  }
}

TEST_F(ShellDialogTest, OpenWithAndTheControlPanelStartTheirExactCommandLines) {
  const std::string here = testing_support::TestProgramDirectory();
  const std::string recorder = here + "rundll32.exe", log = here + "rundll32.log";
  DeleteFileA(log.c_str());
  ASSERT_TRUE(testing_support::CopyFileTo(here + "command_recorder.exe", recorder));
  helper_->operations->showOpenWithDialog(*helper_, "C:\\a b.txt");
  helper_->operations->openControlPanel(*helper_);
  const std::string expected =
      "rundll32.exe shell32.dll , OpenAs_RunDLL C:\\a b.txt\nrundll32.exe shell32.dll,Control_RunDLL\n";
  EXPECT_TRUE(WaitUntil([&] { return testing_support::ReadFileBytes(log).size() >= expected.size(); }, testing_support::kHangBoundMs));
  EXPECT_EQ(testing_support::ReadFileBytes(log), expected);
  DeleteFileA(recorder.c_str());
  DeleteFileA(log.c_str());

  helper_->OpenControlPanel();
  HWND panel = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (panel = FindWindowA("Shell_Control_WndClass", nullptr)) != nullptr; }, testing_support::kHangBoundMs));
  if (panel) {
    EXPECT_NE(WindowProcess(panel), GetCurrentProcessId());
    CloseAndWait(panel);
  }
}

// --- about, properties ---

TEST_F(ShellDialogTest, TheAboutBoxShowsBothTextsAndThePropertiesCallReturnsOnceWinesBoxIsGone) {
  std::string application, other;
  {
    ModalWatch watch(1, [&](HWND dialog, int) {
      application = WindowText(GetDlgItem(dialog, 100));
      other = WindowText(GetDlgItem(dialog, 101));
      PressButton(dialog, IDOK);
    });
    helper_->operations->showShellAbout(*helper_, owner_, "甲程序", "乙的说明");
  }
  EXPECT_NE(application.find("甲程序"), std::string::npos) << application;
  EXPECT_NE(other.find("乙的说明"), std::string::npos) << other;

  const std::string file = dir_ / "a b.txt";
  testing_support::WriteFileBytes(file, "x");
  bool seen = false;
  {
    ModalWatch watch(1, [&](HWND box, int) {
      seen = true;
      PressButton(box, IDOK);
    });
    helper_->operations->showFileProperties(*helper_, file, owner_);
  }
  EXPECT_TRUE(seen);
}

// --- the colour chooser ---

COLORREF ShownColour(HWND dialog) {
  return RGB(GetDlgItemInt(dialog, kRedEdit, nullptr, FALSE), GetDlgItemInt(dialog, kGreenEdit, nullptr, FALSE),
             GetDlgItemInt(dialog, kBlueEdit, nullptr, FALSE));
}

TEST_F(ShellDialogTest, PickColorStartsAtTheLastChoiceAndCancelKeepsIt) {
  std::vector<COLORREF> custom(16, RGB(1, 2, 3));
  const std::vector<COLORREF> before = custom;
  std::vector<COLORREF> starts;
  int32_t chosen = 0, cancelled[2] = {0, 0};
  {
    ModalWatch watch(3, [&](HWND dialog, int i) {
      starts.push_back(ShownColour(dialog));
      if (i > 0) return PressButton(dialog, IDCANCEL);
      SendDlgItemMessageA(dialog, 0x2c8, BM_CLICK, 0, 0);  // "add to custom colours" changes the dialog's copy
      SetDlgItemInt(dialog, kRedEdit, 10, FALSE);
      SetDlgItemInt(dialog, kGreenEdit, 20, FALSE);
      SetDlgItemInt(dialog, kBlueEdit, 30, FALSE);
      PressButton(dialog, IDOK);
    });
    chosen = helper_->PickColor(owner_, custom);
    cancelled[0] = helper_->operations->pickColor(*helper_, owner_, custom);
    cancelled[1] = helper_->PickColor(owner_, custom);
  }
  EXPECT_EQ(chosen, static_cast<int32_t>(RGB(10, 20, 30)));
  EXPECT_EQ(cancelled[0], -1);
  EXPECT_EQ(cancelled[1], -1);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0], RGB(0, 0, 0));
  EXPECT_EQ(starts[1], RGB(10, 20, 30));
  EXPECT_EQ(starts[2], RGB(10, 20, 30));
  EXPECT_EQ(custom, before);
}

TEST_F(ShellDialogTest, PickColorTakesFewerCustomColoursThanSixteen) {
  bool shown = false;
  {
    ModalWatch watch(1, [&](HWND dialog, int) {
      shown = true;
      PressButton(dialog, IDCANCEL);
    });
    EXPECT_EQ(helper_->PickColor(owner_, {RGB(200, 0, 0)}), -1);
  }
  EXPECT_TRUE(shown);
}

// --- favourites ---

TEST_F(ShellDialogTest, WithWinesOwnFavouritesLibrariesNothingCrashesAndNothingIsAdded) {
  std::string folder;
  helper_->operations->organizeFavorites(*helper_, owner_, folder);
  char favorites[MAX_PATH] = {};
  SHGetSpecialFolderPathA(owner_, favorites, CSIDL_FAVORITES, FALSE);
  EXPECT_EQ(folder, std::string(favorites) + "\\");
  EXPECT_FALSE(helper_->AddToFavorites(owner_, "标题", "http://example.org/"));
}

// The browser version in the registry, put back when the object goes.
class BrowserVersion {
 public:
  BrowserVersion() {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key_, nullptr);
    char value[256] = {};
    DWORD size = sizeof value - 1;
    had_ = RegQueryValueExA(key_, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
    saved_ = value;
  }
  ~BrowserVersion() {
    if (had_) Set(saved_);
    else RegDeleteValueA(key_, "Version");
    RegCloseKey(key_);
  }
  void Set(const std::string& version) {
    RegSetValueExA(key_, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>(version.size() + 1));
  }

 private:
  HKEY key_ = nullptr;
  bool had_ = false;
  std::string saved_;
};

// Run by the next case in a process of its own, started from a copy of this
// program beside the stand-ins for the browser's libraries, which the
// loader takes in place of Wine's own.
TEST_F(ShellDialogTest, DISABLED_WithStandInLibraries) {
  BrowserVersion version;
  std::string folder = "D:\\fav\\";
  for (const char* v : {"8.0.6001", "9.11.9600", "7.0"}) {
    version.Set(v);
    helper_->OrganizeFavorites(owner_, folder);
  }
  EXPECT_TRUE(helper_->operations->addToFavorites(*helper_, owner_, "标题", "http://example.org/"));
}

// Wine's loader override for one program name, removed when the object goes.
class NativeLibrariesFor {
 public:
  explicit NativeLibrariesFor(const std::string& program)
      : key_("Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides") {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (const char* library : {"ieframe", "shdocvw"})
      RegSetValueExA(key, library, 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(key);
  }
  ~NativeLibrariesFor() { RegDeleteTreeA(HKEY_CURRENT_USER, key_.substr(0, key_.rfind('\\')).c_str()); }

 private:
  std::string key_;
};

TEST_F(ShellDialogTest, TheBrowserVersionChoosesTheFavouritesLibraryAndAConfirmedAddWritesTheShortcut) {
  const std::string here = testing_support::TestProgramDirectory(), host = "kvt_favorites_host.exe";
  for (const char* name : {"ieframe.dll", "shdocvw.dll"})
    ASSERT_TRUE(testing_support::CopyFileTo(here + "favorites_standin.dll", dir_ / name));
  ASSERT_TRUE(testing_support::CopyFileTo(here + "shell_dialog_tests.exe", dir_ / host));
  const NativeLibrariesFor overrides(host);
  const std::string log = dir_ / "calls.log", shortcut = dir_ / "example.url";
  SetEnvironmentVariableA("FAVORITES_LOG", log.c_str());
  SetEnvironmentVariableA("FAVORITES_FILE", shortcut.c_str());
  testing_support::ChildProcess child;
  ASSERT_TRUE(child.Start(dir_ / host,
                          "--gtest_also_run_disabled_tests --gtest_filter=ShellDialogTest.DISABLED_WithStandInLibraries"));
  EXPECT_EQ(child.WaitForExit(60000), 0) << child.Output();
  EXPECT_EQ(testing_support::ReadFileBytes(log),
            "ieframe.dll|DoOrganizeFavDlg|D:\\fav\\\n"    // version 8...
            "shdocvw.dll|DoOrganizeFavDlg|D:\\fav\\\n"    // 9...
            "shdocvw.dll|DoOrganizeFavDlg|D:\\fav\\\n"    // 7...
            "shdocvw.dll|DoAddToFavDlg|标题|256|256|list\n");
  EXPECT_EQ(testing_support::ReadFileBytes(shortcut), "[InternetShortcut]\r\nURL=http://example.org/\r\n");
}

// --- the find window ---

struct TopWindows {
  std::set<HWND> windows;
  static BOOL CALLBACK Add(HWND window, LPARAM data) {
    if (IsWindowVisible(window)) reinterpret_cast<TopWindows*>(data)->windows.insert(window);
    return TRUE;
  }
  static std::set<HWND> Now() {
    TopWindows all;
    EnumWindows(Add, reinterpret_cast<LPARAM>(&all));
    return all.windows;
  }
};

TEST_F(ShellDialogTest, OpenSearchWindowOpensAFolderWindow) {
  const std::string folder = dir_ / "找这里";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::set<HWND> before = TopWindows::Now();
  helper_->operations->openSearchWindow(*helper_, folder);
  // A new window of another process, named after the folder (other programs may open windows meanwhile).
  HWND opened = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    for (HWND w : TopWindows::Now())
      if (!before.count(w) && WindowProcess(w) != GetCurrentProcessId() &&
          WindowText(w).find("找这里") != std::string::npos)
        opened = w;
    return opened != nullptr;
  }, testing_support::kHangBoundMs));
  if (!opened) return;
  // Wine's folder window leaves its process running once closed: that ends too.
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, WindowProcess(opened));
  PostMessageA(opened, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(opened); }, testing_support::kHangBoundMs));
  if (WaitForSingleObject(process, 3000) == WAIT_TIMEOUT) TerminateProcess(process, 0);
  CloseHandle(process);
}

// --- open and save ---

std::string NameBoxText(HWND dialog) { return WindowText(GetDlgItem(dialog, kNameBox)); }

void ConfirmNames(HWND dialog, const std::string& names) {
  SetWindowTextA(GetDlgItem(dialog, kNameBox), names.c_str());
  PressButton(dialog, IDOK);
}

TEST_F(ShellDialogTest, PickOpenFilesGivesTheChosenFilesOrNothing) {
  for (const char* name : {"a.txt", "乙.txt"}) testing_support::WriteFileBytes(dir_ / name, "x");
  std::string title;
  std::string chosen, cancelled = "unset";
  {
    ModalWatch watch(2, [&](HWND dialog, int i) {
      if (i == 1) return PressButton(dialog, IDCANCEL);
      title = WindowText(dialog);
      ConfirmNames(dialog, "\"a.txt\" \"乙.txt\"");
    });
    chosen = helper_->PickOpenFiles(owner_, "挑文件", "文本 文件|*.txt|所有|*.*", dir_.path(), 0);
    cancelled = helper_->operations->pickOpenFiles(*helper_, owner_, "", "", dir_.path(), 0);
  }
  EXPECT_EQ(title, "挑文件");
  EXPECT_EQ(chosen, dir_ / "a.txt;" + dir_ / "乙.txt");
  EXPECT_EQ(cancelled, "");
}

struct StyleLook {
  bool readOnlyShown, readOnlyTicked, helpShown;
};

TEST_F(ShellDialogTest, EachStyleShowsItsReadOnlyBoxAndHelpButtonAndAHookStyleStillOpens) {
  const std::vector<std::pair<int32_t, StyleLook>> styles = {
      {0, {true, false, false}}, {1, {true, true, false}},  {2, {false, false, false}},
      {3, {true, false, true}},  {5, {false, false, true}}, {10, {true, true, true}},
      {12, {true, false, false}}, {-1, {true, false, false}}};
  testing_support::WriteFileBytes(dir_ / "c.txt", "x");
  for (const auto& [style, expected] : styles) {
    StyleLook seen = {};
    std::string chosen;
    {
      ModalWatch watch(1, [&](HWND dialog, int) {
        HWND readOnly = GetDlgItem(dialog, chx1);
        seen = {readOnly && IsWindowVisible(readOnly), IsDlgButtonChecked(dialog, chx1) == BST_CHECKED,
                GetDlgItem(dialog, pshHelp) && IsWindowVisible(GetDlgItem(dialog, pshHelp))};
        ConfirmNames(dialog, "c.txt");
      }, testing_support::kHangBoundMs);
      chosen = helper_->PickOpenFiles(owner_, "", "", dir_.path(), style);
    }
    EXPECT_EQ(chosen, dir_ / "c.txt") << "style " << style;
    EXPECT_EQ(seen.readOnlyShown, expected.readOnlyShown) << "style " << style;
    EXPECT_EQ(seen.readOnlyTicked, expected.readOnlyTicked) << "style " << style;
    EXPECT_EQ(seen.helpShown, expected.helpShown) << "style " << style;
  }
}

TEST_F(ShellDialogTest, PickFileToOpenOrSaveStartsFromTheFirstNameAndConfirmsIntoTheVariable) {
  testing_support::WriteFileBytes(dir_ / "a.txt", "x");
  FileDialogOptions options;
  options.initialDirectory = dir_.path();
  helper_->SetFileDialogOptions(options);
  std::string shown, name = "a.txt;b.txt";
  {
    ModalWatch watch(1, [&](HWND dialog, int) {
      shown = NameBoxText(dialog);
      PressButton(dialog, IDOK);
    });
    EXPECT_TRUE(helper_->PickFileToOpenOrSave(owner_, 0, name, "开"));
  }
  EXPECT_EQ(shown, "a.txt");
  EXPECT_EQ(name, dir_ / "a.txt");
  EXPECT_EQ(*helper_->dialogRecord.get()->lpstrTitle.get(), "开");

  {
    ModalWatch watch(1, [&](HWND dialog, int) { PressButton(dialog, IDCANCEL); });
    EXPECT_FALSE(helper_->operations->pickFileToOpenOrSave(*helper_, owner_, 1, name, "", 0));
  }
  EXPECT_EQ(name, dir_ / "a.txt");
  EXPECT_FALSE(helper_->PickFileToOpenOrSave(owner_, 2, name));
  EXPECT_EQ(name, dir_ / "a.txt");
}

TEST_F(ShellDialogTest, AnEarlierSelectionIsTheStartOnlyWhileTheDirectoryIsKept) {
  const std::string earlier = dir_ / "早.txt";
  testing_support::WriteFileBytes(earlier, "x");
  // What the picture picker leaves after a confirmed dialog: the whole buffer.
  ByteArray buffer(earlier.begin(), earlier.end());
  buffer.resize(257, 0);
  std::vector<std::string> shown;
  {
    ModalWatch watch(2, [&](HWND dialog, int) {
      shown.push_back(NameBoxText(dialog));
      PressButton(dialog, IDCANCEL);
    });
    for (bool keep : {true, false}) {
      FileDialogOptions options;
      options.noChangeDirectory = keep;
      helper_->SetFileDialogOptions(options);
      helper_->lastDirectoryBytes.Set(buffer);
      std::string name;
      EXPECT_FALSE(helper_->PickFileToOpenOrSave(owner_, 0, name));
      EXPECT_FALSE(helper_->lastDirectoryBytes);
    }
  }
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[0].find("早.txt"), std::string::npos) << shown[0];
  EXPECT_EQ(shown[1], "");
}

}  // namespace
