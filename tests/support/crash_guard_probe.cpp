// Runs Kavrel's real start routine and, once the guard is switched on,
// faults as the first argument asks; prints what it sees on the way.
#include <windows.h>
#include <process.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>

#include <pthread.h>

#include "apps/kavrel/main_window.h"
#include "apps/kavrel/program_start.h"
#include "backup/ui/startup.h"
#include "crashguard/api_hook.h"
#include "crashguard/guard_configuration.h"
#include "crashguard/guard_installation.h"
#include "crashguard/guard_options.h"
#include "crashguard/process_map.h"

namespace {

std::string g_mode;

using crashguard::ExceptionListHead;
using crashguard::SehRegistration;

// Below the guard: a fault it passes on ends the probe with its code at
// once, even on a stack too short for the system's own last handler.
EXCEPTION_DISPOSITION __cdecl EndWithCode(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
  TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
  return ExceptionContinueSearch;
}

bool RunsGuarded() {
  for (SehRegistration* r = ExceptionListHead(); r && r != reinterpret_cast<SehRegistration*>(-1); r = r->previous)
    if (r->handler == reinterpret_cast<void*>(&crashguard::SehHandlerEntry)) return true;
  return false;
}

void Print(const std::string& line) {
  std::printf("%s|", line.c_str());
  std::fflush(stdout);
}

volatile bool g_deeper = true;

// Each call holds a page of its own, so the stack runs out.
__attribute__((noinline)) int Recurse(int depth) {
  volatile char page[4096];
  page[0] = static_cast<char>(depth);
  return g_deeper ? Recurse(depth + 1) + page[0] : 0;
}

void Fault(const std::string& how) {
  volatile int* nowhere = nullptr;
  volatile int zero = 0, one = 1;
  if (how == "read") Print(std::to_string(*nowhere));
  if (how == "write") *nowhere = 1;
  if (how == "divide") Print(std::to_string(one / zero));
  if (how == "int3") asm volatile("int3");
  if (how == "illegal") asm volatile("ud2");
  if (how == "cpp") RaiseException(0xE06D7363, 0, 0, nullptr);
  if (how == "stack") Print(std::to_string(Recurse(0)));
  Print("survived " + how);
}

DWORD WINAPI FaultingRoutine(void*) {
  Fault("read");
  return 1;
}
unsigned __stdcall FaultingBeginRoutine(void*) { return FaultingRoutine(nullptr); }
DWORD WINAPI OverflowingRoutine(void*) {
  Fault("stack");
  return 1;
}
DWORD WINAPI ReturnSeven(void*) {
  Print(std::string("seven ") + (RunsGuarded() ? "guarded" : "unguarded"));
  return 7;
}
DWORD __cdecl LeavesItsArgument(void*) { return 5; }
// A report of a megabyte in the thread's own records, which only the
// guarded thread's clean-up frees.
DWORD WINAPI KeepsABigReport(void*) {
  crashguard::StoreThreadReport(std::string(1 << 20, 'x'), "");
  return 0;
}

// Committed private memory, in megabytes, from the address-space map (Wine's
// memory counters do not follow allocations).
long long MegabytesInUse() {
  long long bytes = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region);
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize)
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
  return bytes >> 20;
}

// Waits with the window answering.
DWORD ExitCodeOf(HANDLE thread) {
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return code;
}

void Configure(void (*change)(crashguard::CrashGuardConfiguration&)) {
  crashguard::CrashGuardConfiguration configuration;
  configuration.installRuntimeErrorHandler = false;
  change(configuration);
  crashguard::ConfigureCrashGuard(configuration);
}

int32_t __stdcall PrintingCallback(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                   int32_t) {
  Print("callback ran");
  return 0;
}
int32_t __stdcall FaultingCallback(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                   int32_t) {
  Fault("write");
  return 0;
}

// Faults on other threads end those threads; the window then still answers
// and closes as usual.
void FaultOnThreads() {
  Print("create " + std::to_string(ExitCodeOf(CreateThread(nullptr, 0, FaultingRoutine, nullptr, 0, nullptr))));
  Print("begin " + std::to_string(ExitCodeOf(reinterpret_cast<HANDLE>(
                       _beginthreadex(nullptr, 0, FaultingBeginRoutine, nullptr, 0, nullptr)))));
  std::thread thread([] { Fault("read"); });
  HANDLE handle = nullptr;
  DuplicateHandle(GetCurrentProcess(), pthread_gethandle(thread.native_handle()), GetCurrentProcess(), &handle, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  ExitCodeOf(handle);
  thread.join();
  Print("std joined");
  Print("overflow " + std::to_string(ExitCodeOf(CreateThread(nullptr, 0, OverflowingRoutine, nullptr, 0, nullptr))));
}

void StartThreads() {
  Print("seven " + std::to_string(ExitCodeOf(CreateThread(nullptr, 0, ReturnSeven, nullptr, 0, nullptr))));
  auto wrong = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(&LeavesItsArgument));
  Print("wrong " + std::to_string(ExitCodeOf(CreateThread(nullptr, 0, wrong, nullptr, 0, nullptr))));
  HANDLE self = OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId());
  Print("real " + std::to_string(ExitCodeOf(CreateRemoteThread(self, nullptr, 0, ReturnSeven, nullptr, 0, nullptr))));
  CloseHandle(self);
  const long long before = MegabytesInUse();
  for (int i = 0; i < 32; ++i) ExitCodeOf(CreateThread(nullptr, 0, KeepsABigReport, nullptr, 0, nullptr));
  Print(MegabytesInUse() - before < 16 ? "records freed" : "records kept");
}

crashguard::ApiHook* g_linkHook = nullptr;
crashguard::ApiHook* g_attributesHook = nullptr;
crashguard::ApiHook* g_textHook = nullptr;

