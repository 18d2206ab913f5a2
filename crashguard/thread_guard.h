// Every thread the process starts in itself runs under a crash guard record:
// thread creation is hooked, and the new thread begins in a thunk that plants
// the record, calls the real start routine and then tears down the thread's
// crash guard objects.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "crashguard/api_hook.h"

namespace crashguard {

struct GuardedThreadStart {
  LPTHREAD_START_ROUTINE startRoutine;
  void* parameter;
};

// The program's one hook object, through which thread creation is hooked.
void UseApiHookForThreadCreation(ApiHook* hook);

void HookThreadCreation();
HANDLE __stdcall HookedCreateRemoteThreadEx(HANDLE process, SECURITY_ATTRIBUTES* security, SIZE_T stackSize,
                                            LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags,
                                            void* attributeList, DWORD* threadId);
HANDLE __stdcall HookedCreateRemoteThread(HANDLE process, SECURITY_ATTRIBUTES* security, SIZE_T stackSize,
                                          LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags,
                                          DWORD* threadId);

// The thunk's two calls (GuardNewThread is in seh_frames.S).
void __stdcall GuardNewThread(GuardedThreadStart* block) __asm__("_crashguard_GuardNewThread@4");
void __stdcall EndGuardedThreadEntry(GuardedThreadStart* block);
void EndGuardedThread(GuardedThreadStart* block);
void TearDownThreadObjects();

// The thread-start thunk with the two call targets joined in.
std::vector<uint8_t> ThreadStartThunkBytes(uint32_t guardNewThread, uint32_t endGuardedThread);

}  // namespace crashguard
