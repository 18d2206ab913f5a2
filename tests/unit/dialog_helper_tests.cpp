// The toolkit object: creation, copy, the file-dialog settings, the module
// initialiser and the caption hook called directly.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>

#include <algorithm>

#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"
#include "shelltool/file_dialogs.h"
#include "shelltool/shell_dialogs.h"

namespace {

using namespace shell;

std::string Bytes(const ByteArray* bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
}
const char kNul = '\0';

class DialogHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    helper_ = AllocateShellDialogHelper();
    ConstructShellDialogHelper(*helper_);
  }
  void TearDown() override { ReleaseShellDialogHelper(helper_); }
  FileDialogRecord& record() { return *helper_->dialogRecord.get(); }
  void SetFilter(const std::string& filter) {
    FileDialogOptions options;
    options.filter = filter;
    helper_->SetFileDialogOptions(options);
  }
  ShellDialogHelper* helper_ = nullptr;
};

TEST_F(DialogHelperTest, ANewObjectHasItsTableTheDefaultFlagsAndAZeroedRecord) {
  EXPECT_EQ(helper_->operations, &ShellDialogHelperTable());
  EXPECT_EQ(helper_->pathMustExistFlag, OFN_PATHMUSTEXIST);
  EXPECT_EQ(helper_->createPromptFlag, OFN_CREATEPROMPT);
  EXPECT_EQ(helper_->fileMustExistFlag, OFN_FILEMUSTEXIST);
  EXPECT_EQ(helper_->overwritePromptFlag, OFN_OVERWRITEPROMPT);
  EXPECT_EQ(helper_->noChangeDirFlag, 0);
  EXPECT_EQ(helper_->allowMultiSelectFlag, 0);
  ASSERT_TRUE(helper_->dialogRecord);
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(helper_->dialogRecord.get());
  EXPECT_EQ(std::count(raw, raw + sizeof(FileDialogRecord), 0), 80);
  EXPECT_FALSE(helper_->lastDirectoryBytes);
}

TEST_F(DialogHelperTest, FilterLosesItsBlanksAndEndsInTwoNuls) {
  SetFilter("文本 文件(*.txt)|*.txt");
  EXPECT_EQ(Bytes(record().lpstrFilter.get()), std::string("文本文件(*.txt)") + kNul + "*.txt" + kNul + kNul);
  SetFilter("所有　文件(*.*) | *.*");  // a full-width blank, and ASCII blanks round the bar
  EXPECT_EQ(Bytes(record().lpstrFilter.get()), std::string("所有文件(*.*)") + kNul + "*.*" + kNul + kNul);
  FileDialogOptions none;
  helper_->SetFileDialogOptions(none);
  EXPECT_EQ(Bytes(record().lpstrFilter.get()), std::string(2, kNul));
}

TEST_F(DialogHelperTest, FilterKeepsDoubleByteCharactersWhoseTrailByteIsABar) {
  const std::string character = "\x81\x7C";  // a GBK character ending in the byte of "|"
  SetFilter("A" + character + "|*.a");
  EXPECT_EQ(Bytes(record().lpstrFilter.get()), "A" + character + kNul + "*.a" + kNul + kNul);
}

TEST_F(DialogHelperTest, FilterIndexIsOneBasedAndAtLeastOne) {
  const struct { int32_t given; uint32_t stored; } kCases[] = {{0, 1}, {-5, 1}, {2, 3}, {1, 2}};
  for (const auto& c : kCases) {
    FileDialogOptions options;
    options.filterIndex = c.given;
    helper_->operations->setFileDialogOptions(*helper_, options);  // as every operation's tests, through the table
    EXPECT_EQ(record().nFilterIndex, c.stored) << c.given;
  }
}

