// The six schedule boxes, start delay then interval, each as hours, minutes
// and seconds, with the carries and caps applied before they are used.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace kavrel {

enum ScheduleBox : int {
  kDelayHours, kDelayMinutes, kDelaySeconds, kPauseHours, kPauseMinutes, kPauseSeconds,
};

class ScheduleFields {
 public:
  explicit ScheduleFields(const std::array<std::string, 6>& texts);

  // Negative values become 0; seconds then minutes over 60 carry once;
  // hours stop at 999. Only boxes whose value changes get a new text.
  void Normalise();

  const std::string& Text(int box) const { return texts_[box]; }
  int16_t Value(int box) const { return values_[box]; }

 private:
  void Set(int box, int16_t value);
  void Carry(int hours, int minutes, int seconds);

  std::array<std::string, 6> texts_;
  std::array<int16_t, 6> values_{};
};

}  // namespace kavrel
