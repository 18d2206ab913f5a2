// The monitor thread's work: builds the drive list, then polls every ticked
// drive and writes a cell only when its value changed.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "spacemon/enabled_flag_array.h"
#include "spacemon/drive_queries.h"

namespace spacemon {

// Columns of the drive list, by 0-based index.
enum DriveColumn : int {
  kLetterColumn = 0, kTotalColumn, kUsedColumn, kFreeColumn, kDeltaColumn, kCountColumn,
  kCumulativeColumn, kInitialFreeColumn,
};

// What the loop changes on the window.
class DriveListSink {
 public:
  virtual ~DriveListSink() = default;
  virtual void DeleteAllRows() = 0;
  virtual int AppendRow(const std::string& firstCell) = 0;  // the new row's 0-based index
  virtual void TickRow(int row) = 0;
  virtual void SetCell(int row, int column, const std::string& text) = 0;
  virtual void SetHeights(int windowHeight, int listHeight) = 0;
};

struct ListHeights {
  int window;
  int list;
};
// The window and list heights for n drives.
ListHeights HeightsForDriveCount(int32_t n);

// The figures of one drive since the last build.
struct DriveSpaceRow {
  char letter = 0;
  int64_t initialFree = 0;
  int64_t used = 0;
  int64_t lastFree = 0;
  int64_t lastDelta = 0;
  int64_t cumulativeChange = 0;
  int32_t changeCount = 0;
};

class DriveSpacePollLoop {
 public:
  DriveSpacePollLoop(DriveQueries& queries, DriveListSink& list, std::atomic<int32_t>& rebuildRequested,
                     EnabledFlagArray& enabled);

  // Builds the list as the thread does at its start; false when a drive
  // query failed, which the pause follows.
  bool Build();
  // Loop check, then one build or one pass; true when the pause follows.
  bool Step();
  // The thread's whole work: a build, then steps with their pauses, until
  // stop is set.
  void Run(const std::atomic<bool>& stop, const std::function<void()>& pause);

  int32_t DriveCount() const { return count_; }
  const std::vector<DriveSpaceRow>& Rows() const { return rows_; }

 private:
  bool Pass();
  bool QueryDrive(int32_t i, int64_t& freeBytes, int64_t& total);

  DriveQueries& queries_;
  DriveListSink& list_;
  std::atomic<int32_t>& rebuildRequested_;
  EnabledFlagArray& enabled_;
  int32_t count_ = 0;
  std::vector<char> letters_;
  std::vector<DriveSpaceRow> rows_;  // element i - 1 for drive i
};

}  // namespace spacemon
