#include "spacemon/drive_space_poll_loop.h"

#include <cmath>

#include "base/gbk_text.h"

namespace spacemon {

namespace {
constexpr double kTolerance = 1e-7;

std::string Digits(int64_t value) { return gbk::NumberText(value); }
}  // namespace

ListHeights HeightsForDriveCount(int32_t n) {
  const double allowance = n < 8 ? 8.0 - n : 0.0;
  return {static_cast<int>(18.0 * n + allowance + 66.0), static_cast<int>(18.0 * n + allowance + 20.0)};
}

DriveSpacePollLoop::DriveSpacePollLoop(DriveQueries& queries, DriveListSink& list,
                                       std::atomic<int32_t>& rebuildRequested, EnabledFlagArray& enabled)
    : queries_(queries), list_(list), rebuildRequested_(rebuildRequested), enabled_(enabled) {}

bool DriveSpacePollLoop::Step() {
  if (rebuildRequested_ != 0) return !Build();
  Pass();
  return true;
}

void DriveSpacePollLoop::Run(const std::atomic<bool>& stop, const std::function<void()>& pause) {
  bool pauseNext = !Build();
  while (!stop) {
    if (pauseNext) {
      pause();
      if (stop) break;
    }
    pauseNext = Step();
  }
}

bool DriveSpacePollLoop::QueryDrive(int32_t i, int64_t& freeBytes, int64_t& total) {
  const std::string root = std::string(1, rows_[i - 1].letter) + ":\\";
  const bool answered = queries_.DiskFreeSpace(root, freeBytes, total);
  char buffer[255] = {};
  const int32_t length = queries_.LogicalDriveStrings(buffer, sizeof buffer);
  // Every query notices a drive that came or went since the build.
  return answered && std::fabs(double(length) - 4.0 * count_) <= kTolerance;
}

bool DriveSpacePollLoop::Build() {
  rebuildRequested_ = 0;
  list_.DeleteAllRows();
  count_ = EnumerateDriveLetters(queries_, letters_);
  rows_.assign(count_, DriveSpaceRow());
  for (int32_t i = 1; i <= count_; ++i) rows_[i - 1].letter = letters_[i - 1];
  enabled_.Replace(count_);
  const ListHeights heights = HeightsForDriveCount(count_);
  list_.SetHeights(heights.window, heights.list);
  for (int32_t i = 1; i <= count_; ++i) {
    int64_t freeBytes = 0, total = 0;
    if (!QueryDrive(i, freeBytes, total)) {
      rebuildRequested_ = 1;
      return false;
    }
    DriveSpaceRow& row = rows_[i - 1];
    const int index = list_.AppendRow(std::string(" ") + row.letter);
    enabled_.Set(i, 1);
    list_.TickRow(index);
    row.used = total - freeBytes;
    row.lastFree = freeBytes;
    row.initialFree = freeBytes;
    list_.SetCell(i - 1, kTotalColumn, Digits(total));
    list_.SetCell(i - 1, kUsedColumn, Digits(row.used));
    list_.SetCell(i - 1, kFreeColumn, Digits(freeBytes));
    list_.SetCell(i - 1, kInitialFreeColumn, Digits(freeBytes));
  }
  return true;
}

bool DriveSpacePollLoop::Pass() {
  for (int32_t i = 1; i <= count_; ++i) {
    if (enabled_.Get(i) != 1) continue;
    int64_t freeBytes = 0, total = 0;
    if (!QueryDrive(i, freeBytes, total)) {
      rebuildRequested_ = 1;
      return false;
    }
    DriveSpaceRow& row = rows_[i - 1];
    if (std::fabs(double(row.used) - double(total - freeBytes)) > kTolerance) {
      row.used = total - freeBytes;
      list_.SetCell(i - 1, kUsedColumn, Digits(row.used));
    }
    if (freeBytes != row.lastFree) {
      row.cumulativeChange += std::llabs(row.lastFree - freeBytes);
      row.lastFree = freeBytes;
      list_.SetCell(i - 1, kFreeColumn, Digits(freeBytes));
      list_.SetCell(i - 1, kCumulativeColumn, Digits(row.cumulativeChange));
    }
    if (std::fabs(double(row.lastDelta) - double(row.initialFree - freeBytes)) > kTolerance) {
      row.lastDelta = row.initialFree - freeBytes;
      list_.SetCell(i - 1, kDeltaColumn, gbk::NumberText(double(freeBytes - row.initialFree)));
      ++row.changeCount;
      list_.SetCell(i - 1, kCountColumn, Digits(row.changeCount));
    }
  }
  return true;
}

}  // namespace spacemon