TEST_F(DialogHelperTest, OnlyTheFlagsGivenChangeTheirWords) {
  FileDialogOptions flags;
  flags.createPrompt = false;
  flags.fileMustExist = false;
  flags.overwritePrompt = false;
  flags.pathMustExist = false;
  flags.noChangeDirectory = true;
  flags.allowMultiSelect = true;
  helper_->SetFileDialogOptions(flags);
  EXPECT_EQ(helper_->createPromptFlag, 0);
  EXPECT_EQ(helper_->fileMustExistFlag, 0);
  EXPECT_EQ(helper_->overwritePromptFlag, 0);
  EXPECT_EQ(helper_->pathMustExistFlag, 0);
  EXPECT_EQ(helper_->noChangeDirFlag, OFN_NOCHANGEDIR);
  EXPECT_EQ(helper_->allowMultiSelectFlag, OFN_ALLOWMULTISELECT);
  SetFilter("所有文件(*.*)|*.*");
  EXPECT_EQ(helper_->createPromptFlag, 0);
  EXPECT_EQ(helper_->pathMustExistFlag, 0);
  EXPECT_EQ(helper_->noChangeDirFlag, OFN_NOCHANGEDIR);
  EXPECT_EQ(helper_->allowMultiSelectFlag, OFN_ALLOWMULTISELECT);
  FileDialogOptions one;
  one.fileMustExist = true;
  helper_->SetFileDialogOptions(one);
  EXPECT_EQ(helper_->fileMustExistFlag, OFN_FILEMUSTEXIST);
  EXPECT_EQ(helper_->createPromptFlag, 0);
}

TEST_F(DialogHelperTest, DirectoryExtensionAndInstanceAreSetAndAnOmittedTextClearsItsMember) {
  FileDialogOptions options;
  options.initialDirectory = "C:\\资料";
  options.defaultExtension = "txt";
  helper_->SetFileDialogOptions(options);
  ASSERT_TRUE(record().lpstrInitialDir);
  EXPECT_EQ(*record().lpstrInitialDir.get(), "C:\\资料");
  EXPECT_EQ(*record().lpstrDefExt.get(), "txt");
  EXPECT_EQ(record().hInstance, reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
  helper_->SetFileDialogOptions(FileDialogOptions());
  EXPECT_FALSE(record().lpstrInitialDir);
  EXPECT_FALSE(record().lpstrDefExt);
}

TEST_F(DialogHelperTest, ACopyIsIndependentOfItsSource) {
  FileDialogOptions options;
  options.filter = "甲|*.a";
  options.initialDirectory = "C:\\one";
  options.noChangeDirectory = true;
  helper_->SetFileDialogOptions(options);
  helper_->lastDirectoryBytes.Set(ByteArray{'C', ':', '\\'});
  record().lCustData = 77;

  ShellDialogHelper* copy = helper_->operations->copy(*helper_);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->operations, helper_->operations);
  EXPECT_EQ(copy->noChangeDirFlag, OFN_NOCHANGEDIR);
  ASSERT_TRUE(copy->dialogRecord);
  EXPECT_NE(copy->dialogRecord.get(), helper_->dialogRecord.get());
  EXPECT_NE(copy->dialogRecord.get()->lpstrFilter.get(), record().lpstrFilter.get());
  EXPECT_EQ(copy->dialogRecord.get()->lCustData, 77u);

  SetFilter("乙|*.b");
  helper_->noChangeDirFlag = 0;
  helper_->lastDirectoryBytes.get()->push_back('x');
  helper_->operations->destroy(*helper_);
  EXPECT_FALSE(helper_->dialogRecord);
  EXPECT_FALSE(helper_->lastDirectoryBytes);

  EXPECT_EQ(Bytes(copy->dialogRecord.get()->lpstrFilter.get()), std::string("甲") + kNul + "*.a" + kNul + kNul);
  EXPECT_EQ(*copy->dialogRecord.get()->lpstrInitialDir.get(), "C:\\one");
  EXPECT_EQ(Bytes(copy->lastDirectoryBytes.get()), "C:\\");
  EXPECT_EQ(copy->noChangeDirFlag, OFN_NOCHANGEDIR);
  ReleaseShellDialogHelper(copy);
  EXPECT_EQ(copy, nullptr);
}

TEST(FileDialogs, StylesKindsAndTheHookFlag) {
  EXPECT_EQ(OpenFilesStyleFlags(0), 0x80200u);
  EXPECT_EQ(OpenFilesStyleFlags(4), 0x80211u);
  EXPECT_EQ(OpenFilesStyleFlags(11), 0x80234u);
  EXPECT_EQ(OpenFilesStyleFlags(12), 0x80200u);
  EXPECT_EQ(OpenFilesStyleFlags(-1), 0x80200u);
  ShellDialogHelper* helper = AllocateShellDialogHelper();
  ConstructShellDialogHelper(*helper);
  EXPECT_EQ(FileDialogFlags(*helper, 0, true), 0x883826u);
  EXPECT_EQ(FileDialogFlags(*helper, 1, true), 0x880802u);
  ReleaseShellDialogHelper(helper);
  // A hook flag without a hook procedure does not reach the platform.
  FileDialogRecord record;
  record.Flags = OpenFilesStyleFlags(9);
  EXPECT_EQ(PlatformFileDialog(record).Flags, 0x80210u);
  record.lpfnHook = 0x1234;
  EXPECT_EQ(PlatformFileDialog(record).Flags, 0x80230u);
  // Never more room than the buffer has.
  record.lpstrFile.Set(ByteArray(10, 0));
  record.nMaxFile = 2049;
  EXPECT_EQ(PlatformFileDialog(record).nMaxFile, 10u);
}

