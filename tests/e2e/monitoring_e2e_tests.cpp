// The whole backup road with the real Kavrel.exe, driven from outside.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "apps/kavrel/main_window.h"  // control ids only
#include "e2e/kavrel_driver.h"

namespace {

using namespace testing_support;
using kavrel_testing::KavrelDriver;
using kavrel_testing::ProjectSpec;
using kavrel_testing::SettingsPlainText;
using kavrel_testing::UnixPath;
using kavrel_testing::UserSettings;

struct FileIdentity {
  DWORD volume = 0, indexHigh = 0, indexLow = 0, links = 0;
  bool ok = false;
  bool SameFile(const FileIdentity& o) const {
    return ok && o.ok && volume == o.volume && indexHigh == o.indexHigh && indexLow == o.indexLow;
  }
};

FileIdentity Identify(const std::string& path) {
  FileIdentity id;
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return id;
  BY_HANDLE_FILE_INFORMATION info;
  id.ok = GetFileInformationByHandle(file, &info) != FALSE;
  id.volume = info.dwVolumeSerialNumber;
  id.indexHigh = info.nFileIndexHigh;
  id.indexLow = info.nFileIndexLow;
  id.links = info.nNumberOfLinks;
  CloseHandle(file);
  return id;
}

void Replace(const std::string& path, const std::string& content) {
  DeleteFileA(path.c_str());  // a new file, not a rewrite of the old one
  WriteFileBytes(path, content);
}

bool WaitForRunEnd(KavrelDriver& kavrel) {
  if (!WaitUntil([&] { return kavrel.ButtonCaption() == "停止监控"; }, testing_support::kHangBoundMs)) return false;
  return WaitUntil([&] { return kavrel.ButtonCaption() == "开始监控"; }, 120000);
}

// The tree is kept for the check from the Linux side that follows this test.
std::string KeptFolder(const std::string& name) {
  const std::string folder = TestProgramDirectory() + name + "\\";
  RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

TEST(MonitoringRun, MirrorsATreeAsHardLinksKeepsReplacedFilesAndSavesOnClose) {
  const std::string root = KeptFolder("e2e_road");
  const std::string src = root + "src\\", backup = root + "src_backupx\\";
  CreateDirectoryA(src.c_str(), nullptr);
  CreateDirectoryA((src + "Sub").c_str(), nullptr);
  CreateDirectoryA((src + "Sub\\Deep").c_str(), nullptr);
  WriteFileBytes(src + "a.txt", "first a");
  WriteFileBytes(src + "Sub\\Report.DOC", "report");
  WriteFileBytes(src + "Sub\\Deep\\c.bin", std::string(5000, 'c'));

  UserSettings settings;
  settings.projects.push_back(ProjectSpec{src, backup, true});
  KavrelDriver kavrel(root);
  ASSERT_TRUE(kavrel.Start(settings));
  EXPECT_EQ(kavrel.Progress(), " 当前选中1个项目");

  kavrel.ClickStart();
  ASSERT_TRUE(WaitUntil([&] { return kavrel.Progress() == " 本次检查共发现3个增量文件并已备份"; }, 60000))
      << kavrel.Progress();
  EXPECT_EQ(kavrel.Status(), " 监控停止");
  const struct { const char* source; const char* entry; } kLinks[] = {
      {"a.txt", "a.txt"}, {"Sub\\Report.DOC", "Sub\\report.doc"}, {"Sub\\Deep\\c.bin", "Sub\\Deep\\c.bin"}};
  for (const auto& link : kLinks) {
    FileIdentity s = Identify(src + link.source), b = Identify(backup + link.entry);
    EXPECT_TRUE(s.SameFile(b)) << link.entry;
    EXPECT_EQ(b.links, 2u) << link.entry;
  }
  // Read-only, hidden, system (the platform may add the archive bit).
  EXPECT_EQ(GetFileAttributesA((backup + "desktop.ini").c_str()) & 7, DWORD(7));

  Replace(src + "a.txt", "second a");
  kavrel.ClickStart();
  ASSERT_TRUE(WaitUntil([&] { return kavrel.Progress() == " 本次检查共发现1个增量文件并已备份"; }, 60000))
      << kavrel.Progress();
  EXPECT_EQ(ReadFileBytes(backup + "a.txt.old"), "first a");
  EXPECT_TRUE(Identify(src + "a.txt").SameFile(Identify(backup + "a.txt")));
  EXPECT_EQ(ReadFileBytes(backup + "a.txt"), "second a");

  {
    std::ofstream manifest(root + "links.txt");
    manifest << UnixPath(src + "a.txt") << "\t" << UnixPath(backup + "a.txt") << "\tsame\n";
    manifest << UnixPath(src + "Sub\\Report.DOC") << "\t" << UnixPath(backup + "Sub\\report.doc") << "\tsame\n";
    manifest << UnixPath(src + "Sub\\Deep\\c.bin") << "\t" << UnixPath(backup + "Sub\\Deep\\c.bin") << "\tsame\n";
    manifest << UnixPath(src + "a.txt") << "\t" << UnixPath(backup + "a.txt.old") << "\tdiffer\n";
  }

  kavrel.Close();
  EXPECT_EQ(kavrel.WaitForExit(testing_support::kHangBoundMs), 0);
  EXPECT_EQ(kavrel.ReadSettingsPlainText(), SettingsPlainText(settings));
}

TEST(MonitoringRun, ClosingTheWindowDuringACheckStopsTheRunSavesAndExits) {
  ScratchDir dir;
  const std::string src = dir / "big\\", backup = dir / "big_backupx\\";
  CreateDirectoryA(src.c_str(), nullptr);
  const int kFiles = 300;
  for (int i = 0; i < kFiles; ++i) WriteFileBytes(src + "f" + std::to_string(i) + ".dat", std::to_string(i));
  UserSettings settings;
  settings.threads = 1;  // one worker at 300 ms per link: the check lasts long
  settings.schedule[5] = "7";
  settings.projects.push_back(ProjectSpec{src, backup, true});
  KavrelDriver kavrel(dir.path());
  ASSERT_TRUE(kavrel.Start(settings));
  kavrel.ClickStart();
  // Close once the check shows links made.
  ASSERT_TRUE(WaitUntil([&] {
    const std::string p = kavrel.Progress();
    return p.rfind(" 检查进度", 0) == 0 && p.find("硬链接增量0个") == std::string::npos;
  }, 60000)) << kavrel.Progress();
  const ULONGLONG closed = GetTickCount64();
  kavrel.Close();
  EXPECT_EQ(kavrel.WaitForExit(60000), 0);
  EXPECT_LT(GetTickCount64() - closed, 45000u);  // the whole check would take 90 s
  EXPECT_EQ(kavrel.ReadSettingsPlainText(), SettingsPlainText(settings));
  int linked = 0;
  for (int i = 0; i < kFiles; ++i) linked += Identify(backup + "f" + std::to_string(i) + ".dat").ok ? 1 : 0;
  EXPECT_GT(linked, 0);
  EXPECT_LT(linked, kFiles);
}

// Files a user removes while the check runs (an editor's temporary files)
// are gone, not left out: the pass names no failure and no error image.
TEST(MonitoringRun, FilesRemovedDuringACheckAreNotCountedAsLeftOut) {
  ScratchDir dir;
  const std::string src = dir / "busy\\", backup = dir / "busy_backupx\\";
  CreateDirectoryA(src.c_str(), nullptr);
  const int kFiles = 40;
  auto name = [&](int i) { return src + "f" + std::to_string(i) + ".tmp"; };
  for (int i = 0; i < kFiles; ++i) WriteFileBytes(name(i), std::to_string(i));
  UserSettings settings;
  settings.threads = 1;  // one worker at 300 ms per link: the files wait their turn
  settings.projects.push_back(ProjectSpec{src, backup, true});
  KavrelDriver kavrel(dir.path());
  ASSERT_TRUE(kavrel.Start(settings));
  kavrel.ClickStart();
  ASSERT_TRUE(kavrel.WaitForStatus(" 增量检查", kHangBoundMs));  // listed, and no more scanning
  int removed = 0;
  for (int i = 0; i < kFiles && removed < 5; ++i)
    if (!Identify(backup + "f" + std::to_string(i) + ".tmp").ok && DeleteFileA(name(i).c_str())) ++removed;
  ASSERT_EQ(removed, 5);
  ASSERT_TRUE(WaitForRunEnd(kavrel));
  int linked = 0;
  for (int i = 0; i < kFiles; ++i) linked += Identify(backup + "f" + std::to_string(i) + ".tmp").ok ? 1 : 0;
  EXPECT_LE(linked, kFiles - 4);  // a file removed as its link was made may still have gone in
  EXPECT_EQ(kavrel.Progress(), " 本次检查共发现" + std::to_string(linked) + "个增量文件并已备份");
  EXPECT_EQ(RemoteListImage(kavrel.Control(kavrel::kProjectList), 0), 1);
  kavrel.Close();
  EXPECT_EQ(kavrel.WaitForExit(kHangBoundMs), 0);
}

// Many passes over a tree that changes between them: files added, replaced and
// deleted, 100 workers. Nothing may be lost or overwritten, and the program
// must not grow. KAVREL_SOAK_PASSES sets the length (long runs by hand).
TEST(MonitoringRun, SoakOverAChangingTreeLosesNothingAndDoesNotGrow) {
  const char* passesText = std::getenv("KAVREL_SOAK_PASSES");
  const int passes = passesText ? std::atoi(passesText) : 8;
  ScratchDir dir;
  const std::string src = dir / "tree\\", backup = dir / "tree_backupx\\";
  CreateDirectoryA(src.c_str(), nullptr);
  for (int d = 0; d < 10; ++d) CreateDirectoryA((src + "d" + std::to_string(d)).c_str(), nullptr);

  std::map<std::string, std::string> current;                 // relative path -> content
  std::map<std::string, std::multiset<std::string>> superseded;  // relative path -> old contents
  int serial = 0;
  auto create = [&](const std::string& rel) {
    const std::string content = "v" + std::to_string(serial++) + " of " + rel;
    if (current.count(rel)) superseded[rel].insert(current[rel]);
    Replace(src + rel, content);
    current[rel] = content;
  };
  for (int i = 0; i < 200; ++i) create("d" + std::to_string(i % 10) + "\\file" + std::to_string(i) + ".txt");
  std::set<std::string> deleted;

  UserSettings settings;
  settings.projects.push_back(ProjectSpec{src, backup, true});
  KavrelDriver kavrel(dir.path());
  ASSERT_TRUE(kavrel.Start(settings));

  std::vector<DWORD> handles;
  std::vector<size_t> memory;
  int next = 200;
  for (int pass = 0; pass < passes; ++pass) {
    int expectedLinks = pass == 0 ? 200 : 0;
    if (pass > 0) {
      // Each file changes at most once between two passes, as the backup can only see that much.
      std::set<std::string> touched;
      for (int k = 0; k < 5; ++k, ++expectedLinks) {
        const std::string rel = "d" + std::to_string(next % 10) + "\\file" + std::to_string(next) + ".txt";
        ++next;
        create(rel);
        touched.insert(rel);
      }
      int replaced = 0;
      for (auto& [rel, content] : current) {
        if (deleted.count(rel) || touched.count(rel) || (serial + rel.size()) % 7 != 0) continue;
        touched.insert(rel);
        create(rel);
        ++expectedLinks;
        if (++replaced == 5) break;
      }
      int removed = 0;
      for (auto& [rel, content] : current) {
        if (deleted.count(rel) || touched.count(rel) || (rel.size() + pass) % 5 != 0) continue;
        DeleteFileA((src + rel).c_str());
        deleted.insert(rel);
        if (++removed == 3) break;
      }
    }
    kavrel.ClickStart();
    ASSERT_TRUE(WaitForRunEnd(kavrel)) << "pass " << pass;
    const std::string expected = expectedLinks == 0 ? std::string(" 本次检查未发现增量文件")
                                                    : " 本次检查共发现" + std::to_string(expectedLinks) + "个增量文件并已备份";
    ASSERT_EQ(kavrel.Progress(), expected) << "pass " << pass;

    for (const auto& [rel, content] : current) {
      EXPECT_EQ(ReadFileBytes(backup + rel), content) << rel;  // the last version, also of deleted files
      std::multiset<std::string> kept;
      const std::string base = backup + rel + ".old";
      if (GetFileAttributesA(base.c_str()) != INVALID_FILE_ATTRIBUTES) kept.insert(ReadFileBytes(base));
      for (int n = 1; n <= 50; ++n)
        if (GetFileAttributesA((base + std::to_string(n)).c_str()) != INVALID_FILE_ATTRIBUTES)
          kept.insert(ReadFileBytes(base + std::to_string(n)));
      EXPECT_EQ(kept, superseded[rel]) << rel;
    }
    handles.push_back(ProcessHandleCount(kavrel.Process().Handle()));
    memory.push_back(ProcessPrivateBytes(kavrel.Process().Handle()));
  }
  ASSERT_GE(passes, 4);
  // After two warm-up passes the figures must stay flat.
  EXPECT_LE(handles.back(), handles[1] + 4) << "handles grew from " << handles[1] << " to " << handles.back();
  EXPECT_LE(memory.back(), memory[1] + 3 * 1024 * 1024) << "private bytes grew from " << memory[1] << " to " << memory.back();
  kavrel.Close();
  EXPECT_EQ(kavrel.WaitForExit(testing_support::kHangBoundMs), 0);
}

}  // namespace
