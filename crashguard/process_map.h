// The process-wide string map, published in the environment variable
// "__processStrMap_<pid>", and each thread's own map, kept in a TLS slot
// whose index lies in the process map.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "crashguard/record_stack.h"
#include "crashguard/string_map.h"
#include "crashguard/thread_context.h"

namespace crashguard {

std::string ProcessMapVariableName();

// What the variable names: a holder that carries, just before it, a mark and
// the id of the process that made it. A value inherited from a parent process,
// or one this process never wrote, names no such holder and is not used.
struct PublishedProcessMap {
  uint32_t mark;
  uint32_t ownerProcessId;
  StringMapHolder holder;
};
static_assert(std::is_standard_layout_v<PublishedProcessMap>);
static_assert(offsetof(PublishedProcessMap, holder) == 8 && sizeof(PublishedProcessMap) == 16);
constexpr uint32_t kPublishedMapMark = 0x50414D53;  // "SMAP"
// A new empty map in that form, this process's own; the result is its holder.
StringMapHolder* NewProcessStringMap();

StringMapHolder* GetProcessStringMap();
int32_t LookupProcessStringMap(const char* key);
void StoreProcessStringMap(const char* key, int32_t value);

// The TLS slot whose index the process map holds under the key, made on
// first use; never slot 0, which could not be told from a missing index.
DWORD ProcessTlsSlot(const char* key);

StringMapHolder* GetThreadStringMap();
// The current thread's map is no longer found; freeing it is the caller's
// part (a thread's teardown).
void ForgetThreadStringMap();
int32_t LookupThreadStringMap(const char* key);
void StoreThreadStringMap(const char* key, int32_t value);

// The current thread's try list and report record, made on first use.
TryList* GetThreadTryList();
ThreadContext* GetThreadContextRecord();
// Replaces the current thread's report message and call-stack text.
void StoreThreadReport(const std::string& message, const std::string& callStack);

}  // namespace crashguard
