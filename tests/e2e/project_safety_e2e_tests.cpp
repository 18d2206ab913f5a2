// The real Kavrel.exe against the projects a user's CF.ini or editor can
// hold: none is lost, none turns the check against the user's files. Each
// case runs on drive K:, a fresh folder that project_safety.sh maps (with the
// share \\kavrel-k\share on K:\share\ and a small file system on K:\full\),
// and lists in K:\links.txt what the script then checks from the Linux side.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "apps/kavrel/main_window.h"
#include "e2e/kavrel_driver.h"
#include "gui/modal_watch.h"
#include "support/settings_fixture.h"

namespace {

using namespace testing_support;
using kavrel_testing::BoxMessage;
using kavrel_testing::KavrelDriver;
using kavrel_testing::PressButton;
using kavrel_testing::SettingsPlainText;
using kavrel_testing::UserSettings;

const std::string kDrive = "K:\\";
const std::string kShare = "\\\\kavrel-k\\share\\";

// What the Linux side is to find, written to K:\links.txt as the case goes.
class LinuxChecks {
 public:
  LinuxChecks() : out_(kDrive + "links.txt", std::ios::app) {}
  void Same(const std::string& source, const std::string& backup) { Line(UnixPath(source), UnixPath(backup), "same"); }
  void Absent(const std::string& path) { Line(UnixPath(path), "", "absent"); }
  void Listing(const std::string& dir, const std::string& names) { Line(UnixPath(dir), names, "listing"); }
  void Content(const std::string& path, const std::string& text) { Line(UnixPath(path), text, "content"); }

 private:
  void Line(const std::string& a, const std::string& b, const char* kind) { out_ << a << "\t" << b << "\t" << kind << "\n"; }
  std::ofstream out_;
};

std::string Folder(const std::string& path) {
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

class ProjectSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(GetFileAttributesA(kDrive.c_str()), INVALID_FILE_ATTRIBUTES) << "tests/e2e/project_safety.sh maps drive K:";
  }
  static HWND List(const KavrelDriver& kavrel) { return kavrel.Control(kavrel::kProjectList); }
  static void ExpectImages(const KavrelDriver& kavrel, const std::vector<int>& images) {
    for (size_t r = 0; r < images.size(); ++r) EXPECT_EQ(RemoteListImage(List(kavrel), int(r)), images[r]) << r;
  }
  static void CloseAndWait(KavrelDriver& kavrel) {
    kavrel.Close();
    EXPECT_EQ(kavrel.WaitForExit(kHangBoundMs), 0);
  }
  LinuxChecks linux_;
};

using KeptProjects = ProjectSafety;
using OverlappingFolders = ProjectSafety;
using SharedBackupDirs = ProjectSafety;
using StoredPaths = ProjectSafety;
using UnsavedSettings = ProjectSafety;

