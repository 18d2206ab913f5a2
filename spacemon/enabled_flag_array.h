// Per-row poll switches shared by the monitor thread, which alone resizes
// them in each build, and the user-interface thread, which writes single
// elements when the user toggles a row. Every access holds a short lock.
#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

namespace spacemon {

class EnabledFlagArray {
 public:
  // n elements, all 0.
  void Replace(int32_t count);
  // Element index (1-based) := value; false, and nothing written, when no
  // such element exists.
  bool Set(int32_t index, int16_t value);
  // Element index (1-based); 0 when no such element exists.
  int16_t Get(int32_t index) const;
  int32_t Sum() const;
  int32_t Count() const;
  void Free();

 private:
  mutable std::mutex lock_;
  std::vector<int16_t> flags_;
};

}  // namespace spacemon