TEST(FileDialogs, TheInitialBufferAndTheSelectionText) {
  const std::string trailPipe = "\x81\x7C", trailBackslash = "\x81\x5C";
  ByteArray buffer = InitialFileBuffer("a.txt;b.txt", nullptr, false);
  EXPECT_EQ(buffer.size(), 257u);
  EXPECT_EQ(SelectionText(buffer, false), "a.txt");
  EXPECT_EQ(InitialFileBuffer("", nullptr, true), ByteArray(2049, 0));
  const ByteArray earlier = {'C', ':', '\\', 'x', 0, 0, 0};
  EXPECT_EQ(InitialFileBuffer("", &earlier, false).size(), 257u);
  EXPECT_EQ(InitialFileBuffer(std::string(300, 'n'), nullptr, false).back(), 0);  // a long name still ends
  auto bytes = [](const std::string& s) { return ByteArray(s.begin(), s.end()); };
  const std::string z(1, '\0');
  EXPECT_EQ(SelectionText(bytes("C:\\pics" + z + "a.png" + z + "b" + trailBackslash + ".jpg" + z + z), true),
            "C:\\pics\\a.png;C:\\pics\\b" + trailBackslash + ".jpg");
  EXPECT_EQ(SelectionText(bytes("C:\\" + z + "a.png" + z + "b.png" + z + z), true), "C:\\a.png;C:\\b.png");
  EXPECT_EQ(SelectionText(bytes("C:\\" + trailBackslash + z + z), true), "C:\\" + trailBackslash);
  EXPECT_EQ(SelectionText(bytes("C:\\d" + z + "a" + z), false), "C:\\d");
  // The open-files filter keeps its blanks and whole double-byte characters.
  EXPECT_EQ(PlatformFilter("文本 文件|*.txt|" + trailPipe, true),
            bytes("文本 文件" + z + "*.txt" + z + trailPipe + z + z));
  EXPECT_EQ(PlatformFilter("", true), ByteArray(2, 0));
}

TEST(ShellDialogs, CommandLinesLibrariesAndCustomColours) {
  EXPECT_EQ(OpenWithCommandLine("C:\\a b.txt"), "rundll32.exe shell32.dll , OpenAs_RunDLL C:\\a b.txt");
  EXPECT_STREQ(FavoritesLibraryFor("8.0.6001"), "ieframe.dll");
  EXPECT_STREQ(FavoritesLibraryFor("9.11"), "shdocvw.dll");
  EXPECT_STREQ(FavoritesLibraryFor(""), "shdocvw.dll");
  const std::vector<COLORREF> two = {RGB(1, 2, 3), RGB(4, 5, 6)};
  std::vector<COLORREF> sixteen = SixteenCustomColours(two);
  ASSERT_EQ(sixteen.size(), 16u);
  EXPECT_EQ(sixteen[1], RGB(4, 5, 6));
  EXPECT_EQ(sixteen[2], RGB(255, 255, 255));
  EXPECT_EQ(sixteen[15], RGB(255, 255, 255));
  EXPECT_EQ(SixteenCustomColours(std::vector<COLORREF>(20, 7)), std::vector<COLORREF>(16, 7));
}

TEST_F(DialogHelperTest, TheModuleInitialiserSetsTheDefaultFilterAndStartsGdiplus) {
  ProgramDialogHelper = helper_;
  InitDialogHelperGlobals();
  EXPECT_EQ(InitDialogHelperModule(), 0);
  EXPECT_EQ(Bytes(record().lpstrFilter.get()), std::string("所有文件(*.*)") + kNul + "*.*" + kNul + kNul);
  EXPECT_EQ(record().nFilterIndex, 1u);
  EXPECT_EQ(helper_->pathMustExistFlag, OFN_PATHMUSTEXIST);
  EXPECT_NE(DialogHelperGlobals().gdiplusToken, 0u);
  ProgramDialogHelper = nullptr;
  FreeDialogHelperGlobals();
}