TEST_F(KeptProjects, AFolderAwayForOneStartAndLinesPastTheHundredthSurviveEverySave) {
  const std::string root = Folder(kDrive + "s1\\");
  const std::string away = root + "away\\", empty = Folder(root + "empty\\"), data = Folder(root + "data\\");
  WriteFileBytes(data + "a.txt", "data a");
  UserSettings settings;
  settings.projects = {{away, root + "away_backupx\\", true},
                       {empty, root + "empty_backupx\\", false},
                       {data, root + "data_backupx\\", true}};
  for (int n = 0; n < 100; ++n) {
    const std::string name = root + "more" + std::to_string(n);
    settings.projects.push_back({name + "\\", name + "_backupx\\", n % 3 == 0});
  }
  const std::string stored = SettingsPlainText(settings);
  const std::string program = Folder(root + "prog\\");
  WriteSettingsFile(program + "CF.ini", stored + "no project\r\n");
  // Each start tells of the lines the list does not show, once the window is up.
  auto startAndAnswer = [](KavrelDriver& kavrel) {
    if (!kavrel.StartWithSavedSettings()) return false;
    HWND box = kavrel.WaitForDialog();
    if (!box) return false;
    EXPECT_EQ(WindowText(box), "提示信息");
    EXPECT_EQ(BoxMessage(box), "设置文件中共有103个项目，只显示和检查前100个，其余3个项目原样保留在设置文件中。");
    PressButton(box, IDOK);
    return WaitUntil([&] { return !IsWindow(box); }, kHangBoundMs) &&
           FindProcessWindow(kavrel.Process().Id(), "#32770", 0) == nullptr;
  };
  {
    KavrelDriver kavrel(program);
    ASSERT_TRUE(startAndAnswer(kavrel));
    ASSERT_EQ(RemoteListRowCount(List(kavrel)), 100);
    EXPECT_TRUE(RemoteListChecked(List(kavrel), 0));
    EXPECT_FALSE(RemoteListChecked(List(kavrel), 1));
    ExpectImages(kavrel, {2, 2, 1, 2});
    EXPECT_EQ(RemoteListCell(List(kavrel), 99, 3), root + "more96\\");
    EXPECT_EQ(kavrel.Progress(), " 当前选中35个项目");  // away, data and 33 of the first 97 more
    CloseAndWait(kavrel);
  }
  EXPECT_EQ(ReadSettingsFile(program + "CF.ini"), stored);

  // The folder is back and the empty one holds a file: both show as in order and are checked.
  Folder(away);
  WriteFileBytes(away + "b.txt", "away b");
  WriteFileBytes(empty + "e.txt", "empty e");
  KavrelDriver kavrel(program);
  ASSERT_TRUE(startAndAnswer(kavrel));
  ExpectImages(kavrel, {1, 1, 1, 2});
  ASSERT_TRUE(kavrel.RunOnePass());
  ExpectImages(kavrel, {1, 1, 1, 2});
  CloseAndWait(kavrel);
  EXPECT_EQ(ReadSettingsFile(program + "CF.ini"), stored);
  linux_.Same(away + "b.txt", root + "away_backupx\\b.txt");
  linux_.Same(data + "a.txt", root + "data_backupx\\a.txt");
  linux_.Absent(root + "more0_backupx");  // ticked, but its folder never came
  linux_.Absent(root + "more99_backupx");

  // Delete-all takes the lines past the hundredth too: nothing comes back.
  KavrelDriver again(program);
  ASSERT_TRUE(startAndAnswer(again));
  PostMessageA(again.Window(), WM_COMMAND, kavrel::kMenuDeleteAll, 0);
  ASSERT_TRUE(WaitUntil([&] { return RemoteListRowCount(List(again)) == 0; }, kHangBoundMs));
  CloseAndWait(again);
  settings.projects.clear();
  EXPECT_EQ(ReadSettingsFile(program + "CF.ini"), SettingsPlainText(settings));
  WriteSettingsFile(root + "none.ini", SettingsPlainText(settings));
  linux_.Content(program + "CF.ini", ReadFileBytes(root + "none.ini"));
}

TEST_F(OverlappingFolders, NoProjectRenamesOrReplacesTheUsersFiles) {
  const std::string root = Folder(kDrive + "s2\\");
  const std::string same = Folder(root + "same\\");
  WriteFileBytes(same + "a.txt", "user a");
  const std::string nest = Folder(root + "nest\\"), inner = Folder(nest + "inner\\");
  Folder(inner + "inner\\");
  WriteFileBytes(inner + "x.txt", "outer x");
  WriteFileBytes(inner + "inner\\x.txt", "inner x");
  const std::string bs = Folder(root + "bs\\");
  WriteFileBytes(bs + "a.txt", "bs a");
  const std::string tree = Folder(root + "tree\\");
  WriteFileBytes(tree + "r.txt", "tree r");
  const std::string cased = Folder(root + "Cased\\");
  WriteFileBytes(cased + "c.txt", "cased c");
  UserSettings settings;
  settings.projects = {{same, same, true},
                       {inner, nest, true},
                       {bs, root + "bs_bk", true},
                       {tree, tree + "keep_backupx\\", true},
                       {cased, "k:\\S2\\CASED\\", true}};
  KavrelDriver kavrel(Folder(root + "prog\\"));
  ASSERT_TRUE(kavrel.Start(settings));
  ExpectImages(kavrel, {2, 2, 1, 1, 2});
  EXPECT_EQ(RemoteListCell(List(kavrel), 2, 4), root + "bs_bk\\");
  // Twice: a rename would have gone on to a.txt.old.old.
  ASSERT_TRUE(kavrel.RunOnePass());
  ASSERT_TRUE(kavrel.RunOnePass());
  ExpectImages(kavrel, {2, 2, 1, 1, 2});
  CloseAndWait(kavrel);
  settings.projects[2].backupDir = root + "bs_bk\\";
  EXPECT_EQ(kavrel.ReadSettingsPlainText(), SettingsPlainText(settings));

  linux_.Listing(same, "a.txt");
  linux_.Content(same + "a.txt", "user a");
  linux_.Listing(nest, "inner");
  linux_.Listing(inner, "inner/x.txt");
  linux_.Content(inner + "x.txt", "outer x");
  linux_.Content(inner + "inner\\x.txt", "inner x");
  linux_.Listing(cased, "c.txt");
  linux_.Listing(root, "Cased/bs/bs_bk/nest/prog/same/tree");  // nothing written beside bs_bk
  linux_.Same(bs + "a.txt", root + "bs_bk\\a.txt");
  linux_.Same(tree + "r.txt", tree + "keep_backupx\\r.txt");
  linux_.Listing(tree + "keep_backupx", "desktop.ini/r.txt");
}

