#include "backup/ui/duration_text.h"

namespace kavrel {

std::string FormatDuration(int32_t s) {
  const int32_t days = s / 86400;
  int32_t r = s % 86400;
  const int32_t hours = r / 3600;
  r %= 3600;
  const int32_t minutes = r / 60, seconds = r % 60;
  auto n = [](int32_t v) { return std::to_string(v); };
  if (days != 0) return n(days) + "天" + n(hours) + "时" + n(minutes) + "分" + n(seconds) + "秒";
  if (hours != 0) {
    if (seconds != 0) return n(hours) + "时" + n(minutes) + "分" + n(seconds) + "秒";
    if (minutes != 0) return n(hours) + "时" + n(minutes) + "分";
    return n(hours) + "时";
  }
  if (minutes != 0) return seconds != 0 ? n(minutes) + "分" + n(seconds) + "秒" : n(minutes) + "分";
  return n(seconds) + "秒";
}

}  // namespace kavrel
