// Meets a run-time error as the program would, then reports nothing
// itself: the box it shows and its exit code are what the test reads.
//   exhausted        every allocation fails from the first on, the report's own included
//   start            Kavrel's start routine, with the main window's creation asking for 2 GB
//   uncaught-main    with the handler that Kavrel's start registers, an index out of
//   uncaught-thread  range that nothing catches, in the main thread or in another
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "apps/kavrel/program_start.h"
#include "crashguard/fault_report.h"
#include "crashguard/guard_configuration.h"
#include "crashguard/runtime_errors.h"

namespace {

bool g_memoryExhausted = false;

// Asks for more than a 32-bit process can have.
void AllocateTooMuch() {
  volatile size_t size = 0x7FFFFFF0;
  delete[] new char[size];
}

LRESULT CALLBACK OnWindowCreation(int code, WPARAM window, LPARAM parameters) {
  static bool asked = false;
  if (code == HCBT_CREATEWND && !asked) {
    asked = true;
    AllocateTooMuch();
  }
  return CallNextHookEx(nullptr, code, window, parameters);
}

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*) { return EXCEPTION_EXECUTE_HANDLER; }

DWORD WINAPI ReadPastTheEnd(LPVOID) {
  volatile size_t index = 0;
  return static_cast<DWORD>(std::vector<int>().at(index));
}

}  // namespace

// A replaced allocator, as under real exhaustion: failure goes to the
// installed new handler, as the standard one does.
void* operator new(size_t size) {
  for (;;) {
    if (void* block = g_memoryExhausted ? nullptr : std::malloc(size ? size : 1)) return block;
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    handler();
  }
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

int main(int argc, char** argv) {
  // A crash ends the probe with its code, not in Wine's crash dialog.
  SetUnhandledExceptionFilter(EndOnCrash);
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "exhausted") == 0) {
    crashguard::SetRuntimeErrorHandler(crashguard::OnRuntimeError);
    g_memoryExhausted = true;
    AllocateTooMuch();
  } else if (std::strcmp(mode, "start") == 0) {
    SetWindowsHookExA(WH_CBT, OnWindowCreation, nullptr, GetCurrentThreadId());
    return kavrel::ProgramStart();
  } else if (std::strcmp(mode, "uncaught-main") == 0) {
    crashguard::InstallRuntimeErrorHandler();
    ReadPastTheEnd(nullptr);
  } else if (std::strcmp(mode, "uncaught-thread") == 0) {
    crashguard::InstallRuntimeErrorHandler();
    WaitForSingleObject(CreateThread(nullptr, 0, ReadPastTheEnd, nullptr, 0, nullptr), INFINITE);
  }
  return 3;
}
