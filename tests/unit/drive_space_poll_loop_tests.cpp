// The monitor thread's loop with drive figures fed in and the list recorded.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "spacemon/drive_space_poll_loop.h"

namespace {

using namespace spacemon;

struct FakeDrive {
  char letter;
  int64_t freeBytes;
  int64_t total;
  bool answers = true;
};

class FakeDrives : public DriveQueries {
 public:
  std::vector<FakeDrive> drives;
  int freeSpaceQueries = 0;

  FakeDrive& Drive(char letter) {
    for (FakeDrive& d : drives)
      if (d.letter == letter) return d;
    throw std::runtime_error("no such drive");
  }
  int32_t LogicalDriveStrings(char* buffer, int32_t length) override {
    std::string roots;
    for (const FakeDrive& d : drives) roots += std::string(1, d.letter) + ":\\" + '\0';
    if (roots.size() + 1 > size_t(length)) return int32_t(roots.size() + 1);
    std::copy(roots.begin(), roots.end(), buffer);
    return int32_t(roots.size());  // each root with its NUL, without the list's final NUL
  }
  bool DiskFreeSpace(const std::string& root, int64_t& freeBytes, int64_t& total) override {
    ++freeSpaceQueries;
    for (const FakeDrive& d : drives) {
      if (root == std::string(1, d.letter) + ":\\") {
        if (!d.answers) return false;
        freeBytes = d.freeBytes;
        total = d.total;
        return true;
      }
    }
    return false;
  }
};

class RecordedList : public DriveListSink {
 public:
  std::vector<std::vector<std::string>> rows;
  std::vector<bool> ticked;
  std::vector<std::pair<int, int>> cellWrites;  // (row, column) in order
  int windowHeight = 0, listHeight = 0;

  void DeleteAllRows() override {
    rows.clear();
    ticked.clear();
  }
  int AppendRow(const std::string& firstCell) override {
    rows.push_back(std::vector<std::string>(8));
    rows.back()[0] = firstCell;
    ticked.push_back(false);
    return int(rows.size()) - 1;
  }
  void TickRow(int row) override { ticked.at(row) = true; }
  void SetCell(int row, int column, const std::string& text) override {
    rows.at(row).at(column) = text;
    cellWrites.push_back({row, column});
  }
  void SetHeights(int window, int list) override {
    windowHeight = window;
    listHeight = list;
  }
};

class PollLoopTest : public ::testing::Test {
 protected:
  FakeDrives drives;
  RecordedList list;
  std::atomic<int32_t> rebuild{0};
  EnabledFlagArray enabled;
  DriveSpacePollLoop loop{drives, list, rebuild, enabled};

