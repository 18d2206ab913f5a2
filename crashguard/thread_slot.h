// One pointer per thread, kept in a TLS slot whose index lies in the process
// map under a key. When no slot can be had, the pointers are kept by thread
// id instead, so that each thread still finds what it stored.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

namespace crashguard {

class ThreadSlot {
 public:
  explicit ThreadSlot(const char* key) : key_(key) {}
  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;

  // The current thread's pointer; null when it stored none.
  void* Get();
  // Null forgets the current thread's pointer.
  void Set(void* value);

 private:
  // The slot's index, made on first use; TLS_OUT_OF_INDEXES, for good, when none could be had.
  DWORD Index();

  const char* key_;
  DWORD index_ = 0;
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::vector<std::pair<DWORD, void*>> byThread_;  // used only without a slot
};

}  // namespace crashguard
