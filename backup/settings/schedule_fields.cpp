#include "backup/settings/schedule_fields.h"

#include "base/gbk_text.h"

namespace kavrel {

ScheduleFields::ScheduleFields(const std::array<std::string, 6>& texts) : texts_(texts) {
  for (int box = 0; box < 6; ++box) values_[box] = static_cast<int16_t>(gbk::IntegerValue(texts_[box]));
}

void ScheduleFields::Set(int box, int16_t value) {
  values_[box] = value;
  texts_[box] = std::to_string(value);
}

void ScheduleFields::Carry(int hours, int minutes, int seconds) {
  if (values_[seconds] > 60) {
    Set(seconds, static_cast<int16_t>(values_[seconds] - 60));
    Set(minutes, static_cast<int16_t>(values_[minutes] + 1));
  }
  if (values_[minutes] > 60) {
    Set(minutes, static_cast<int16_t>(values_[minutes] - 60));
    Set(hours, static_cast<int16_t>(values_[hours] + 1));
  }
  if (values_[hours] > 999) Set(hours, 999);
}

void ScheduleFields::Normalise() {
  for (int box = 0; box < 6; ++box) {
    if (values_[box] >= 0) continue;
    values_[box] = 0;
    texts_[box] = box == kDelaySeconds ? " 0" : "0";
  }
  Carry(kDelayHours, kDelayMinutes, kDelaySeconds);
  Carry(kPauseHours, kPauseMinutes, kPauseSeconds);
}

}  // namespace kavrel