// The editor's folder dialog lists the drives the platform knew at its start,
// so this case lies on C:, where generated names land at the drive root too:
// every name it makes begins with kavrel_e2e, and the script clears them.
TEST_F(SharedBackupDirs, TheFirstProjectKeepsItsBackupDirectoryAndTheEditorOffersNoUsedName) {
  const std::string shared = "C:\\kavrel_e2e_backupx\\";  // the name both docs folders get
  const std::string notesBackup = "C:\\kavrel_e2e_notes_backupx\\";
  for (const std::string& left : {std::string("C:\\kavrel_e2e\\"), shared, notesBackup}) RemoveTree(left);
  const std::string root = Folder("C:\\kavrel_e2e\\");
  std::string docs[4];
  for (int p = 1; p <= 3; ++p) {
    docs[p] = Folder(Folder(root + "p" + std::to_string(p) + "\\") + "kavrel_e2e\\");
    WriteFileBytes(docs[p] + "readme.txt", "readme of p" + std::to_string(p));
  }
  WriteFileBytes(docs[3] + "only3.txt", "p3 alone");
  const std::string p4 = Folder(root + "p4\\");
  WriteFileBytes(p4 + "f4.txt", "f4");
  const std::string notes = Folder(Folder(root + "p5\\") + "kavrel_e2e_notes\\");
  WriteFileBytes(notes + "n.txt", "notes n");
  UserSettings settings;
  settings.projects = {{docs[1], shared, true}, {docs[3], shared, true}, {p4, root + "bk\\", true},
                       {notes, notesBackup, true}};
  KavrelDriver kavrel(Folder(root + "prog\\"));
  ASSERT_TRUE(kavrel.Start(settings));
  ExpectImages(kavrel, {1, 2, 1, 1});
  HWND confirm = kavrel.Control(kavrel::kConfirmButton);
  // Picks a monitored directory on C: and answers the question about the system's drive.
  auto pickMonitorDir = [&](const std::string& path) {
    kavrel.Click(kavrel::kMonitorDirButton);
    HWND dialog = kavrel.WaitForDialog();
    if (!dialog || !kavrel.PickFolder(dialog, path)) return static_cast<HWND>(nullptr);
    HWND question = kavrel.WaitForDialog(dialog);
    if (question) PressButton(question, IDYES);
    return question;
  };

  // A new project for p2's folder: its generated name is in use, so none is offered.
  kavrel.Click(kavrel::kAddProjectButton);
  HWND question = pickMonitorDir(root + "p2\\kavrel_e2e");
  ASSERT_NE(question, nullptr);
  HWND box = kavrel.WaitForDialog(question);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(WindowText(box), "提示信息");
  EXPECT_EQ(BoxMessage(box), "当前自动生成的备份目录" + shared + "已被其他项目使用，请点击备份目录按钮另行选择。");
  PressButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }, kHangBoundMs));
  EXPECT_EQ(kavrel.Text(kavrel::kMonitorDirBox), docs[2]);
  EXPECT_EQ(kavrel.Text(kavrel::kBackupDirBox), "");
  EXPECT_FALSE(IsWindowEnabled(confirm));

  // A folder inside another project's backups is refused; one of its own is taken.
  kavrel.Click(kavrel::kBackupDirButton);
  HWND dialog = kavrel.WaitForDialog(box);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(kavrel.PickFolder(dialog, root + "bk"));
  box = kavrel.WaitForDialog(dialog);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxMessage(box), "当前目录(" + root + "bk\\kavrel_e2e_backupx\\)与已添加项目的备份目录(" + root +
                                 "bk\\)相同或互相包含，两个项目的备份将会混在一起，请重新选择。");
  PressButton(box, IDOK);
  dialog = kavrel.WaitForDialog(box);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(kavrel.PickFolder(dialog, root + "p2"));
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(confirm) != FALSE; }, kHangBoundMs));
  EXPECT_EQ(kavrel.Text(kavrel::kBackupDirBox), root + "p2\\kavrel_e2e_backupx\\");
  kavrel.Click(kavrel::kConfirmButton);
  ASSERT_TRUE(WaitUntil([&] { return RemoteListRowCount(List(kavrel)) == 5; }, kHangBoundMs));

  // Editing a project, the name it holds itself is still offered to it.
  RemoteListSelect(List(kavrel), 3);
  PostMessageA(kavrel.Window(), WM_COMMAND, MAKEWPARAM(kavrel::kMenuEditProject, 0), 0);
  question = pickMonitorDir(root + "p5\\kavrel_e2e_notes");
  ASSERT_NE(question, nullptr);
  HWND told = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    told = FindProcessWindow(kavrel.Process().Id(), "#32770", 0);
    return IsWindowEnabled(confirm) || (told && told != question);
  }, kHangBoundMs));
  ASSERT_TRUE(!told || told == question) << BoxMessage(told);
  EXPECT_EQ(kavrel.Text(kavrel::kBackupDirBox), notesBackup);
  kavrel.Click(kavrel::kConfirmButton);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(List(kavrel)) != FALSE; }, kHangBoundMs));

  ASSERT_TRUE(kavrel.RunOnePass());
  ASSERT_TRUE(kavrel.RunOnePass());
  ExpectImages(kavrel, {1, 2, 1, 1, 1});
  CloseAndWait(kavrel);
  settings.projects.push_back({docs[2], root + "p2\\kavrel_e2e_backupx\\", true});
  EXPECT_EQ(kavrel.ReadSettingsPlainText(), SettingsPlainText(settings));

  linux_.Listing(shared, "desktop.ini/readme.txt");  // p1's alone, no readme.txt.old
  linux_.Same(docs[1] + "readme.txt", shared + "readme.txt");
  linux_.Listing(root + "p2\\kavrel_e2e_backupx", "desktop.ini/readme.txt");
  linux_.Same(docs[2] + "readme.txt", root + "p2\\kavrel_e2e_backupx\\readme.txt");
  linux_.Same(p4 + "f4.txt", root + "bk\\f4.txt");
  linux_.Same(notes + "n.txt", notesBackup + "n.txt");
}

