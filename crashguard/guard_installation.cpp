#include "crashguard/guard_installation.h"


#include <cstring>
#include <string>

#include "crashguard/call_stack.h"
#include "crashguard/code_buffer.h"
#include "crashguard/fault_report.h"
#include "crashguard/guard_options.h"
#include "crashguard/guarded_memory.h"
#include "crashguard/module_list.h"
#include "crashguard/process_map.h"
#include "crashguard/thread_guard.h"

namespace crashguard {

const char kInstallMarker[] = "Kavrel.crashguard._启动子程序";

namespace {

GuardCodeStubs g_codeStubs = {};
DWORD g_installingThread = 0;

// pop dword ptr fs:[0]; add esp, 4; ret
const uint8_t kUnlinkStub[11] = {0x64, 0x8F, 0x05, 0x00, 0x00, 0x00, 0x00, 0x83, 0xC4, 0x04, 0xC3};

// As GetCurrentFiber, whose header form trips the compiler's bounds check.
void* CurrentFiber() {
  void* fiber;
  asm volatile("movl %%fs:0x10, %0" : "=r"(fiber));
  return fiber;
}

// What the frame walk may follow: an address whose first byte can be read.
bool IsReadable(uint32_t address) { return address > 0 && IsReadableRange(address, 1); }

std::string InstallKey(uint32_t base) {
  return "_SEH.EntryCatchInstall_" + std::to_string(static_cast<int32_t>(base));
}

EXCEPTION_DISPOSITION __stdcall SehFallbackEntry(EXCEPTION_RECORD*, void*, CONTEXT*, void*) {
  ReportFatalWithoutInfo();
}

// Wine gives no start address for the main thread: the thread that
// installed the guard, from the start routine, is that thread too.
bool IsMainThread() {
  using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryThread>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
  if (query) {
    uint32_t start = 0;
    ULONG length = 0;
    query(GetCurrentThread(), 9, &start, sizeof start, &length);
    if (start != 0 && start == GetMainModuleEntryPoint(reinterpret_cast<uint32_t>(GetModuleHandleA(nullptr))))
      return true;
  }
  return g_installingThread != 0 && GetCurrentThreadId() == g_installingThread;
}

}  // namespace

int BeginInstall() {
  GetCrashGuardOptions();
  if (LookupProcessStringMap(InstallKey(FindOwnModuleBase()).c_str()) == 1) return 0;
  return 1;
}

uint32_t FinishInstall() {
  StoreProcessStringMap(InstallKey(FindOwnModuleBase()).c_str(), 1);
  g_installingThread = GetCurrentThreadId();
  HookThreadCreation();
  if (!g_codeStubs.sehUnlinkStub)
    g_codeStubs.sehUnlinkStub = AllocateCode(sizeof kUnlinkStub, kUnlinkStub, sizeof kUnlinkStub);
  return g_codeStubs.sehUnlinkStub;
}

GuardCodeStubs& CodeStubs() { return g_codeStubs; }

uint32_t FindOwnModuleBase() {
  MEMORY_BASIC_INFORMATION memory{};
  if (!VirtualQuery(reinterpret_cast<void*>(&FindOwnModuleBase), &memory, sizeof memory)) return 0;
  ModuleList modules;
  return FindModuleBase(reinterpret_cast<uint32_t>(memory.AllocationBase), modules);
}

__attribute__((noinline)) void PushCallStackEntry(const char* name, int32_t depth) {
  uint32_t frame = reinterpret_cast<uint32_t>(__builtin_frame_address(0));
  for (int32_t i = 0; i <= depth && frame; ++i) frame = ReadGuarded<uint32_t>(frame);
  if (!IsReadable(frame)) return;
  const uint32_t returnAddress = ReadGuarded<uint32_t>(frame + 4);
  if (!IsReadable(returnAddress)) return;
  auto* entry = new CallStackEntry{returnAddress, frame, name};
  CallStackList* list = GetThreadCallStackSlot();
  *reinterpret_cast<uint32_t*>(frame + 4) = GetPopReturnCallback();
  list->entries.push_back(entry);
}

EXCEPTION_DISPOSITION __stdcall SehHandlerEntry(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                                void* dispatcherContext) {
  return static_cast<EXCEPTION_DISPOSITION>(
      CrashGuardSehHandler(record, establisherFrame, context, dispatcherContext));
}

namespace {

// The handler's work inside a record of its own: a fault while the report
// is made lands in SehFallbackEntry instead of in a loop.
__attribute__((noinline)) int32_t HandleWithFallback(EXCEPTION_RECORD* record, CONTEXT* context) {
  SehRegistration fallback{ExceptionListHead(), reinterpret_cast<void*>(&SehFallbackEntry)};
  SetExceptionListHead(&fallback);
  const uint16_t saved = SaveFpuControlWord();
  const int32_t result = MapFilterResult(HandleException(record, context));
  RestoreFpuControlWord(saved);
  SetExceptionListHead(fallback.previous);
  return result;
}

struct FreshStackCall {
  EXCEPTION_RECORD* record;
  CONTEXT* context;
  void* faultingFiber;
  int32_t result;
};

void CALLBACK HandleOnFiber(void* parameter) {
  auto* call = static_cast<FreshStackCall*>(parameter);
  call->result = HandleWithFallback(call->record, call->context);
  SwitchToFiber(call->faultingFiber);  // only when the fault is passed on
}

// A stack overflow leaves the handler about a page of stack, too little for
// a report. The work runs on a fiber with a stack of its own: still the
// faulting thread, so its records, its windows and its end are those of any
// other fault. False when no fiber can be had.
bool HandleOnFreshStack(EXCEPTION_RECORD* record, CONTEXT* context, int32_t& result) {
  const bool converted = !IsThreadAFiber();
  void* faultingFiber = converted ? ConvertThreadToFiber(nullptr) : CurrentFiber();
  if (!faultingFiber) return false;
  FreshStackCall call{record, context, faultingFiber, 0};
  void* fiber = CreateFiber(0, HandleOnFiber, &call);
  if (fiber) {
    SwitchToFiber(fiber);
    DeleteFiber(fiber);
  }
  if (converted) ConvertFiberToThread();
  result = call.result;
  return fiber != nullptr;
}

}  // namespace

int32_t CrashGuardSehHandler(EXCEPTION_RECORD* record, void*, CONTEXT* context, void*) {
  int32_t result;
  if (record->ExceptionCode == STATUS_STACK_OVERFLOW && HandleOnFreshStack(record, context, result)) return result;
  return HandleWithFallback(record, context);
}

int32_t HandleException(const EXCEPTION_RECORD* record, const CONTEXT* context) {
  if (GetGuardActive() == 0) return 0;
  ExceptionRecordCopy recordCopy;
  static_assert(sizeof(EXCEPTION_RECORD) == sizeof recordCopy && sizeof(CONTEXT) == kContextCopySize);
  std::memcpy(&recordCopy, record, sizeof recordCopy);
  uint8_t contextCopy[kContextCopySize];
  std::memcpy(contextCopy, context, sizeof contextCopy);
  if (GetPassCppExceptions() != 0 && recordCopy.ExceptionCode == 0xE06D7363) return 0;
  const std::string stack = FormatCallStack(context->Ebp, context->Eip);
  const std::string message = DescribeException(recordCopy, contextCopy);
  StoreThreadReport(message, stack);
  SaveExceptionSnapshot(record, context);
  ShowExceptionMessageBox();
  if (GetEndThreadOnly() == 1) EndFaultingThread();
  ExitProcess(0);
}

int32_t MapFilterResult(int32_t filterResult) {
  switch (filterResult) {
    case 0: return 1;
    case 1: return -1;
    case -1: return 0;
    default: return filterResult;
  }
}

void SaveExceptionSnapshot(const void* record, const void* context) {
  ExceptionSnapshotPair& pair = *GetThreadTryList()->snapshots;
  if (!pair.exceptionRecordCopy) pair.exceptionRecordCopy = AllocGlobalMemory(sizeof(EXCEPTION_RECORD), true);
  if (pair.exceptionRecordCopy) std::memcpy(pair.exceptionRecordCopy, record, sizeof(EXCEPTION_RECORD));
  if (!pair.contextCopy) pair.contextCopy = AllocGlobalMemory(kContextCopySize, true);
  if (pair.contextCopy) std::memcpy(pair.contextCopy, context, kContextCopySize);
}

void EndFaultingThread() {
  if (IsMainThread()) ExitProcess(0);
  ExitThread(0);
}

uint32_t GetMainModuleEntryPoint(uint32_t base) {
  if (static_cast<int32_t>(base) <= 0) return 0;
  IMAGE_DOS_HEADER dos;
  if (!CopyGuarded(&dos, base, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return 0;
  IMAGE_NT_HEADERS32 nt;
  const uint32_t at = base + static_cast<uint32_t>(dos.e_lfanew);
  if (!CopyGuarded(&nt, at, sizeof nt) || nt.Signature != IMAGE_NT_SIGNATURE) return 0;
  if (nt.OptionalHeader.AddressOfEntryPoint == 0) return 0;
  return base + nt.OptionalHeader.AddressOfEntryPoint;
}

void ReportFatalWithoutInfo() {
  if (GetExceptionOptionsFirst() == 1)
    MessageBoxA(nullptr, "程序发生严重错误，无法获取异常信息，程序准备关闭", "", MB_ICONHAND);
  if (GetEndThreadOnly() == 1) EndFaultingThread();
  ExitProcess(0);
}

uint16_t SaveFpuControlWord() {
  uint16_t word;
  asm volatile("fnstcw %0\n\tfninit" : "=m"(word));
  return word;
}

void RestoreFpuControlWord(uint16_t word) { asm volatile("fldcw %0" : : "m"(word)); }

}  // namespace crashguard
