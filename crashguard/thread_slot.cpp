#include "crashguard/thread_slot.h"

#include "crashguard/process_map.h"

namespace crashguard {

DWORD ThreadSlot::Index() {
  AcquireSRWLockExclusive(&lock_);
  if (!index_) index_ = ProcessTlsSlot(key_);
  const DWORD index = index_;
  ReleaseSRWLockExclusive(&lock_);
  return index;
}

void* ThreadSlot::Get() {
  const DWORD index = Index();
  if (index != TLS_OUT_OF_INDEXES) return TlsGetValue(index);
  const DWORD thread = GetCurrentThreadId();
  void* value = nullptr;
  AcquireSRWLockShared(&lock_);
  for (const auto& entry : byThread_)
    if (entry.first == thread) value = entry.second;
  ReleaseSRWLockShared(&lock_);
  return value;
}

void ThreadSlot::Set(void* value) {
  const DWORD index = Index();
  if (index != TLS_OUT_OF_INDEXES) {
    TlsSetValue(index, value);
    return;
  }
  const DWORD thread = GetCurrentThreadId();
  AcquireSRWLockExclusive(&lock_);
  auto entry = byThread_.begin();
  while (entry != byThread_.end() && entry->first != thread) ++entry;
  if (entry != byThread_.end()) byThread_.erase(entry);
  if (value) byThread_.emplace_back(thread, value);
  ReleaseSRWLockExclusive(&lock_);
}

}  // namespace crashguard