TEST_F(StoredPaths, ADoubledBackslashAndAShareAreReadAsTheSystemReadsThem) {
  const std::string root = Folder(kDrive + "s4\\");
  const std::string euro = Folder(root + "top\x80\\");  // a name ending in the single byte 0x80
  WriteFileBytes(euro + "Top.txt", "top");
  const std::string source = Folder(kShare + "src\\");
  WriteFileBytes(source + "f.txt", "on the share");
  UserSettings settings;
  settings.projects = {{euro + "\\", root + "top\x80_backupx\\", true}, {source, kShare + "deep\\er\\bk", true}};
  KavrelDriver kavrel(Folder(root + "prog\\"));
  ASSERT_TRUE(kavrel.Start(settings));
  EXPECT_EQ(RemoteListCell(List(kavrel), 0, 3), euro);
  ExpectImages(kavrel, {1, 1});
  ASSERT_TRUE(kavrel.RunOnePass());
  CloseAndWait(kavrel);
  settings.projects[0].monitorDir = euro;
  settings.projects[1].backupDir += "\\";
  EXPECT_EQ(kavrel.ReadSettingsPlainText(), SettingsPlainText(settings));

  linux_.Same(euro + "Top.txt", root + "top\x80_backupx\\top.txt");
  linux_.Listing(root + "top\x80_backupx", "desktop.ini/top.txt");
  linux_.Same(source + "f.txt", kShare + "deep\\er\\bk\\f.txt");
}

