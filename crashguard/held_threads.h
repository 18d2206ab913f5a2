// Every other thread of the process held still while code they may be running
// is rewritten, and moved off the bytes that change.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/owned.h"

namespace crashguard {

// A place a held thread may stand and the equivalent place in the code that
// replaces it. The words are what the code at `from` has pushed under the
// return address; they are dropped from the thread's stack when it moves.
struct ThreadMove {
  uint32_t from;
  uint32_t to;
  int32_t pushedWords;
};

// Suspends every other thread of the process that exists when it is made,
// and lets them go when it ends. Nothing is allocated while a thread is held,
// since a held thread may own the heap's lock.
class HeldThreads {
 public:
  explicit HeldThreads(const std::vector<ThreadMove>& moves);
  ~HeldThreads();
  HeldThreads(const HeldThreads&) = delete;
  HeldThreads& operator=(const HeldThreads&) = delete;

 private:
  void Hold(DWORD threadId, const std::vector<ThreadMove>& moves);

  std::vector<shell::OwnedHandle> threads_;
};

}  // namespace crashguard
