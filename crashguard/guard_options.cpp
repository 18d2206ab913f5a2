#include "crashguard/guard_options.h"

#include <windows.h>

#include <cstring>

#include "crashguard/process_map.h"

namespace crashguard {

const char kDefaultOwnerWindowClass[] = "Afx:10000000:b:10011:1900015:0";

namespace {

constexpr char kOptionsKey[] = "_SEH.AppGlobalOption";

CrashGuardOptions* CrashGuardOptionsRef = nullptr;

char* CopyText(const char* text) {
  if (!text) return nullptr;
  const size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size));
  if (copy) std::memcpy(copy, text, size);
  return copy;
}

void FreeText(const char* text) {
  if (text && text != kDefaultOwnerWindowClass) HeapFree(GetProcessHeap(), 0, const_cast<char*>(text));
}

}  // namespace

void GetCrashGuardOptions() {
  if (!CrashGuardOptionsRef) {
    CrashGuardOptionsRef = reinterpret_cast<CrashGuardOptions*>(LookupProcessStringMap(kOptionsKey));
    if (!CrashGuardOptionsRef) {
      CrashGuardOptionsRef = static_cast<CrashGuardOptions*>(
          HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CrashGuardOptions)));
      StoreProcessStringMap(kOptionsKey, reinterpret_cast<int32_t>(CrashGuardOptionsRef));
    }
  }
  CrashGuardOptions& options = *CrashGuardOptionsRef;
  if (options.initialised) return;
  options.showBox = 1;
  options.userCallback = 0;
  options.endThreadOnly = 0;
  options.passCppExceptions = 1;
  options.skipSystemFrames = 1;
  options.includeCallStack = 1;
  options.ownerWindowClass = kDefaultOwnerWindowClass;
  options.maxSymbolOffset = 4096;
  options.guardActive = 0;
  options.initialised = 1;
}

const CrashGuardOptions& ProcessCrashGuardOptions() {
  if (!CrashGuardOptionsRef) GetCrashGuardOptions();
  return *CrashGuardOptionsRef;
}

CrashGuardOptions* SnapshotCrashGuardOptions() {
  auto* copy = new CrashGuardOptions(ProcessCrashGuardOptions());
  copy->ownerWindowClass = CopyText(copy->ownerWindowClass);
  return copy;
}

void FreeCrashGuardOptions(CrashGuardOptions* options) {
  if (!options) return;
  FreeText(options->ownerWindowClass);
  delete options;
}

void SetOwnerWindowClass(CrashGuardOptions& snapshot, const char* text) {
  const char* old = snapshot.ownerWindowClass;
  snapshot.ownerWindowClass = CopyText(text);
  FreeText(old);
}

void StoreCrashGuardOptions(const CrashGuardOptions& given) {
  ProcessCrashGuardOptions();
  CrashGuardOptions& options = *CrashGuardOptionsRef;
  options.showBox = given.showBox;
  options.userCallback = given.userCallback;
  options.endThreadOnly = given.endThreadOnly;
  const char* oldClass = options.ownerWindowClass;
  options.ownerWindowClass = CopyText(given.ownerWindowClass);
  FreeText(oldClass);
  options.passCppExceptions = given.passCppExceptions;
  options.skipSystemFrames = given.skipSystemFrames;
  options.includeCallStack = given.includeCallStack;
  options.outermostFirst = given.outermostFirst;
  options.maxSymbolOffset = given.maxSymbolOffset;
  options.guardActive = given.guardActive;
}

int32_t GetExceptionOptionsFirst() { return ProcessCrashGuardOptions().showBox; }
uint32_t GetUserCallback() { return ProcessCrashGuardOptions().userCallback; }
std::string GetOwnerWindowClass() {
  const char* text = ProcessCrashGuardOptions().ownerWindowClass;
  return text ? text : "";
}
int32_t GetSkipSystemFrames() { return ProcessCrashGuardOptions().skipSystemFrames; }
int32_t GetOutermostFirst() { return ProcessCrashGuardOptions().outermostFirst; }
int32_t GetMaxSymbolOffset() { return ProcessCrashGuardOptions().maxSymbolOffset; }
int32_t GetEndThreadOnly() { return ProcessCrashGuardOptions().endThreadOnly; }
int32_t GetPassCppExceptions() { return ProcessCrashGuardOptions().passCppExceptions; }
int32_t GetIncludeCallStack() { return ProcessCrashGuardOptions().includeCallStack; }
int32_t GetGuardActive() { return ProcessCrashGuardOptions().guardActive; }

}  // namespace crashguard
