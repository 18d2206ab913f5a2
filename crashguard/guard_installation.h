// The crash guard's installation from the start routine, the exception
// records it plants, and the handler that reports a fault and ends the
// faulting thread or the process.
#pragma once

#include <windows.h>

#include <cstdint>

namespace crashguard {

// An exception-registration record as the thread's list (fs:[0]) links them.
struct SehRegistration {
  SehRegistration* previous;
  void* handler;
};

inline SehRegistration* ExceptionListHead() {
  SehRegistration* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

inline void SetExceptionListHead(SehRegistration* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// Module initialiser, called straight from the start routine (see
// seh_frames.S): plants the main record in the caller's frame; 0.
int InstallCrashGuard() __asm__("_crashguard_InstallCrashGuard");
extern const char kInstallMarker[] __asm__("_crashguard_kInstallMarker");

// The steps of InstallCrashGuard around the planting: Begin gives 0 when the
// guard is already installed for this module; Finish gives the unlink stub
// (0 when no executable memory could be had).
int BeginInstall() __asm__("_crashguard_BeginInstall");
uint32_t FinishInstall() __asm__("_crashguard_FinishInstall");

uint32_t FindOwnModuleBase();
// Tracks the frame depth links above the caller's (0 = the caller's own):
// its return slot then leads through the return-hook thunk.
void PushCallStackEntry(const char* name, int32_t depth) __asm__("_crashguard_PushCallStackEntry");

void PlantSehFrame(uint32_t handler, int32_t adjustment, int32_t restoreRegisters, uint32_t returnStub,
                   int32_t resumeValue) __asm__("_crashguard_PlantSehFrame");
void PlantThreadSehFrame(int32_t ignored) __asm__("_crashguard_PlantThreadSehFrame");

EXCEPTION_DISPOSITION __stdcall SehHandlerEntry(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                                void* dispatcherContext) __asm__("_crashguard_SehHandlerEntry@16");
int32_t CrashGuardSehHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                             void* dispatcherContext);
// 0: pass on; when it handles the fault it does not return.
int32_t HandleException(const EXCEPTION_RECORD* record, const CONTEXT* context);
int32_t MapFilterResult(int32_t filterResult);
void SaveExceptionSnapshot(const void* record, const void* context);
[[noreturn]] void EndFaultingThread();
uint32_t GetMainModuleEntryPoint(uint32_t base);
[[noreturn]] void ReportFatalWithoutInfo();

uint16_t SaveFpuControlWord();
void RestoreFpuControlWord(uint16_t word);

// The executable stubs the guard makes once per module; 0 until made.
struct GuardCodeStubs {
  uint32_t sehUnlinkStub;
  uint32_t threadStartThunk;
};
GuardCodeStubs& CodeStubs();

}  // namespace crashguard
