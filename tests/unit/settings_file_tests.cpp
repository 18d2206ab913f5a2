#include <gtest/gtest.h>

#include <windows.h>

#include "backup/settings/settings_file.h"
#include "support/test_support.h"

namespace {

using namespace kavrel;
using testing_support::ReadFileBytes;
using testing_support::ScratchDir;
using testing_support::WriteFileBytes;

// Holds a file open without any sharing, so no one else can open it.
class ExclusiveOpen {
 public:
  explicit ExclusiveOpen(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~ExclusiveOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

TEST(SettingsFile, LiesBesideTheProgram) {
  const std::string path = SettingsFile::BesideProgram().Path();
  EXPECT_EQ(path, testing_support::TestProgramDirectory() + "CF.ini");
}

TEST(SettingsFile, ReadStopsAtAZeroByteOrEndOfFileMarkerOutsideDoubleByteCharacters) {
  EXPECT_EQ(TextBeforeEndMarker(std::string("AB,\0CD", 6)), "AB,");
  EXPECT_EQ(TextBeforeEndMarker("AB\x1A" "CD"), "AB");
  // A lead byte takes the next byte with it, even a marker.
  EXPECT_EQ(TextBeforeEndMarker(std::string("A\x81\x1A" "B\x1A" "C", 6)), "A\x81\x1A" "B");
  EXPECT_EQ(TextBeforeEndMarker(std::string("\x90\0X\0", 4)), std::string("\x90\0X", 3));
  EXPECT_EQ(TextBeforeEndMarker("xy\x81"), "xy\x81");

  ScratchDir dir;
  SettingsFile file(dir / "CF.ini");
  WriteFileBytes(file.Path(), std::string("7F,AC,\0junk", 11));
  EXPECT_EQ(file.Read(), "7F,AC,");
}

TEST(SettingsFile, MissingLockedOrDirectoryFilesReadAsEmpty) {
  ScratchDir dir;
  EXPECT_EQ(SettingsFile(dir / "CF.ini").Read(), "");
  CreateDirectoryA((dir / "dir.ini").c_str(), nullptr);
  EXPECT_EQ(SettingsFile(dir / "dir.ini").Read(), "");
  WriteFileBytes(dir / "CF.ini", "7F,");
  ExclusiveOpen lock(dir / "CF.ini");
  ASSERT_TRUE(lock.Held());
  EXPECT_EQ(SettingsFile(dir / "CF.ini").Read(), "");
}

TEST(SettingsFile, ReadsWhileOthersHoldItOpenForWritingAndReadsLargeFilesWhole) {
  ScratchDir dir;
  const std::string path = dir / "CF.ini";
  std::string big;
  for (int n = 0; big.size() < 6u * 1024 * 1024; ++n) big += "AB,";
  WriteFileBytes(path, big);
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SettingsFile(path).Read(), big);
  CloseHandle(writer);
}

TEST(SettingsFile, WriteReplacesTheWholeFileAndLeavesNoTemporaryBehind) {
  ScratchDir dir;
  SettingsFile file(dir / "CF.ini");
  WriteFileBytes(file.Path(), std::string(5000, 'Z'));
  WriteFileBytes(file.TemporaryPath(), "stale");  // from a run that died mid-write
  ASSERT_TRUE(file.Write("7F,AC,"));
  EXPECT_EQ(ReadFileBytes(file.Path()), "7F,AC,");
  EXPECT_EQ(GetFileAttributesA(file.TemporaryPath().c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(file.Write(""));
  EXPECT_EQ(GetFileAttributesA(file.Path().c_str()) != INVALID_FILE_ATTRIBUTES, true);
  EXPECT_EQ(ReadFileBytes(file.Path()), "");
}

TEST(SettingsFile, WritesInPlaceWhenNoTemporaryFileCanBeMade) {
  ScratchDir dir;
  SettingsFile file(dir / "CF.ini");
  WriteFileBytes(file.Path(), "old,old,old,");
  ASSERT_TRUE(CreateDirectoryA(file.TemporaryPath().c_str(), nullptr));
  ASSERT_TRUE(file.Write("7F,"));
  EXPECT_EQ(ReadFileBytes(file.Path()), "7F,");
}

TEST(SettingsFile, AFileThatCannotBeReplacedKeepsItsOldContent) {
  ScratchDir dir;
  SettingsFile file(dir / "CF.ini");
  WriteFileBytes(file.Path(), "old,");
  {
    ExclusiveOpen lock(file.Path());
    ASSERT_TRUE(lock.Held());
    EXPECT_FALSE(file.Write("new,new,"));
  }
  EXPECT_EQ(ReadFileBytes(file.Path()), "old,");
  EXPECT_EQ(ReadFileBytes(file.TemporaryPath()), "new,new,");  // the settings are not lost
  // A directory in CF.ini's place is not replaced either.
  SettingsFile blocked(dir / "blocked.ini");
  ASSERT_TRUE(CreateDirectoryA(blocked.Path().c_str(), nullptr));
  EXPECT_FALSE(blocked.Write("new,"));
  EXPECT_NE(GetFileAttributesA(blocked.Path().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

DWORD FileIndexOf(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info = {};
  HANDLE file = CreateFileA(path.c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  return info.nFileIndexLow;
}

// Another program holds CF.ini open without delete sharing, so it cannot be
// replaced; the same file is written in place instead, whole and no longer.
TEST(SettingsFile, ACFIniHeldByAnotherProgramIsWrittenInPlaceAndKeepsItsAttributes) {
  ScratchDir dir;
  SettingsFile file(dir / "CF.ini");
  WriteFileBytes(file.Path(), std::string(3000, 'Z'));
  const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesA(file.Path().c_str(), attributes));
  const DWORD index = FileIndexOf(file.Path());
  {
    testing_support::ChildProcess holder;
    const std::string probe = testing_support::TestProgramDirectory() + "file_probe.exe";
    ASSERT_TRUE(holder.Start(probe, "hold \"" + file.Path() + "\""));
    ASSERT_TRUE(testing_support::WaitUntil([&] { return holder.Output().compare(0, 4, "held") == 0; }, 30000));
    ASSERT_TRUE(file.Write("7F,AC,"));
    EXPECT_EQ(FileIndexOf(file.Path()), index);
    holder.Kill();
  }
  EXPECT_EQ(ReadFileBytes(file.Path()), "7F,AC,");
  EXPECT_EQ(GetFileAttributesA(file.Path().c_str()), attributes);
  EXPECT_EQ(GetFileAttributesA(file.TemporaryPath().c_str()), INVALID_FILE_ATTRIBUTES);

  // Replaced by the staged file when free, with the same attributes.
  ASSERT_TRUE(file.Write("01,"));
  EXPECT_NE(FileIndexOf(file.Path()), index);
  EXPECT_EQ(ReadFileBytes(file.Path()), "01,");
  EXPECT_EQ(GetFileAttributesA(file.Path().c_str()), attributes);
}

// A kill between any two steps of an in-place save leaves a file that reads
// as the old text or the new; the last step leaves the new bytes alone.
TEST(SettingsFile, EveryStepOfAnInPlaceSaveReadsAsTheOldTextOrTheNew) {
  const struct {
    std::string before, after;
  } cases[] = {
      {"old,old,", "new,new,new,new,"},           // growing
      {"old,old,old,old,", "new,"},               // shrinking
      {"old,old,", "new,new,"},                   // the same length
      {std::string("new,\0old,old,", 13), "AB,AB,AB,AB,AB,AB,"},  // a save cut short before
      {"", "new,"},
      {"old,", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before + " -> " + c.after);
    const std::string oldText = TextBeforeEndMarker(c.before);
    std::string file = c.before;
    const std::vector<InPlaceStep> steps = InPlaceSaveSteps(c.before.size(), c.after);
    for (const InPlaceStep& step : steps) {
      if (step.cut) {
        file.resize(static_cast<size_t>(step.offset));
      } else {
        const size_t end = static_cast<size_t>(step.offset) + step.bytes.size();
        if (file.size() < end) file.resize(end);
        file.replace(static_cast<size_t>(step.offset), step.bytes.size(), step.bytes);
      }
      const std::string read = TextBeforeEndMarker(file);
      EXPECT_TRUE(read == oldText || read == c.after) << "reads " << read;
    }
    EXPECT_EQ(file, c.after);
  }
}

// Through a symbolic link the file it names takes the settings, and the
// link stays; settings that are already there need no write, so a
// read-only CF.ini holding them is no failure.
TEST(SettingsFile, ASaveGoesThroughALinkAndWritesNothingWhenNothingChanged) {
  ScratchDir dir;
  const std::string target = dir / "target.ini", link = dir / "CF.ini";
  WriteFileBytes(target, "old,");
  ASSERT_TRUE(testing_support::StartUnixProgram("/bin/ln", "-s " + testing_support::UnixPath(target) + " " +
                                                                testing_support::UnixPath(link)));
  ASSERT_TRUE(testing_support::WaitUntil([&] { return ReadFileBytes(link) == "old,"; }, testing_support::kHangBoundMs));
  SettingsFile file(link);
  ASSERT_TRUE(file.Write("new,new,"));
  EXPECT_EQ(ReadFileBytes(target), "new,new,");
  EXPECT_EQ(file.Read(), "new,new,");
  EXPECT_EQ(GetFileAttributesA((target + ".new").c_str()), INVALID_FILE_ATTRIBUTES);

  ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(file.Write("new,new,"));
  EXPECT_FALSE(file.Write("new,"));
  EXPECT_EQ(ReadFileBytes(target), "new,new,");
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
