// The crash guard's one options record per process, found by every module
// through the process map under "_SEH.AppGlobalOption".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace crashguard {

struct CrashGuardOptions {
  int32_t showBox;             // exactly 1: show the fault box
  uint32_t userCallback;       // routine called before the fault box; 0 = none
  int32_t endThreadOnly;       // 1: end only the faulting thread
  const char* ownerWindowClass;  // class of the window that owns the fault box
  int32_t passCppExceptions;   // nonzero: C++ throws are passed on
  int32_t skipSystemFrames;    // nonzero: outermost system frames left out of the stack text
  int32_t includeCallStack;    // nonzero: the report carries the call stack
  int32_t outermostFirst;      // nonzero: stack lines from the outermost frame inwards
  int32_t maxSymbolOffset;     // farthest distance from an export that still names it
  int32_t guardActive;         // 0: every fault is passed on
  int32_t initialised;         // 1 once the defaults are written
  int32_t reserved;
};
static_assert(std::is_standard_layout_v<CrashGuardOptions>);
static_assert(sizeof(CrashGuardOptions) == 48);
static_assert(offsetof(CrashGuardOptions, ownerWindowClass) == 12);
static_assert(offsetof(CrashGuardOptions, maxSymbolOffset) == 32);
static_assert(offsetof(CrashGuardOptions, initialised) == 40);

extern const char kDefaultOwnerWindowClass[];

// Finds or creates the process record and writes the defaults into a new one.
void GetCrashGuardOptions();
// A field-by-field copy with its own class text, owned by the caller.
CrashGuardOptions* SnapshotCrashGuardOptions();
void FreeCrashGuardOptions(CrashGuardOptions* options);
// Gives a snapshot its own copy of the text in place of its old one.
void SetOwnerWindowClass(CrashGuardOptions& snapshot, const char* text);
// Writes fields 0-9 into the process record; 10 and 11 stay.
void StoreCrashGuardOptions(const CrashGuardOptions& options);

// The process record, read field by field.
const CrashGuardOptions& ProcessCrashGuardOptions();
int32_t GetExceptionOptionsFirst();
uint32_t GetUserCallback();
std::string GetOwnerWindowClass();
int32_t GetSkipSystemFrames();
int32_t GetOutermostFirst();
int32_t GetMaxSymbolOffset();
int32_t GetEndThreadOnly();
int32_t GetPassCppExceptions();
int32_t GetIncludeCallStack();
int32_t GetGuardActive();

}  // namespace crashguard