// A folder that refuses new entries (and with contentsToo every write in it,
// as on a read-only share), for the length of one case.
class RefusingWrites {
 public:
  RefusingWrites(const std::string& folder, bool contentsToo)
      : folder_(folder), unix_(UnixPath(folder)), recursive_(contentsToo ? "-R " : "") {
    StartUnixProgram("/usr/bin/chattr", recursive_ + "+i " + unix_);
    refusing_ = WaitUntil([&] { return !TakesWrites(); }, kHangBoundMs);
  }
  ~RefusingWrites() {
    StartUnixProgram("/usr/bin/chattr", recursive_ + "-i " + unix_);
    WaitUntil([&] { return TakesWrites(); }, kHangBoundMs);
  }
  bool Refusing() const { return refusing_; }

 private:
  bool TakesWrites() const {
    const std::string probe = folder_ + "probe";
    if (!CreateDirectoryA(probe.c_str(), nullptr)) return false;
    RemoveDirectoryA(probe.c_str());
    return true;
  }
  std::string folder_, unix_, recursive_;
  bool refusing_ = false;
};

// Settings with the slider at 7 whose file fills a 4096-byte page but for its
// last byte, padded with projects whose folders are away: with the slider at
// 100 the save needs six bytes more, on a second page.
UserSettings SettingsEndingAtAPage() {
  UserSettings settings;
  settings.threads = 7;
  const size_t plainBytes = 4095 / 3;
  while (SettingsPlainText(settings).size() < plainBytes - 100)
    settings.projects.push_back(
        {kDrive + "gone\\" + std::to_string(settings.projects.size()) + "\\", kDrive + "gone_backupx\\", false});
  settings.projects.push_back({kDrive, kDrive + "gone_backupx\\", false});
  const size_t missing = plainBytes - SettingsPlainText(settings).size();
  settings.projects.back().monitorDir = kDrive + std::string(missing - 1, 'g') + "\\";
  return settings;
}

