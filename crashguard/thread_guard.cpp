#include "crashguard/thread_guard.h"

#include "crashguard/call_stack.h"
#include "crashguard/code_buffer.h"
#include "crashguard/guard_installation.h"
#include "crashguard/process_map.h"

namespace crashguard {

namespace {

constexpr char kHookKey[] = "_SEH.createThread.hook";

ApiHook* g_programHook = nullptr;

// Beside the record, the thunk keeps ESI for its caller and unlinks the
// record before it returns, so the system's thread-end code never sees a
// head that lies below the stack pointer. The start routine is called in
// place, and the stack pointer is set back after it from the frame, so that
// a routine which leaves its argument on the stack still returns here.
const uint8_t kThunk[58] = {
    0x55,                                // push ebp
    0x8B, 0xEC,                          // mov ebp, esp
    0x56,                                // push esi
    0xFF, 0x75, 0x08,                    // push [ebp+8]
    0xB9, 0, 0, 0, 0,                    // mov ecx, GuardNewThread
    0xFF, 0xD1,                          // call ecx: record at [ebp-12]
    0x8B, 0x45, 0x08,                    // mov eax, [ebp+8]
    0xFF, 0x70, 0x04,                    // push [eax+4]: the parameter
    0xFF, 0x10,                          // call [eax]: the start routine
    0x8D, 0x65, 0xF4,                    // lea esp, [ebp-12]: whatever the routine popped
    0x8B, 0xF0,                          // mov esi, eax
    0xFF, 0x75, 0x08,                    // push [ebp+8]
    0xB9, 0, 0, 0, 0,                    // mov ecx, EndGuardedThreadEntry
    0xFF, 0xD1,                          // call ecx
    0x8B, 0x4D, 0xF4,                    // mov ecx, [ebp-12]: the record's predecessor
    0x64, 0x89, 0x0D, 0, 0, 0, 0,        // mov fs:[0], ecx
    0x8B, 0xC6,                          // mov eax, esi
    0x8B, 0x75, 0xFC,                    // mov esi, [ebp-4]
    0x8B, 0xE5,                          // mov esp, ebp
    0x5D,                                // pop ebp
    0xC2, 0x04, 0x00,                    // ret 4
};
constexpr size_t kGuardNewThreadAt = 8;
constexpr size_t kEndEntryAt = 31;

void PutWord(std::vector<uint8_t>& bytes, size_t at, uint32_t word) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(word >> (8 * i));
}

// Swaps in the thunk for a thread of this process; any other, or one whose
// block cannot be had, starts as asked, unguarded. Returns the block, which
// the thread frees, or its creator when no thread came of it.
GuardedThreadStart* GuardStart(HANDLE process, LPTHREAD_START_ROUTINE& start, void*& parameter) {
  if (process != reinterpret_cast<HANDLE>(-1) || !CodeStubs().threadStartThunk) return nullptr;
  auto* block = static_cast<GuardedThreadStart*>(GlobalAlloc(GMEM_FIXED, sizeof(GuardedThreadStart)));
  if (!block) return nullptr;
  *block = {start, parameter};
  start = reinterpret_cast<LPTHREAD_START_ROUTINE>(CodeStubs().threadStartThunk);
  parameter = block;
  return block;
}

HANDLE Created(int32_t thread, GuardedThreadStart* block) {
  if (thread == 0 && block) GlobalFree(block);
  return reinterpret_cast<HANDLE>(thread);
}

int32_t Word(const void* value) { return static_cast<int32_t>(reinterpret_cast<uint32_t>(value)); }

}  // namespace

void UseApiHookForThreadCreation(ApiHook* hook) { g_programHook = hook; }

std::vector<uint8_t> ThreadStartThunkBytes(uint32_t guardNewThread, uint32_t endGuardedThread) {
  std::vector<uint8_t> bytes(kThunk, kThunk + sizeof kThunk);
  PutWord(bytes, kGuardNewThreadAt, guardNewThread);
  PutWord(bytes, kEndEntryAt, endGuardedThread);
  return bytes;
}

void HookThreadCreation() {
  if (LookupProcessStringMap(kHookKey) != 0 || !g_programHook) return;
  CodeStubs().threadStartThunk = AllocateCode(ThreadStartThunkBytes(reinterpret_cast<uint32_t>(&GuardNewThread),
                                                         reinterpret_cast<uint32_t>(&EndGuardedThreadEntry)));
  if (!CodeStubs().threadStartThunk) return;
  int32_t ok = g_programHook->HookByNameDefault("kernelBase", "CreateRemoteThreadEx",
                                                reinterpret_cast<CodeAddress>(&HookedCreateRemoteThreadEx));
  if (!ok)
    ok = g_programHook->HookByNameDefault("kernel32", "CreateRemoteThread",
                                          reinterpret_cast<CodeAddress>(&HookedCreateRemoteThread));
  if (ok) StoreProcessStringMap(kHookKey, 1);
}

HANDLE __stdcall HookedCreateRemoteThreadEx(HANDLE process, SECURITY_ATTRIBUTES* security, SIZE_T stackSize,
                                            LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags,
                                            void* attributeList, DWORD* threadId) {
  const uint16_t saved = SaveFpuControlWord();
  GuardedThreadStart* block = GuardStart(process, start, parameter);
  const int32_t thread = g_programHook->CallOriginal(Word(process), Word(security), static_cast<int32_t>(stackSize),
                                                     Word(reinterpret_cast<void*>(start)), Word(parameter),
                                                     static_cast<int32_t>(flags), Word(attributeList), Word(threadId));
  RestoreFpuControlWord(saved);
  return Created(thread, block);
}

HANDLE __stdcall HookedCreateRemoteThread(HANDLE process, SECURITY_ATTRIBUTES* security, SIZE_T stackSize,
                                          LPTHREAD_START_ROUTINE start, void* parameter, DWORD flags,
                                          DWORD* threadId) {
  const uint16_t saved = SaveFpuControlWord();
  GuardedThreadStart* block = GuardStart(process, start, parameter);
  const int32_t thread = g_programHook->CallOriginal(Word(process), Word(security), static_cast<int32_t>(stackSize),
                                                     Word(reinterpret_cast<void*>(start)), Word(parameter),
                                                     static_cast<int32_t>(flags), Word(threadId));
  RestoreFpuControlWord(saved);
  return Created(thread, block);
}

void __stdcall EndGuardedThreadEntry(GuardedThreadStart* block) { EndGuardedThread(block); }

void EndGuardedThread(GuardedThreadStart* block) {
  TearDownThreadObjects();
  GlobalFree(block);
}

void TearDownThreadObjects() {
  ReleaseThreadContext(GetThreadContextRecord());
  TryList* tryList = GetThreadTryList();
  ReleaseRecordStack(tryList->records);
  delete tryList->snapshots;
  delete tryList;
  ReleaseCallStackList(GetThreadCallStackSlot());
  ReleaseStringMap(GetThreadStringMap());
  // Code that still runs in this thread after the thunk finds no freed object.
  ForgetThreadCallStackList();
  ForgetThreadStringMap();
}

}  // namespace crashguard