// Links into a backup folder named held_backup wait until the check thread
// has faulted and ended; that check thread faults at its first progress
// text once one of them waits.
HANDLE g_workersHeld = nullptr;
HANDLE g_checkFaulted = nullptr;
HANDLE g_faultedCheck = nullptr;
constexpr DWORD kHoldBoundMs = 60000;

// The worker that links the file named fault_here faults, once.
BOOL WINAPI FaultingCreateHardLink(const wchar_t* name, const wchar_t* existing, SECURITY_ATTRIBUTES* security) {
  static LONG faulted = 0;
  if (std::wcsstr(name, L"fault_here") && InterlockedExchange(&faulted, 1) == 0) Fault("write");
  if (std::wcsstr(name, L"held_backup")) {
    SetEvent(g_workersHeld);
    WaitForSingleObject(g_checkFaulted, kHoldBoundMs);
    WaitForSingleObject(g_faultedCheck, kHoldBoundMs);
  }
  return g_linkHook->CallOriginal(reinterpret_cast<int32_t>(name), reinterpret_cast<int32_t>(existing),
                                  reinterpret_cast<int32_t>(security));
}

BOOL WINAPI FaultingSetWindowText(HWND window, const char* text) {
  static LONG faulted = 0;
  if (text && std::strncmp(text, " 检查进度", std::strlen(" 检查进度")) == 0 &&
      WaitForSingleObject(g_workersHeld, 0) == WAIT_OBJECT_0 && InterlockedExchange(&faulted, 1) == 0) {
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_faultedCheck, SYNCHRONIZE,
                    FALSE, 0);
    SetEvent(g_checkFaulted);
    Fault("write");
  }
  return g_textHook->CallOriginal(reinterpret_cast<int32_t>(window), reinterpret_cast<int32_t>(text));
}

// The check thread that prepares a backup folder named fault_check faults.
BOOL WINAPI FaultingSetFileAttributes(const char* name, DWORD attributes) {
  if (std::strstr(name, "fault_check")) Fault("write");
  return g_attributesHook->CallOriginal(reinterpret_cast<int32_t>(name), static_cast<int32_t>(attributes));
}

crashguard::ApiHook* Hook(const char* module, const char* function, void* replacement) {
  crashguard::ApiHook* hook = crashguard::AllocateApiHook();
  hook->ConstructApiHook();
  if (!hook->HookByNameDefault(module, function, reinterpret_cast<crashguard::CodeAddress>(replacement)))
    Print(std::string("not hooked ") + function);
  return hook;
}

void RunMode() {
  const std::string& m = g_mode;
  if (m == "check") {  // the test drives the window; nothing closes it here
    g_workersHeld = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_checkFaulted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_linkHook = Hook("kernel32", "CreateHardLinkW", reinterpret_cast<void*>(&FaultingCreateHardLink));
    g_attributesHook = Hook("kernel32", "SetFileAttributesA", reinterpret_cast<void*>(&FaultingSetFileAttributes));
    g_textHook = Hook("user32", "SetWindowTextA", reinterpret_cast<void*>(&FaultingSetWindowText));
    Print("hooked");
    return;
  }
  if (m == "threads") FaultOnThreads();
  else if (m == "starts") StartThreads();
  else if (m == "process") {
    Configure([](auto& c) { c.endThreadOnly = 0; });
    ExitCodeOf(CreateThread(nullptr, 0, FaultingRoutine, nullptr, 0, nullptr));
  } else if (m == "cpp-report") {
    Configure([](auto& c) { c.passCppExceptions = 0; });
    Fault("cpp");
  } else if (m == "callback") {
    Configure([](auto& c) {
      c.showBox = 0;
      c.userCallback = reinterpret_cast<uint32_t>(&PrintingCallback);
    });
    Fault("read");
  } else if (m == "callback-fault") {
    Configure([](auto& c) { c.userCallback = reinterpret_cast<uint32_t>(&FaultingCallback); });
    Fault("read");
  } else if (m == "inactive" || m == "inactive-stack") {
    // As before the main window's creation handler switched the guard on.
    crashguard::CrashGuardOptions* options = crashguard::SnapshotCrashGuardOptions();
    options->guardActive = 0;
    crashguard::StoreCrashGuardOptions(*options);
    Fault(m == "inactive" ? "read" : "stack");
  } else if (m == "quit") {
    Print(RunsGuarded() ? "main record" : "no main record");
    PostQuitMessage(0);  // the message loop ends without the close handler's own exit
    return;
  } else Fault(m);
  PostMessageA(FindWindowA(kavrel::kMainWindowClass, nullptr), WM_CLOSE, 0, 0);
}

LRESULT CALLBACK TriggerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && crashguard::GetGuardActive()) {
    KillTimer(window, 1);
    RunMode();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  g_mode = argc > 1 ? argv[1] : "check";  // started as Kavrel.exe by the test's driver
  // Wine swallows faults in hooks and in messages sent during window
  // creation; a posted timer message reaches the window procedure through
  // the message loop alone.
  WNDCLASSA triggerClass{};
  triggerClass.lpfnWndProc = TriggerProcedure;
  triggerClass.lpszClassName = "CrashGuardProbeTrigger";
  RegisterClassA(&triggerClass);
  SetTimer(CreateWindowA("CrashGuardProbeTrigger", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr), 1, 200,
           nullptr);
  SehRegistration outer{ExceptionListHead(), reinterpret_cast<void*>(&EndWithCode)};
  crashguard::SetExceptionListHead(&outer);
  SehRegistration* before = ExceptionListHead();
  const int result = kavrel::ProgramStart();
  Print("returned " + std::to_string(result) + (ExceptionListHead() == before ? " head restored" : " head changed"));
  kavrel::ExitProgram(result);
}