// A window with the seven standard buttons of a message box.
class FakeBox {
 public:
  FakeBox() {
    window_ = CreateWindowExA(0, "STATIC", "box", WS_POPUP | WS_VISIBLE, 300, 200, 260, 140, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    for (int id = 1; id <= 7; ++id)
      CreateWindowExA(0, "BUTTON", ("b" + std::to_string(id)).c_str(), WS_CHILD | WS_VISIBLE, 10 * id, 10, 30, 20,
                      window_, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), GetModuleHandleA(nullptr), nullptr);
  }
  FakeBox(const FakeBox&) = delete;
  FakeBox& operator=(const FakeBox&) = delete;
  ~FakeBox() { DestroyWindow(window_); }
  HWND get() const { return window_; }
  std::string Button(int id) const {
    char text[64] = {};
    GetDlgItemTextA(window_, id, text, sizeof text);
    return text;
  }
  RECT Rect() const {
    RECT r;
    GetWindowRect(window_, &r);
    return r;
  }

 private:
  HWND window_;
};

LRESULT CALLBACK PassOn(int code, WPARAM wp, LPARAM lp) { return CallNextHookEx(nullptr, code, wp, lp); }

class CaptionHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitDialogHelperGlobals();
    hook_ = SetWindowsHookExA(WH_CBT, PassOn, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook_, nullptr);
    DialogHelperGlobals().captionHookHandle = hook_;
  }
  void TearDown() override {
    if (DialogHelperGlobals().captionHookHandle) UnhookWindowsHookEx(DialogHelperGlobals().captionHookHandle);
    DialogHelperGlobals().captionHookHandle = nullptr;
    FreeDialogHelperGlobals();
  }
  HHOOK hook_ = nullptr;
  FakeBox box_;
};

TEST_F(CaptionHookTest, TheFirstActivationPlacesTheBoxSetsTheGivenCaptionsAndRemovesTheHook) {
  DialogHelperState& state = DialogHelperGlobals();
  state.buttonCaptions = ButtonCaptions{"好的", "", "", "", "", "", "不要"};
  state.boxPosition = {100, 120};
  const RECT before = box_.Rect();
  EXPECT_EQ(ButtonCaptionHook(HCBT_CREATEWND, reinterpret_cast<WPARAM>(box_.get()), 0), 0);
  EXPECT_EQ(box_.Button(1), "b1");  // other hook codes do nothing
  EXPECT_EQ(ButtonCaptionHook(HCBT_ACTIVATE, reinterpret_cast<WPARAM>(box_.get()), 0), 0);
  EXPECT_EQ(box_.Button(1), "好的");
  for (int id = 2; id <= 6; ++id) EXPECT_EQ(box_.Button(id), "b" + std::to_string(id));
  EXPECT_EQ(box_.Button(7), "不要");
  const RECT after = box_.Rect();
  EXPECT_EQ(after.left, 100);
  EXPECT_EQ(after.top, 120);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  EXPECT_EQ(state.captionHookHandle, nullptr);
  EXPECT_FALSE(UnhookWindowsHookEx(hook_));  // already removed
}

TEST_F(CaptionHookTest, EitherMarkerKeepsTheBoxWhereItIs) {
  const RECT before = box_.Rect();
  for (POINT position : {POINT{-157, 40}, POINT{40, -123}, kPlatformBoxPosition}) {
    DialogHelperGlobals().boxPosition = position;
    ButtonCaptionHook(HCBT_ACTIVATE, reinterpret_cast<WPARAM>(box_.get()), 0);
    const RECT after = box_.Rect();
    EXPECT_EQ(after.left, before.left) << position.x << "," << position.y;
    EXPECT_EQ(after.top, before.top) << position.x << "," << position.y;
  }
}

TEST(PlaceWindow, OmittedValuesKeepTheWindowsOwn) {
  FakeBox box;
  PlaceWindow(box.get(), 50, std::nullopt, std::nullopt, 90);
  RECT r = box.Rect();
  EXPECT_EQ(r.left, 50);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(r.right - r.left, 260);
  EXPECT_EQ(r.bottom - r.top, 90);
}

}  // namespace
