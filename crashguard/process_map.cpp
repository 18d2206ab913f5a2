#include "crashguard/process_map.h"

#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "crashguard/guarded_memory.h"
#include "crashguard/thread_slot.h"

namespace crashguard {

namespace {

// Find-or-create steps run under one lock: two threads asking first at the
// same moment must not each make their own map or slot.
std::mutex& CreationLock() {
  static std::mutex lock;
  return lock;
}

StringMapHolder* g_processMap = nullptr;  // this module's cached address

ThreadSlot& ThreadMapSlot() {
  static ThreadSlot slot("__threadStrMap");
  return slot;
}

int32_t ReadPublishedAddress() {
  char buffer[64];
  std::memset(buffer, ' ', sizeof buffer);
  const DWORD length = GetEnvironmentVariableA(ProcessMapVariableName().c_str(), buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return 0;
  return static_cast<int32_t>(std::strtoll(buffer, nullptr, 10));
}

// The holder the variable names when this process made it, else null; the
// value is only an address once the mark before it is found.
StringMapHolder* PublishedMap() {
  const auto holder = static_cast<uint32_t>(ReadPublishedAddress());
  if (!holder) return nullptr;
  PublishedProcessMap found;
  if (!CopyGuarded(&found, holder - offsetof(PublishedProcessMap, holder), sizeof found)) return nullptr;
  if (found.mark != kPublishedMapMark || found.ownerProcessId != GetCurrentProcessId()) return nullptr;
  return reinterpret_cast<StringMapHolder*>(holder);
}

StringMap& ThreadMap() { return *GetThreadStringMap()->map; }

}  // namespace

std::string ProcessMapVariableName() { return "__processStrMap_" + std::to_string(GetCurrentProcessId()); }

StringMapHolder* NewProcessStringMap() {
  auto* published = new PublishedProcessMap{kPublishedMapMark, GetCurrentProcessId(),
                                            {new StringMap{&StringMapTable(), {}}, 0}};
  return &published->holder;
}

StringMapHolder* GetProcessStringMap() {
  std::lock_guard<std::mutex> hold(CreationLock());
  if (g_processMap) return g_processMap;
  g_processMap = PublishedMap();
  if (!g_processMap) {
    g_processMap = NewProcessStringMap();
    SetEnvironmentVariableA(ProcessMapVariableName().c_str(),
                            std::to_string(reinterpret_cast<int32_t>(g_processMap)).c_str());
  }
  return g_processMap;
}

int32_t LookupProcessStringMap(const char* key) { return GetProcessStringMap()->map->GetMapValue(key); }

void StoreProcessStringMap(const char* key, int32_t value) { GetProcessStringMap()->map->SetMapValue(key, value); }

DWORD ProcessTlsSlot(const char* key) {
  StringMap& map = *GetProcessStringMap()->map;
  std::lock_guard<std::mutex> hold(CreationLock());
  if (const int32_t index = map.GetMapValue(key)) return static_cast<DWORD>(index);
  DWORD slot = TlsAlloc();
  if (slot == 0) slot = TlsAlloc();  // slot 0 stays taken, unused
  if (slot == TLS_OUT_OF_INDEXES) return TLS_OUT_OF_INDEXES;
  map.SetMapValue(key, static_cast<int32_t>(slot));
  return slot;
}

StringMapHolder* GetThreadStringMap() {
  if (auto* holder = static_cast<StringMapHolder*>(ThreadMapSlot().Get())) return holder;
  StringMapHolder* holder = NewStringMap();
  ThreadMapSlot().Set(holder);
  return holder;
}

void ForgetThreadStringMap() { ThreadMapSlot().Set(nullptr); }

int32_t LookupThreadStringMap(const char* key) { return ThreadMap().GetMapValue(key); }

void StoreThreadStringMap(const char* key, int32_t value) { ThreadMap().SetMapValue(key, value); }

TryList* GetThreadTryList() {
  if (auto* list = reinterpret_cast<TryList*>(LookupThreadStringMap("_SEH.m_tryList"))) return list;
  TryList* list = NewTryList();
  StoreThreadStringMap("_SEH.m_tryList", reinterpret_cast<int32_t>(list));
  return list;
}

ThreadContext* GetThreadContextRecord() {
  if (auto* context = reinterpret_cast<ThreadContext*>(LookupThreadStringMap("_SEH.m_threadContext"))) return context;
  ThreadContext* context = NewThreadContext();
  StoreThreadStringMap("_SEH.m_threadContext", reinterpret_cast<int32_t>(context));
  return context;
}

void StoreThreadReport(const std::string& message, const std::string& callStack) {
  GetThreadContextRecord()->SetReportTexts(message, callStack);
}

}  // namespace crashguard