  std::string Cell(int row, int column) const { return list.rows.at(row).at(column); }
};

TEST_F(PollLoopTest, BuildListsEveryDriveTickedWithItsFigures) {
  drives.drives = {{'C', 1000, 5000}, {'D', 70, 100}, {'Z', 0, 0}};
  ASSERT_TRUE(loop.Build());
  ASSERT_EQ(list.rows.size(), 3u);
  EXPECT_EQ(Cell(0, 0), " C");
  EXPECT_EQ(Cell(1, 0), " D");
  EXPECT_EQ(Cell(2, 0), " Z");
  EXPECT_EQ(Cell(0, 1), "5000");
  EXPECT_EQ(Cell(0, 2), "4000");
  EXPECT_EQ(Cell(0, 3), "1000");
  EXPECT_EQ(Cell(0, 7), "1000");
  for (int column : {4, 5, 6}) EXPECT_EQ(Cell(0, column), "") << column;
  EXPECT_EQ(list.ticked, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(enabled.Count(), 3);
  EXPECT_EQ(enabled.Sum(), 3);
  EXPECT_EQ(list.windowHeight, 125);
  EXPECT_EQ(list.listHeight, 79);
}

TEST_F(PollLoopTest, HeightsFollowTheDriveCount) {
  EXPECT_EQ(HeightsForDriveCount(3).window, 125);
  EXPECT_EQ(HeightsForDriveCount(3).list, 79);
  EXPECT_EQ(HeightsForDriveCount(7).window, 193);
  EXPECT_EQ(HeightsForDriveCount(8).window, 210);
  EXPECT_EQ(HeightsForDriveCount(8).list, 164);
  EXPECT_EQ(HeightsForDriveCount(9).window, 228);
  EXPECT_EQ(HeightsForDriveCount(0).window, 74);
  EXPECT_EQ(HeightsForDriveCount(0).list, 28);
}

TEST_F(PollLoopTest, ARebuildFromFiveToNineDrivesDropsTheAllowance) {
  for (char c : std::string("CDEFG")) drives.drives.push_back({c, 1, 2});
  ASSERT_TRUE(loop.Build());
  EXPECT_EQ(list.windowHeight, 17 * 5 + 74);
  for (char c : std::string("HIJK")) drives.drives.push_back({c, 1, 2});
  EXPECT_TRUE(loop.Step());  // the pass notices the longer root list
  EXPECT_EQ(rebuild, 1);
  EXPECT_FALSE(loop.Step());  // the rebuild
  EXPECT_EQ(list.rows.size(), 9u);
  EXPECT_EQ(list.windowHeight, 228);
}

TEST_F(PollLoopTest, ADropAndARiseOf4096BytesAreTwoChanges) {
  drives.drives = {{'C', 100000, 500000}};
  ASSERT_TRUE(loop.Build());
  drives.Drive('C').freeBytes -= 4096;
  EXPECT_TRUE(loop.Step());
  EXPECT_EQ(Cell(0, 3), "95904");
  EXPECT_EQ(Cell(0, 4), "-4096");
  EXPECT_EQ(Cell(0, 5), "1");
  EXPECT_EQ(Cell(0, 6), "4096");
  EXPECT_EQ(Cell(0, 2), "404096");
  drives.Drive('C').freeBytes += 4096;
  EXPECT_TRUE(loop.Step());
  EXPECT_EQ(Cell(0, 4), "0");
  EXPECT_EQ(Cell(0, 5), "2");
  EXPECT_EQ(Cell(0, 6), "8192");
  EXPECT_EQ(Cell(0, 7), "100000");
  EXPECT_EQ(Cell(0, 3), "100000");
}

TEST_F(PollLoopTest, AnIdleDriveCausesNoListWrites) {
  drives.drives = {{'C', 100000, 500000}, {'D', 5, 10}};
  ASSERT_TRUE(loop.Build());
  const size_t writes = list.cellWrites.size();
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(loop.Step());
  EXPECT_EQ(list.cellWrites.size(), writes);
}

TEST_F(PollLoopTest, AChangeOfTheTotalAloneUpdatesOnlyTheUsedColumn) {
  drives.drives = {{'C', 100000, 500000}};
  ASSERT_TRUE(loop.Build());
  list.cellWrites.clear();
  drives.Drive('C').total = 600000;
  loop.Step();
  EXPECT_EQ(list.cellWrites, (std::vector<std::pair<int, int>>{{0, 2}}));
  EXPECT_EQ(Cell(0, 2), "500000");
  EXPECT_EQ(Cell(0, 1), "500000");  // the total column is written only by a build
}

TEST_F(PollLoopTest, ADriveThatAppearsRebuildsWithFiguresReset) {
  drives.drives = {{'C', 100000, 500000}};
  ASSERT_TRUE(loop.Build());
  drives.Drive('C').freeBytes = 90000;
  loop.Step();
  EXPECT_EQ(Cell(0, 5), "1");
  drives.drives.push_back({'E', 7, 8});  // root list 4 bytes longer
  drives.Drive('C').freeBytes = 80000;
  EXPECT_TRUE(loop.Step());
  EXPECT_EQ(rebuild, 1);
  EXPECT_EQ(Cell(0, 5), "1");  // the failed query wrote nothing
  EXPECT_FALSE(loop.Step());
  EXPECT_EQ(rebuild, 0);
  ASSERT_EQ(list.rows.size(), 2u);
  EXPECT_EQ(Cell(1, 0), " E");
  EXPECT_EQ(Cell(0, 7), "80000");
  EXPECT_EQ(Cell(0, 5), "");
  EXPECT_EQ(loop.Rows()[0].cumulativeChange, 0);
  EXPECT_EQ(loop.Rows()[0].changeCount, 0);
}

TEST_F(PollLoopTest, AFailedQueryStopsTheBuildThereAndItIsRetriedAfterThePause) {
  drives.drives = {{'C', 1, 2}, {'D', 3, 4, false}, {'E', 5, 6}};
  EXPECT_FALSE(loop.Build());
  EXPECT_EQ(rebuild, 1);
  ASSERT_EQ(list.rows.size(), 1u);  // the rows before the failing drive stay
  EXPECT_EQ(Cell(0, 0), " C");
  EXPECT_EQ(enabled.Sum(), 1);
  std::atomic<bool> stop{false};
  int pauses = 0;
  loop.Run(stop, [&] {
    ++pauses;
    if (pauses == 3) drives.Drive('D').answers = true;
    if (pauses == 4) stop = true;
  });
  // Run starts with its own build; each failed build is followed by a pause.
  EXPECT_EQ(list.rows.size(), 3u);
  EXPECT_EQ(rebuild, 0);
  EXPECT_EQ(enabled.Sum(), 3);
}

TEST_F(PollLoopTest, AFailedQueryInAPassStopsThePass) {
  drives.drives = {{'C', 1, 2}, {'D', 3, 4}, {'E', 5, 6}};
  ASSERT_TRUE(loop.Build());
  drives.Drive('D').answers = false;
  drives.Drive('E').freeBytes = 4;
  EXPECT_TRUE(loop.Step());
  EXPECT_EQ(rebuild, 1);
  EXPECT_EQ(Cell(2, 3), "5");  // E was not visited
}

TEST_F(PollLoopTest, AnUntickedDriveKeepsItsCellsAndCountsTheWholeDifferenceOnceWhenTickedAgain) {
  drives.drives = {{'C', 100000, 500000}, {'D', 50, 60}};
  ASSERT_TRUE(loop.Build());
  ASSERT_TRUE(enabled.Set(1, 0));
  const int queriesBefore = drives.freeSpaceQueries;
  drives.Drive('C').freeBytes = 90000;
  loop.Step();
  drives.Drive('C').freeBytes = 70000;
  loop.Step();
  EXPECT_EQ(drives.freeSpaceQueries - queriesBefore, 2);  // only D was queried
  EXPECT_EQ(Cell(0, 3), "100000");
  EXPECT_EQ(Cell(0, 5), "");
  ASSERT_TRUE(enabled.Set(1, 1));
  loop.Step();
  EXPECT_EQ(Cell(0, 3), "70000");
  EXPECT_EQ(Cell(0, 4), "-30000");
  EXPECT_EQ(Cell(0, 5), "1");
  EXPECT_EQ(Cell(0, 6), "30000");
  EXPECT_EQ(Cell(0, 7), "100000");
}

TEST_F(PollLoopTest, ARightClickRebuildTicksEveryRowAgain) {
  drives.drives = {{'C', 1, 2}, {'D', 3, 4}};
  ASSERT_TRUE(loop.Build());
  enabled.Set(2, 0);
  list.ticked[1] = false;
  rebuild = 1;
  EXPECT_FALSE(loop.Step());
  EXPECT_EQ(list.ticked, (std::vector<bool>{true, true}));
  EXPECT_EQ(enabled.Sum(), 2);
}

TEST_F(PollLoopTest, NoRootListGivesAnEmptyListAndNoQueries) {
  EXPECT_TRUE(loop.Build());
  EXPECT_TRUE(list.rows.empty());
  EXPECT_EQ(list.windowHeight, 74);
  EXPECT_EQ(list.listHeight, 28);
  EXPECT_TRUE(loop.Step());
  EXPECT_EQ(drives.freeSpaceQueries, 0);
}

TEST_F(PollLoopTest, LargeChangesUseTheThirteenDigitForm) {
  drives.drives = {{'C', 20000000000000LL, 30000000000000LL}};
  ASSERT_TRUE(loop.Build());
  drives.Drive('C').freeBytes = 20000000000000LL + 1073741824LL;
  loop.Step();
  EXPECT_EQ(Cell(0, 4), "1073741824");
  drives.Drive('C').freeBytes = 10000000000000LL;
  loop.Step();
  EXPECT_EQ(Cell(0, 4), "-1e+13");
  EXPECT_EQ(Cell(0, 3), "10000000000000");
}

TEST(EnumerateDriveLetters, KeepsTheLettersWhenTheRootListCannotBeRead) {
  FakeDrives none;
  std::vector<char> letters = {'X'};
  EXPECT_EQ(EnumerateDriveLetters(none, letters), 0);
  EXPECT_EQ(letters, std::vector<char>{'X'});
  FakeDrives some;
  some.drives = {{'C', 1, 1}, {'Q', 1, 1}};
  EXPECT_EQ(EnumerateDriveLetters(some, letters), 2);
  EXPECT_EQ(letters, (std::vector<char>{'C', 'Q'}));
}

TEST(EnabledFlagArray, WritesOutsideTheArrayAreDropped) {
  EnabledFlagArray flags;
  flags.Replace(2);
  EXPECT_FALSE(flags.Set(0, 1));
  EXPECT_FALSE(flags.Set(3, 1));
  EXPECT_TRUE(flags.Set(2, 1));
  EXPECT_EQ(flags.Get(2), 1);
  EXPECT_EQ(flags.Get(3), 0);
  EXPECT_EQ(flags.Sum(), 1);
  flags.Free();
  EXPECT_EQ(flags.Count(), 0);
  EXPECT_FALSE(flags.Set(1, 1));
}

}  // namespace