// Fills the small file system project_safety.sh mounts on K:\full\ to its
// last byte; false when it is not there, so no real disk is filled.
bool FillTheDisk(const std::string& folder) {
  ULARGE_INTEGER total = {}, free = {};
  if (!GetDiskFreeSpaceExA(folder.c_str(), nullptr, &total, nullptr) || total.QuadPart > (64u << 20)) return false;
  const shell::OwnedHandle filler(
      CreateFileA((folder + "filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const std::string block(1 << 16, 'f');
  DWORD written = 0;
  while (filler.Valid() && WriteFile(filler.Get(), block.data(), block.size(), &written, nullptr) && written > 0) {
  }
  return GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr) && free.QuadPart == 0;
}

enum class Refusal { kFolderRefusesWrites, kReadOnlyFile, kFullDiskNoNewFiles, kFullDisk };
// What the user changed: the slider, which makes the text longer, a project
// deleted, which makes it shorter, or nothing.
enum class Change { kLonger, kShorter, kNone };

// The box comes exactly when CF.ini cannot take the settings: a save that
// needs no new block (a shorter text, in place on a disk with free names but
// no free block) or no write at all (settings a read-only CF.ini already
// holds) is no failure.
TEST_F(UnsavedSettings, ASaveSaysSoExactlyWhenCfIniCannotTakeTheSettings) {
  const struct {
    const char* folder;
    bool withFile;
    Refusal refusal;
    Change change;
  } cases[] = {
      {"s5_kept\\", true, Refusal::kFolderRefusesWrites, Change::kLonger},
      {"s5_none\\", false, Refusal::kFolderRefusesWrites, Change::kLonger},
      {"s5_readonly\\", true, Refusal::kReadOnlyFile, Change::kLonger},  // Windows refuses to replace it
      {"full\\prog\\", true, Refusal::kFullDiskNoNewFiles, Change::kLonger},  // only an in-place write is left
      {"full\\short\\", true, Refusal::kFullDisk, Change::kShorter},
      {"s5_same\\", true, Refusal::kReadOnlyFile, Change::kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const bool saved = c.change != Change::kLonger;
    DeleteFileA((kDrive + "full\\filler").c_str());  // room for this case's program
    const std::string program = Folder(kDrive + c.folder);
    const std::string settingsPath = program + "CF.ini";
    KavrelDriver kavrel(program);
    UserSettings settings = SettingsEndingAtAPage();
    if (c.withFile) kavrel.WriteSettings(settings);
    const std::string before = ReadFileBytes(settingsPath);
    std::optional<RefusingWrites> locked;
    if (c.refusal == Refusal::kReadOnlyFile) {
      ChildProcess attrib;
      ASSERT_TRUE(attrib.Start("C:\\windows\\system32\\attrib.exe", "+r \"" + settingsPath + "\""));
      EXPECT_EQ(attrib.WaitForExit(kHangBoundMs), 0);
      ASSERT_NE(GetFileAttributesA(settingsPath.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    } else {
      if (c.refusal == Refusal::kFullDiskNoNewFiles || c.refusal == Refusal::kFullDisk) {
        ASSERT_TRUE(FillTheDisk(kDrive + "full\\"));
      }
      if (c.refusal != Refusal::kFullDisk) {
        locked.emplace(program, c.refusal == Refusal::kFolderRefusesWrites);
        ASSERT_TRUE(locked->Refusing()) << "chattr could not make the folder refuse writes";
      }
    }

    ASSERT_TRUE(kavrel.StartWithSavedSettings());
    if (c.change == Change::kLonger) {
      SendMessageA(kavrel.Control(kavrel::kThreadSlider), TBM_SETPOS, TRUE, 100);
    } else if (c.change == Change::kShorter) {
      RemoteListSelect(List(kavrel), 1);
      PostMessageA(kavrel.Window(), WM_COMMAND, kavrel::kMenuDeleteCurrent, 0);
      ASSERT_TRUE(WaitUntil([&] { return RemoteListRowCount(List(kavrel)) == int(settings.projects.size()) - 1; },
                            kHangBoundMs));
      settings.projects.erase(settings.projects.begin() + 1);
    }
    kavrel.Close();
    HWND box = nullptr;
    WaitUntil([&] {
      box = FindProcessWindow(kavrel.Process().Id(), "#32770", 0);
      return box || !kavrel.Process().Running();
    }, kHangBoundMs);
    if (saved) {
      EXPECT_EQ(box, nullptr) << BoxMessage(box);
      if (box) PressButton(box, IDOK);
    } else {
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(WindowText(box), "提示信息");
      EXPECT_EQ(BoxMessage(box), "设置文件(" + settingsPath + ")无法写入，本次运行的项目和选项未能保存。");
      EXPECT_TRUE(kavrel.Process().Running());  // the box comes before the end
      PressButton(box, IDOK);
    }
    EXPECT_EQ(kavrel.WaitForExit(kHangBoundMs), 0);
    if (saved) {
      // Written where a staged copy finds no room: the file holds the new text and nothing after it.
      const std::string expected = kDrive + "expected" + std::to_string(&c - cases) + ".ini";
      WriteSettingsFile(expected, SettingsPlainText(settings));
      EXPECT_EQ(ReadFileBytes(settingsPath), ReadFileBytes(expected));
      linux_.Content(settingsPath, ReadFileBytes(expected));
    } else {
      EXPECT_EQ(ReadFileBytes(settingsPath), before);
      if (c.withFile) linux_.Content(settingsPath, before);
      else linux_.Absent(settingsPath);
    }
    linux_.Absent(settingsPath + ".new");
  }
}

}  // namespace
