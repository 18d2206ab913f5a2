#include "spacemon/enabled_flag_array.h"

namespace spacemon {

void EnabledFlagArray::Replace(int32_t count) {
  std::vector<int16_t> fresh(count > 0 ? count : 0, 0);
  std::lock_guard<std::mutex> hold(lock_);
  flags_.swap(fresh);
}

bool EnabledFlagArray::Set(int32_t index, int16_t value) {
  std::lock_guard<std::mutex> hold(lock_);
  if (index < 1 || index > static_cast<int32_t>(flags_.size())) return false;
  flags_[index - 1] = value;
  return true;
}

int16_t EnabledFlagArray::Get(int32_t index) const {
  std::lock_guard<std::mutex> hold(lock_);
  if (index < 1 || index > static_cast<int32_t>(flags_.size())) return 0;
  return flags_[index - 1];
}

int32_t EnabledFlagArray::Sum() const {
  std::lock_guard<std::mutex> hold(lock_);
  int32_t sum = 0;
  for (int16_t flag : flags_) sum += flag;
  return sum;
}

int32_t EnabledFlagArray::Count() const {
  std::lock_guard<std::mutex> hold(lock_);
  return static_cast<int32_t>(flags_.size());
}

void EnabledFlagArray::Free() {
  std::vector<int16_t> none;
  std::lock_guard<std::mutex> hold(lock_);
  flags_.swap(none);
}

}  // namespace spacemon
