// Registers a run-time error handler that prints what it gets, then makes an
// allocation that cannot succeed.
#include <windows.h>

#include <cstdio>
#include <new>

#include "crashguard/runtime_errors.h"

namespace {

int32_t __stdcall PrintingHandler(int32_t code, const char* message) {
  std::printf("%d|%s", code, message ? message : "");
  std::fflush(stdout);
  return 1;
}

}  // namespace

int main() {
  crashguard::SetRuntimeErrorHandler(PrintingHandler);
  volatile size_t size = 0xFFFFFFF0;  // more than any 32-bit process can have
  char* block = new char[size];
  block[0] = 1;
  std::printf("allocated %p", static_cast<void*>(block));
  return 3;
}
